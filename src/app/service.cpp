#include "app/service.h"

#include "core/operator.h"
#include "orders/drivers_on_air.h"
#include "orders/stand_table_refresh.h"
#include "push/offer_timeout.h"
#include "push/order_flow_refresh.h"

namespace taxi {

Service::Service(Operator& op, QObject* parent)
    : QObject(parent), runner(op, data),
      control(settings, data, log, counters, op, runner), services{settings,    data,   log,      counters,
                                                                   op,          runner, journal,  control,
                                                                   connections, stands, orderFlow} {
    services.ordersInFlow = [this] {
        return orderFlow.count();
    };
    control.setHooks({
        .createPort = [this] { connections.CREATE_PORT(); },
        .dropListeners = [this] { connections.dropListeners(); },
        // The stand table and the order flow are built each on its own: one that fails leaves the other be.
        .loadLists =
            [this] {
                for (void (*build)(Services&) : {&SPISOK_STOYANOK, &LIST_POTIK_ZAMOVLEN}) {
                    try {
                        build(services);
                    } catch (...) {
                        runner.reportCurrentException();
                    }
                }
            },
        .stopMainTimer = [this] { timer1.stop(); },
    });
    connections.setHooks({
        .putOnAir = [this](int callsign, const QString& driverName) { putOnAir(data, callsign, driverName); },
    });
    timer1.setHooks({
        .linkTest = [this] { return control.runLinkTest(); },
        .timeMark =
            [this] {
                if (const auto error = log.writeTimeMark(QStringLiteral("."), QDateTime::currentDateTime()))
                    services.op.showError(*error);
            },
        .keeper = [this] { keeper.run(); },
        .offersPending = [this] { return connections.offersPending; },
        .timeoutPass = [this] { withdrawExpiredOffers(services); },
    });
    reactions.setHooks({
        .refreshStands = [this] { SPISOK_STOYANOK(services); },
        .reloadOrderFlow =
            [this](bool tellFlowViewers) {
                orderFlow.setPushFlag(tellFlowViewers ? OrderFlow::kPushOn : OrderFlow::kPushOff);
                LIST_POTIK_ZAMOVLEN(services);
            },
    });
    connect(&log, &MonitoringLog::automaticSaveFailed, this,
            [this](const QString& error) { services.op.showError(error); });
    connect(&control, &ServiceControl::endRequested, this, &Service::endRequested);
}

Service::~Service() = default;

void Service::startUp() {
    timer1.start();
    runner.run([this] { control.OPEN_SETTING(); });
}

void Service::pressStartStop() {
    runner.run([this] { control.pressStartStop(); });
}

void Service::saveSettings() {
    runner.run([this] {
        if (!services.op.confirm(QStringLiteral("Зберегти настройки ?")))
            return;
        if (const auto error = settings.save(ServiceControl::kSettingsFile))
            services.op.showError(*error);
    });
}

bool Service::requestClose() {
    bool closing = false;
    runner.run([&] { closing = control.requestClose(); });
    return closing;
}

void Service::shutDown() {
    timer1.stop();
    runner.run([this] {
        if (control.isDistributing()) {
            control.PEREZAPUSK_SERVERA();
            counters.reset();
        }
    });
    runner.run([this] { control.requestClose(); });
}

} // namespace taxi
