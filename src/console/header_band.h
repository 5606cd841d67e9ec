#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace taxi {

struct ConsoleParts;

// The band across the top of the main window: the logo, the start/stop button, the distribution
// status and the traffic and internet readings.
class HeaderBand : public QFrame {
    Q_OBJECT
public:
    // The logo's double-click asks the desktop's browser for this address.
    static inline const QString kProductSite = QStringLiteral("https://taxi-gprs.example/");

    HeaderBand(const ConsoleParts& parts, QWidget* parent = nullptr);

private:
    void showState();
    void showCounters();

    const ConsoleParts& m_parts;
    QToolButton* m_startStop;
    QLabel* m_status;
    QLabel* m_incoming;
    QLabel* m_outgoing;
    QLabel* m_internet;
};

} // namespace taxi
