#include "info/messages.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/db/db_error.h"
#include "core/integer_text.h"
#include "core/journal.h"
#include "core/setting_definitions.h"
#include "core/settings.h"
#include "net/protocol_text.h"
#include "net/request_context.h"

#include <QDateTime>

namespace taxi {

namespace {

const QString kNoMessages = QStringLiteral("немає не прочитаних повідомлень");
// MSG_FOR_VODIY_TEXT holds no more; the complaint row keeps the whole text.
constexpr int kMessageTextLength = 500;

QString now() {
    return databaseTimestamp(QDateTime::currentDateTime());
}

// Appends the rows as the message screen shows them, numbering on from `number`.
void appendMessages(QString& text, int& number, const db::ResultSet& rows, const QString& authorMark) {
    for (const db::Row& row : rows.rows()) {
        text += QString::number(number++) + QStringLiteral(". [") +
                row[QStringLiteral("MSG_FOR_VODIY_DCREATE")].toText() + QStringLiteral("]<") + authorMark +
                row[QStringLiteral("MSG_FOR_VODIY_AVTOR")].toText() + QStringLiteral(">  ") +
                row[QStringLiteral("MSG_FOR_VODIY_TEXT")].toText() + QStringLiteral("  ==============   ");
    }
}

struct Complaint {
    QString addressee;
    QString text;
};

// The payload sits between "@SKARGA(" and the closing ")@": addressee "~" text, each in Base64; without
// "~" it is all text.
Complaint complaintOf(const QString& request) {
    const QString payload = request.size() > 10 ? request.mid(8, request.size() - 10) : QString();
    const qsizetype tilde = payload.indexOf(QLatin1Char('~'));
    if (tilde < 0)
        return {QString(), net::decodeText(payload)};
    return {net::decodeText(QStringView(payload).left(tilde)),
            net::decodeText(QStringView(payload).mid(tilde + 1))};
}

// Writes one message row for every driver of the target callsign; whatever fails is only reported.
void sendToDrivers(const net::RequestContext& context, const QString& target, const QString& text) {
    DataModule& data = context.services.data;
    const QString sender = QString::number(context.slot().callsign);
    try {
        const std::optional<int> callsign = statementNumber(target);
        const db::ResultSet names =
            callsign ? data.rizne.select(
                           {QStringLiteral("SELECT TABL_VODIY_FIO FROM VODII"),
                            QStringLiteral("WHERE (TABL_VODIY_FIO IS NOT NULL) AND (TABL_VODIY_NOMER IN "
                                           "(SELECT TABL_AVTO_NOM_VODIY FROM DANI_AVTO WHERE "
                                           "(TABL_AVTO_POZIVN = ?)))"),
                            QStringLiteral("GROUP BY TABL_VODIY_FIO")},
                           {*callsign})
                     : db::ResultSet();
        for (const db::Row& name : names.rows()) {
            data.rizne.execute(
                {QStringLiteral("INSERT INTO MSG_FOR_VODIY"),
                 QStringLiteral(
                     "(MSG_FOR_VODIY_NP, MSG_FOR_VODIY_DCREATE, MSG_FOR_VODIY_STATUS, MSG_FOR_VODIY_POZ, "
                     "MSG_FOR_VODIY_FIO, MSG_FOR_VODIY_TEXT, MSG_FOR_VODIY_AVTOR)"),
                 QStringLiteral(
                     "VALUES (IIF((SELECT MAX(MSG_FOR_VODIY_NP) FROM MSG_FOR_VODIY) IS NULL, 1, (SELECT "
                     "MAX(MSG_FOR_VODIY_NP) FROM MSG_FOR_VODIY)+1),"),
                 QStringLiteral("     ?,"), QStringLiteral("     'V',"), QStringLiteral("     ?,"),
                 QStringLiteral("     ?,"), QStringLiteral("     ?,"), QStringLiteral("     ?)")},
                {now(), *callsign, name.at(0).toText(), text.left(kMessageTextLength),
                 QStringLiteral("Від позивного ") + sender});
        }
        context.log(QStringLiteral("Повідомлення від водія № ") + sender + QStringLiteral(" водію № ") +
                    target + QStringLiteral(" УСПІШНО ВІДПРАВЛЕНО"));
    } catch (const db::DbError&) {
        // Rows already written stay; the complaint itself goes on.
        context.log(QStringLiteral("Спроба відправлення повідомлення від водія № ") + sender +
                    QStringLiteral(" водію № ") + target + QStringLiteral(" НЕ ВДАЛА"));
    }
}

} // namespace

void sendPersonalMessages(const net::RequestContext& context) {
    DataModule& data = context.services.data;
    const net::PortSlot& slot = context.slot();
    data.tranzRizne.commitIfActive();
    const db::SqlParams driver{slot.driverName, slot.callsign};
    const db::ResultSet administration = data.rizne.select(
        {QStringLiteral("SELECT * FROM MSG_FOR_VODIY"),
         QStringLiteral(
             "WHERE (MSG_FOR_VODIY_STATUS = 'A') AND (MSG_FOR_VODIY_FIO = ?) AND (MSG_FOR_VODIY_POZ = ?)"),
         QStringLiteral("ORDER BY MSG_FOR_VODIY_DCREATE")},
        driver);
    const db::ResultSet unread = data.rizne.select(
        {QStringLiteral("SELECT * FROM MSG_FOR_VODIY"),
         QStringLiteral("WHERE (MSG_FOR_VODIY_DREADER is null) and (MSG_FOR_VODIY_STATUS <> 'A') "
                        "AND (MSG_FOR_VODIY_FIO = ?) AND (MSG_FOR_VODIY_POZ = ?)"),
         QStringLiteral("ORDER BY MSG_FOR_VODIY_DCREATE")},
        driver);
    QString text;
    int number = 1;
    appendMessages(text, number, administration, QStringLiteral(" admin: "));
    appendMessages(text, number, unread, QString());
    if (text.isEmpty())
        text = kNoMessages;
    context.reply(net::element(QStringLiteral("DataPersonalMsg"), context.encodeText(text)));
}

void markMessagesRead(const net::RequestContext& context) {
    DataModule& data = context.services.data;
    const net::PortSlot& slot = context.slot();
    data.tranzRizne.commitIfActive();
    data.rizne.execute({QStringLiteral("UPDATE MSG_FOR_VODIY"),
                        QStringLiteral("SET MSG_FOR_VODIY_DREADER = ?"),
                        QStringLiteral("WHERE (MSG_FOR_VODIY_FIO = ?) AND (MSG_FOR_VODIY_POZ = ?) and "
                                       "(MSG_FOR_VODIY_DREADER is null)")},
                       {now(), slot.driverName, slot.callsign});
    data.tranzRizne.commitIfActive();
}

void storeComplaint(const net::RequestContext& context) {
    Services& services = context.services;
    DataModule& data = services.data;
    const net::PortSlot& slot = context.slot();
    const Complaint complaint = complaintOf(context.request);

    data.rizne.execute(
        {QStringLiteral("INSERT INTO SKARGA_VODYA"),
         QStringLiteral("(SKARGA_VODYA_NP, SKARGA_VODYA_DATATIME, SKARGA_VODYA_KOMU, SKARGA_VODYA_POZ, "
                        "SKARGA_VODYA_FIO, SKARGA_VODYA_TEXT)"),
         QStringLiteral("VALUES (IIF((SELECT MAX(SKARGA_VODYA_NP) FROM SKARGA_VODYA) IS NULL, 1, (SELECT "
                        "MAX(SKARGA_VODYA_NP) FROM SKARGA_VODYA)+1), "),
         QStringLiteral("    ?, "), QStringLiteral("    ?, "), QStringLiteral("    ?, "),
         QStringLiteral("    ?, "), QStringLiteral("    ?) ")},
        {now(), complaint.addressee, slot.callsign, slot.driverName, complaint.text});

    if (complaint.addressee.startsWith(QLatin1Char('.')) &&
        services.settings.isOn(keys::OBMIN_POVID_MIZH_VODIYAMI)) {
        const QString target = complaint.addressee.mid(1).trimmed();
        if (!target.isEmpty())
            sendToDrivers(context, target, complaint.text);
    }
    data.tranzRizne.commitIfActive();

    if (complaint.addressee.isEmpty())
        services.journal.writeJournal(slot.callsign, 0, QStringLiteral("ПОВІДОМЛЕННЯ : ") + complaint.text);
    context.log(QStringLiteral("Відправлення скарги / пропозиції від водія № ") +
                QString::number(slot.callsign));
}

} // namespace taxi
