#include "info/polls.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/db/db_error.h"
#include "core/integer_text.h"
#include "net/protocol_text.h"
#include "net/request_context.h"

#include <QDateTime>

namespace taxi {

using net::element;

namespace {

// OP_TEXT_VID holds no more.
constexpr int kAnswerLength = 100;

QString numbered(const QString& tag, int n, const QString& value) {
    return element(tag + QString::number(n), value);
}

// The choices of a template "[" choice "]" ... as numbered items. Each choice runs from the character
// after the first one (the "[", whatever it is) to the next "]".
QString choiceItems(const net::RequestContext& context, QString choices) {
    QString items;
    int n = 0;
    while (choices.contains(QLatin1Char(']'))) {
        const qsizetype close = choices.indexOf(QLatin1Char(']'));
        const QString choice = close > 1 ? choices.mid(1, close - 1) : QString();
        items += numbered(QStringLiteral("#"), ++n, context.encodeText(choice));
        choices.remove(0, close + 1);
    }
    return items;
}

} // namespace

void sendOpenPolls(const net::RequestContext& context) {
    const net::PortSlot& slot = context.slot();
    const db::ResultSet questions = context.services.data.rizne.select(
        {QStringLiteral("SELECT OP_NUMBER, OP_PITANNYA FROM OPITUVANNYA_VODIY"),
         QStringLiteral("WHERE (OP_STATUS = 'Z')"), QStringLiteral(" AND (OP_DATATIME_CLOSE IS NULL)"),
         QStringLiteral(
             " AND (OP_NUMBER NOT IN (SELECT OP_MAIN_NUM FROM OPITUVANNYA_VODIY WHERE ((OP_STATUS = 'V') "
             "AND (OP_POZ = ?) AND (PO_FIO_VODIY = ?))))"),
         QStringLiteral("ORDER BY OP_NUMBER")},
        {slot.callsign, slot.driverName});
    QString reply = QStringLiteral("<ListTableOpituvan>");
    int n = 0;
    for (const db::Row& question : questions.rows()) {
        ++n;
        reply += numbered(QStringLiteral("#"), n,
                          context.encodeText(question[QStringLiteral("OP_PITANNYA")].toText()));
        reply += numbered(QStringLiteral("N"), n, question[QStringLiteral("OP_NUMBER")].toText());
    }
    reply += element(QStringLiteral("KilPitan"), QString::number(n));
    context.reply(reply + QStringLiteral("</ListTableOpituvan>"));
}

void sendPollQuestion(const net::RequestContext& context) {
    const QString& request = context.request;
    const QString numberText = request.size() > 9 ? request.mid(7, request.size() - 9) : QString();
    const std::optional<int> number = statementNumber(numberText);
    const db::ResultSet questions =
        number
            ? context.services.data.rizne.select(
                  {QStringLiteral("SELECT OP_NUMBER, OP_PITANNYA, OP_SV, OP_KIL_VIDP, OP_TEXT_SHABL_VID FROM "
                                  "OPITUVANNYA_VODIY"),
                   QStringLiteral("WHERE (OP_STATUS = 'Z') AND (OP_NUMBER = ?)")},
                  {*number})
            : db::ResultSet();

    QString reply = QStringLiteral("<VidpovidTableOpituvan>");
    QString ownAnswer = QStringLiteral("0");
    // A question that does not exist still gets its answer, with the count left empty.
    QString choiceCount;
    if (!questions.isEmpty()) {
        const db::Row& question = questions.first();
        const db::Field& count = question[QStringLiteral("OP_KIL_VIDP")];
        if (count.toInt() != 0)
            reply += choiceItems(context, question[QStringLiteral("OP_TEXT_SHABL_VID")].toText());
        if (question[QStringLiteral("OP_SV")].toText() == QStringLiteral("+"))
            ownAnswer = QStringLiteral("1");
        choiceCount = count.toText();
    }
    reply += element(QStringLiteral("MyVidp"), ownAnswer);
    reply += element(QStringLiteral("KilVidp"), choiceCount);
    context.reply(reply + QStringLiteral("</VidpovidTableOpituvan>"));
}

void storePollAnswer(const net::RequestContext& context) {
    DataModule& data = context.services.data;
    const net::PortSlot& slot = context.slot();
    const QString numberText = net::copyBetween(context.request, QStringLiteral("("), QStringLiteral(")"));
    const std::optional<int> number = statementNumber(numberText);
    if (!number) // no question's number, and no answer row can point at it
        throw db::DbError(QStringLiteral("'%1' is out of range for a question number").arg(numberText));
    const QString answer =
        net::decodeText(net::copyBetween(context.request, QStringLiteral("{"), QStringLiteral("}")));

    data.tranzRizne.commitIfActive();
    data.rizne.execute(
        {QStringLiteral("INSERT INTO OPITUVANNYA_VODIY"),
         QStringLiteral(
             "(OP_NUMBER, OP_STATUS, OP_MAIN_NUM, OP_DATATIME_ANSWER, OP_POZ, PO_FIO_VODIY, OP_TEXT_VID, "
             "OP_KIL_VIDP)"),
         QStringLiteral("VALUES (IIF((select MAX(OP_NUMBER) from OPITUVANNYA_VODIY) IS NULL, 1, (select "
                        "MAX(OP_NUMBER) from OPITUVANNYA_VODIY)+1), "),
         QStringLiteral("    'V', "), QStringLiteral("    ?, "), QStringLiteral("    ?, "),
         QStringLiteral("    ?, "), QStringLiteral("    ?, "), QStringLiteral("    ?, 0) ")},
        {*number, databaseTimestamp(QDateTime::currentDateTime()), slot.callsign, slot.driverName,
         answer.left(kAnswerLength)});
    data.tranzRizne.commitIfActive();
}

} // namespace taxi
