#include "push/offers.h"

#include "core/data_module.h"
#include "core/db/db_error.h"
#include "core/services.h"
#include "net/connection_service.h"
#include "net/held_order.h"

#include <QDateTime>

namespace taxi {

namespace {

const QByteArray kRefreshData = "<Action>RefleshDataZam</Action>@";
const QString kNoOrderStatus = QStringLiteral("X");

// The screens a terminal reports; one that has reported none since it connected is not told.
const QStringList kMenusTold{QStringLiteral("MAIN"),     QStringLiteral("MENUOPITUVAN"),
                             QStringLiteral("POTIK"),    QStringLiteral("STOYANKI"),
                             QStringLiteral("PIDSADKA"), QStringLiteral("NEWS"),
                             QStringLiteral("ZVIT")};

// The stand is emptied: while the driver has an order offered or held the order flow gives him no other.
void loadOfferedOrder(DataModule& data, net::PortSlot& slot, int orderNumber) {
    const db::ResultSet orders = data.rizne.select(
        {QStringLiteral("SELECT * FROM ZAMOVLENNIA"), QStringLiteral("WHERE (ZAMOVL_NUMBER = ?)")},
        {orderNumber});
    if (orders.isEmpty())
        throw db::DbError(QStringLiteral("Замовлення № %1 не знайдено").arg(orderNumber));
    const db::Row& order = orders.last();
    net::loadHeldOrder(slot, order); // throws before it changes anything
    slot.orderNumber = order[QStringLiteral("ZAMOVL_NUMBER")].toInt();
    slot.standName.clear();
    slot.standPosition = QStringLiteral("0");
}

// A driver registered at several stands has a row for each; the last one is the one shown.
void loadStand(DataModule& data, net::PortSlot& slot, int callsign) {
    const db::ResultSet onAir = data.rizne.select(
        {QStringLiteral("SELECT * FROM ZADIANI_AVTO"), QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
        {callsign});
    const auto field = [&](const char* column) {
        return onAir.isEmpty() ? QString() : onAir.last()[QLatin1String(column)].toText();
    };
    const QString standName = field("ZAD_AVTO_VULICA");
    const QString standPosition = field("ZAD_AVTO_CHAS_ZAMOVL");
    slot.orderNumber = 0;
    slot.orderTime = QDateTime::currentDateTime();
    slot.orderFrom.clear();
    slot.orderTo.clear();
    slot.clientCode = 0;
    slot.orderStatus = kNoOrderStatus;
    slot.orderExtra.clear();
    slot.standName = standName;
    slot.standPosition = standPosition;
}

void deliverOffer(Services& services, const db::Row& offer) {
    net::ConnectionService& connections = services.connections;
    const int s = offer[QStringLiteral("REFLESH_VODIY_PORT")].toInt();
    if (s < 1 || s > connections.N())
        return;
    const int callsign = offer[QStringLiteral("REFLESH_VODIY_POZ")].toInt();
    const int orderNumber = offer[QStringLiteral("REFLESH_VODIY_NZ")].toInt();
    if (orderNumber != 0)
        loadOfferedOrder(services.data, connections.slot(s), orderNumber);
    else
        loadStand(services.data, connections.slot(s), callsign);

    // Left to the end of the event: the dispatchers see the row delivered once all of it is done.
    services.data.rizne.execute({QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS"),
                                 QStringLiteral("SET REFLESH_VODIY_ZAMOV = NULL"),
                                 QStringLiteral("WHERE (REFLESH_VODIY_POZ = ?)")},
                                {callsign});
    if (kMenusTold.contains(connections.slot(s).currentMenu))
        connections.sendToSlot(s, kRefreshData);
}

} // namespace

void REFLESH_DATE_POVIDOML_PORT(Services& services) {
    DataModule& data = services.data;
    services.connections.offersPending = false;
    data.tranzDaniActivVod.commitIfActive();
    data.tranzRizne.commitIfActive();

    const db::ResultSet marked =
        data.tableDaniActivVod.select({QStringLiteral("SELECT * FROM REFLESH_DANI_VODIY_GPRS"),
                                       QStringLiteral("WHERE (REFLESH_VODIY_ZAMOV = '+')")});
    for (const db::Row& offer : marked.rows()) {
        try {
            deliverOffer(services, offer);
        } catch (const db::DbError&) {
            // The row keeps its mark and is tried again by the next pass; the drivers behind it are
            // not kept waiting for it.
        }
    }

    const db::ResultSet timed =
        data.tableDaniActivVod.select({QStringLiteral("SELECT * FROM REFLESH_DANI_VODIY_GPRS"),
                                       QStringLiteral("WHERE (REFLESH_VODIY_DATETIME IS NOT NULL)")});
    if (!timed.isEmpty())
        services.connections.offersPending = true;
    data.tranzDaniActivVod.commitIfActive();
}

} // namespace taxi
