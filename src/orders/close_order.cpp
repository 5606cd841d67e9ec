#include "orders/close_order.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/db/db_error.h"
#include "core/operator.h"
#include "core/services.h"
#include "core/settings.h"
#include "orders/drivers_on_air.h"

#include <QDateTime>

namespace taxi {

namespace {

const QString kWrongRecords = QStringLiteral("НЕПРАВИЛЬНО  ВНЕСЕНІ  ЗАПИСИ / ЗАДОВГІ НАЗВИ ");
const QString kFreeRide = QStringLiteral("TAK");
const QString kPaidRide = QStringLiteral("HI");

// What closing needs to know of the order.
struct ClosingOrder {
    int number = 0;
    QString freeFlag;
    int callsign = 0;
    int clientCode = 0;
    QString driverName;
};

// An order that is gone reads as empty: its driver is still freed.
ClosingOrder readOrder(DataModule& data, int orderNumber) {
    const db::ResultSet rows = data.rizne.select(
        {QStringLiteral("SELECT * FROM ZAMOVLENNIA"), QStringLiteral("WHERE ZAMOVL_NUMBER = ?")},
        {orderNumber});
    const auto field = [&](const char* column) {
        return rows.isEmpty() ? db::Field::null() : rows.first()[QLatin1String(column)];
    };
    return {orderNumber, field("ZAMOVL_BEZKOSHTOVN").toText(), field("ZAMOVL_POZIVNIY").toInt(),
            field("ZAMOVL_NOMER_KLIENT").toInt(), field("ZAMOVL_FIO_TAXI").toText()};
}

// The driver's free-ride marks as they stand, with one more "+" between the parentheses.
QString rayonWithOneMoreFreeRide(DataModule& data, int orderNumber) {
    const db::ResultSet rows =
        data.dodatRizne.select({QStringLiteral("SELECT  ZAD_AVTO_RAYON  FROM ZADIANI_AVTO"),
                                QStringLiteral("WHERE (ZAD_AVTO_NOMER_ZAMOVL = ?)")},
                               {orderNumber});
    QString rayon = rows.isEmpty() ? QString() : rows.last().at(0).toText();
    return rayon.insert(rayon.indexOf(QLatin1Char('(')) + 1, QLatin1Char('+'));
}

// The driver who held the order goes to the end of the queue of the stand (or pool) he took it at.
void freeTheDriver(DataModule& data, const ClosingOrder& order) {
    const QString queueNumber = nextQueueNumber(
        data,
        {QStringLiteral("WHERE (ZAD_AVTO_VULICA = (SELECT ZAD_AVTO_VULICA FROM  ZADIANI_AVTO  WHERE "
                        "ZAD_AVTO_NOMER_ZAMOVL = ?)) AND (ZAD_AVTO_ZADIANIST = 0)")},
        {order.number});
    QStringList lines{QStringLiteral("UPDATE ZADIANI_AVTO"), QStringLiteral("SET ZAD_AVTO_ZADIANIST = 0, "),
                      QStringLiteral("    ZAD_AVTO_CHAS_ZAMOVL = ?, "),
                      QStringLiteral("    ZAD_AVTO_CHAS_PRIBUTTIA = NULL, ")};
    db::SqlParams params{queueNumber};
    if (order.freeFlag == kFreeRide) {
        lines.append(QStringLiteral("    ZAD_AVTO_RAYON = ?, "));
        params.append(rayonWithOneMoreFreeRide(data, order.number));
    }
    lines.append({QStringLiteral("    ZAD_AVTO_NOMER_ZAMOVL = 0 "),
                  QStringLiteral("WHERE ZAD_AVTO_NOMER_ZAMOVL = ?")});
    params.append(order.number);
    data.rizne.execute(lines, params);
}

void markClosed(DataModule& data, int orderNumber, const QDateTime& now) {
    data.rizne.execute(
        {QStringLiteral("UPDATE ZAMOVLENNIA"), QStringLiteral("SET ZAMOVL_DATA_ZAKR_ZAMOVL = ?, "),
         QStringLiteral("    ZAMOVL_CHAS_ZAKR_ZAMOVL = ?, "), QStringLiteral("    ZAMOVL_STATUS_ZAMOVL = 1 "),
         QStringLiteral("WHERE ZAMOVL_NUMBER = ?")},
        {databaseDate(now.date()), databaseTime(now.time()).left(5), orderNumber});
}

// A client is found by his code, written to five digits at least, in brackets among his notes.
QString bracketedClientCode(int clientCode) {
    return QLatin1Char('[') + QStringLiteral("%1").arg(clientCode, 5, 10, QLatin1Char('0')) +
           QLatin1Char(']');
}

// A paid ride counts towards the client's next free ride; a free ride uses one up.
void countTheRideForTheClient(Services& services, const ClosingOrder& order) {
    if (order.clientCode == 0)
        return;
    DataModule& data = services.data;
    const QString byClient = QStringLiteral("WHERE KLIENT_DODATKOVO LIKE '%' || ? || '%'");
    const QString code = bracketedClientCode(order.clientCode);
    if (order.freeFlag == kPaidRide) {
        data.rizne.execute({QStringLiteral("UPDATE KLIENT"),
                            QStringLiteral("SET KLIENT_KIL_VIKLIK = KLIENT_KIL_VIKLIK + 1 "), byClient},
                           {code});
        const QString thresholdText = services.settings.text(keys::YUVILEYKA_VIKLIK);
        const std::optional<int> threshold = services.settings.number(keys::YUVILEYKA_VIKLIK);
        if (!threshold)
            throw db::DbError(QStringLiteral("'%1' is not a valid integer value").arg(thresholdText));
        if (*threshold != 0) {
            data.rizne.execute({QStringLiteral("UPDATE KLIENT"),
                                QStringLiteral("SET KLIENT_KIL_VIKLIK = 0, "),
                                QStringLiteral("    KLIENT_KIL_FREE_VIKLIK = KLIENT_KIL_FREE_VIKLIK + 1 "),
                                byClient, QStringLiteral("  and (KLIENT_KIL_VIKLIK >= ?)")},
                               {code, *threshold});
        }
        data.tranzRizne.commitIfActive();
    } else if (order.freeFlag == kFreeRide) {
        data.rizne.execute({QStringLiteral("UPDATE KLIENT"),
                            QStringLiteral("SET KLIENT_KIL_FREE_VIKLIK = KLIENT_KIL_FREE_VIKLIK - 1 "),
                            byClient},
                           {code});
        data.tranzRizne.commitIfActive();
    }
}

void countTheRideForTheCar(DataModule& data, const ClosingOrder& order) {
    data.rizne.execute({QStringLiteral("UPDATE DANI_AVTO"),
                        QStringLiteral("SET  TABL_AVTO_KILVIKLIK = TABL_AVTO_KILVIKLIK + 1 "),
                        QStringLiteral("WHERE (TABL_AVTO_POZIVN = ?) AND (TABL_AVTO_NOM_VODIY = (SELECT "
                                       "TABL_VODIY_NOMER  FROM VODII WHERE TABL_VODIY_FIO = ?))")},
                       {order.callsign, order.driverName});
}

} // namespace

void closeOrder(Services& services, int orderNumber) {
    DataModule& data = services.data;
    data.tranzRizne.commitIfActive();
    if (orderNumber == 0)
        return;
    const ClosingOrder order = readOrder(data, orderNumber);
    try {
        const QDateTime now = QDateTime::currentDateTime();
        freeTheDriver(data, order);
        markClosed(data, order.number, now);
        countTheRideForTheClient(services, order);
        countTheRideForTheCar(data, order);
        data.tranzRizne.commitIfActive();
        if (order.freeFlag == kFreeRide)
            refreshFreeRideMarks(data, order.callsign);
    } catch (const db::DbError&) {
        // Whatever was written before the failure stays; the completion itself goes on.
        services.op.showError(kWrongRecords);
    }
}

} // namespace taxi
