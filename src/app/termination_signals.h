#pragma once

#include <QObject>

class QSocketNotifier;

namespace taxi {

// SIGTERM and SIGINT, handed over to the Qt main thread as a signal.
//
// The database client library puts its own handlers on these signals and shuts itself down from
// them, under the feet of a service that still uses it. So the signals are blocked for the whole
// process before any thread starts (reserveForMainThread, first thing in main) and read from a
// descriptor on the main thread instead: no handler of anyone ever runs. SIGPIPE, which would end
// the process when its output is closed, is ignored from the same moment on.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    static void reserveForMainThread();

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received();

private:
    int m_descriptor = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace taxi
