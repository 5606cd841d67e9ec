#pragma once

#include <QObject>

class QSocketNotifier;

namespace taxi {

// SIGTERM and SIGINT, handed over to the Qt main thread as a signal.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace taxi
