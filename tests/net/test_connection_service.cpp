#include "app/service.h"
#include "core/db/attachment.h"
#include "core/db/query.h"
#include "core/db/transaction.h"
#include "net/listener.h"
#include "net/port_slot.h"
#include "support/driver_session.h"

#include <QTest>
#include <array>
#include <chrono>

using namespace taxi;
using namespace taxi::test;

namespace {

const QByteArray kUpdateNotice =
    "<DataClient><NumZam>-1</NumZam><DataStoyanka>" +
    QStringLiteral(
        "УВАГА. ПОТРІБНО ОНОВИТИ ВЕРСІЮ ПРОГРАМИ. ОНОВИТИ Є МОЖЛИВІСТЬ ЧЕРЕЗ КНОПКУ <Оновити версію> В "
        "ОПЦІЯХ ПРОГРАМИ (в тому меню де є видалити програму) АБО ЗАКАЧАВШИ ПОНОВОМУ З САЙТА.")
        .toUtf8()
        .toBase64() +
    "</DataStoyanka></DataClient>@";

// What one client on the main port leaves behind before the real logins come.
enum class Disturbance { LoneMarkThenClose, LoneMarkAndStay, CutLoginThenClose, CutLoginThenReset };

} // namespace

Q_DECLARE_METATYPE(Disturbance)

// Terminals against the whole service in this process: real sockets, the real local database server.
class ConnectionServiceTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;

    // A fresh session, started with the settings.
    [[nodiscard]] bool startService(const IniLines& settings = {}) {
        m_session = std::make_unique<DriverSession>();
        return m_session->start(settings);
    }

    ServiceFolder& folder() { return m_session->folder(); }

    QString activity(int callsign) {
        m_session->service().data.reopenConnectionRecords();
        for (const db::Row& record : m_session->service().data.connectionRecords().rows()) {
            if (record[QStringLiteral("GPRS_SET_KLIENT_POZ")].toInt() == callsign)
                return record[QStringLiteral("GPRS_SET_KLIENT_ACTIVNIST")].toText();
        }
        return QStringLiteral("<no record>");
    }

    QString carModel(int callsign) {
        const db::ResultSet rows = folder().dispatcherSelect(
            {QStringLiteral("SELECT ZAD_AVTO_MARKA_AVTO FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
            {callsign});
        return rows.isEmpty() ? QStringLiteral("<no row>") : rows.first().at(0).toText();
    }

private slots:
    void cleanup() { m_session.reset(); }

    void loginBindAndDisconnectMoveTheMarks() {
        QVERIFY(startService({{QStringLiteral("SET_DYI_VODIY/VHID_V_SYSTEM"), QStringLiteral("1")}}));
        FakeTerminal main;
        QVERIFY(main.connectTo(folder().mainPort()));
        main.send("@OC(" + QByteArray::number(folder().driver(11).port) + ")[1111]@");
        QTRY_VERIFY(m_session->listenerOf(11).isListening());
        QVERIFY(m_session->logContains(QStringLiteral("Запит на вхід водія № 11")));
        QCOMPARE(main.receivedAfterQuiet(100), QByteArray()); // a login is never answered
        QCOMPARE(m_session->journal(11), QStringList{QStringLiteral("Вхід в систему #0")});
        // The driver is on the air in the pool, at the end of its queue.
        const db::Row onAir =
            folder()
                .dispatcherSelect({QStringLiteral("SELECT ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL, "
                                                  "ZAD_AVTO_FIO_VODIY FROM ZADIANI_AVTO WHERE "
                                                  "ZAD_AVTO_POZIVNIY = 11")})
                .first();
        QCOMPARE(onAir.at(0).toText(), QStringLiteral("[]{}"));
        QCOMPARE(onAir.at(1).toText(), QStringLiteral("0001"));
        QCOMPARE(onAir.at(2).toText(), folder().driver(11).name);

        FakeTerminal phone;
        QVERIFY(phone.connectTo(folder().driver(11).port));
        QTRY_VERIFY(m_session->logContains(QStringLiteral("кіл. підк. = 1")));
        // Seen by the dispatchers at once, without any request from the terminal.
        QCOMPARE(activity(11), QStringLiteral("АКТИВНИЙ"));
        QVERIFY(carModel(11).startsWith(QStringLiteral("{GPRS}")));
        QCOMPARE(folder().offerRows(11), 1);

        phone.disconnect();
        QTRY_VERIFY(
            m_session->logContains(QStringLiteral("ПОРТ ВІДКЛЮЧИВСЯ > %1").arg(folder().driver(11).port)));
        QTRY_COMPARE(folder().offerRows(11), 0);
        QCOMPARE(activity(11), QStringLiteral("неактивний"));
        QVERIFY(!carModel(11).contains(QStringLiteral("{GPRS}")));
        QVERIFY(m_session->listenerOf(11).isListening()); // the terminal may come back without a new login
        QVERIFY(phone.connectTo(folder().driver(11).port));
        QTRY_COMPARE(folder().offerRows(11), 1);
        // Back without a new login, he is the driver of his record again: marked active, and his
        // requests act under his name (his personal message is listed for it).
        QCOMPARE(activity(11), QStringLiteral("АКТИВНИЙ"));
        QCOMPARE(m_session->slotOf(11).driverName, folder().driver(11).name);
        phone.send("@OSOBPOV@");
        QVERIFY(phone.waitForReplies(1));
        QVERIFY(!phone.received().contains(encoded(QStringLiteral("немає не прочитаних повідомлень"))));
    }

    void boundOfferRowCanBeUpdatedByDispatchersAtOnce() {
        QVERIFY(startService());
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 12));
        db::Attachment dispatcher;
        dispatcher.attach(
            QStringLiteral("localhost:") +
                folder()
                    .dispatcherSelect({QStringLiteral("SELECT MON$DATABASE_NAME FROM MON$DATABASE")})
                    .first()
                    .at(0)
                    .toText(),
            folder().credentials());
        db::Transaction transaction(dispatcher);
        transaction.setLockTimeout(2);
        db::Query(transaction)
            .execute({QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_ZAMOV = '+' "
                                     "WHERE REFLESH_VODIY_POZ = 12")});
        transaction.commitIfActive();
        dispatcher.detach();
    }

    void hostileInputChangesNothingAndServiceGoesOn() {
        QVERIFY(startService());
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 13));
        FakeTerminal main;
        QVERIFY(main.connectTo(folder().mainPort()));
        const QByteArray driverPort = QByteArray::number(folder().driver(15).port);
        main.send("@OC(" + driverPort + ")[' OR '1'='1]@@OC(" + driverPort + ")[1111' --]@");
        main.send("@OC(x' OR 1=1 --)[1111]@");
        QTRY_COMPARE(m_session->op().errors.size(), 1); // a port that is not a number reaches the operator
        QVERIFY(m_session->op().errors.first().contains(QStringLiteral("x' OR 1=1 --")));
        QVERIFY(!m_session->listenerOf(15).isListening());
        QCOMPARE(folder()
                     .dispatcherSelect({QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO")})
                     .first()
                     .at(0)
                     .toInt(),
                 1);

        // Each piece on its own read: junk in front of a request in the same chunk would be its prefix.
        phone.send(QByteArray(100 * 1024, 'x'));
        QTest::qWait(100);
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 7919) % 256);
        phone.send(garbage.replace('@', 'a'));
        QTest::qWait(100);
        phone.send("@PZ3@");
        QVERIFY(phone.waitForReplies(1));
        QVERIFY(phone.received().endsWith(kUpdateNotice));
        QVERIFY(phone.isConnected());
        QCOMPARE(m_session->op().errors.size(), 1);
    }

    void repeatedLoginDropsTheConnectionAndKeepsThePort() {
        QVERIFY(startService());
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 11));
        m_session->logIn(11);
        QVERIFY(phone.waitForClosedByService());
        QVERIFY(
            m_session->logContains(QStringLiteral("закриття порта при повторному запиті вільності порта")));
        QTRY_COMPARE(folder().offerRows(11), 0);
        QVERIFY(m_session->listenerOf(11).isListening());
        FakeTerminal again;
        QVERIFY(again.connectTo(folder().driver(11).port));
        QTRY_COMPARE(folder().offerRows(11), 1);
    }

    void refusedLogins_data() {
        QTest::addColumn<int>("callsign");
        QTest::addColumn<QString>("debtors");
        QTest::newRow("black list") << 17 << QStringLiteral("[0]");
        QTest::newRow("debtor") << 12 << QStringLiteral("[3][12]");
    }
    void refusedLogins() {
        QFETCH(int, callsign);
        QFETCH(QString, debtors);
        QVERIFY(startService({{QStringLiteral("GPRS_TAXI/DODAT_DO_BORG"), debtors}}));
        m_session->logIn(callsign);
        const QString refusal =
            QStringLiteral("Відмова водію позивного N[%1], так як він знаходиться в чорному "
                           "списку !!!")
                .arg(callsign);
        QTRY_VERIFY(m_session->logContains(refusal));
        QCOMPARE(m_session->journal(callsign),
                 QStringList{QStringLiteral("Відмова входа в систему (чорний список) ! #0")});
        QVERIFY(!m_session->listenerOf(callsign).isListening());
        QCOMPARE(folder()
                     .dispatcherSelect({QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO")})
                     .first()
                     .at(0)
                     .toInt(),
                 0);
    }

    void debtorWithAConnectionLosesItAndThePort() {
        QVERIFY(startService());
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 12));
        m_session->service().settings.setText(QStringLiteral("DODAT_DO_BORG"), QStringLiteral("[12]"));
        m_session->logIn(12);
        QVERIFY(phone.waitForClosedByService());
        QTRY_VERIFY(!m_session->listenerOf(12).isListening());
    }

    void wrongPasswordSaysNothingAndClosesAnIdlePort() {
        QVERIFY(startService());
        m_session->logIn(14);
        QTRY_VERIFY(m_session->listenerOf(14).isListening());
        const int lines = int(m_session->logLines().size());
        m_session->logIn(14, QStringLiteral("0000"));
        QTRY_VERIFY(!m_session->listenerOf(14).isListening());
        QCOMPARE(m_session->logLines().mid(lines).filter(QStringLiteral("водія")), QStringList());
    }

    void carOfAnotherDriverSaysNothingAndClosesAnIdlePort() {
        QVERIFY(startService());
        m_session->logIn(14);
        QTRY_VERIFY(m_session->listenerOf(14).isListening());
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE DANI_AVTO SET TABL_AVTO_NOM_VODIY = 0 WHERE TABL_AVTO_POZIVN = 14")});
        const int lines = int(m_session->logLines().size());
        m_session->logIn(14);
        QTRY_VERIFY(!m_session->listenerOf(14).isListening());
        QCOMPARE(m_session->logLines().mid(lines).filter(QStringLiteral("водію")), QStringList());
    }

    void bindingLoadsTheHeldOrderIntoTheSlot() {
        QVERIFY(startService());
        m_session->logIn(15);
        QTRY_VERIFY(m_session->listenerOf(15).isListening());
        folder().dispatcherExecute({QStringLiteral(
            "UPDATE ZAMOVLENNIA SET ZAMOVL_CHAS_PRIYOM_VODIY = '7' WHERE ZAMOVL_NUMBER = 1044")});
        folder().dispatcherExecute({QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_NOMER_ZAMOVL = 1044, "
                                                   "ZAD_AVTO_ZADIANIST = 1 WHERE ZAD_AVTO_POZIVNIY = 15")});
        FakeTerminal phone;
        QVERIFY(phone.connectTo(folder().driver(15).port));
        QTRY_COMPARE(folder().offerRows(15), 1);
        const net::PortSlot& slot = m_session->slotOf(15);
        QCOMPARE(slot.orderNumber, 1044);
        QCOMPARE(slot.orderFrom, QStringLiteral("вул. Соборна, 14"));
        QCOMPARE(slot.orderTo, QStringLiteral("Вокзал"));
        QCOMPARE(slot.clientCode, 7);
        QCOMPARE(slot.orderStatus, QStringLiteral("HI"));
        QCOMPARE(slot.orderExtra, QStringLiteral("ч.в.з.{7} тар.[Місто] біля аптеки, чекати 5 хв"));
        QVERIFY(qAbs(slot.orderTime.secsTo(QDateTime::currentDateTime()) - 6 * 60) < 90);
        QCOMPARE(folder()
                     .dispatcherSelect(
                         {QStringLiteral("SELECT REFLESH_VODIY_NZ FROM REFLESH_DANI_VODIY_GPRS WHERE "
                                         "REFLESH_VODIY_POZ = 15")})
                     .first()
                     .at(0)
                     .toInt(),
                 1044);
    }

    void sharedPortLookups() {
        m_session = std::make_unique<DriverSession>();
        folder().changeRecord(13, folder().driver(12).port, QStringLiteral("2222"));
        QVERIFY(m_session->start());
        auto& connections = m_session->service().connections;
        const int port = folder().driver(12).port;
        const int first = connections.firstListenerOnPort(port);
        const int last = connections.lastListenerOnPort(port);
        QCOMPARE(connections.slot(first).callsign, 12); // slots come by port, then callsign
        QCOMPARE(connections.slot(last).callsign, 13);
        QCOMPARE(last, first + 1);

        m_session->logIn(12);
        QTRY_VERIFY(connections.driverListener(first).isListening());
        FakeTerminal phone;
        QVERIFY(phone.connectTo(quint16(port)));
        // A chunk is framed in every slot of its port; each request answers on the first one's connection.
        phone.send("@PZ3@");
        QVERIFY(phone.waitForReplies(2));
        QCOMPARE(phone.receivedAfterQuiet(100), kUpdateNotice + kUpdateNotice);
    }

    void callsignOnTheAirUnderAnotherNameStartsNothing() {
        QVERIFY(startService());
        folder().dispatcherExecute(
            {QStringLiteral("INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_FIO_VODIY, "
                            "ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL) VALUES (16, 'Інший', "
                            "'[]{}', '0001')")});
        m_session->logIn(16);
        QTRY_VERIFY(m_session->logContains(QStringLiteral(
            "закриття порта - так як такий таксист попередньо вийшов на звязок під іншим фіо")));
        QVERIFY(!m_session->listenerOf(16).isListening());
    }

    void secondConnectionToABoundPortIsRefused() {
        QVERIFY(startService());
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 13));
        FakeTerminal intruder;
        QVERIFY(intruder.connectTo(folder().driver(13).port));
        QVERIFY(intruder.waitForClosedByService());
        QVERIFY(m_session->logContains(QStringLiteral(
            "ТЕЛЕФОН ПОДАВ НЕВІРНУ ЗАЯВКУ НА ПІДКЛЮЧЕННЯ / ПІДКЛЮЧЕНЬ ДО ПОРТА БІЛЬШЕ ОДНОГО")));
        QVERIFY(m_session->logContains(QStringLiteral("кіл. підк. = 2")));
        QCOMPARE(folder().offerRows(13), 1); // the first terminal stays bound
        QVERIFY(phone.isConnected());
    }

    void resetConnectionStopsThePortUntilTheNextLogin() {
        QVERIFY(startService());
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 11));
        phone.reset();
        QTRY_VERIFY(
            m_session->logContains(QStringLiteral("ПОМИЛКА ПОРТА > %1").arg(folder().driver(11).port)));
        QTRY_VERIFY(!m_session->listenerOf(11).isListening());
        QCOMPARE(folder().offerRows(11), 0);
        QVERIFY(!carModel(11).contains(QStringLiteral("{GPRS}")));
        QCOMPARE(m_session->journal(11), QStringList{QStringLiteral("ЗБІЙ У ЗВЯЗКУ / СІТЦІ #0")});
        FakeTerminal again;
        QVERIFY(!again.connectTo(folder().driver(11).port, 300));
        m_session->logIn(11);
        QVERIFY(again.connectTo(folder().driver(11).port));
    }

    void exitTakesTheDriverOffTheAirUnlessHeHoldsAnOrder() {
        QVERIFY(startService());
        FakeTerminal first;
        QVERIFY(m_session->bind(first, 11));
        FakeTerminal second;
        QVERIFY(m_session->bind(second, 12));
        folder().dispatcherExecute({QStringLiteral(
            "UPDATE ZADIANI_AVTO SET ZAD_AVTO_NOMER_ZAMOVL = 1 WHERE ZAD_AVTO_POZIVNIY = 12")});
        first.send("@EXIT@");
        second.send("@EXIT@");
        QTRY_COMPARE(m_session->rowsOf(11), QStringList{});
        QTRY_VERIFY(m_session->logContains(
            QStringLiteral("Водій № 12 сам закрив свій порт / дав запит зняти з ефіру (якщо в "
                           "нього немає активних замовлень)")));
        QCOMPARE(m_session->rowsOf(12).size(), 1);
        first.send("@CLOSE@");
        QTRY_VERIFY(m_session->logContains(QStringLiteral("Водій № 11 сам закрив свій порт")));
        QVERIFY(first.isConnected()); // nothing but the line: the terminal closes by itself
    }

    void outdatedTerminalsAreToldToUpdate_data() {
        QTest::addColumn<QByteArray>("request");
        for (const char* request : {"@PZ@", "@PZ1@", "@PZ2@", "@PZ3@", "@PZ4@", "@PZ5@", "@PZ6@"})
            QTest::newRow(request) << QByteArray(request);
    }
    void outdatedTerminalsAreToldToUpdate() {
        QFETCH(QByteArray, request);
        if (!m_session) {
            QVERIFY(startService());
        }
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 14));
        phone.send(request);
        QVERIFY(phone.waitForReplies(1));
        QCOMPARE(phone.receivedAfterQuiet(100), kUpdateNotice);

        FakeTerminal main; // the same request on the main port changes nothing and gets nothing
        QVERIFY(main.connectTo(folder().mainPort()));
        main.send(request);
        QCOMPARE(main.receivedAfterQuiet(), QByteArray());
        phone.disconnect();
        QTRY_COMPARE(m_session->listenerOf(14).connectionCount(), 0);
    }

    // What a hostile or broken network leaves behind must not touch anybody else's requests.
    void disturbedMainPortLeavesLoginsWorking_data() {
        QTest::addColumn<Disturbance>("disturbance");
        QTest::newRow("lone mark, then close") << Disturbance::LoneMarkThenClose;
        QTest::newRow("lone mark, connection stays") << Disturbance::LoneMarkAndStay;
        QTest::newRow("cut login, then close") << Disturbance::CutLoginThenClose;
        QTest::newRow("cut login, then reset") << Disturbance::CutLoginThenReset;
    }

    void disturbedMainPortLeavesLoginsWorking() {
        QFETCH(Disturbance, disturbance);
        QVERIFY(startService());
        FakeTerminal disturber;
        QVERIFY(disturber.connectTo(folder().mainPort()));
        const bool cut =
            disturbance == Disturbance::CutLoginThenClose || disturbance == Disturbance::CutLoginThenReset;
        disturber.send(cut ? "@OC(" + QByteArray::number(folder().driver(12).port) + ")[11" : "@");
        disturber.receivedAfterQuiet(100);
        if (disturbance == Disturbance::CutLoginThenReset)
            disturber.reset();
        else if (disturbance != Disturbance::LoneMarkAndStay)
            disturber.disconnect();

        for (const int callsign : {11, 13, 15}) {
            m_session->logIn(callsign);
            QTRY_VERIFY(m_session->listenerOf(callsign).isListening());
        }
        QVERIFY2(m_session->op().errors.isEmpty(),
                 qPrintable(m_session->op().errors.join(QLatin1Char('\n'))));
    }

    void loginsInterleavedByteByByteEachWork() {
        QVERIFY(startService());
        const QList<int> callsigns{11, 12, 13};
        std::array<FakeTerminal, 3> terminals;
        QList<QByteArray> logins;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(terminals[i].connectTo(folder().mainPort()));
            logins.append("@OC(" + QByteArray::number(folder().driver(callsigns[i]).port) + ")[1111]@");
        }
        for (qsizetype at = 0; at < logins.first().size(); ++at) {
            for (int i = 0; i < 3; ++i) {
                terminals[i].send(logins[i].mid(at, 1));
                QTest::qWait(1);
            }
        }
        for (const int callsign : callsigns)
            QTRY_VERIFY(m_session->listenerOf(callsign).isListening());
        QVERIFY(m_session->op().errors.isEmpty());
    }

    void halfRequestOfAResetTerminalIsNotPrefixedToTheNext() {
        QVERIFY(startService());
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 11));
        phone.send("@PZ");
        phone.receivedAfterQuiet(100);
        phone.reset();
        QTRY_VERIFY(!m_session->listenerOf(11).isListening());

        FakeTerminal again;
        QVERIFY(m_session->bind(again, 11));
        again.send("@PZ1@");
        QVERIFY(again.waitForReplies(1));
        QCOMPARE(again.received(), kUpdateNotice);
    }

    // A value too long for its column matches nothing: a refused login, not an error for the operator.
    void overlongLoginValuesAreQuietlyRefused_data() {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("password of 25 characters") << QByteArray() << QByteArray(25, '1');
        QTest::newRow("password of 900 characters") << QByteArray() << QByteArray(900, 'p');
        QTest::newRow("port of 40 digits") << QByteArray(38, '0') + "11" << QByteArray("1111");
    }

    void overlongLoginValuesAreQuietlyRefused() {
        QFETCH(QByteArray, port);
        QFETCH(QByteArray, password);
        QVERIFY(startService());
        FakeTerminal main;
        QVERIFY(main.connectTo(folder().mainPort()));
        if (port.isEmpty())
            port = QByteArray::number(folder().driver(11).port);
        main.send("@OC(" + port + ")[" + password + "]@");
        QCOMPARE(main.receivedAfterQuiet(300), QByteArray());
        QVERIFY2(m_session->op().errors.isEmpty(),
                 qPrintable(m_session->op().errors.join(QLatin1Char('\n'))));
        QVERIFY(!m_session->listenerOf(11).isListening());
        m_session->logIn(11);
        QTRY_VERIFY(m_session->listenerOf(11).isListening());
    }

    void idleMainPortConnectionsAreClosed() {
        QVERIFY(startService());
        m_session->service().connections.setMainPortIdleLimit(std::chrono::milliseconds(1000));
        FakeTerminal loggedIn;
        QVERIFY(loggedIn.connectTo(folder().mainPort()));
        loggedIn.send("@OC(" + QByteArray::number(folder().driver(11).port) + ")[1111]@");
        QTRY_VERIFY(m_session->listenerOf(11).isListening());
        FakeTerminal idle;
        QVERIFY(idle.connectTo(folder().mainPort()));
        FakeTerminal unfinished;
        QVERIFY(unfinished.connectTo(folder().mainPort()));
        unfinished.send("@OC(");

        QVERIFY(idle.waitForClosedByService(5000));
        QVERIFY(unfinished.waitForClosedByService(5000));
        QVERIFY(m_session->logContains(
            QStringLiteral("ЗАКРИТО ПІДКЛЮЧЕННЯ БЕЗ ЗАПИТУ > %1").arg(folder().mainPort())));
        QVERIFY(loggedIn.isConnected()); // a terminal hangs up by itself after its login
    }

    // The disconnect handling that a repeated login runs inside itself is part of the login: when it
    // fails, the login ends there, and the operator sees the failure once.
    void failureOfANestedDisconnectEndsTheRequest() {
        QVERIFY(startService());
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 11));
        folder().dispatcherExecute({QStringLiteral("CREATE EXCEPTION E_KEEP_OFFER 'offer row kept'")});
        folder().dispatcherExecute({QStringLiteral("CREATE TRIGGER KEEP_OFFER FOR REFLESH_DANI_VODIY_GPRS"),
                                    QStringLiteral("BEFORE DELETE AS BEGIN EXCEPTION E_KEEP_OFFER; END")});

        m_session->logIn(11);
        QVERIFY(phone.waitForClosedByService());
        QTRY_COMPARE(m_session->op().errors.size(), 1);
        QVERIFY2(m_session->op().errors.first().contains(QStringLiteral("offer row kept")),
                 qPrintable(m_session->op().errors.first()));
        QTest::qWait(200);
        QVERIFY(
            !m_session->logContains(QStringLiteral("закриття порта при повторному запиті вільності порта")));
    }

    void rebuildSizesTheSlotTableToTheRecords() {
        QVERIFY(startService());
        auto& connections = m_session->service().connections;
        const int records = connections.N();
        QCOMPARE(connections.slotTable().size(), records + 1);
        m_session->service().pressStartStop();
        QVERIFY(!m_session->service().control.isDistributing());
        m_session->service().runAction([&] {
            m_session->service().data.tablGprsRizne.execute(
                {QStringLiteral("DELETE FROM GPRS_SET_KLIENT WHERE GPRS_SET_KLIENT_POZ IN (16, 17)")});
        });
        m_session->service().pressStartStop();
        QVERIFY(m_session->service().control.isDistributing());
        QCOMPARE(connections.N(), records - 2);
        QCOMPARE(connections.slotTable().size(), records - 1);
    }
};

QTEST_GUILESS_MAIN(ConnectionServiceTest)
#include "test_connection_service.moc"
