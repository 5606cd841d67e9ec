#pragma once

#include <QObject>
#include <functional>

namespace taxi::net {

// Marks the delivery of one socket event to its handlers, for as long as the object lives.
//
// Deliveries nest: a handler that closes a connection runs that connection's disconnect handling at
// once, and a handler that opens a modal box lets further events run under it. Whatever a handler may
// still hold, such as a closed connection in its listener's list, is released only once no delivery is
// in progress any more.
class EventDelivery {
public:
    EventDelivery();
    ~EventDelivery();
    EventDelivery(const EventDelivery&) = delete;
    EventDelivery& operator=(const EventDelivery&) = delete;

    static bool inProgress();

    // Runs `release` from the event loop once the current event, if any, has been handled to its end:
    // never inside the handler that asked for it, and never while an outer delivery is still running.
    // Nothing runs when `context` is gone by then.
    static void whenIdle(QObject* context, std::function<void()> release);
};

} // namespace taxi::net
