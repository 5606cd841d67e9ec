#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace taxi {

class Service;

// The band across the top of the main window: the logo, the start/stop button, the distribution
// status and the traffic and internet readings.
class HeaderBand : public QFrame {
    Q_OBJECT
public:
    explicit HeaderBand(Service& service, QWidget* parent = nullptr);

private:
    void showState();
    void showCounters();

    Service& m_service;
    QToolButton* m_startStop;
    QLabel* m_status;
    QLabel* m_incoming;
    QLabel* m_outgoing;
};

} // namespace taxi
