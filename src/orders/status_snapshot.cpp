#include "orders/status_snapshot.h"

#include "core/callsign_lists.h"
#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/settings.h"
#include "net/protocol_text.h"
#include "net/request_context.h"
#include "orders/stand_table.h"

namespace taxi {

using net::element;

namespace {

// Each stand the driver is at as the table shows it (name and queue), joined by "^"; "[]{}" when he
// is in the pool or holds an order.
QString standDescription(DataModule& data, const StandTable& stands, const net::PortSlot& slot) {
    if (slot.standName.isEmpty() || slot.standName == StandTable::kPool || slot.orderNumber != 0)
        return StandTable::kPool;
    QStringList pieces;
    for (const db::Row& row : data.rizne
                                  .select({QStringLiteral("SELECT ZAD_AVTO_VULICA FROM ZADIANI_AVTO"),
                                           QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
                                          {slot.callsign})
                                  .rows()) {
        const std::optional<QString> entry = stands.entryOf(row.at(0).toText());
        pieces.append(entry ? StandTable::withoutFreeCount(*entry) : StandTable::kPool);
    }
    return pieces.join(QLatin1Char('^'));
}

// The terminal reads the host's customary form: date and time, the time left out at midnight.
QString localDateTimeText(const QDateTime& moment) {
    return moment.time() == QTime(0, 0) ? databaseDate(moment.date()) : operatorTimestamp(moment);
}

int unansweredPolls(DataModule& data, const net::PortSlot& slot) {
    return data.rizne
        .select({QStringLiteral("SELECT COUNT(OP_NUMBER) FROM OPITUVANNYA_VODIY"),
                 QStringLiteral("WHERE (OP_STATUS = 'Z')"),
                 QStringLiteral(" AND (OP_DATATIME_CLOSE IS NULL)"),
                 QStringLiteral(" AND (OP_NUMBER NOT IN (SELECT OP_MAIN_NUM FROM OPITUVANNYA_VODIY WHERE "
                                "((OP_STATUS = 'V') AND (OP_POZ = ?) AND (PO_FIO_VODIY = ?))))")},
                {slot.callsign, slot.driverName})
        .first()
        .at(0)
        .toInt();
}

} // namespace

int unreadMessages(DataModule& data, const net::PortSlot& slot) {
    return data.rizne
        .select({QStringLiteral("SELECT COUNT(MSG_FOR_VODIY_NP) FROM MSG_FOR_VODIY"),
                 QStringLiteral("WHERE (MSG_FOR_VODIY_DREADER is null) and (MSG_FOR_VODIY_STATUS <> 'A') AND "
                                "(MSG_FOR_VODIY_FIO = ?) AND (MSG_FOR_VODIY_POZ = ?)")},
                {slot.driverName, slot.callsign})
        .first()
        .at(0)
        .toInt();
}

void sendStatusSnapshot(const net::RequestContext& context) {
    Services& services = context.services;
    Settings& settings = services.settings;
    DataModule& data = services.data;
    const net::PortSlot& slot = context.slot();

    QString reply =
        QStringLiteral("<DataClient>") + element(QStringLiteral("NumZam"), QString::number(slot.orderNumber));
    reply += element(QStringLiteral("DataStoyanka"),
                     context.encodeText(standDescription(data, services.stands, slot)));
    reply += element(QStringLiteral("NumNaStoyanci"),
                     slot.standPosition.isEmpty() ? QStringLiteral("0") : slot.standPosition);
    reply += element(QStringLiteral("DateZam"), localDateTimeText(slot.orderTime));
    reply += element(QStringLiteral("Zvidky"), context.encodeText(slot.orderFrom));
    reply += element(QStringLiteral("Kudy"), context.encodeText(slot.orderTo));
    reply += element(QStringLiteral("KodClient"), QString::number(slot.clientCode));
    reply += element(QStringLiteral("Status"), slot.orderStatus);
    reply += element(QStringLiteral("Dod"), context.encodeText(slot.orderExtra));
    const bool flowAccess =
        settings.isOn(keys::DOSTUP_POTOK_ZAKAZ) || CallsignList::flowAccess(settings).contains(slot.callsign);
    reply += element(QStringLiteral("DostZam"), flowAccess ? QStringLiteral("1") : QStringLiteral("0"));

    data.tranzRizne.commitIfActive();
    reply += element(QStringLiteral("KilMsg"), QString::number(unreadMessages(data, slot)));
    reply += element(QStringLiteral("KilZam"), QString::number(services.ordersInFlow()));
    const int polls = settings.isOn(keys::DOST_OPITUVANNYA) ? unansweredPolls(data, slot) : 0;
    reply += element(QStringLiteral("KilOpituvan"), QString::number(polls));
    context.reply(reply + QStringLiteral("</DataClient>"));
}

} // namespace taxi
