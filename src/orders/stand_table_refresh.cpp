#include "orders/stand_table_refresh.h"

#include "core/data_module.h"
#include "core/services.h"
#include "core/settings.h"
#include "net/connection_service.h"
#include "net/listener.h"
#include "orders/stand_table.h"

namespace taxi {

namespace {

const QString kMainMenu = QStringLiteral("MAIN");
const QByteArray kUpdateParking = "<Action>UpdateParking</Action>@";

QStringList standNames(DataModule& data, const QString& standStatus) {
    QStringList names;
    for (const db::Row& row : data.rizne
                                  .select({QStringLiteral("SELECT KOORD_KART_MISTA_PIDPIS FROM KARTA_MISTA"),
                                           QStringLiteral("WHERE (KOORD_KART_MISTA_STATUS = ?)"),
                                           QStringLiteral("GROUP BY KOORD_KART_MISTA_PIDPIS")},
                                          {standStatus})
                                  .rows())
        names.append(row.at(0).toText());
    return names;
}

// The free drivers of a stand in queue order, "+" after those with a free-ride mark.
QString queueOf(DataModule& data, const QString& stand) {
    QStringList callsigns;
    for (const db::Row& row :
         data.rizne
             .select({QStringLiteral("SELECT ZAD_AVTO_POZIVNIY, ZAD_AVTO_YUVILEYKA FROM ZADIANI_AVTO"),
                      QStringLiteral("WHERE (ZAD_AVTO_ZADIANIST = 0) AND (ZAD_AVTO_VULICA = ?)"),
                      QStringLiteral("ORDER BY ZAD_AVTO_CHAS_ZAMOVL")},
                     {stand})
             .rows()) {
        const bool freeRideMark = !row.at(1).toText().isEmpty();
        callsigns.append(row.at(0).toText() + (freeRideMark ? QStringLiteral("+") : QString()));
    }
    return callsigns.join(QLatin1Char(','));
}

QStringList buildEntries(DataModule& data, const QString& standStatus) {
    const QStringList names = standNames(data, standStatus);
    // A stand list that names nothing still makes a valid IN clause.
    db::SqlParams inList;
    for (const QString& name : names)
        inList.append(name);
    if (inList.isEmpty())
        inList.append(QStringLiteral("не задано"));
    QStringList marks(inList.size(), QStringLiteral("?"));

    QStringList entries = names;
    const db::ResultSet counts = data.rizne.select(
        {QStringLiteral("SELECT ZAD_AVTO_VULICA, COUNT(ZAD_AVTO_POZIVNIY) FROM ZADIANI_AVTO"),
         QStringLiteral("WHERE (ZAD_AVTO_ZADIANIST = 0) AND (ZAD_AVTO_VULICA IN (") +
             marks.join(QStringLiteral(", ")) + QStringLiteral("))"),
         QStringLiteral("GROUP BY ZAD_AVTO_VULICA")},
        inList);
    for (const db::Row& row : counts.rows()) {
        const QString stand = row.at(0).toText();
        const qsizetype index = names.indexOf(stand);
        if (index < 0)
            continue; // the server matched a name that differs only in trailing blanks
        QString& entry = entries[index];
        entry = QLatin1Char('[') + row.at(1).toText() + QLatin1Char(']') + entry;
        const QString queue = queueOf(data, stand);
        if (!queue.isEmpty())
            entry += QStringLiteral(" {") + queue + QLatin1Char('}');
    }
    entries.prepend(StandTable::kPool);
    return entries;
}

// A stand that is not in the table has no queue.
QString queueIn(const QStringList& entries, const QString& stand) {
    return StandTable::queue(StandTable::findEntry(entries, stand).value_or(QString()));
}

// Only a terminal on its main screen shows the stand's queue, and only the driver's own stand matters.
void notifyQueueChanges(net::ConnectionService& connections, const QStringList& before,
                        const QStringList& after) {
    for (int k = 1; k <= connections.N(); ++k) {
        const net::PortSlot& slot = connections.slot(k);
        if (slot.standName.isEmpty() || slot.standName == StandTable::kPool)
            continue;
        if (!connections.driverListener(k).isListening() || slot.currentMenu != kMainMenu)
            continue;
        if (queueIn(before, slot.standName) != queueIn(after, slot.standName))
            connections.sendToSlot(k, kUpdateParking);
    }
}

} // namespace

void SPISOK_STOYANOK(Services& services) {
    services.data.tranzRizne.commitIfActive();
    const QStringList before = services.stands.entries();
    const QStringList after = buildEntries(services.data, services.settings.text(keys::NAME_STOYANKA));
    services.stands.replace(after);
    notifyQueueChanges(services.connections, before, after);
}

} // namespace taxi
