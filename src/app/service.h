#pragma once

#include "app/terminal_commands.h"
#include "console/console_parts.h"
#include "core/callsign_lists.h"
#include "core/data_module.h"
#include "core/event_runner.h"
#include "core/journal.h"
#include "core/main_timer.h"
#include "core/metrics.h"
#include "core/monitoring_log.h"
#include "core/service_control.h"
#include "core/services.h"
#include "core/settings.h"
#include "core/traffic_counters.h"
#include "info/news.h"
#include "net/connection_records.h"
#include "net/connection_service.h"
#include "orders/stand_table.h"
#include "push/event_reactions.h"
#include "push/internet_keeper.h"
#include "push/network_link.h"
#include "push/order_flow.h"

#include <QObject>
#include <memory>

namespace taxi {

class Operator;

// The one composition root: owns every part of the service and wires them together.
// The fronts (the window, the headless front, tests) talk to it.
class Service : public QObject {
    Q_OBJECT
public:
    explicit Service(Operator& op, QObject* parent = nullptr);
    ~Service() override;

    // Timer1 starts and the start-up runs (OPEN_SETTING).
    void startUp();
    // The operator's start/stop button.
    void pressStartStop();
    // The operator closes the window: false when refused.
    bool requestClose();
    // The process is told to end: a distribution that runs is stopped as a confirmed stop would,
    // then both databases are closed.
    void shutDown();
    // The settings page's save button: asks first, then writes SETSERVER.INI.
    void saveSettings();
    // The news page's buttons: reload the news from NEWS.TXT; open NEWS.TXT in the editor.
    void reloadNews();
    void openNewsFile();
    // The monitoring page's buttons: save the log into the working folder and clear it; clear it.
    void saveMonitoring();
    void clearMonitoring();
    // The lists dialog's confirm button: asks, then saves the page's list. True when the dialog closes.
    bool confirmCallsignList(CallsignListPage& page);
    // The models and commands the window is built over.
    ConsoleParts consoleParts();
    // Runs one operator action as an event of its own.
    void runAction(const std::function<void()>& action) { runner.run(action); }

    Settings settings;
    Metrics metrics;
    MonitoringLog log;
    TrafficCounters counters;
    DataModule data{settings};
    EventRunner runner;
    Journal journal{data};
    ServiceControl control;
    StandTable stands;
    OrderFlow orderFlow;
    CallsignLists callsignLists{settings};
    std::unique_ptr<NetworkLink> networkLink = makeNetworkLink();
    InternetKeeper keeper{settings, *networkLink};
    NewsText news;
    Services services;
    net::ConnectionService connections{services, terminalCommands()};
    net::ConnectionRecords records{services};
    MainTimer timer1{runner};
    EventReactions reactions{services};

signals:
    // The program is to end with this exit status.
    void endRequested(int exitStatus);

private:
    void showIfError(const std::optional<QString>& error);
};

} // namespace taxi
