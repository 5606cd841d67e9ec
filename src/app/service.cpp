#include "app/service.h"

#include "core/operator.h"
#include "core/setting_definitions.h"
#include "orders/drivers_on_air.h"
#include "orders/stand_table_refresh.h"
#include "push/offer_timeout.h"
#include "push/order_flow_refresh.h"

#include <exception>
#include <initializer_list>

namespace taxi {

namespace {

// The lists of the start-up do not depend on each other: each loads even when one before it failed. The
// first failure is thrown once all have run.
void loadEach(std::initializer_list<std::function<void()>> loaders) {
    std::exception_ptr firstFailure;
    for (const std::function<void()>& load : loaders) {
        try {
            load();
        } catch (...) {
            if (!firstFailure)
                firstFailure = std::current_exception();
        }
    }
    if (firstFailure)
        std::rethrow_exception(firstFailure);
}

} // namespace

Service::Service(Operator& op, QObject* parent)
    : QObject(parent), runner(op, data),
      control(settings, data, log, counters, op, runner), services{settings,    data,   log,       counters,
                                                                   op,          runner, journal,   control,
                                                                   connections, stands, orderFlow, news,
                                                                   metrics} {
    metrics.boundTerminals = [this] {
        return connections.boundTerminals();
    };
    for (db::Attachment* database : {&data.baza, &data.bazaGprs})
        database->setStatementObserver([this](std::chrono::nanoseconds took) { metrics.statementRun(took); });
    services.ordersInFlow = [this] {
        return orderFlow.count();
    };
    control.setHooks({
        .createPort = [this] { connections.CREATE_PORT(); },
        .dropListeners = [this] { connections.dropListeners(); },
        .loadLists =
            [this] {
                loadEach({
                    [this] { SPISOK_STOYANOK(services); },
                    [this] { LIST_POTIK_ZAMOVLEN(services); },
                    [this] { showIfError(news.OPEN_LIST_NEWS(settings.text(keys::FILE_NEWS))); },
                });
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
    connect(&timer1, &MainTimer::ticked, this, [this] { metrics.tickHandled(); });
    connect(&data, &DataModule::dispatcherLinkLost, this, [this] { metrics.dispatcherLinkLost(); });
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

void Service::showIfError(const std::optional<QString>& error) {
    if (error)
        services.op.showError(*error);
}

void Service::reloadNews() {
    runner.run([this] { showIfError(news.reload()); });
}

void Service::openNewsFile() {
    runner.run([this] { showIfError(news.openFile()); });
}

void Service::saveMonitoring() {
    // The working folder, as for the automatic save at the time mark.
    runner.run([this] { showIfError(log.save(QStringLiteral("."), QDateTime::currentDateTime())); });
}

void Service::clearMonitoring() {
    runner.run([this] { log.clear(); });
}

bool Service::confirmCallsignList(CallsignListPage& page) {
    bool closing = false;
    runner.run([&] { closing = page.confirm(services.op, ServiceControl::kSettingsFile); });
    return closing;
}

ConsoleParts Service::consoleParts() {
    return {
        .models = {settings, log, counters, control, stands, orderFlow, news, callsignLists, keeper, records},
        .commands = {
            .pressStartStop = [this] { pressStartStop(); },
            .requestClose = [this] { return requestClose(); },
            .clearMonitoring = [this] { clearMonitoring(); },
            .saveMonitoring = [this] { saveMonitoring(); },
            .saveSettings = [this] { saveSettings(); },
            .reloadNews = [this] { reloadNews(); },
            .openNewsFile = [this] { openNewsFile(); },
            .inform = [this](const QString& message) { services.op.inform(message); },
            .confirmCallsignList = [this](CallsignListPage& page) { return confirmCallsignList(page); },
        },
    };
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
