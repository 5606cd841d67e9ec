#include "app/service.h"
#include "core/settings.h"
#include "core/text_codec.h"
#include "support/driver_session.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const int kSender = 11;
const int kReader = 12;
const QString kGeneralLine = QStringLiteral("Відправлення скарги / пропозиції від водія № 11");
// A second driver who takes the car of callsign 15 in turns with Мельник.
const QString kSecondDriverOf15 = QStringLiteral("Руденко Максим Юрійович");

} // namespace

// Personal messages, complaints and messages between drivers, through the drivers' terminals.
class MessagesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;
    FakeTerminal m_sender;
    FakeTerminal m_reader;

    ServiceFolder& folder() { return m_session->folder(); }

    void addMessage(int np, const QString& created, const QString& status, int callsign, const QString& name,
                    const QString& text, const QString& author, bool read = false) {
        folder().dispatcherExecute(
            {QStringLiteral(
                "INSERT INTO MSG_FOR_VODIY (MSG_FOR_VODIY_NP, MSG_FOR_VODIY_DCREATE, MSG_FOR_VODIY_STATUS, "
                "MSG_FOR_VODIY_POZ, MSG_FOR_VODIY_FIO, MSG_FOR_VODIY_TEXT, MSG_FOR_VODIY_AVTOR, "
                "MSG_FOR_VODIY_DREADER) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")},
            {np, created, status, callsign, name, text, author,
             read ? db::SqlValue(QStringLiteral("01.12.2026 09:00:00")) : db::SqlValue(nullptr)});
    }

    QByteArray ask(FakeTerminal& phone, const QByteArray& requests) {
        const int before = int(phone.received().count('@'));
        phone.send(requests);
        if (!phone.waitForReplies(before + 1))
            return {};
        return phone.received().mid(phone.received().lastIndexOf('@', -2) + 1);
    }

    QStringList readingTimes() {
        QStringList times;
        for (const db::Row& row :
             folder()
                 .dispatcherSelect({QStringLiteral("SELECT MSG_FOR_VODIY_DREADER FROM MSG_FOR_VODIY "
                                                   "WHERE MSG_FOR_VODIY_POZ = ? ORDER BY "
                                                   "MSG_FOR_VODIY_NP")},
                                   {kReader})
                 .rows())
            times.append(row.at(0).toText());
        return times;
    }

    // Sends a complaint and waits for its closing line.
    void complain(const QByteArray& request) {
        const int before = int(m_session->linesContaining(kGeneralLine).size());
        m_sender.send(request);
        QVERIFY(QTest::qWaitFor([&] { return m_session->linesContaining(kGeneralLine).size() > before; }));
    }

private slots:
    void initTestCase() {
        m_session = std::make_unique<DriverSession>();
        QVERIFY(m_session->start());
        QVERIFY(m_session->bind(m_sender, kSender));
        QVERIFY(m_session->bind(m_reader, kReader));
        folder().dispatcherExecute(
            {QStringLiteral("INSERT INTO VODII (TABL_VODIY_NOMER, TABL_VODIY_FIO) VALUES (8, ?)")},
            {kSecondDriverOf15});
        folder().dispatcherExecute(
            {QStringLiteral("INSERT INTO DANI_AVTO (TABL_AVTO_NOMER, TABL_AVTO_POZIVN, TABL_AVTO_NOM_VODIY) "
                            "VALUES (9, 15, 8)")});
    }
    void cleanupTestCase() { m_session.reset(); }
    void init() {
        folder().dispatcherExecute({QStringLiteral("DELETE FROM MSG_FOR_VODIY")});
        folder().dispatcherExecute({QStringLiteral("DELETE FROM SKARGA_VODYA")});
    }

    void listing_data() {
        QTest::addColumn<bool>("withMessages");
        QTest::addColumn<QString>("text");

        QTest::newRow("nothing to read") << false << QStringLiteral("немає не прочитаних повідомлень");
        // Administration first, oldest first in each group, the number running on across both.
        QTest::newRow("administration, then unread")
            << true
            << QStringLiteral(
                   "1. [01.12.2026 08:00:00]< admin: Оксана>  Техогляд о 8:00  ==============   "
                   "2. [01.12.2026 08:30:00]< admin: Марина>  Зміна тарифу  ==============   "
                   "3. [01.12.2026 07:00:00]<Від позивного 15>  Дякую за 'допомогу'  ==============   ");
    }
    void listing() {
        QFETCH(bool, withMessages);
        QFETCH(QString, text);
        const QString name = folder().driver(kReader).name;
        if (withMessages) {
            addMessage(1, QStringLiteral("01.12.2026 08:30:00"), QStringLiteral("A"), kReader, name,
                       QStringLiteral("Зміна тарифу"), QStringLiteral("Марина"), true);
            addMessage(2, QStringLiteral("01.12.2026 08:00:00"), QStringLiteral("A"), kReader, name,
                       QStringLiteral("Техогляд о 8:00"), QStringLiteral("Оксана"));
            addMessage(3, QStringLiteral("01.12.2026 07:00:00"), QStringLiteral("V"), kReader, name,
                       QStringLiteral("Дякую за 'допомогу'"), QStringLiteral("Від позивного 15"));
            // Read already; for the same callsign under another name; for another callsign.
            addMessage(4, QStringLiteral("01.12.2026 06:00:00"), QStringLiteral("V"), kReader, name,
                       QStringLiteral("Прочитане"), QStringLiteral("Оксана"), true);
            addMessage(5, QStringLiteral("01.12.2026 06:00:00"), QStringLiteral("A"), kReader,
                       QStringLiteral("Інший Водій"), QStringLiteral("Чуже"), QStringLiteral("Оксана"));
            addMessage(6, QStringLiteral("01.12.2026 06:00:00"), QStringLiteral("V"), kSender, name,
                       QStringLiteral("Чуже"), QStringLiteral("Оксана"));
        }
        QCOMPARE(ask(m_reader, "@OSOBPOV@"), "<DataPersonalMsg>" + encoded(text) + "</DataPersonalMsg>@");
    }

    void markingRead() {
        const QString name = folder().driver(kReader).name;
        addMessage(1, QStringLiteral("01.12.2026 08:00:00"), QStringLiteral("A"), kReader, name,
                   QStringLiteral("Техогляд"), QStringLiteral("Оксана"));
        addMessage(2, QStringLiteral("01.12.2026 08:10:00"), QStringLiteral("D"), kReader, name,
                   QStringLiteral("Заправка"), QStringLiteral("Оксана"));
        addMessage(3, QStringLiteral("01.12.2026 08:20:00"), QStringLiteral("V"), kReader,
                   QStringLiteral("Інший Водій"), QStringLiteral("Чуже"), QStringLiteral("Оксана"));

        // The marking sends nothing: the listing behind it is the only reply.
        QCOMPARE(ask(m_reader, "@OSOBPOVREADE@@OSOBPOV@"),
                 "<DataPersonalMsg>" +
                     encoded(QStringLiteral(
                         "1. [01.12.2026 08:00:00]< admin: Оксана>  Техогляд  ==============   ")) +
                     "</DataPersonalMsg>@");
        const QStringList times = readingTimes();
        QVERIFY(!times.at(0).isEmpty());
        QCOMPARE(times.at(1), times.at(0));
        QVERIFY2(times.at(2).isEmpty(), "another driver's message stays unread");

        QTest::qWait(1100);
        QVERIFY(!ask(m_reader, "@OSOBPOVREADE@@OSOBPOV@").isEmpty());
        QCOMPARE(readingTimes(), times);
    }

    void complaints_data() {
        QTest::addColumn<bool>("exchangeOn");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("addressee"); // as stored
        QTest::addColumn<QString>("text");      // as stored
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("lines");   // about the messages, before the general line
        QTest::addColumn<QStringList>("journal"); // the sender's new entries

        const QString text = QStringLiteral("Брудно на стоянці");
        const QByteArray body = terminalText(text);
        const QString success = QStringLiteral("Повідомлення від водія № 11 водію № 15 УСПІШНО ВІДПРАВЛЕНО");
        const auto messagesTo15 = [](const QString& stored) {
            return QStringList{QStringLiteral("V|15|Мельник Іван Степанович|") + stored +
                                   QStringLiteral("|Від позивного 11"),
                               QStringLiteral("V|15|") + kSecondDriverOf15 + QLatin1Char('|') + stored +
                                   QStringLiteral("|Від позивного 11")};
        };
        const QStringList complaintEntry{QStringLiteral("ПОВІДОМЛЕННЯ : Брудно на стоянці #0")};

        QTest::newRow("no addressee") << false << "@SKARGA(" + body + ")@" << QString() << text
                                      << QStringList() << QStringList() << complaintEntry;
        QTest::newRow("empty addressee") << true << "@SKARGA(~" + body + ")@" << QString() << text
                                         << QStringList() << QStringList() << complaintEntry;
        QTest::newRow("addressed complaint")
            << true << "@SKARGA(" + terminalText(QStringLiteral("Директору")) + "~" + body + ")@"
            << QStringLiteral("Директору") << text << QStringList() << QStringList() << QStringList();
        QTest::newRow("to a driver, exchange off")
            << false << "@SKARGA(" + terminalText(QStringLiteral(".15")) + "~" + body + ")@"
            << QStringLiteral(".15") << text << QStringList() << QStringList() << QStringList();
        QTest::newRow("to a driver, exchange on")
            << true << "@SKARGA(" + terminalText(QStringLiteral(". 15 ")) + "~" + body + ")@"
            << QStringLiteral(". 15 ") << text << messagesTo15(text) << QStringList{success} << QStringList();
        QTest::newRow("dot alone") << true
                                   << "@SKARGA(" + terminalText(QStringLiteral(". ")) + "~" + body + ")@"
                                   << QStringLiteral(". ") << text << QStringList() << QStringList()
                                   << QStringList();
        QTest::newRow("callsign nobody drives")
            << true << "@SKARGA(" + terminalText(QStringLiteral(".99")) + "~" + body + ")@"
            << QStringLiteral(".99") << text << QStringList()
            << QStringList{QStringLiteral("Повідомлення від водія № 11 водію № 99 УСПІШНО ВІДПРАВЛЕНО")}
            << QStringList();
        QTest::newRow("addressee not a callsign")
            << true << "@SKARGA(" + terminalText(QStringLiteral(".Петро")) + "~" + body + ")@"
            << QStringLiteral(".Петро") << text << QStringList()
            << QStringList{QStringLiteral(
                   "Спроба відправлення повідомлення від водія № 11 водію № Петро НЕ ВДАЛА")}
            << QStringList();
        const QString longText = QString(590, QLatin1Char('x')) + QStringLiteral("0123456789");
        QTest::newRow("600 characters")
            << true << "@SKARGA(" + terminalText(QStringLiteral(".15")) + "~" + terminalText(longText) + ")@"
            << QStringLiteral(".15") << longText << messagesTo15(longText.left(500)) << QStringList{success}
            << QStringList();
        const QString quoted = QStringLiteral("Він сказав: 'так' і \"ні\"; --");
        QTest::newRow("quotes stored as sent")
            << true << "@SKARGA(" + terminalText(QStringLiteral(".15")) + "~" + terminalText(quoted) + ")@"
            << QStringLiteral(".15") << quoted << messagesTo15(quoted) << QStringList{success}
            << QStringList();
        QTest::newRow("not Base64") << false << QByteArray("@SKARGA(~!!!)@") << QString() << QString()
                                    << QStringList() << QStringList()
                                    << QStringList{QStringLiteral("ПОВІДОМЛЕННЯ :  #0")};
        // The terminals' bytes are read as Windows-1251, whatever they were meant to be.
        QTest::newRow("UTF-8 bytes taken as Windows-1251")
            << false << "@SKARGA(" + QStringLiteral("Дякую").toUtf8().toBase64() + ")@" << QString()
            << fromWin1251(QStringLiteral("Дякую").toUtf8()) << QStringList() << QStringList()
            << QStringList{QStringLiteral("ПОВІДОМЛЕННЯ : ") + fromWin1251(QStringLiteral("Дякую").toUtf8()) +
                           QStringLiteral(" #0")};
    }
    void complaints() {
        QFETCH(bool, exchangeOn);
        QFETCH(QByteArray, request);
        QFETCH(QString, addressee);
        QFETCH(QString, text);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, journal);
        m_session->service().settings.setOn(keys::OBMIN_POVID_MIZH_VODIYAMI, exchangeOn);
        const QStringList journalBefore = m_session->journal(kSender);
        const int logBefore = int(m_session->service().log.lines().size());

        complain(request);

        const db::ResultSet complaint = folder().dispatcherSelect({QStringLiteral(
            "SELECT SKARGA_VODYA_KOMU, SKARGA_VODYA_POZ, SKARGA_VODYA_FIO, SKARGA_VODYA_TEXT, "
            "DATEDIFF(SECOND FROM SKARGA_VODYA_DATATIME TO LOCALTIMESTAMP) FROM SKARGA_VODYA")});
        QCOMPARE(complaint.size(), 1);
        const db::Row& row = complaint.first();
        QCOMPARE(row.at(0).toText(), addressee);
        QCOMPARE(row.at(1).toInt(), kSender);
        QCOMPARE(row.at(2).toText(), folder().driver(kSender).name);
        QCOMPARE(row.at(3).toText(), text);
        QVERIFY(qAbs(row.at(4).toInt()) < 60);

        QStringList stored;
        for (const db::Row& message :
             folder()
                 .dispatcherSelect(
                     {QStringLiteral("SELECT MSG_FOR_VODIY_STATUS, MSG_FOR_VODIY_POZ, MSG_FOR_VODIY_FIO, "
                                     "MSG_FOR_VODIY_TEXT, MSG_FOR_VODIY_AVTOR FROM MSG_FOR_VODIY ORDER BY "
                                     "MSG_FOR_VODIY_NP")})
                 .rows()) {
            QStringList fields;
            for (int i = 0; i < message.size(); ++i)
                fields.append(message.at(i).toText());
            stored.append(fields.join(QLatin1Char('|')));
        }
        QCOMPARE(stored, messages);
        // The minute's time marks may come in between.
        QCOMPARE(m_session->service().log.lines().mid(logBefore).filter(QStringLiteral("водія № 11")),
                 lines + QStringList{kGeneralLine});
        QCOMPARE(m_session->journal(kSender).mid(journalBefore.size()), journal);
    }

    // A complaint that cannot be stored ends the request; the service goes on with the next one.
    void addresseeTooLongForItsColumn() {
        const int errorsBefore = int(m_session->op().errors.size());
        const int linesBefore = int(m_session->linesContaining(kGeneralLine).size());
        const QByteArray request = "@SKARGA(" + terminalText(QString(201, QLatin1Char('a'))) + "~" +
                                   terminalText(QStringLiteral("текст")) + ")@";
        m_sender.send(request);
        QVERIFY(QTest::qWaitFor([&] { return m_session->op().errors.size() > errorsBefore; }));
        QCOMPARE(ask(m_sender, "@OSOBPOV@").left(17), QByteArray("<DataPersonalMsg>"));
        QCOMPARE(folder().dispatcherNumber(QStringLiteral("SELECT COUNT(*) FROM SKARGA_VODYA")), 0);
        QCOMPARE(m_session->op().errors.size(), errorsBefore + 1);
        QCOMPARE(m_session->linesContaining(kGeneralLine).size(), linesBefore);
    }

    // The whole road of a message between drivers: stored by the sender's request, announced to the
    // reader's terminal by the database's event, read by his next request.
    void messageBetweenDriversReachesTheReadersTerminal() {
        m_session->service().settings.setOn(keys::OBMIN_POVID_MIZH_VODIYAMI, true);
        const qsizetype before = m_reader.received().count('@');
        m_reader.send("@MENUMAIN@");
        QVERIFY(QTest::qWaitFor(
            [&] { return m_session->slotOf(kReader).currentMenu == QStringLiteral("MAIN"); }));

        complain("@SKARGA(" + terminalText(QStringLiteral(".12")) + "~" +
                 terminalText(QStringLiteral("Чекаю на вокзалі")) + ")@");

        QVERIFY(m_reader.waitForReplies(int(before) + 1, 10000));
        QVERIFY(m_reader.received().endsWith("<Action>InsertPersonalMsg</Action>@"));
        m_reader.send("@OSOBPOV@");
        QVERIFY(m_reader.waitForReplies(int(before) + 2));
        const QByteArray reply = m_reader.received();
        const qsizetype start =
            reply.lastIndexOf("<DataPersonalMsg>") + qsizetype(strlen("<DataPersonalMsg>"));
        const QByteArray listing = reply.mid(start, reply.lastIndexOf("</DataPersonalMsg>") - start);
        QVERIFY(
            QString::fromUtf8(QByteArray::fromBase64(listing)).contains(QStringLiteral("Чекаю на вокзалі")));
    }
};

QTEST_GUILESS_MAIN(MessagesTest)
#include "test_messages.moc"
