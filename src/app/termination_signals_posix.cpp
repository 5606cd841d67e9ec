#include "app/termination_signals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace taxi {

namespace {
sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}
} // namespace

void TerminationSignals::reserveForMainThread() {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A reader of the monitoring lines that goes away (a pipe into a pager or a log collector being
    // restarted) must not end the service without its stop: the lines are then simply not written.
    std::signal(SIGPIPE, SIG_IGN);
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    const sigset_t set = terminationSet();
    m_descriptor = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_descriptor < 0)
        return;
    m_notifier = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info;
        while (::read(m_descriptor, &info, sizeof info) == ssize_t(sizeof info)) {
        }
        emit received();
    });
}

TerminationSignals::~TerminationSignals() {
    delete m_notifier;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

} // namespace taxi
