#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace taxi {

class Service;

// The page "  ПРОЦЕС  ПІДКЛЮЧЕННЯ  ": the monitoring log Memo1 with its clear and save buttons.
class MonitoringPage : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("  ПРОЦЕС  ПІДКЛЮЧЕННЯ  ");

    explicit MonitoringPage(Service& service, QWidget* parent = nullptr);

private:
    void saveLog();

    Service& m_service;
    QPlainTextEdit* m_memo;
};

} // namespace taxi
