#include "core/main_timer.h"

#include "core/event_runner.h"

namespace taxi {

MainTimer::MainTimer(EventRunner& runner, QObject* parent) : QObject(parent), m_runner(runner) {
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &MainTimer::tick);
}

void MainTimer::tick() {
    m_runner.run([this] { runTick(); });
    emit ticked();
}

void MainTimer::runTick() {
    if (m_hooks.linkTest && !m_hooks.linkTest()) {
        m_timer.stop();
        return;
    }
    if (++m_tickCount == kTicksPerMark) {
        m_tickCount = 0;
        if (m_hooks.timeMark)
            m_hooks.timeMark();
    }
    if (m_tickCount % kTicksPerKeeper == 0 && m_hooks.keeper)
        m_hooks.keeper();
    if (m_hooks.offersPending && m_hooks.offersPending() && m_hooks.timeoutPass)
        m_hooks.timeoutPass();
}

} // namespace taxi
