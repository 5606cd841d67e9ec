#pragma once

#include "support/fake_terminal.h"
#include "support/service_fixture.h"

#include <QMap>
#include <QStringList>
#include <memory>

namespace taxi {
class Service;
namespace net {
class Listener;
struct PortSlot;
} // namespace net
} // namespace taxi

namespace taxi::test {

// The whole service on the demo city's database, distributing, with the terminals of the drivers a
// test binds: what a driver's requests meet and where their effects are looked for.
class DriverSession {
public:
    // Extra lines of SETSERVER.INI as "SECTION/KEY" → value.
    explicit DriverSession(const QMap<QString, QString>& settings = {});
    ~DriverSession();

    ServiceFolder& folder() { return *m_folder; }
    Service& service() { return **m_service; }
    ScriptedOperator& op() { return m_service->op(); }

    // Logs the driver in and connects the phone to his own port; false when the port did not bind it.
    bool bind(FakeTerminal& phone, int callsign);
    net::PortSlot& slotOf(int callsign);
    net::Listener& listenerOf(int callsign);

    // Waits until the monitoring log holds the line.
    bool waitForLine(const QString& line);
    QStringList linesContaining(const QString& part) const;
    // The driver's journal entries in the order written, each as "action #order".
    QStringList journal(int callsign);

private:
    std::unique_ptr<ServiceFolder> m_folder;
    std::unique_ptr<RunningService> m_service;
};

} // namespace taxi::test
