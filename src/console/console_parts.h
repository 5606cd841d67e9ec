#pragma once

#include <QString>
#include <functional>

namespace taxi {

class CallsignListPage;
class CallsignLists;
class InternetKeeper;
class MonitoringLog;
class NewsText;
class OrderFlow;
class ServiceControl;
class Settings;
class StandTable;
class TrafficCounters;
namespace net {
class ConnectionRecords;
}

// What the window shows. The composition root owns all of it; the window only reads and binds.
struct ConsoleModels {
    Settings& settings;
    MonitoringLog& log;
    TrafficCounters& counters;
    ServiceControl& control;
    StandTable& stands;
    OrderFlow& orderFlow;
    NewsText& news;
    CallsignLists& callsignLists;
    InternetKeeper& keeper;
    net::ConnectionRecords& records;
};

// What the operator's buttons do. Each command runs as an event of its own, so its errors reach the error
// window and its end commits what it wrote.
struct ConsoleCommands {
    std::function<void()> pressStartStop;
    // Asks first; false when the service refuses to close.
    std::function<bool()> requestClose;
    std::function<void()> clearMonitoring;
    std::function<void()> saveMonitoring;
    std::function<void()> saveSettings;
    std::function<void()> reloadNews;
    std::function<void()> openNewsFile;
    // A message for the operator to acknowledge.
    std::function<void(const QString& message)> inform;
    // Asks, and on Yes saves the page's list; true when the lists dialog is to close.
    std::function<bool(CallsignListPage& page)> confirmCallsignList;
};

struct ConsoleParts {
    ConsoleModels models;
    ConsoleCommands commands;
};

} // namespace taxi
