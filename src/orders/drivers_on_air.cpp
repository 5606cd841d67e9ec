#include "orders/drivers_on_air.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/db/db_error.h"

#include <QTime>

namespace taxi {

const QStringList kFreeInPool{
    QStringLiteral("WHERE (ZAD_AVTO_VULICA = '[]{}') AND (ZAD_AVTO_ZADIANIST = 0)")};

namespace {

// The acceptance date and time of the driver's latest closed order of a kind, or null when he has none.
db::SqlValue latestClosedOrder(DataModule& data, const QString& kind, const QString& driverFilter,
                               const db::SqlParams& driver) {
    const QString filter = QStringLiteral("WHERE ") + kind + driverFilter;
    db::SqlParams params = driver;
    params.append(driver);
    const db::ResultSet rows = data.rizne.select(
        {QStringLiteral("SELECT  CZ_DATA_PRIYOMA, CZ_CHAS_PRIYOMA  FROM CLOSEZAMOVLENNIA"), filter,
         QStringLiteral(" AND CZ_DATA_PRIYOMA = (SELECT MAX(CZ_DATA_PRIYOMA) FROM CLOSEZAMOVLENNIA  ") +
             filter + QStringLiteral(")"),
         QStringLiteral("ORDER BY CZ_DATA_PRIYOMA, CZ_CHAS_PRIYOMA")},
        params);
    if (rows.isEmpty())
        return nullptr;
    return rows.last()[QStringLiteral("CZ_DATA_PRIYOMA")].toText() + QLatin1Char(' ') +
           rows.last()[QStringLiteral("CZ_CHAS_PRIYOMA")].toText();
}

const QString kFreeRide = QStringLiteral("(CZ_BEZKOSHTOVN = 'TAK') AND (CZ_STATUS_ZAMOVL = 1)");
const QString kOtherClosed = QStringLiteral("(CZ_STATUS_ZAMOVL = -1)");

} // namespace

QString queueNumberText(qint64 number) {
    return number < 10000 ? QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'))
                          : QString::number(number);
}

QString nextQueueNumber(DataModule& data, const QStringList& condition, const db::SqlParams& params) {
    QStringList lines{QStringLiteral("SELECT ZAD_AVTO_CHAS_ZAMOVL FROM ZADIANI_AVTO")};
    lines.append(condition);
    qint64 greatest = 0;
    const db::ResultSet queue = data.rizne.select(lines, params);
    for (const db::Row& row : queue.rows())
        greatest = qMax(greatest, row.at(0).toInt64());
    return queueNumberText(greatest + 1);
}

void putOnAir(DataModule& data, int callsign, const QString& driverName) {
    try {
        data.tranzRizne.commitIfActive();
        const db::ResultSet cars = data.rizne.select(
            {QStringLiteral("SELECT * FROM DANI_AVTO"), QStringLiteral("WHERE (TABL_AVTO_POZIVN = ?)")},
            {callsign});
        const auto car = [&](const char* column) {
            return cars.isEmpty() ? db::Field::null() : cars.first()[QLatin1String(column)];
        };
        const QString queueNumber = nextQueueNumber(data, kFreeInPool, {});
        const QString byDriver = QStringLiteral(" AND (CZ_FIO_TAXI = ?) AND (CZ_POZIVNIY = ?)");
        const db::SqlValue freeRideMark =
            latestClosedOrder(data, kFreeRide, byDriver, {driverName, callsign});
        const db::SqlValue otherClosedMark =
            latestClosedOrder(data, kOtherClosed, byDriver, {driverName, callsign});
        data.rizne.execute(
            {QStringLiteral("INSERT INTO ZADIANI_AVTO"),
             QStringLiteral(
                 "(ZAD_AVTO_POZIVNIY, ZAD_AVTO_FIO_VODIY, ZAD_AVTO_MARKA_AVTO, ZAD_AVTO_KOLIR_AVTO, "
                 "ZAD_AVTO_KUZOV_AVTO, ZAD_AVTO_KIL_PASAGHIR, "),
             QStringLiteral("ZAD_AVTO_RAYON, ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_VULICA, ZAD_AVTO_ZADIANIST,  "
                            "ZAD_AVTO_NOMER_ZAMOVL, ZAD_AVTO_YUVILEYKA, ZAD_AVTO_RIBA, ZAD_AVTO_VAGA) "),
             QStringLiteral("VALUES (?, "), QStringLiteral("        ?, "), QStringLiteral("        ?, "),
             QStringLiteral("        ?, "), QStringLiteral("        ?, "), QStringLiteral("        ?, "),
             QStringLiteral("        ?, "), QStringLiteral("        ?, "), QStringLiteral("        '[]{}', "),
             QStringLiteral("        0, 0, "), QStringLiteral("       ?, "), QStringLiteral("       ?, "),
             QStringLiteral("        ?) ")},
            {callsign, driverName, car("TABL_AVTO_MODEL").toText(), car("TABL_AVTO_KOLIR").toText(),
             car("TABL_AVTO_KUZOV").toText(), car("TABL_AVTO_KILPASAZHIR").toInt64(),
             QLatin1Char('[') + databaseTime(QTime::currentTime()) + QStringLiteral("](){}"), queueNumber,
             freeRideMark, otherClosedMark, car("TABL_AVTO_VAGA").toText()});
        data.tranzRizne.commitIfActive();
    } catch (const db::DbError&) {
        // The driver simply stays without a row on the air.
    }
}

void refreshFreeRideMarks(DataModule& data, int callsign) {
    try {
        const QString byCallsign = QStringLiteral(" AND (CZ_POZIVNIY = ?)");
        const db::SqlValue freeRideMark = latestClosedOrder(data, kFreeRide, byCallsign, {callsign});
        const db::SqlValue otherClosedMark = latestClosedOrder(data, kOtherClosed, byCallsign, {callsign});
        data.rizne.execute(
            {QStringLiteral("UPDATE ZADIANI_AVTO"), QStringLiteral("SET ZAD_AVTO_YUVILEYKA = ?, "),
             QStringLiteral(" ZAD_AVTO_RIBA = ? "), QStringLiteral("WHERE ZAD_AVTO_POZIVNIY = ?")},
            {freeRideMark, otherClosedMark, callsign});
    } catch (const db::DbError&) {
        // The driver keeps his old marks.
    }
    try {
        data.tranzRizne.commitIfActive();
    } catch (const db::DbError&) {
        // Nothing was written that could be lost.
    }
}

} // namespace taxi
