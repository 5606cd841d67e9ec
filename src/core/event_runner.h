#pragma once

#include <functional>

namespace taxi {

class DataModule;
class Operator;

// Runs the handling of one event (a socket event, a tick, a database alert, an operator's action):
// an error it does not catch ends it and goes to the operator's error display, and whatever the
// service's own statements wrote is committed before the next event is taken, so that no row
// stays locked and hidden from the dispatchers while the service waits.
//
// An event raised from inside another one (a handler closes a connection, and that connection's
// disconnect handling runs at once) is part of the outer event: its error ends the outer handler
// too, and nothing is committed before the outer event ends. Only an event taken by a nested event
// loop, under a modal box, is an event of its own.
class EventRunner {
public:
    EventRunner(Operator& op, DataModule& data) : m_operator(op), m_data(data) {}

    void run(const std::function<void()>& handler);
    // Shows the error of a handler that failed; for callers that catch to carry on.
    void reportCurrentException();

private:
    void runOutermost(const std::function<void()>& handler);

    Operator& m_operator;
    DataModule& m_data;
    // The event loop level of the event being handled; -1 between events.
    int m_eventLoopLevel = -1;
};

} // namespace taxi
