#include "app/service.h"
#include "support/driver_session.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const int kDriver = 11;

// A question row: number, text, own-answer flag, choice count, choice template, closed.
struct Question {
    int number;
    QString text;
    QString ownAnswer;
    int choices;
    QString choiceTemplate;
    bool closed = false;
};

// An answer row: the question answered, by callsign and name.
struct Answer {
    int question;
    int callsign;
    QString name;
};

} // namespace

Q_DECLARE_METATYPE(Question)
Q_DECLARE_METATYPE(QList<Question>)
Q_DECLARE_METATYPE(QList<Answer>)

// The drivers' polls through a terminal: the open questions, one question's choices, the answers.
class PollsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;
    FakeTerminal m_phone;

    ServiceFolder& folder() { return m_session->folder(); }
    QString driverName() { return folder().driver(kDriver).name; }

    void put(const QList<Question>& questions, const QList<Answer>& answers = {}) {
        for (const Question& q : questions) {
            folder().dispatcherExecute(
                {QStringLiteral(
                    "INSERT INTO OPITUVANNYA_VODIY (OP_NUMBER, OP_STATUS, OP_PITANNYA, OP_SV, OP_KIL_VIDP, "
                    "OP_TEXT_SHABL_VID, OP_DATATIME_CLOSE) VALUES (?, 'Z', ?, ?, ?, ?, ?)")},
                {q.number, q.text, q.ownAnswer, q.choices, q.choiceTemplate,
                 q.closed ? db::SqlValue(QStringLiteral("01.12.2026 09:00:00")) : db::SqlValue(nullptr)});
        }
        int number = 100;
        for (const Answer& a : answers) {
            folder().dispatcherExecute(
                {QStringLiteral("INSERT INTO OPITUVANNYA_VODIY (OP_NUMBER, OP_STATUS, OP_MAIN_NUM, OP_POZ, "
                                "PO_FIO_VODIY, OP_TEXT_VID) VALUES (?, 'V', ?, ?, ?, 'Так')")},
                {number++, a.question, a.callsign, a.name});
        }
    }

    // Sends the requests and returns the one reply they get.
    QByteArray ask(const QByteArray& requests) {
        const int before = int(m_phone.received().count('@'));
        m_phone.send(requests);
        if (!m_phone.waitForReplies(before + 1))
            return {};
        const QByteArray received = m_phone.receivedAfterQuiet(100);
        if (received.count('@') != before + 1)
            return "more than one reply: " + received;
        return received.mid(received.lastIndexOf('@', -2) + 1);
    }

    QStringList answerRows() {
        QStringList rows;
        for (const db::Row& row :
             folder()
                 .dispatcherSelect(
                     {QStringLiteral("SELECT OP_MAIN_NUM, OP_POZ, PO_FIO_VODIY, OP_TEXT_VID, OP_KIL_VIDP, "
                                     "DATEDIFF(SECOND FROM OP_DATATIME_ANSWER TO LOCALTIMESTAMP) FROM "
                                     "OPITUVANNYA_VODIY WHERE OP_STATUS = 'V' ORDER BY OP_NUMBER")})
                 .rows()) {
            const QString when = qAbs(row.at(5).toInt()) < 60 ? QStringLiteral("now") : row.at(5).toText();
            rows.append(QStringList{row.at(0).toText(), row.at(1).toText(), row.at(2).toText(),
                                    row.at(3).toText(), row.at(4).toText(), when}
                            .join(QLatin1Char('|')));
        }
        return rows;
    }

private slots:
    void initTestCase() {
        m_session = std::make_unique<DriverSession>();
        QVERIFY(m_session->start());
        QVERIFY(m_session->bind(m_phone, kDriver));
    }
    void cleanupTestCase() { m_session.reset(); }
    void init() { folder().dispatcherExecute({QStringLiteral("DELETE FROM OPITUVANNYA_VODIY")}); }

    void openQuestions_data() {
        QTest::addColumn<QList<Question>>("questions");
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QByteArray>("reply");

        const Question q4{4, QStringLiteral("Чи задоволені ви графіком?"), QString(), 0, QString()};
        const Question q9{9, QStringLiteral("Нічні зміни?"), QString(), 0, QString()};
        const QByteArray only9 = "<ListTableOpituvan><#1>" + encoded(q9.text) +
                                 "</#1><N1>9</N1><KilPitan>1</KilPitan>"
                                 "</ListTableOpituvan>@";

        QTest::newRow("none") << QList<Question>() << QList<Answer>()
                              << QByteArray("<ListTableOpituvan><KilPitan>0</KilPitan></ListTableOpituvan>@");
        QTest::newRow("answered by this driver")
            << QList<Question>{q4, q9} << QList<Answer>{{4, kDriver, folder().driver(kDriver).name}} << only9;
        QTest::newRow("answered under another name")
            << QList<Question>{q4} << QList<Answer>{{4, kDriver, QStringLiteral("Інший Водій")}}
            << "<ListTableOpituvan><#1>" + encoded(q4.text) +
                   "</#1><N1>4</N1><KilPitan>1</KilPitan></ListTableOpituvan>@";
        Question closed = q4;
        closed.closed = true;
        QTest::newRow("closed") << QList<Question>{closed, q9} << QList<Answer>() << only9;
        QTest::newRow("two open") << QList<Question>{q9, q4} << QList<Answer>()
                                  << "<ListTableOpituvan><#1>" + encoded(q4.text) + "</#1><N1>4</N1><#2>" +
                                         encoded(q9.text) +
                                         "</#2><N2>9</N2><KilPitan>2</KilPitan></ListTableOpituvan>@";
    }
    void openQuestions() {
        QFETCH(QList<Question>, questions);
        QFETCH(QList<Answer>, answers);
        QFETCH(QByteArray, reply);
        put(questions, answers);
        QCOMPARE(ask("@LISTOPITUVAN@"), reply);
    }

    void question_data() {
        QTest::addColumn<Question>("question");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");

        const QByteArray threeChoices = "<#1>" + encoded(QStringLiteral("Так")) + "</#1><#2>" +
                                        encoded(QStringLiteral("Ні")) + "</#2><#3>" +
                                        encoded(QStringLiteral("Не знаю")) + "</#3>";
        const QString choices = QStringLiteral("[Так][Ні][Не знаю]");
        QTest::newRow("three choices, own answer")
            << Question{7, QStringLiteral("?"), QStringLiteral("+"), 3, choices} << QByteArray("@PITAN[7]@")
            << "<VidpovidTableOpituvan>" + threeChoices +
                   "<MyVidp>1</MyVidp><KilVidp>3</KilVidp></VidpovidTableOpituvan>@";
        QTest::newRow("count 0 lists none")
            << Question{7, QStringLiteral("?"), QStringLiteral("-"), 0, choices} << QByteArray("@PITAN[7]@")
            << QByteArray(
                   "<VidpovidTableOpituvan><MyVidp>0</MyVidp><KilVidp>0</KilVidp></VidpovidTableOpituvan>@");
        QTest::newRow("the brackets decide what is listed")
            << Question{7, QStringLiteral("?"), QString(), 1, choices} << QByteArray("@PITAN[7]@")
            << "<VidpovidTableOpituvan>" + threeChoices +
                   "<MyVidp>0</MyVidp><KilVidp>1</KilVidp></VidpovidTableOpituvan>@";
        QTest::newRow("first character skipped, empty choice")
            << Question{7, QStringLiteral("?"), QString(), 2, QStringLiteral("xА][]")}
            << QByteArray("@PITAN[7]@")
            << "<VidpovidTableOpituvan><#1>" + encoded(QStringLiteral("А")) +
                   "</#1><#2></#2><MyVidp>0</MyVidp><KilVidp>2</KilVidp></VidpovidTableOpituvan>@";
        const QByteArray noQuestion =
            "<VidpovidTableOpituvan><MyVidp>0</MyVidp><KilVidp></KilVidp></VidpovidTableOpituvan>@";
        QTest::newRow("no such question") << Question{7, QStringLiteral("?"), QStringLiteral("+"), 3, choices}
                                          << QByteArray("@PITAN[8]@") << noQuestion;
        QTest::newRow("number beyond any question")
            << Question{7, QStringLiteral("?"), QStringLiteral("+"), 3, choices}
            << QByteArray("@PITAN[99999999999]@") << noQuestion;
    }
    void question() {
        QFETCH(Question, question);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        put({question});
        QCOMPARE(ask(request), reply);
    }

    void answer_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("stored");

        QTest::newRow("plain") << terminalText(QStringLiteral("Так")) << QStringLiteral("Так");
        const QString longAnswer = QString(100, QLatin1Char('a')) + QString(50, QLatin1Char('b'));
        QTest::newRow("150 characters") << terminalText(longAnswer) << longAnswer.left(100);
        const QString quoted = QStringLiteral("Скажу 'так' і \"ні\"");
        QTest::newRow("quotes") << terminalText(quoted) << quoted;
        QTest::newRow("not Base64") << QByteArray("!!") << QString();
    }
    void answer() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, stored);
        put({{4, QStringLiteral("Перше"), QString(), 0, QString()},
             {9, QStringLiteral("Друге"), QString(), 0, QString()}});

        // The answer sends nothing; the question is gone from the list behind it.
        QCOMPARE(ask("@VidVid[(9){" + answer + "}]@@LISTOPITUVAN@"),
                 "<ListTableOpituvan><#1>" + encoded(QStringLiteral("Перше")) +
                     "</#1><N1>4</N1><KilPitan>1</KilPitan></ListTableOpituvan>@");
        QCOMPARE(answerRows(), QStringList{QStringLiteral("9|11|") + driverName() + QLatin1Char('|') +
                                           stored + QStringLiteral("|0|now")});
    }

    // Requests whose question number is no number end without a reply and without a row.
    void badNumbers_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("question, letters") << QByteArray("@PITAN[abc]@");
        QTest::newRow("question, empty") << QByteArray("@PITAN[]@");
        QTest::newRow("answer, letters")
            << "@VidVid[(9 OR 1=1){" + terminalText(QStringLiteral("Так")) + "}]@";
        QTest::newRow("answer, beyond any question")
            << "@VidVid[(99999999999){" + terminalText(QStringLiteral("Так")) + "}]@";
    }
    void badNumbers() {
        QFETCH(QByteArray, request);
        put({{9, QStringLiteral("Друге"), QString(), 0, QString()}});
        const int errorsBefore = int(m_session->op().errors.size());
        m_phone.send(request);
        // The failed request is shown to the operator, without a reply; the next one is served.
        QVERIFY(QTest::qWaitFor([&] { return m_session->op().errors.size() > errorsBefore; }));
        QCOMPARE(ask("@LISTOPITUVAN@"), "<ListTableOpituvan><#1>" + encoded(QStringLiteral("Друге")) +
                                            "</#1><N1>9</N1><KilPitan>1</KilPitan></ListTableOpituvan>@");
        QCOMPARE(answerRows(), QStringList());
        QCOMPARE(m_session->op().errors.size(), errorsBefore + 1);
    }
};

QTEST_GUILESS_MAIN(PollsTest)
#include "test_polls.moc"
