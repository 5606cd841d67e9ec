#include "app/service.h"
#include "core/db/attachment.h"
#include "core/db/query.h"
#include "core/db/transaction.h"
#include "net/listener.h"
#include "support/fake_terminal.h"
#include "support/service_fixture.h"

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
    std::unique_ptr<ServiceFolder> m_folder;
    std::unique_ptr<RunningService> m_service;

    void startService(const QMap<QString, QString>& settings = {}) {
        m_folder = std::make_unique<ServiceFolder>();
        m_folder->writeSettings(settings);
        m_folder->createSettingsDatabase();
        m_service = std::make_unique<RunningService>(*m_folder);
        QVERIFY2((*m_service)->control.isDistributing(),
                 qPrintable(m_service->op().errors.join(QLatin1Char('\n'))));
    }

    net::Listener& listenerOf(int callsign) {
        auto& connections = (*m_service)->connections;
        return connections.driverListener(connections.firstListenerOnPort(m_folder->driver(callsign).port));
    }

    void logIn(int callsign, const QString& password = QStringLiteral("1111")) {
        sendLogin(m_folder->mainPort(), m_folder->driver(callsign).port, password);
    }

    // Logs the driver in and connects his terminal to his own port.
    void bind(FakeTerminal& phone, int callsign) {
        logIn(callsign);
        QVERIFY(phone.connectTo(m_folder->driver(callsign).port));
        QTRY_COMPARE(listenerOf(callsign).connectionCount(), 1);
        QTRY_VERIFY(logContains(QStringLiteral("кіл. підк. = 1")));
    }

    bool logContains(const QString& line) const { return m_service->logLines().contains(line); }

    QString activity(int callsign) {
        (*m_service)->data.reopenConnectionRecords();
        for (const db::Row& record : (*m_service)->data.connectionRecords().rows()) {
            if (record[QStringLiteral("GPRS_SET_KLIENT_POZ")].toInt() == callsign)
                return record[QStringLiteral("GPRS_SET_KLIENT_ACTIVNIST")].toText();
        }
        return QStringLiteral("<no record>");
    }

    QString carModel(int callsign) {
        const db::ResultSet rows = m_folder->dispatcherSelect(
            {QStringLiteral("SELECT ZAD_AVTO_MARKA_AVTO FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
            {callsign});
        return rows.isEmpty() ? QStringLiteral("<no row>") : rows.first().at(0).toText();
    }

    QStringList journal(int callsign) {
        const db::ResultSet rows = m_folder->dispatcherSelect(
            {QStringLiteral(
                "SELECT DYA_VODIY_GPRS_DYA FROM DYA_VODIY_GPRS WHERE DYA_VODIY_GPRS_POZ = ? ORDER BY 1")},
            {callsign});
        QStringList entries;
        for (const db::Row& row : rows.rows())
            entries.append(row.at(0).toText());
        return entries;
    }

private slots:
    void cleanup() {
        m_service.reset();
        m_folder.reset();
    }

    void loginBindAndDisconnectMoveTheMarks() {
        startService({{QStringLiteral("SET_DYI_VODIY/VHID_V_SYSTEM"), QStringLiteral("1")}});
        FakeTerminal main;
        QVERIFY(main.connectTo(m_folder->mainPort()));
        main.send("@OC(" + QByteArray::number(m_folder->driver(11).port) + ")[1111]@");
        QTRY_VERIFY(listenerOf(11).isListening());
        QVERIFY(logContains(QStringLiteral("Запит на вхід водія № 11")));
        QCOMPARE(main.receivedAfterQuiet(100), QByteArray()); // a login is never answered
        QCOMPARE(journal(11), QStringList{QStringLiteral("Вхід в систему")});
        // The driver is on the air in the pool, at the end of its queue.
        const db::Row onAir =
            m_folder
                ->dispatcherSelect({QStringLiteral("SELECT ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL, "
                                                   "ZAD_AVTO_FIO_VODIY FROM ZADIANI_AVTO WHERE "
                                                   "ZAD_AVTO_POZIVNIY = 11")})
                .first();
        QCOMPARE(onAir.at(0).toText(), QStringLiteral("[]{}"));
        QCOMPARE(onAir.at(1).toText(), QStringLiteral("0001"));
        QCOMPARE(onAir.at(2).toText(), m_folder->driver(11).name);

        FakeTerminal phone;
        QVERIFY(phone.connectTo(m_folder->driver(11).port));
        QTRY_VERIFY(logContains(QStringLiteral("кіл. підк. = 1")));
        // Seen by the dispatchers at once, without any request from the terminal.
        QCOMPARE(activity(11), QStringLiteral("АКТИВНИЙ"));
        QVERIFY(carModel(11).startsWith(QStringLiteral("{GPRS}")));
        QCOMPARE(m_folder->offerRows(11), 1);

        phone.disconnect();
        QTRY_VERIFY(logContains(QStringLiteral("ПОРТ ВІДКЛЮЧИВСЯ > %1").arg(m_folder->driver(11).port)));
        QTRY_COMPARE(m_folder->offerRows(11), 0);
        QCOMPARE(activity(11), QStringLiteral("неактивний"));
        QVERIFY(!carModel(11).contains(QStringLiteral("{GPRS}")));
        QVERIFY(listenerOf(11).isListening()); // the terminal may come back without a new login
        QVERIFY(phone.connectTo(m_folder->driver(11).port));
        QTRY_COMPARE(m_folder->offerRows(11), 1);
    }

    void boundOfferRowCanBeUpdatedByDispatchersAtOnce() {
        startService();
        FakeTerminal phone;
        bind(phone, 12);
        db::Attachment dispatcher;
        dispatcher.attach(
            QStringLiteral("localhost:") +
                m_folder->dispatcherSelect({QStringLiteral("SELECT MON$DATABASE_NAME FROM MON$DATABASE")})
                    .first()
                    .at(0)
                    .toText(),
            m_folder->credentials());
        db::Transaction transaction(dispatcher);
        transaction.setLockTimeout(2);
        db::Query(transaction)
            .execute({QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_ZAMOV = '+' "
                                     "WHERE REFLESH_VODIY_POZ = 12")});
        transaction.commitIfActive();
        dispatcher.detach();
    }

    void hostileInputChangesNothingAndServiceGoesOn() {
        startService();
        FakeTerminal phone;
        bind(phone, 13);
        FakeTerminal main;
        QVERIFY(main.connectTo(m_folder->mainPort()));
        const QByteArray driverPort = QByteArray::number(m_folder->driver(15).port);
        main.send("@OC(" + driverPort + ")[' OR '1'='1]@@OC(" + driverPort + ")[1111' --]@");
        main.send("@OC(x' OR 1=1 --)[1111]@");
        QTRY_COMPARE(m_service->op().errors.size(), 1); // a port that is not a number reaches the operator
        QVERIFY(m_service->op().errors.first().contains(QStringLiteral("x' OR 1=1 --")));
        QVERIFY(!listenerOf(15).isListening());
        QCOMPARE(m_folder->dispatcherSelect({QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO")})
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
        QCOMPARE(m_service->op().errors.size(), 1);
    }

    void repeatedLoginDropsTheConnectionAndKeepsThePort() {
        startService();
        FakeTerminal phone;
        bind(phone, 11);
        logIn(11);
        QVERIFY(phone.waitForClosedByService());
        QVERIFY(logContains(QStringLiteral("закриття порта при повторному запиті вільності порта")));
        QTRY_COMPARE(m_folder->offerRows(11), 0);
        QVERIFY(listenerOf(11).isListening());
        FakeTerminal again;
        QVERIFY(again.connectTo(m_folder->driver(11).port));
        QTRY_COMPARE(m_folder->offerRows(11), 1);
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
        startService({{QStringLiteral("GPRS_TAXI/DODAT_DO_BORG"), debtors}});
        logIn(callsign);
        const QString refusal =
            QStringLiteral("Відмова водію позивного N[%1], так як він знаходиться в чорному "
                           "списку !!!")
                .arg(callsign);
        QTRY_VERIFY(logContains(refusal));
        QCOMPARE(journal(callsign), QStringList{QStringLiteral("Відмова входа в систему (чорний список) !")});
        QVERIFY(!listenerOf(callsign).isListening());
        QCOMPARE(m_folder->dispatcherSelect({QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO")})
                     .first()
                     .at(0)
                     .toInt(),
                 0);
    }

    void debtorWithAConnectionLosesItAndThePort() {
        startService();
        FakeTerminal phone;
        bind(phone, 12);
        (*m_service)->settings.setText(QStringLiteral("DODAT_DO_BORG"), QStringLiteral("[12]"));
        logIn(12);
        QVERIFY(phone.waitForClosedByService());
        QTRY_VERIFY(!listenerOf(12).isListening());
    }

    void wrongPasswordSaysNothingAndClosesAnIdlePort() {
        startService();
        logIn(14);
        QTRY_VERIFY(listenerOf(14).isListening());
        const int lines = int(m_service->logLines().size());
        logIn(14, QStringLiteral("0000"));
        QTRY_VERIFY(!listenerOf(14).isListening());
        QCOMPARE(m_service->logLines().mid(lines).filter(QStringLiteral("водія")), QStringList());
    }

    void carOfAnotherDriverSaysNothingAndClosesAnIdlePort() {
        startService();
        logIn(14);
        QTRY_VERIFY(listenerOf(14).isListening());
        m_folder->dispatcherExecute(
            {QStringLiteral("UPDATE DANI_AVTO SET TABL_AVTO_NOM_VODIY = 0 WHERE TABL_AVTO_POZIVN = 14")});
        const int lines = int(m_service->logLines().size());
        logIn(14);
        QTRY_VERIFY(!listenerOf(14).isListening());
        QCOMPARE(m_service->logLines().mid(lines).filter(QStringLiteral("водію")), QStringList());
    }

    void bindingLoadsTheHeldOrderIntoTheSlot() {
        startService();
        logIn(15);
        QTRY_VERIFY(listenerOf(15).isListening());
        m_folder->dispatcherExecute({QStringLiteral(
            "UPDATE ZAMOVLENNIA SET ZAMOVL_CHAS_PRIYOM_VODIY = '7' WHERE ZAMOVL_NUMBER = 1044")});
        m_folder->dispatcherExecute({QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_NOMER_ZAMOVL = 1044, "
                                                    "ZAD_AVTO_ZADIANIST = 1 WHERE ZAD_AVTO_POZIVNIY = 15")});
        FakeTerminal phone;
        QVERIFY(phone.connectTo(m_folder->driver(15).port));
        QTRY_COMPARE(m_folder->offerRows(15), 1);
        auto& connections = (*m_service)->connections;
        const net::PortSlot& slot =
            connections.slot(connections.firstListenerOnPort(m_folder->driver(15).port));
        QCOMPARE(slot.orderNumber, 1044);
        QCOMPARE(slot.orderFrom, QStringLiteral("вул. Соборна, 14"));
        QCOMPARE(slot.orderTo, QStringLiteral("Вокзал"));
        QCOMPARE(slot.clientCode, 7);
        QCOMPARE(slot.orderStatus, QStringLiteral("HI"));
        QCOMPARE(slot.orderExtra, QStringLiteral("ч.в.з.{7} тар.[Місто] біля аптеки, чекати 5 хв"));
        QVERIFY(qAbs(slot.orderTime.secsTo(QDateTime::currentDateTime()) - 6 * 60) < 90);
        QCOMPARE(m_folder
                     ->dispatcherSelect(
                         {QStringLiteral("SELECT REFLESH_VODIY_NZ FROM REFLESH_DANI_VODIY_GPRS WHERE "
                                         "REFLESH_VODIY_POZ = 15")})
                     .first()
                     .at(0)
                     .toInt(),
                 1044);
    }

    void sharedPortLookups() {
        m_folder = std::make_unique<ServiceFolder>();
        m_folder->changeRecord(13, m_folder->driver(12).port, QStringLiteral("2222"));
        m_folder->writeSettings();
        m_folder->createSettingsDatabase();
        m_service = std::make_unique<RunningService>(*m_folder);
        auto& connections = (*m_service)->connections;
        const int port = m_folder->driver(12).port;
        const int first = connections.firstListenerOnPort(port);
        const int last = connections.lastListenerOnPort(port);
        QCOMPARE(connections.slot(first).callsign, 12); // slots come by port, then callsign
        QCOMPARE(connections.slot(last).callsign, 13);
        QCOMPARE(last, first + 1);

        logIn(12);
        QTRY_VERIFY(connections.driverListener(first).isListening());
        FakeTerminal phone;
        QVERIFY(phone.connectTo(quint16(port)));
        // A chunk is framed in every slot of its port; each request answers on the first one's connection.
        phone.send("@PZ3@");
        QVERIFY(phone.waitForReplies(2));
        QCOMPARE(phone.receivedAfterQuiet(100), kUpdateNotice + kUpdateNotice);
    }

    void callsignOnTheAirUnderAnotherNameStartsNothing() {
        startService();
        m_folder->dispatcherExecute(
            {QStringLiteral("INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_FIO_VODIY, "
                            "ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL) VALUES (16, 'Інший', "
                            "'[]{}', '0001')")});
        logIn(16);
        QTRY_VERIFY(logContains(QStringLiteral(
            "закриття порта - так як такий таксист попередньо вийшов на звязок під іншим фіо")));
        QVERIFY(!listenerOf(16).isListening());
    }

    void secondConnectionToABoundPortIsRefused() {
        startService();
        FakeTerminal phone;
        bind(phone, 13);
        FakeTerminal intruder;
        QVERIFY(intruder.connectTo(m_folder->driver(13).port));
        QVERIFY(intruder.waitForClosedByService());
        QVERIFY(logContains(QStringLiteral(
            "ТЕЛЕФОН ПОДАВ НЕВІРНУ ЗАЯВКУ НА ПІДКЛЮЧЕННЯ / ПІДКЛЮЧЕНЬ ДО ПОРТА БІЛЬШЕ ОДНОГО")));
        QVERIFY(logContains(QStringLiteral("кіл. підк. = 2")));
        QCOMPARE(m_folder->offerRows(13), 1); // the first terminal stays bound
        QVERIFY(phone.isConnected());
    }

    void resetConnectionStopsThePortUntilTheNextLogin() {
        startService();
        FakeTerminal phone;
        bind(phone, 11);
        phone.reset();
        QTRY_VERIFY(logContains(QStringLiteral("ПОМИЛКА ПОРТА > %1").arg(m_folder->driver(11).port)));
        QTRY_VERIFY(!listenerOf(11).isListening());
        QCOMPARE(m_folder->offerRows(11), 0);
        QVERIFY(!carModel(11).contains(QStringLiteral("{GPRS}")));
        QCOMPARE(journal(11), QStringList{QStringLiteral("ЗБІЙ У ЗВЯЗКУ / СІТЦІ")});
        FakeTerminal again;
        QVERIFY(!again.connectTo(m_folder->driver(11).port, 300));
        logIn(11);
        QVERIFY(again.connectTo(m_folder->driver(11).port));
    }

    void exitTakesTheDriverOffTheAirUnlessHeHoldsAnOrder() {
        startService();
        FakeTerminal first;
        bind(first, 11);
        FakeTerminal second;
        bind(second, 12);
        m_folder->dispatcherExecute({QStringLiteral(
            "UPDATE ZADIANI_AVTO SET ZAD_AVTO_NOMER_ZAMOVL = 1 WHERE ZAD_AVTO_POZIVNIY = 12")});
        first.send("@EXIT@");
        second.send("@EXIT@");
        const auto rowsOf = [&](int callsign) {
            return m_folder
                ->dispatcherSelect(
                    {QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
                    {callsign})
                .first()
                .at(0)
                .toInt();
        };
        QTRY_COMPARE(rowsOf(11), 0);
        QTRY_VERIFY(
            logContains(QStringLiteral("Водій № 12 сам закрив свій порт / дав запит зняти з ефіру (якщо в "
                                       "нього немає активних замовлень)")));
        QCOMPARE(rowsOf(12), 1);
        first.send("@CLOSE@");
        QTRY_VERIFY(logContains(QStringLiteral("Водій № 11 сам закрив свій порт")));
        QVERIFY(first.isConnected()); // nothing but the line: the terminal closes by itself
    }

    void outdatedTerminalsAreToldToUpdate_data() {
        QTest::addColumn<QByteArray>("request");
        for (const char* request : {"@PZ@", "@PZ1@", "@PZ2@", "@PZ3@", "@PZ4@", "@PZ5@", "@PZ6@"})
            QTest::newRow(request) << QByteArray(request);
    }
    void outdatedTerminalsAreToldToUpdate() {
        QFETCH(QByteArray, request);
        if (!m_service)
            startService();
        FakeTerminal phone;
        bind(phone, 14);
        phone.send(request);
        QVERIFY(phone.waitForReplies(1));
        QCOMPARE(phone.receivedAfterQuiet(100), kUpdateNotice);

        FakeTerminal main; // the same request on the main port changes nothing and gets nothing
        QVERIFY(main.connectTo(m_folder->mainPort()));
        main.send(request);
        QCOMPARE(main.receivedAfterQuiet(), QByteArray());
        phone.disconnect();
        QTRY_COMPARE(listenerOf(14).connectionCount(), 0);
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
        startService();
        FakeTerminal disturber;
        QVERIFY(disturber.connectTo(m_folder->mainPort()));
        const bool cut =
            disturbance == Disturbance::CutLoginThenClose || disturbance == Disturbance::CutLoginThenReset;
        disturber.send(cut ? "@OC(" + QByteArray::number(m_folder->driver(12).port) + ")[11" : "@");
        disturber.receivedAfterQuiet(100);
        if (disturbance == Disturbance::CutLoginThenReset)
            disturber.reset();
        else if (disturbance != Disturbance::LoneMarkAndStay)
            disturber.disconnect();

        for (const int callsign : {11, 13, 15}) {
            logIn(callsign);
            QTRY_VERIFY(listenerOf(callsign).isListening());
        }
        QVERIFY2(m_service->op().errors.isEmpty(),
                 qPrintable(m_service->op().errors.join(QLatin1Char('\n'))));
    }

    void loginsInterleavedByteByByteEachWork() {
        startService();
        const QList<int> callsigns{11, 12, 13};
        std::array<FakeTerminal, 3> terminals;
        QList<QByteArray> logins;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(terminals[i].connectTo(m_folder->mainPort()));
            logins.append("@OC(" + QByteArray::number(m_folder->driver(callsigns[i]).port) + ")[1111]@");
        }
        for (qsizetype at = 0; at < logins.first().size(); ++at) {
            for (int i = 0; i < 3; ++i) {
                terminals[i].send(logins[i].mid(at, 1));
                QTest::qWait(1);
            }
        }
        for (const int callsign : callsigns)
            QTRY_VERIFY(listenerOf(callsign).isListening());
        QVERIFY(m_service->op().errors.isEmpty());
    }

    void halfRequestOfAResetTerminalIsNotPrefixedToTheNext() {
        startService();
        FakeTerminal phone;
        bind(phone, 11);
        phone.send("@PZ");
        phone.receivedAfterQuiet(100);
        phone.reset();
        QTRY_VERIFY(!listenerOf(11).isListening());

        FakeTerminal again;
        bind(again, 11);
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
        startService();
        FakeTerminal main;
        QVERIFY(main.connectTo(m_folder->mainPort()));
        if (port.isEmpty())
            port = QByteArray::number(m_folder->driver(11).port);
        main.send("@OC(" + port + ")[" + password + "]@");
        QCOMPARE(main.receivedAfterQuiet(300), QByteArray());
        QVERIFY2(m_service->op().errors.isEmpty(),
                 qPrintable(m_service->op().errors.join(QLatin1Char('\n'))));
        QVERIFY(!listenerOf(11).isListening());
        logIn(11);
        QTRY_VERIFY(listenerOf(11).isListening());
    }

    void idleMainPortConnectionsAreClosed() {
        startService();
        (*m_service)->connections.setMainPortIdleLimit(std::chrono::milliseconds(300));
        FakeTerminal idle;
        QVERIFY(idle.connectTo(m_folder->mainPort()));
        FakeTerminal unfinished;
        QVERIFY(unfinished.connectTo(m_folder->mainPort()));
        unfinished.send("@OC(");
        FakeTerminal loggedIn;
        QVERIFY(loggedIn.connectTo(m_folder->mainPort()));
        loggedIn.send("@OC(" + QByteArray::number(m_folder->driver(11).port) + ")[1111]@");

        QVERIFY(idle.waitForClosedByService(3000));
        QVERIFY(unfinished.waitForClosedByService(3000));
        QVERIFY(logContains(QStringLiteral("ЗАКРИТО ПІДКЛЮЧЕННЯ БЕЗ ЗАПИТУ > %1").arg(m_folder->mainPort())));
        QTest::qWait(300);
        QVERIFY(loggedIn.isConnected()); // a terminal hangs up by itself after its login
        QVERIFY(listenerOf(11).isListening());
    }

    // The disconnect handling that a repeated login runs inside itself is part of the login: when it
    // fails, the login ends there, and the operator sees the failure once.
    void failureOfANestedDisconnectEndsTheRequest() {
        startService();
        FakeTerminal phone;
        bind(phone, 11);
        m_folder->dispatcherExecute({QStringLiteral("CREATE EXCEPTION E_KEEP_OFFER 'offer row kept'")});
        m_folder->dispatcherExecute({QStringLiteral("CREATE TRIGGER KEEP_OFFER FOR REFLESH_DANI_VODIY_GPRS"),
                                     QStringLiteral("BEFORE DELETE AS BEGIN EXCEPTION E_KEEP_OFFER; END")});

        logIn(11);
        QVERIFY(phone.waitForClosedByService());
        QTRY_COMPARE(m_service->op().errors.size(), 1);
        QVERIFY2(m_service->op().errors.first().contains(QStringLiteral("offer row kept")),
                 qPrintable(m_service->op().errors.first()));
        QTest::qWait(200);
        QVERIFY(!logContains(QStringLiteral("закриття порта при повторному запиті вільності порта")));
    }

    void rebuildSizesTheSlotTableToTheRecords() {
        startService();
        auto& connections = (*m_service)->connections;
        const int records = connections.N();
        QCOMPARE(connections.slotTable().size(), records + 1);
        (*m_service)->pressStartStop();
        QVERIFY(!(*m_service)->control.isDistributing());
        (*m_service)->runAction([&] {
            (*m_service)
                ->data.tablGprsRizne.execute(
                    {QStringLiteral("DELETE FROM GPRS_SET_KLIENT WHERE GPRS_SET_KLIENT_POZ IN (16, 17)")});
        });
        (*m_service)->pressStartStop();
        QVERIFY((*m_service)->control.isDistributing());
        QCOMPARE(connections.N(), records - 2);
        QCOMPARE(connections.slotTable().size(), records - 1);
    }
};

QTEST_GUILESS_MAIN(ConnectionServiceTest)
#include "test_connection_service.moc"
