#pragma once

#include <QWidget>

namespace taxi {

struct ConsoleParts;

// The page "  ПРОЦЕС  ПІДКЛЮЧЕННЯ  ": the monitoring log Memo1 with its clear and save buttons.
class MonitoringPage : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("  ПРОЦЕС  ПІДКЛЮЧЕННЯ  ");

    MonitoringPage(const ConsoleParts& parts, QWidget* parent = nullptr);
};

} // namespace taxi
