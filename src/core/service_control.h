#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace taxi {

class DataModule;
class EventRunner;
class MonitoringLog;
class Operator;
class Settings;
class TrafficCounters;

// The life of the service: start-up, the operator's start/stop button, the stop of the
// distribution, the loss of the dispatcher database and the closing of the program.
class ServiceControl : public QObject {
    Q_OBJECT
public:
    static inline const QString kStatusOff = QStringLiteral("РОЗДАЧИ НЕ ЗАДІЯНІ");
    static inline const QString kStatusOn = QStringLiteral("РОЗДАЧИ  ВКЛЮЧЕНІ");
    static inline const QString kSettingsFile = QStringLiteral("SETSERVER.INI");

    enum class State { Starting, Idle, Distributing, Ended };

    // What the connection service and the later subsystems do at the moments this class decides.
    struct Hooks {
        std::function<void()> createPort;    // CREATE_PORT: ports built and opened; throws on failure
        std::function<void()> dropListeners; // the listeners' part of the stop
        std::function<void()> loadLists;     // SPISOK_STOYANOK, LIST_POTIK_ZAMOVLEN, OPEN_LIST_NEWS
        std::function<void()> stopMainTimer; // Timer1 stops before the operator is told of a lost link
    };

    ServiceControl(Settings& settings, DataModule& data, MonitoringLog& log, TrafficCounters& counters,
                   Operator& op, EventRunner& runner, QObject* parent = nullptr);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    State state() const { return m_state; }
    bool isDistributing() const { return m_state == State::Distributing; }
    const QString& statusText() const { return isDistributing() ? kStatusOn : kStatusOff; }

    // Start-up after the window is shown (OPEN_SETTING).
    void OPEN_SETTING();
    // The start/stop button SpeedButton1.
    void pressStartStop();
    // Stops the distribution: listeners gone, offer rows and connection marks cleared.
    void PEREZAPUSK_SERVERA();
    // The operator closes the window: false when refused.
    bool requestClose();
    // The first step of every tick: false when the dispatcher database was lost while distributing.
    bool runLinkTest();

signals:
    void stateChanged();
    // The program is to end with this exit status (the window closes).
    void endRequested(int exitStatus);

public:
    static constexpr int kExitNormal = 0;
    static constexpr int kExitSettingsDatabaseFailed = 1;
    static constexpr int kExitDatabaseLost = 3;

private:
    void setState(State state);
    void clearDispatcherMarks();
    void createSettingsDatabase();

    Settings& m_settings;
    DataModule& m_data;
    MonitoringLog& m_log;
    TrafficCounters& m_counters;
    Operator& m_operator;
    EventRunner& m_runner;
    Hooks m_hooks;
    State m_state = State::Starting;
};

} // namespace taxi
