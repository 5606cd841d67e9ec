#include "support/driver_session.h"

#include "app/service.h"
#include "net/connection_service.h"
#include "net/listener.h"
#include "orders/stand_table_refresh.h"

#include <QTest>
#include <algorithm>

namespace taxi::test {

DriverSession::DriverSession() : m_folder(std::make_unique<ServiceFolder>()) {}

DriverSession::~DriverSession() = default;

void DriverSession::putOnAir(const OnAir& row) {
    const QString name = row.callsign >= 11 && row.callsign <= 17
                             ? m_folder->driver(row.callsign).name
                             : QStringLiteral("Водій %1").arg(row.callsign);
    m_folder->dispatcherExecute(
        {QStringLiteral(
            "INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_FIO_VODIY, ZAD_AVTO_MARKA_AVTO, "
            "ZAD_AVTO_KOLIR_AVTO, ZAD_AVTO_KUZOV_AVTO, ZAD_AVTO_KIL_PASAGHIR, ZAD_AVTO_RAYON, "
            "ZAD_AVTO_VULICA, ZAD_AVTO_ZADIANIST, ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_NOMER_ZAMOVL, "
            "ZAD_AVTO_YUVILEYKA, ZAD_AVTO_VAGA) "
            "VALUES (?, ?, 'Деу Ланос', 'білий', 'седан', 4, '[08:00:00](){}', ?, ?, ?, ?, ?, 400)")},
        {row.callsign, name, row.stand, row.order != 0 ? 1 : 0, row.queueNumber, row.order,
         row.freeRideMark ? db::SqlValue(QStringLiteral("01.03.2026 10:15:00")) : db::SqlValue(nullptr)});
}

bool DriverSession::start(const IniLines& settings) {
    m_folder->writeSettings(settings);
    m_folder->createSettingsDatabase();
    m_service = std::make_unique<RunningService>(*m_folder);
    if (service().control.isDistributing())
        return true;
    qWarning("the service did not start: %s", qPrintable(op().errors.join(QLatin1Char('\n'))));
    return false;
}

void DriverSession::logIn(int callsign, const std::optional<QString>& password) {
    const DemoDriver& driver = m_folder->driver(callsign);
    sendLogin(m_folder->mainPort(), driver.port, password.value_or(driver.password));
}

bool DriverSession::bind(FakeTerminal& phone, int callsign) {
    // Generous: on a machine busy with builds a login and a binding can take seconds.
    constexpr int kWaitMs = 20000;
    logIn(callsign);
    net::Listener& listener = listenerOf(callsign);
    if (!QTest::qWaitFor([&] { return listener.isListening(); }, kWaitMs))
        return false;
    if (!phone.connectTo(m_folder->driver(callsign).port, kWaitMs))
        return false;
    // Bound once the port counts the one connection and the terminal's offer row is there.
    return QTest::qWaitFor([&] { return listener.connectionCount() == 1; }, kWaitMs) &&
           QTest::qWaitFor([&] { return logContains(QStringLiteral("кіл. підк. = 1")); }, kWaitMs) &&
           QTest::qWaitFor([&] { return m_folder->offerRows(callsign) == 1; }, kWaitMs);
}

net::PortSlot& DriverSession::slotOf(int callsign) {
    net::ConnectionService& connections = service().connections;
    return connections.slot(connections.firstListenerOnPort(m_folder->driver(callsign).port));
}

net::Listener& DriverSession::listenerOf(int callsign) {
    net::ConnectionService& connections = service().connections;
    return connections.driverListener(connections.firstListenerOnPort(m_folder->driver(callsign).port));
}

void DriverSession::refreshStands() {
    service().runAction([this] { SPISOK_STOYANOK(service().services); });
}

QStringList DriverSession::rowsOf(int callsign) {
    const db::ResultSet onAir = m_folder->dispatcherSelect(
        {QStringLiteral("SELECT ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL FROM ZADIANI_AVTO WHERE "
                        "ZAD_AVTO_POZIVNIY = ?")},
        {callsign});
    QStringList rows;
    for (const db::Row& row : onAir.rows())
        rows.append(row.at(0).toText() + QLatin1Char(' ') + row.at(1).toText());
    std::sort(rows.begin(), rows.end());
    return rows;
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

QStringList DriverSession::logLines() const {
    return m_service->logLines();
}

bool DriverSession::waitForLine(const QString& line) {
    return QTest::qWaitFor([&] { return logContains(line); });
}

bool OneBoundDriver::start(const IniLines& settings) {
    m_session = std::make_unique<DriverSession>();
    m_phone = std::make_unique<FakeTerminal>();
    return m_session->start(settings) && m_session->bind(*m_phone, m_callsign);
}

void OneBoundDriver::stop() {
    m_phone.reset();
    m_session.reset();
}

QByteArray encoded(const QString& text) {
    return text.toUtf8().toBase64();
}

} // namespace taxi::test
