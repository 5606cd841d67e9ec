#include "support/driver_session.h"

#include "app/service.h"
#include "net/connection_service.h"
#include "net/listener.h"

#include <QTest>
#include <stdexcept>

namespace taxi::test {

DriverSession::DriverSession(const QMap<QString, QString>& settings)
    : m_folder(std::make_unique<ServiceFolder>()) {
    m_folder->writeSettings(settings);
    m_folder->createSettingsDatabase();
    m_service = std::make_unique<RunningService>(*m_folder);
    if (!service().control.isDistributing())
        throw std::runtime_error(
            (QStringLiteral("the service did not start: ") + op().errors.join(QLatin1Char('\n')))
                .toStdString());
}

DriverSession::~DriverSession() = default;

bool DriverSession::bind(FakeTerminal& phone, int callsign) {
    sendLogin(m_folder->mainPort(), m_folder->driver(callsign).port, m_folder->driver(callsign).password);
    if (!QTest::qWaitFor([&] { return listenerOf(callsign).isListening(); }))
        return false;
    if (!phone.connectTo(m_folder->driver(callsign).port))
        return false;
    // Bound once the terminal's offer row is there.
    return QTest::qWaitFor([&] { return m_folder->offerRows(callsign) == 1; });
}

net::Listener& DriverSession::listenerOf(int callsign) {
    net::ConnectionService& connections = service().connections;
    return connections.driverListener(connections.firstListenerOnPort(m_folder->driver(callsign).port));
}

net::PortSlot& DriverSession::slotOf(int callsign) {
    net::ConnectionService& connections = service().connections;
    return connections.slot(connections.firstListenerOnPort(m_folder->driver(callsign).port));
}

bool DriverSession::waitForLine(const QString& line) {
    return QTest::qWaitFor([&] { return m_service->logLines().contains(line); });
}

QStringList DriverSession::linesContaining(const QString& part) const {
    return m_service->logLines().filter(part);
}

QStringList DriverSession::journal(int callsign) {
    const db::ResultSet rows = m_folder->dispatcherSelect(
        {QStringLiteral("SELECT DYA_VODIY_GPRS_DYA, DYA_VODIY_GPRS_NZ FROM DYA_VODIY_GPRS WHERE "
                        "DYA_VODIY_GPRS_POZ = ? ORDER BY DYA_VODIY_GPRS_NP")},
        {callsign});
    QStringList entries;
    for (const db::Row& row : rows.rows())
        entries.append(row.at(0).toText() + QStringLiteral(" #") + row.at(1).toText());
    return entries;
}

} // namespace taxi::test
