#include "push/offer_timeout.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/journal.h"
#include "core/services.h"
#include "core/settings.h"
#include "net/connection_service.h"
#include "orders/drivers_on_air.h"

namespace taxi {

namespace {

const QString kMissedOffer = QStringLiteral("Непідтвердження замовлення - пропуск замовлення");

bool hasExpired(const Settings& settings, const db::Row& offer) {
    const std::optional<QDateTime> offeredAt =
        parseTimestamp(offer[QStringLiteral("REFLESH_VODIY_DATETIME")].toText());
    if (!offeredAt)
        return false; // a moment that cannot be read is never taken for a missed one
    const int confirmationSeconds = settings.number(keys::CHAS_ZN_SEK).value_or(0);
    return offeredAt->addSecs(confirmationSeconds) < QDateTime::currentDateTime();
}

void withdraw(Services& services, int callsign, int orderNumber, int slotIndex) {
    DataModule& data = services.data;
    // Committed before each row, so that the next expired driver is queued behind this one.
    data.tranzRizne.commitIfActive();
    const QString queueNumber = nextQueueNumber(data, kFreeInPool, {});
    data.rizne.execute(
        {QStringLiteral("UPDATE ZADIANI_AVTO"), QStringLiteral("SET ZAD_AVTO_ZADIANIST = 0, "),
         QStringLiteral("    ZAD_AVTO_VULICA = '[]{}',"), QStringLiteral("    ZAD_AVTO_CHAS_ZAMOVL = ?,"),
         QStringLiteral("    ZAD_AVTO_CHAS_PRIBUTTIA = null,"),
         QStringLiteral("    ZAD_AVTO_NOMER_ZAMOVL = 0"), QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
        {queueNumber, callsign});
    data.rizne.execute(
        {QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS"), QStringLiteral("SET REFLESH_VODIY_ZAMOV = '+',"),
         QStringLiteral("    REFLESH_VODIY_DATETIME  = NULL,"), QStringLiteral("    REFLESH_VODIY_NZ = 0"),
         QStringLiteral("WHERE (REFLESH_VODIY_POZ = ?)")},
        {callsign});
    data.rizne.execute(
        {QStringLiteral("UPDATE ZAMOVLENNIA"), QStringLiteral("SET ZAMOVL_ROZDACHA_ZAMOVL = NULL,"),
         QStringLiteral("    ZAMOVL_POZIVNIY = NULL,"), QStringLiteral("    ZAMOVL_FIO_TAXI = NULL,"),
         QStringLiteral("    ZAMOVL_STATUS_ZAMOVL = 0,"),
         QStringLiteral("    ZAMOVL_CHAS_PRIYOM_VODIY = NULL"), QStringLiteral("WHERE (ZAMOVL_NUMBER = ?)")},
        {orderNumber});
    // The order is no longer his even before the offer pass delivers it: a late "@PRZ@", "@VDZ@" or
    // "@ZKZ@" must not accept, refuse or close an order that is open again for other drivers.
    net::ConnectionService& connections = services.connections;
    if (slotIndex >= 1 && slotIndex <= connections.N()) {
        net::PortSlot& slot = connections.slot(slotIndex);
        if (slot.callsign == callsign && slot.orderNumber == orderNumber)
            slot.orderNumber = 0;
    }
    services.journal.writeJournal(callsign, orderNumber, kMissedOffer);
}

} // namespace

void withdrawExpiredOffers(Services& services) {
    DataModule& data = services.data;
    data.tranzDaniActivVod.commitIfActive();
    const db::ResultSet offers = data.tableDaniActivVod.select(
        {QStringLiteral("SELECT * FROM REFLESH_DANI_VODIY_GPRS"),
         QStringLiteral("WHERE (REFLESH_VODIY_DATETIME is not null) AND (REFLESH_VODIY_NZ<>0)")});
    for (const db::Row& offer : offers.rows()) {
        if (!hasExpired(services.settings, offer))
            continue;
        withdraw(services, offer[QStringLiteral("REFLESH_VODIY_POZ")].toInt(),
                 offer[QStringLiteral("REFLESH_VODIY_NZ")].toInt(),
                 offer[QStringLiteral("REFLESH_VODIY_PORT")].toInt());
    }
    data.tranzRizne.commitIfActive();
    data.tranzDaniActivVod.commitIfActive();
}

} // namespace taxi
