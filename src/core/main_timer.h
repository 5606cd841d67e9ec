#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace taxi {

class EventRunner;

// Timer1: the one-second tick of the whole service, in its fixed order: the dispatcher link test,
// the count with the log's time mark every 60th tick, the internet keeper every 10th, and the
// confirmation time-out pass while offers wait.
class MainTimer : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 1000;
    static constexpr int kTicksPerMark = 60;
    static constexpr int kTicksPerKeeper = 10;

    struct Hooks {
        std::function<bool()> linkTest; // false: the program is ending, the tick stops here
        std::function<void()> timeMark;
        std::function<void()> keeper;
        std::function<bool()> offersPending;
        std::function<void()> timeoutPass;
    };

    explicit MainTimer(EventRunner& runner, QObject* parent = nullptr);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }
    int tickCount() const { return m_tickCount; }
    // One tick, as the timer runs it.
    void tick();

signals:
    // A tick has been handled to its end.
    void ticked();

private:
    void runTick();

    EventRunner& m_runner;
    QTimer m_timer;
    Hooks m_hooks;
    int m_tickCount = 0;
};

} // namespace taxi
