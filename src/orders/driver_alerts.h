#pragma once

namespace taxi::net {
class RequestContext;
}

// Alerts from the road: a line for the operator and, when its switch is on, a journal entry the
// dispatchers' programs show. None is replied to.
namespace taxi {

// "@SOS@": the driver raises an alarm.
void raiseAlarm(const net::RequestContext& context);
// "@ZVIN(": the driver asks the dispatch to phone his passengers.
void askToCallPassengers(const net::RequestContext& context);
// "@ZABRPAS(": the passengers of the held order are on board.
void reportPassengersOnBoard(const net::RequestContext& context);
// "@ZAPIZNZAM(" minutes ")": the driver will be late for the held order.
void reportLateness(const net::RequestContext& context);

} // namespace taxi
