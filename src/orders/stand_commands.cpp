#include "orders/stand_commands.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/db/db_error.h"
#include "core/integer_text.h"
#include "core/journal.h"
#include "core/settings.h"
#include "net/protocol_text.h"
#include "net/request_context.h"
#include "orders/drivers_on_air.h"
#include "orders/stand_table.h"

#include <QTime>

namespace taxi {

namespace {

const QString kPoolGroup = QStringLiteral("<0>");

db::ResultSet rowsOnAir(DataModule& data, int callsign) {
    return data.rizne.select(
        {QStringLiteral("SELECT * FROM ZADIANI_AVTO"), QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
        {callsign});
}

// A column value copied from one row of the driver's into another.
db::SqlValue copied(const db::Field& field) {
    switch (field.kind()) {
    case db::Field::Kind::Null:
        return nullptr;
    case db::Field::Kind::Integer:
        return field.toInt64();
    default:
        return field.toText();
    }
}

// The stands of the selection's groups "<index>", left to right, each once. A selection without any
// group, or with an index that is not a number or not in the table, is rejected before anything is
// written: it would otherwise take the driver off every stand, off the air.
QStringList selectedStands(QString selection, const QStringList& table) {
    if (!selection.contains(QLatin1Char('<')))
        throw db::DbError(QStringLiteral("Запит на стоянку без вибраної стоянки"));
    QStringList stands;
    while (selection.contains(QLatin1Char('<'))) {
        const QString indexText = net::copyBetween(selection, QStringLiteral("<"), QStringLiteral(">"));
        const std::optional<int> index = parseInteger(indexText);
        if (!index || *index < 0 || *index >= table.size())
            throw db::DbError(QStringLiteral("Стоянки № '%1' немає в списку стоянок").arg(indexText));
        const qsizetype open = selection.indexOf(QLatin1Char('<'));
        selection.remove(open, selection.indexOf(QLatin1Char('>')) - open + 1);
        const QString stand = StandTable::standName(table.at(*index));
        // A stand named twice would give the driver two places in one queue.
        if (!stands.contains(stand))
            stands.append(stand);
    }
    return stands;
}

// Where the driver stands now, each stand once.
QStringList standsOf(const db::ResultSet& rows) {
    QStringList stands;
    for (const db::Row& row : rows.rows()) {
        const QString stand = row[QStringLiteral("ZAD_AVTO_VULICA")].toText();
        if (!stand.isEmpty() && !stands.contains(stand))
            stands.append(stand);
    }
    return stands;
}

// A new row at the end of the stand's queue, with the car as the driver's other rows describe it.
QString joinStand(DataModule& data, const net::PortSlot& slot, const db::Row& car, const QString& stand) {
    const QString queueNumber = nextQueueNumber(
        data, {QStringLiteral("WHERE (ZAD_AVTO_VULICA = ?) AND (ZAD_AVTO_ZADIANIST = 0)")}, {stand});
    const auto column = [&](const char* name) {
        return copied(car[QLatin1String(name)]);
    };
    data.rizne.execute(
        {QStringLiteral("INSERT INTO ZADIANI_AVTO"),
         QStringLiteral("(ZAD_AVTO_POZIVNIY, ZAD_AVTO_FIO_VODIY, ZAD_AVTO_MARKA_AVTO, ZAD_AVTO_KOLIR_AVTO, "
                        "ZAD_AVTO_KUZOV_AVTO, ZAD_AVTO_RIBA, ZAD_AVTO_YUVILEYKA, "),
         QStringLiteral(" ZAD_AVTO_KIL_PASAGHIR, ZAD_AVTO_RAYON, ZAD_AVTO_VULICA, ZAD_AVTO_ZADIANIST, "
                        "ZAD_AVTO_DATA_ZAMOVL, ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_DATA_PRIBUTTIA, "
                        "ZAD_AVTO_CHAS_PRIBUTTIA, ZAD_AVTO_NOMER_ZAMOVL, ZAD_AVTO_VAGA)"),
         QStringLiteral("VALUES (?, "), QStringLiteral("      ?, "), QStringLiteral("      ?, "),
         QStringLiteral("      ?, "), QStringLiteral("      ?, "), QStringLiteral("      ?, "),
         QStringLiteral("      ?, "), QStringLiteral("      ?, "), QStringLiteral("      ?, "),
         QStringLiteral("      ?, "), QStringLiteral("      0, null, "),
         QStringLiteral("      ?, null, null, 0, ?) ")},
        {slot.callsign, slot.driverName, column("ZAD_AVTO_MARKA_AVTO"), column("ZAD_AVTO_KOLIR_AVTO"),
         column("ZAD_AVTO_KUZOV_AVTO"), column("ZAD_AVTO_RIBA"), column("ZAD_AVTO_YUVILEYKA"),
         column("ZAD_AVTO_KIL_PASAGHIR"),
         QLatin1Char('[') + databaseTime(QTime::currentTime()) + QStringLiteral("](){}"), stand, queueNumber,
         column("ZAD_AVTO_VAGA")});
    return queueNumber;
}

void leaveStand(DataModule& data, int callsign, const QString& stand) {
    data.rizne.execute({QStringLiteral("DELETE FROM ZADIANI_AVTO"),
                        QStringLiteral("WHERE ((ZAD_AVTO_POZIVNIY = ?) AND (ZAD_AVTO_VULICA = ?))")},
                       {callsign, stand});
}

} // namespace

void sendStandTable(const net::RequestContext& context) {
    Services& services = context.services;
    const QStringList& entries = services.stands.entries();
    QString reply =
        QStringLiteral("<DataOnParking><Kil>") + QString::number(entries.size()) + QStringLiteral("</Kil>");
    for (qsizetype i = 1; i <= entries.size(); ++i) {
        const QString number = QString::number(i);
        reply += QStringLiteral("<#") + number + QLatin1Char('>') + context.encodeText(entries.at(i - 1)) +
                 QStringLiteral("</#") + number + QLatin1Char('>');
    }
    reply += QStringLiteral("<MaxKilSt>") + services.settings.text(keys::MAX_CIL_POSTANOV_STOYANK) +
             QStringLiteral("</MaxKilSt></DataOnParking>");
    context.reply(reply);

    const int callsign = context.slot().callsign;
    if (services.settings.isOn(keys::MENU_STOYNKA))
        services.journal.writeJournal(callsign, 0, QStringLiteral("Обновлення списка стоянок"));
    context.log(QStringLiteral("Запит на стоянку водій № ") + QString::number(callsign));
}

void registerAtStands(const net::RequestContext& context) {
    Services& services = context.services;
    DataModule& data = services.data;
    net::PortSlot& slot = context.slot();

    QString selection = net::copyBetween(context.request, QStringLiteral("["), QStringLiteral("]"));
    if (selection.contains(kPoolGroup))
        selection = kPoolGroup;

    const db::ResultSet rows = rowsOnAir(data, slot.callsign);
    QStringList leaving = standsOf(rows);
    QStringList selected;
    if (slot.orderNumber != 0)
        leaving.clear(); // a driver with an order neither joins nor leaves stands
    else
        selected = selectedStands(selection, services.stands.entries());
    if (rows.isEmpty() && !selected.isEmpty())
        throw db::DbError(QStringLiteral("Водія № %1 немає в ефірі: стоянку не змінено").arg(slot.callsign));

    QString lastQueueNumber;
    for (const QString& stand : selected) {
        if (leaving.contains(stand))
            leaving.removeOne(stand); // he stays, with his old place in the queue
        else
            lastQueueNumber = joinStand(data, slot, rows.last(), stand);
    }
    for (const QString& stand : std::as_const(leaving))
        leaveStand(data, slot.callsign, stand);

    const bool journalOn = services.settings.isOn(keys::ZMINA_STOYANKA);
    for (const db::Row& row : rowsOnAir(data, slot.callsign).rows()) {
        const QString stand = row[QStringLiteral("ZAD_AVTO_VULICA")].toText();
        if (journalOn)
            services.journal.writeJournal(slot.callsign, 0,
                                          QStringLiteral("Зміна стоянки на [") + stand + QLatin1Char(']'));
        context.log(QStringLiteral("Реєстрація на стоянці  [") + stand + QStringLiteral("]   водія  № ") +
                    QString::number(slot.callsign));
    }

    slot.standName = selected.isEmpty() ? QString() : selected.last();
    slot.standPosition = lastQueueNumber;
}

} // namespace taxi
