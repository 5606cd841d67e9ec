#include "support/drivers_on_stands.h"

#include "app/service.h"
#include "net/listener.h"
#include "orders/stand_table_refresh.h"

#include <QTest>
#include <algorithm>

namespace taxi::test {

DriversOnStands::DriversOnStands() : m_folder(std::make_unique<ServiceFolder>()) {}

DriversOnStands::~DriversOnStands() = default;

void DriversOnStands::putOnAir(const OnAir& row) {
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

void DriversOnStands::start(const IniLines& settings) {
    m_folder->writeSettings(settings);
    m_folder->createSettingsDatabase();
    m_service = std::make_unique<RunningService>(*m_folder);
    QVERIFY2(service().control.isDistributing(), qPrintable(op().errors.join(QLatin1Char('\n'))));
}

void DriversOnStands::bind(FakeTerminal& phone, int callsign) {
    const quint16 port = m_folder->driver(callsign).port;
    sendLogin(m_folder->mainPort(), port, m_folder->driver(callsign).password);
    auto& connections = service().connections;
    net::Listener& listener = connections.driverListener(connections.firstListenerOnPort(port));
    QTRY_VERIFY(listener.isListening());
    QVERIFY(phone.connectTo(port));
    QTRY_COMPARE(listener.connectionCount(), 1);
    // Bound once the slot took in the driver's rows.
    QTRY_VERIFY(m_folder->offerRows(callsign) == 1);
}

net::PortSlot& DriversOnStands::slotOf(int callsign) {
    auto& connections = service().connections;
    return connections.slot(connections.firstListenerOnPort(m_folder->driver(callsign).port));
}

void DriversOnStands::refreshStands() {
    service().runAction([this] { SPISOK_STOYANOK(service().services); });
}

QStringList DriversOnStands::rowsOf(int callsign) {
    QStringList rows;
    for (const db::Row& row :
         m_folder
             ->dispatcherSelect(
                 {QStringLiteral("SELECT ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL FROM ZADIANI_AVTO "
                                 "WHERE ZAD_AVTO_POZIVNIY = ?")},
                 {callsign})
             .rows())
        rows.append(row.at(0).toText() + QLatin1Char(' ') + row.at(1).toText());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList DriversOnStands::journal(int callsign) {
    QStringList entries;
    for (const db::Row& row :
         m_folder
             ->dispatcherSelect({QStringLiteral("SELECT DYA_VODIY_GPRS_DYA FROM DYA_VODIY_GPRS WHERE "
                                                "DYA_VODIY_GPRS_POZ = ? ORDER BY DYA_VODIY_GPRS_NP")},
                                {callsign})
             .rows())
        entries.append(row.at(0).toText());
    return entries;
}

QByteArray encoded(const QString& text) {
    return text.toUtf8().toBase64();
}

} // namespace taxi::test
