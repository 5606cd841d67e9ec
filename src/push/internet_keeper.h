#pragma once

#include <QObject>
#include <QString>

namespace taxi {

class NetworkLink;
class Settings;

// Holds the computer's internet connection up: every 10th tick it reads what kind of connection there is,
// shows it (Label28), and dials the configured connection when there is none or not the kind the operator
// asked for. It does not wait for the dial or look at its outcome: the next run sees it.
class InternetKeeper : public QObject {
    Q_OBJECT
public:
    static inline const QString kNotSet = QStringLiteral("не задано");

    InternetKeeper(Settings& settings, NetworkLink& link, QObject* parent = nullptr)
        : QObject(parent), m_settings(settings), m_link(link) {}

    // Label28, beside "Реальне підключення інтернета :".
    const QString& connectionText() const { return m_connectionText; }

    // One run of the keeper.
    void run();

    // "Modem", "LAN", "Proxy" or "Modem Busy": the last of these flags that is set; empty for none.
    static QString connectionTypeText(int flags);

signals:
    void connectionTextChanged();

private:
    void show(const QString& text);
    void dial();

    Settings& m_settings;
    NetworkLink& m_link;
    QString m_connectionText = kNotSet;
};

} // namespace taxi
