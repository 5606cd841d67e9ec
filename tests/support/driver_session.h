#pragma once

#include "support/fake_terminal.h"
#include "support/service_fixture.h"

#include <QMap>
#include <QMetaType>
#include <QStringList>
#include <memory>
#include <optional>

namespace taxi {
class Service;
namespace net {
class Listener;
struct PortSlot;
} // namespace net
} // namespace taxi

namespace taxi::test {

// Lines of SETSERVER.INI as "SECTION/KEY" → value.
using IniLines = QMap<QString, QString>;

// A driver's row on the air as the dispatchers' programs would leave it.
struct OnAir {
    int callsign = 0;
    QString stand;
    QString queueNumber;
    int order = 0;             // held order; the row is then busy
    bool freeRideMark = false; // ZAD_AVTO_YUVILEYKA set
};

// The whole service over the demo city, distributing, with rows on the air put in place before it
// starts and the terminals of the drivers a test binds: what a driver's requests meet and where their
// effects are looked for.
class DriverSession {
public:
    DriverSession();
    ~DriverSession();

    ServiceFolder& folder() { return *m_folder; }
    // Once started:
    Service& service() { return **m_service; }
    ScriptedOperator& op() { return m_service->op(); }

    // Before start(): a row on the air, taken in by the stand table the start-up builds.
    void putOnAir(const OnAir& row);
    // Writes the settings and the drivers' records and starts the service; false, with the operator's
    // errors in a warning, when it does not distribute.
    [[nodiscard]] bool start(const IniLines& settings = {});

    // The driver's login on the main port, with the password of his record unless another is given.
    void logIn(int callsign, const std::optional<QString>& password = std::nullopt);
    // Logs the driver in and connects his terminal to his own port; false when the port did not bind it.
    [[nodiscard]] bool bind(FakeTerminal& phone, int callsign);
    net::PortSlot& slotOf(int callsign);
    net::Listener& listenerOf(int callsign);
    // The stand table rebuilt as the database's event about the drivers' rows would have it.
    void refreshStands();

    // The driver's rows on the air as "stand queueNumber", sorted.
    QStringList rowsOf(int callsign);
    // The driver's journal entries in the order written, each as "action #order".
    QStringList journal(int callsign);

    QStringList logLines() const;
    bool logContains(const QString& line) const { return logLines().contains(line); }
    // Waits until the monitoring log holds the line.
    bool waitForLine(const QString& line);
    QStringList linesContaining(const QString& part) const { return logLines().filter(part); }

private:
    std::unique_ptr<ServiceFolder> m_folder;
    std::unique_ptr<RunningService> m_service;
};

// A fresh session for each test, with one driver's terminal bound: the base of the tests that follow
// one driver's requests.
class OneBoundDriver {
protected:
    explicit OneBoundDriver(int callsign) : m_callsign(callsign) {}

    // Starts the session with the settings and binds the driver's terminal; false when either failed.
    [[nodiscard]] bool start(const IniLines& settings = {});
    // Closes the terminal and stops the service (for cleanup()).
    void stop();
    ServiceFolder& folder() { return m_session->folder(); }

    std::unique_ptr<DriverSession> m_session;
    std::unique_ptr<FakeTerminal> m_phone;

private:
    int m_callsign;
};

// A reply's numbered item or tag value as the service writes free text: UTF-8 in Base64.
QByteArray encoded(const QString& text);

// The pool and two of the demo city's stands, as the stand table names them.
inline const QString kPool = QStringLiteral("[]{}");
inline const QString kStation = QStringLiteral("Вокзал");
inline const QString kHospital = QStringLiteral("Лікарня");

} // namespace taxi::test

Q_DECLARE_METATYPE(taxi::test::OnAir)
