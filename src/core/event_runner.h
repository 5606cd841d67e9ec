#pragma once

#include <functional>

namespace taxi {

class DataModule;
class Operator;

// Runs the handling of one event (a socket event, a tick, a database alert, an operator's action):
// an error it does not catch ends it and goes to the operator's error display, and whatever the
// service's own statements wrote is committed before the next event is taken, so that no row
// stays locked and hidden from the dispatchers while the service waits.
class EventRunner {
public:
    EventRunner(Operator& op, DataModule& data) : m_operator(op), m_data(data) {}

    void run(const std::function<void()>& handler);
    // Shows the error of a handler that failed; for callers that catch to carry on.
    void reportCurrentException();

private:
    Operator& m_operator;
    DataModule& m_data;
};

} // namespace taxi
