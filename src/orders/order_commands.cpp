#include "orders/order_commands.h"

#include "core/callsign_lists.h"
#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/journal.h"
#include "core/services.h"
#include "core/settings.h"
#include "net/connection_service.h"
#include "net/listener.h"
#include "net/request_context.h"
#include "orders/close_order.h"

#include <QDateTime>

namespace taxi {

namespace {

const QString kAcceptJournal = QStringLiteral("Прийняття замовлення");
const QString kRefusalJournal = QStringLiteral("Відмова від замовлення");
const QString kDebtorJournal = QStringLiteral("Добавлення водія у боржники. Перевищення ліміту відмов.");
const QString kCompletionJournal = QStringLiteral("Виконання замовлення");
const QString kDebtorReason = QStringLiteral("Перевищення ліміту відмов від замовлення у системі GPRS");

// Offers wait for the driver's answer only while their moment is set.
void setOfferTime(DataModule& data, int callsign, const db::SqlValue& moment) {
    data.rizne.execute({QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS"),
                        QStringLiteral("SET REFLESH_VODIY_DATETIME = ? "),
                        QStringLiteral("WHERE (REFLESH_VODIY_POZ = ?)")},
                       {moment, callsign});
}

QString orderLine(const QString& request, int orderNumber, int callsign) {
    return request + QString::number(orderNumber) + QStringLiteral("] водієм № ") + QString::number(callsign);
}

// Past the allowed number of refusals on one connection, with the rule switched on, a driver who is not
// yet a debtor becomes one.
bool exceedsRefusalLimit(Settings& settings, const net::PortSlot& slot) {
    if (!settings.isOn(keys::BORG_ZA_VIDMOVU))
        return false;
    const std::optional<int> limit = settings.number(keys::MAX_KIL_VIDMOV);
    return limit && slot.refusalCount > *limit && !CallsignList::debtors(settings).contains(slot.callsign);
}

// The driver is kept off the air: on the debtor list, which the operator saves to the settings file when
// he confirms the list, and on the dispatchers' black list; his connection is cut.
void makeDebtor(const net::RequestContext& context) {
    Services& services = context.services;
    const net::PortSlot& slot = context.slot();
    const int callsign = slot.callsign;
    CallsignList::debtors(services.settings).append(callsign);
    services.journal.writeJournal(callsign, slot.orderNumber, kDebtorJournal);
    services.data.rizne.execute(
        {QStringLiteral("INSERT INTO BL_VODII"),
         QStringLiteral("(BL_VODIY_NOMER, BL_AVTO_POZIVN, BL_DATATIME, BL_AVTOR, BL_TEXT, BL_STATUS)"),
         QStringLiteral("VALUES (IIF((SELECT MAX(BL_VODIY_NOMER) FROM BL_VODII) IS NULL, 1, (SELECT "
                        "MAX(BL_VODIY_NOMER) FROM BL_VODII)+1), "),
         QStringLiteral(" ?, "), QStringLiteral(" ?,"), QStringLiteral(" 'GPRS', "), QStringLiteral(" ?, "),
         QStringLiteral("1)")},
        {callsign, databaseTimestamp(QDateTime::currentDateTime()).left(16), kDebtorReason});
    context.log(QStringLiteral("Добавлення водія № ") + QString::number(callsign) +
                QStringLiteral(" у список боржників (Перевищення ліміту відмов)"));
    net::Listener& listener = services.connections.driverListener(context.k);
    listener.closeAllConnections();
    listener.stopListening();
}

} // namespace

void acceptOrder(const net::RequestContext& context) {
    const net::PortSlot& slot = context.slot();
    if (slot.orderNumber == 0)
        return;
    setOfferTime(context.services.data, slot.callsign, nullptr);
    context.log(
        orderLine(QStringLiteral("Запит на прийняття замовлення №["), slot.orderNumber, slot.callsign));
    if (context.services.settings.isOn(keys::ZAM_PRIYNATTYA))
        context.services.journal.writeJournal(slot.callsign, slot.orderNumber, kAcceptJournal);
}

void refuseOrder(const net::RequestContext& context) {
    Services& services = context.services;
    net::PortSlot& slot = context.slot();
    if (slot.orderNumber == 0)
        return;
    // Dated back beyond the confirmation time, the offer is taken back by the next check of the time-out.
    const int confirmationSeconds = services.settings.number(keys::CHAS_ZN_SEK).value_or(0);
    const QDateTime expired = QDateTime::currentDateTime().addSecs(-(qint64(confirmationSeconds) + 10));
    setOfferTime(services.data, slot.callsign, databaseTimestamp(expired));
    ++slot.refusalCount;
    if (exceedsRefusalLimit(services.settings, slot)) {
        makeDebtor(context);
        return;
    }
    context.log(
        orderLine(QStringLiteral("Запит на відмову від замовлення №["), slot.orderNumber, slot.callsign));
    if (services.settings.isOn(keys::ZAM_VIDMOVA))
        services.journal.writeJournal(slot.callsign, slot.orderNumber, kRefusalJournal);
}

void completeOrder(const net::RequestContext& context) {
    Services& services = context.services;
    net::PortSlot& slot = context.slot();
    if (slot.orderNumber == 0)
        return;
    const int orderNumber = slot.orderNumber;
    closeOrder(services, orderNumber);
    services.data.rizne.execute(
        {QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS"), QStringLiteral("SET REFLESH_VODIY_ZAMOV = '+',"),
         QStringLiteral("    REFLESH_VODIY_DATETIME  = NULL,"), QStringLiteral("    REFLESH_VODIY_NZ = 0"),
         QStringLiteral("WHERE (REFLESH_VODIY_POZ = ?)")},
        {slot.callsign});
    // The order is done whether or not the offer pass has caught up yet: a repeated "@ZKZ@" must not
    // count the ride twice.
    slot.orderNumber = 0;
    context.log(orderLine(QStringLiteral("Запит на закінчення замовлення №["), orderNumber, slot.callsign));
    if (services.settings.isOn(keys::ZAM_VIKONANNYA))
        services.journal.writeJournal(slot.callsign, orderNumber, kCompletionJournal);
}

} // namespace taxi
