#pragma once

#include <functional>

namespace taxi {

class DataModule;
class EventRunner;
class Journal;
class Metrics;
class MonitoringLog;
class NewsText;
class Operator;
class OrderFlow;
class ServiceControl;
class Settings;
class StandTable;
class TrafficCounters;
namespace net {
class ConnectionService;
}

// The parts of the service that the handlers of requests, ticks and alerts work with. The one
// composition root fills it in; nobody else owns any of them.
struct Services {
    Settings& settings;
    DataModule& data;
    MonitoringLog& log;
    TrafficCounters& counters;
    Operator& op;
    EventRunner& runner;
    Journal& journal;
    ServiceControl& control;
    net::ConnectionService& connections;
    StandTable& stands;
    OrderFlow& orderFlow;
    NewsText& news;
    Metrics& metrics;
    // The number of orders in the order flow (Label39), for the subsystems that do not see the flow itself.
    std::function<int()> ordersInFlow = [] {
        return 0;
    };
};

} // namespace taxi
