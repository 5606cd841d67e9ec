#pragma once

#include "core/operator.h"

#include <QObject>
#include <optional>

namespace taxi {

class Service;

// The service without a window: monitoring lines on stdout, the operator's messages on stderr,
// every question answered Yes, and SIGTERM or SIGINT treated as a confirmed stop and exit.
// Exit statuses: 0 after a signal, 2 when --start could not start the distribution,
// 3 when the dispatcher database was lost while distributing.
class HeadlessOperator : public Operator {
public:
    void inform(const QString& message) override;
    bool confirm(const QString& question) override;
    void showError(const QString& message) override;
};

class HeadlessFront : public QObject {
    Q_OBJECT
public:
    static constexpr int kExitStartFailed = 2;

    explicit HeadlessFront(Service& service, QObject* parent = nullptr);
    // Start-up, and the start button pressed once when asked; then the event loop.
    int run(bool pressStart);

private:
    Service& m_service;
    std::optional<int> m_endStatus;
};

} // namespace taxi
