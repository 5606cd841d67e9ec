#include "core/service_control.h"

#include "core/data_module.h"
#include "core/db/db_error.h"
#include "core/event_runner.h"
#include "core/monitoring_log.h"
#include "core/operator.h"
#include "core/settings.h"
#include "core/traffic_counters.h"

#include <QFile>

namespace taxi {

namespace {
const QString kNoSettingsFile = QStringLiteral(
    "Не найдено файл налаштування зєднання з головною базою даних (SETSERVER.INI). Після виправлення помилки "
    "повторіть спробу !!!");
const QString kCreatingSettingsDatabase =
    QStringLiteral("Створення бази даних налаштувань зєднань TAXI_GPRS.FDB !!!");
const QString kSettingsDatabaseCreated = QStringLiteral(
    "База даних налаштувань зєднань TAXI_GPRS.FDB успішно створена. При потребі збережіть налаштування !!!");
const QString kSettingsDatabaseFailed = QStringLiteral(
    "Помилка в створені бази даних налаштувань зєднань TAXI_GPRS.FDB (невірні логін/пароль сервера). Після "
    "виправлення помилки повторіть спробу !!!");
const QString kNoConnection =
    QStringLiteral("Немає можливості запустити роздачі, так як немає зєднання з базою данних !!!");
const QString kWrongMainPort =
    QStringLiteral("Невірно вказаний головний порт. Після зміни потрібних даних повторіть спробу !!!");
const QString kConfirmStop = QStringLiteral(
    "При закритті роздач пропадуть зєднання з водіями (при умові їх наявності). Закрити роздачі ????");
const QString kCannotClose = QStringLiteral(
    "НЕМАЄ МОЖЛИВОСТІ ЗАКРИТИ ПРОГРАМУ - ВКЛЮЧЕНІ РОЗДАЧИ (потрібно спочатку обнулити роздачи)");
const QString kDatabaseLost = QStringLiteral(
    "НЕМАЄ  ЗВЯЗКУ З БАЗОЮ (можливо пропала сітка або т.і.) --- ВИХІД З ПРОГРАМИ.\n ПІСЛЯ ОБНОВЛЕННЯ ЗВЯЗКУ "
    "ПЕРЕЗАПУСТІТЬ ПРОГРАМУ І ОБНОВІТЬ РОЗДАЧИ.");
} // namespace

ServiceControl::ServiceControl(Settings& settings, DataModule& data, MonitoringLog& log,
                               TrafficCounters& counters, Operator& op, EventRunner& runner, QObject* parent)
    : QObject(parent), m_settings(settings), m_data(data), m_log(log), m_counters(counters), m_operator(op),
      m_runner(runner) {}

void ServiceControl::setState(State state) {
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void ServiceControl::OPEN_SETTING() {
    m_settings.load(kSettingsFile);
    const bool settingsDatabaseExists = QFile::exists(DataModule::kSettingsDatabaseFile);
    const bool dispatcherNamed = !m_settings.text(keys::PATH_BAZA).isEmpty() &&
                                 !m_settings.text(keys::NAME_BAZA).isEmpty() &&
                                 !m_settings.text(keys::SERVER).isEmpty();
    if (settingsDatabaseExists && dispatcherNamed &&
        m_settings.text(keys::PORT_SERVER) != QStringLiteral("0")) {
        try {
            m_data.OPEN_BAZA_TAXI_GPRS();
            m_data.OPEN_BAZA_TAXI();
            if (m_hooks.loadLists)
                m_hooks.loadLists();
        } catch (...) {
            m_runner.reportCurrentException();
        }
    } else if (settingsDatabaseExists) {
        m_operator.inform(kNoSettingsFile);
    } else {
        m_operator.inform(kCreatingSettingsDatabase);
        createSettingsDatabase();
    }
    if (m_state == State::Starting)
        setState(State::Idle);
}

void ServiceControl::createSettingsDatabase() {
    try {
        if (m_data.CREATE_BAZA_TAXI_GPRS())
            m_operator.inform(kSettingsDatabaseCreated);
    } catch (const db::DbError&) {
        // A half-made file would stop the next start from trying again.
        m_data.abandonBoth();
        QFile::remove(DataModule::kSettingsDatabaseFile);
        m_operator.inform(kSettingsDatabaseFailed);
        setState(State::Ended);
        emit endRequested(kExitSettingsDatabaseFailed);
    }
}

void ServiceControl::pressStartStop() {
    m_log.clear();
    if (isDistributing() && !m_data.testDispatcherLink())
        m_data.abandonBoth(); // nothing can be used again until the program is restarted
    if (!m_data.bothConnected()) {
        m_operator.inform(kNoConnection);
        return;
    }
    if (!isDistributing()) {
        if (m_settings.text(keys::PORT_SERVER) == QStringLiteral("0")) {
            m_operator.inform(kWrongMainPort);
            return;
        }
        if (m_hooks.createPort)
            m_hooks.createPort();
        m_counters.reset();
        setState(State::Distributing);
        return;
    }
    if (m_operator.confirm(kConfirmStop)) {
        PEREZAPUSK_SERVERA();
        m_counters.reset();
    }
}

void ServiceControl::PEREZAPUSK_SERVERA() {
    if (m_hooks.dropListeners)
        m_hooks.dropListeners();
    // Whatever happens to the clean-up below, the ports are closed: the status must say so.
    setState(State::Idle);
    m_data.tranzRizne.commitIfActive();
    m_data.rizne.execute({QStringLiteral("DELETE FROM REFLESH_DANI_VODIY_GPRS")});
    m_data.clearConnectionMarks();
    m_data.tranzRizne.commitIfActive();
}

bool ServiceControl::requestClose() {
    if (isDistributing()) {
        m_operator.inform(kCannotClose);
        return false;
    }
    m_data.disconnectBoth();
    setState(State::Ended);
    return true;
}

bool ServiceControl::runLinkTest() {
    if (m_data.testDispatcherLink() || !isDistributing())
        return true;
    if (m_hooks.stopMainTimer)
        m_hooks.stopMainTimer();
    setState(State::Idle);
    m_operator.inform(kDatabaseLost);
    m_data.disconnectBoth();
    setState(State::Ended);
    emit endRequested(kExitDatabaseLost);
    return false;
}

} // namespace taxi
