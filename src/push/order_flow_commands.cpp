#include "push/order_flow_commands.h"

#include "core/callsign_lists.h"
#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/integer_text.h"
#include "core/journal.h"
#include "core/services.h"
#include "core/settings.h"
#include "net/protocol_text.h"
#include "net/request_context.h"
#include "push/order_flow.h"

#include <QDateTime>

namespace taxi {

namespace {

const QString kDebtorNotice =
    QStringLiteral("Ви у списку боржників. Можливо ви перевищили ліміт відмов замовлень.");
const QString kApplicationJournal = QStringLiteral("Подача заявки на замовлення з меню потік замовлень");
const QString kUpdateFlow = QStringLiteral("<Action>UpdatePoticZam</Action>");
const QString kPool = QStringLiteral("[]{}");

QString numbered(const QString& mark, int k, const QString& value) {
    const QString tag = mark + QString::number(k);
    return QLatin1Char('<') + tag + QLatin1Char('>') + value + QStringLiteral("</") + tag + QLatin1Char('>');
}

QString flowReply(const net::RequestContext& context, const OrderFlow& flow) {
    QString reply =
        QStringLiteral("<DataPotik><KilZam>") + QString::number(flow.count()) + QStringLiteral("</KilZam>");
    for (int k = 1; k <= flow.numbers().size(); ++k)
        reply += numbered(QStringLiteral("N"), k, flow.numbers().at(k - 1));
    for (int k = 1; k <= flow.lines().size(); ++k)
        reply += numbered(QStringLiteral("#"), k, context.encodeText(flow.lines().at(k - 1)));
    return reply + QStringLiteral("</DataPotik>");
}

QString debtorReply(const net::RequestContext& context) {
    return QStringLiteral("<DataPotik><KilZam>1</KilZam><DataNumPotik>[0]</DataNumPotik><DataZam><#1>") +
           context.encodeText(kDebtorNotice) + QStringLiteral("</#1></DataZam></DataPotik>");
}

// With the stand rule on, only a driver registered at a stand may take an order; with the queue rule too,
// only while nobody free at his one stand has a smaller queue number. A driver at several stands has no
// single queue, so the queue rule leaves him be.
bool passesStandRules(DataModule& data, const Settings& settings, int callsign) {
    const db::ResultSet rows =
        data.rizne.select({QStringLiteral("SELECT ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL  FROM ZADIANI_AVTO"),
                           QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?) and (ZAD_AVTO_VULICA <> '[]{}')")},
                          {callsign});
    if (rows.isEmpty() || rows.last()[QStringLiteral("ZAD_AVTO_VULICA")].toText().isEmpty() ||
        rows.last()[QStringLiteral("ZAD_AVTO_VULICA")].toText() == kPool)
        return false;
    if (rows.size() != 1 || !settings.isOn(keys::OPEN_ZAM_PERSHIY_LIST))
        return true;
    const db::Row& own = rows.first();
    // A busy driver's row holds the time of his order there, not a queue number: he has no place in a queue.
    const std::optional<int> queueNumber = parseInteger(own[QStringLiteral("ZAD_AVTO_CHAS_ZAMOVL")].toText());
    if (!queueNumber)
        return false;
    for (const db::Row& other :
         data.rizne
             .select({QStringLiteral("SELECT  ZAD_AVTO_CHAS_ZAMOVL  FROM ZADIANI_AVTO"),
                      QStringLiteral("WHERE (ZAD_AVTO_VULICA = ?) and (ZAD_AVTO_ZADIANIST = 0)")},
                     {own[QStringLiteral("ZAD_AVTO_VULICA")].toText()})
             .rows()) {
        const std::optional<int> otherNumber = parseInteger(other.at(0).toText());
        if (otherNumber && *otherNumber < *queueNumber)
            return false;
    }
    return true;
}

// The free-ride limit has run out when the driver's row has no free-ride mark.
bool hasFreeRidesLeft(DataModule& data, int callsign) {
    const db::ResultSet rows =
        data.rizne.select({QStringLiteral("SELECT ZAD_AVTO_YUVILEYKA FROM ZADIANI_AVTO"),
                           QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
                          {callsign});
    return !rows.isEmpty() && !rows.first().at(0).toText().isEmpty();
}

// The order goes to the driver: he leaves his other stands, becomes busy at the order's destination, and
// his offer row makes it an offer that waits for his confirmation.
void grantOrder(DataModule& data, const net::PortSlot& slot, int orderNumber, const db::Row& order) {
    data.rizne.execute(
        {QStringLiteral("UPDATE ZAMOVLENNIA"), QStringLiteral("SET ZAMOVL_ROZDACHA_ZAMOVL = '{GPRS}', "),
         QStringLiteral("    ZAMOVL_POZIVNIY = ?, "), QStringLiteral("    ZAMOVL_FIO_TAXI = ? "),
         QStringLiteral("WHERE  (ZAMOVL_NUMBER = ?)")},
        {slot.callsign, slot.driverName, orderNumber});
    data.rizne.execute({QStringLiteral("DELETE FROM ZADIANI_AVTO"),
                        QStringLiteral("WHERE (ZAD_AVTO_ZADIANIST = 0) AND (ZAD_AVTO_POZIVNIY = ?) AND "
                                       "(ZAD_AVTO_VULICA <> ?)")},
                       {slot.callsign, slot.standName});
    const QString destination = order[QStringLiteral("ZAMOVL_PUNKT_PRIZHACH")].toText();
    data.rizne.execute(
        {QStringLiteral("UPDATE ZADIANI_AVTO"), QStringLiteral("SET ZAD_AVTO_ZADIANIST = 1, "),
         QStringLiteral(" ZAD_AVTO_VULICA = ?,  ZAD_AVTO_CHAS_ZAMOVL = ?,  ZAD_AVTO_CHAS_PRIBUTTIA = ?, "),
         QStringLiteral("    ZAD_AVTO_NOMER_ZAMOVL = ? "),
         QStringLiteral("WHERE (ZAD_AVTO_ZADIANIST = 0) AND (ZAD_AVTO_POZIVNIY = ?)")},
        {destination.isEmpty() ? kPool : destination,
         order[QStringLiteral("ZAMOVL_CHAS_PRIYOMA")].toParameter(),
         order[QStringLiteral("ZAMOVL_CHAS_ZAKR_ZAMOVL")].toParameter(), orderNumber, slot.callsign});
    data.rizne.execute(
        {QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS"), QStringLiteral("SET REFLESH_VODIY_ZAMOV = '+',"),
         QStringLiteral("    REFLESH_VODIY_DATETIME  = ?,"), QStringLiteral("    REFLESH_VODIY_NZ = ?"),
         QStringLiteral("WHERE (REFLESH_VODIY_POZ = ?)")},
        {databaseTimestamp(QDateTime::currentDateTime()), orderNumber, slot.callsign});
}

} // namespace

void sendOrderFlow(const net::RequestContext& context) {
    const net::PortSlot& slot = context.slot();
    const bool debtor = CallsignList::debtors(context.services.settings).contains(slot.callsign);
    context.reply(debtor ? debtorReply(context) : flowReply(context, context.services.orderFlow));
    context.log(QStringLiteral("Запит водія № ") + QString::number(slot.callsign) +
                QStringLiteral("  на список адрес замовлень "));
}

void applyForFlowOrder(const net::RequestContext& context) {
    Services& services = context.services;
    Settings& settings = services.settings;
    DataModule& data = services.data;
    net::PortSlot& slot = context.slot();
    slot.flowApplyAllowed = !settings.isOn(keys::LIST_READ_ONLY);
    const std::optional<int> orderNumber =
        parseInteger(net::copyBetween(context.request, QStringLiteral("["), QStringLiteral("]")));
    if (!orderNumber)
        return; // no order number at all: the request is not understood
    const int n = *orderNumber;

    if (n != 0) {
        if (settings.isOn(keys::OPEN_ZAM_FOR_REESTROVANIM) && slot.flowApplyAllowed)
            slot.flowApplyAllowed = passesStandRules(data, settings, slot.callsign);
        if (settings.isOn(keys::OPEN_ZAM_LIMIT_YUVILEYKA) && slot.flowApplyAllowed)
            slot.flowApplyAllowed = hasFreeRidesLeft(data, slot.callsign);
        const db::ResultSet order = data.rizne.select(
            {QStringLiteral("SELECT ZAMOVL_NUMBER, ZAMOVL_PUNKT_PRIZHACH, ZAMOVL_CHAS_PRIYOMA, "
                            "ZAMOVL_CHAS_ZAKR_ZAMOVL, ZAMOVL_POZIVNIY FROM ZAMOVLENNIA"),
             QStringLiteral("WHERE (ZAMOVL_NUMBER = ?)")},
            {n});
        // An order nobody has, for a driver the rules let through and who has no order offered or held.
        const bool granted = !order.isEmpty() &&
                             order.first()[QStringLiteral("ZAMOVL_NUMBER")].toInt() != 0 &&
                             order.first()[QStringLiteral("ZAMOVL_POZIVNIY")].toInt() == 0 &&
                             slot.flowApplyAllowed && !slot.standName.isEmpty();
        if (granted)
            grantOrder(data, slot, n, order.first());
        else
            context.reply(kUpdateFlow);
    }

    if (settings.isOn(keys::ZAM_Z_POTOKU_ZAM))
        services.journal.writeJournal(slot.callsign, n, kApplicationJournal);
    context.log(QStringLiteral("Запит водія № ") + QString::number(slot.callsign) +
                QStringLiteral("  на вибір замовлення з потоку замовлень "));
}

} // namespace taxi
