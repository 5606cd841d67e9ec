#include "push/message_notice.h"

#include "core/data_module.h"
#include "core/journal.h"
#include "core/services.h"
#include "net/connection_service.h"

namespace taxi {

namespace {
const QByteArray kNewMessage = "<Action>InsertPersonalMsg</Action>@";
const QString kMainMenu = QStringLiteral("MAIN");
const QString kMessageJournal = QStringLiteral("Створення повідомлення для водія");
} // namespace

void announcePersonalMessage(Services& services) {
    DataModule& data = services.data;
    data.tranzRizne.commitIfActive();
    // The alert does not say which message is new: it is taken to be the one with the highest number.
    const db::ResultSet newest = data.rizne.select(
        {QStringLiteral("SELECT MSG_FOR_VODIY_POZ, MSG_FOR_VODIY_FIO FROM MSG_FOR_VODIY"),
         QStringLiteral(
             "WHERE (MSG_FOR_VODIY_NP <> 0) AND (MSG_FOR_VODIY_NP = (SELECT MAX(MSG_FOR_VODIY_NP) FROM "
             "MSG_FOR_VODIY))")});
    if (newest.isEmpty())
        return;
    const int callsign = newest.last()[QStringLiteral("MSG_FOR_VODIY_POZ")].toInt();
    const QString driverName = newest.last()[QStringLiteral("MSG_FOR_VODIY_FIO")].toText();
    if (callsign == 0)
        return;
    net::ConnectionService& connections = services.connections;
    for (int k = 1; k <= connections.N(); ++k) {
        const net::PortSlot& slot = connections.slot(k);
        if (slot.callsign != callsign || slot.driverName != driverName)
            continue;
        if (slot.currentMenu == kMainMenu)
            connections.sendToSlot(k, kNewMessage);
        services.journal.writeJournal(callsign, 0, kMessageJournal);
    }
}

} // namespace taxi
