#include "app/service.h"
#include "core/settings.h"
#include "net/listener.h"
#include "net/port_slot.h"
#include "support/driver_session.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const int kDriver = 11;
const int kOrder = 1044; // client 7, paid, open

} // namespace

// A driver's answers to the order he holds, through his terminal, on the demo city's database.
class OrderCommandsTest : public QObject, private OneBoundDriver {
    Q_OBJECT

public:
    OrderCommandsTest() : OneBoundDriver(kDriver) {}

private:
    // What a dispatcher's order and the offer pass leave behind: the driver's row is busy with the
    // order, the offer row names it and the slot carries it.
    void holdOrder(const QString& freeFlag = QStringLiteral("HI"), int clientCode = 7) {
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE ZAMOVLENNIA SET ZAMOVL_POZIVNIY = ?, ZAMOVL_FIO_TAXI = ?, "
                            "ZAMOVL_BEZKOSHTOVN = ?, ZAMOVL_NOMER_KLIENT = ? WHERE ZAMOVL_NUMBER = ?")},
            {kDriver, folder().driver(kDriver).name, freeFlag, clientCode, kOrder});
        folder().dispatcherExecute({QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_NOMER_ZAMOVL = ?, "
                                                   "ZAD_AVTO_ZADIANIST = 1 WHERE ZAD_AVTO_POZIVNIY = ?")},
                                   {kOrder, kDriver});
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_NZ = ?, "
                            "REFLESH_VODIY_DATETIME = CURRENT_TIMESTAMP WHERE REFLESH_VODIY_POZ = ?")},
            {kOrder, kDriver});
        net::PortSlot& slot = m_session->slotOf(kDriver);
        slot.orderNumber = kOrder;
        slot.clientCode = clientCode;
        slot.orderStatus = freeFlag;
        slot.standName.clear();
        slot.standPosition = QStringLiteral("0");
    }

    db::Row offerRow() {
        return folder()
            .dispatcherSelect(
                {QStringLiteral("SELECT REFLESH_VODIY_ZAMOV, REFLESH_VODIY_NZ, "
                                "DATEDIFF(SECOND FROM REFLESH_VODIY_DATETIME TO LOCALTIMESTAMP), "
                                "REFLESH_VODIY_DATETIME FROM REFLESH_DANI_VODIY_GPRS WHERE "
                                "REFLESH_VODIY_POZ = ?")},
                {kDriver})
            .first();
    }

    db::Row client(int code) {
        return folder()
            .dispatcherSelect({QStringLiteral("SELECT KLIENT_KIL_VIKLIK, KLIENT_KIL_FREE_VIKLIK FROM KLIENT "
                                              "WHERE KLIENT_DODATKOVO LIKE ?")},
                              {QStringLiteral("[%1]%").arg(code, 5, 10, QLatin1Char('0'))})
            .first();
    }

    int rides(int callsign) {
        return folder().dispatcherNumber(
            QStringLiteral("SELECT TABL_AVTO_KILVIKLIK FROM DANI_AVTO WHERE TABL_AVTO_POZIVN = ?"),
            {callsign});
    }

    db::Row driverRow() {
        return folder()
            .dispatcherSelect({QStringLiteral("SELECT * FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
                              {kDriver})
            .first();
    }

    QStringList orderLines() { return m_session->linesContaining(QStringLiteral("замовлення №[")); }

private slots:
    void cleanup() { stop(); }

    void withoutAnOrderNothingHappens_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("accept") << QByteArray("@PRZ@");
        QTest::newRow("refuse") << QByteArray("@VDZ@");
        QTest::newRow("complete") << QByteArray("@ZKZ@");
    }
    void withoutAnOrderNothingHappens() {
        QFETCH(QByteArray, request);
        // A refusal that counted would make him a debtor at once.
        QVERIFY(start({{QStringLiteral("GPRS_TAXI/BORG_ZA_VIDMOVU"), QStringLiteral("1")},
                       {QStringLiteral("GPRS_TAXI/MAX_KIL_VIDMOV"), QStringLiteral("0")}}));
        folder().dispatcherExecute({QStringLiteral(
            "UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_DATETIME = '01.01.2030 10:00:00'")});
        const int carRides = rides(kDriver);

        m_phone->send(request + "@SOS@");
        QVERIFY(m_session->waitForLine(QStringLiteral("Запит SOS водієм № 11")));
        QCOMPARE(orderLines(), QStringList());
        QCOMPARE(m_session->journal(kDriver), QStringList{QStringLiteral("ТРИВОГА ВІД ВОДІЯ #0")});
        QCOMPARE(offerRow()[QStringLiteral("REFLESH_VODIY_DATETIME")].toText(),
                 QStringLiteral("01.01.2030 10:00:00"));
        QVERIFY(offerRow()[QStringLiteral("REFLESH_VODIY_ZAMOV")].isNull());
        QCOMPARE(m_session->slotOf(kDriver).refusalCount, 0);
        QCOMPARE(rides(kDriver), carRides);
        QCOMPARE(m_phone->receivedAfterQuiet(100), QByteArray());
        QVERIFY(m_phone->isConnected());
    }

    void answersToAnOffer_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("offerAgeSeconds"); // -1: no longer waits for an answer
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("entry");
        QTest::newRow("accept") << QByteArray("@PRZ@") << -1
                                << QStringLiteral("Запит на прийняття замовлення №[1044] водієм № 11")
                                << QStringLiteral("Прийняття замовлення #1044");
        // Dated back beyond the 30 s of confirmation, so that the time-out takes the order back at once.
        QTest::newRow("refuse") << QByteArray("@VDZ@") << 40
                                << QStringLiteral("Запит на відмову від замовлення №[1044] водієм № 11")
                                << QStringLiteral("Відмова від замовлення #1044");
    }
    void answersToAnOffer() {
        QFETCH(QByteArray, request);
        QFETCH(int, offerAgeSeconds);
        QFETCH(QString, line);
        QFETCH(QString, entry);
        QVERIFY(start({{QStringLiteral("GPRS_TAXI/CHAS_ZN_SEK"), QStringLiteral("30")}}));
        holdOrder();

        m_phone->send(request);
        QVERIFY(m_session->waitForLine(line));
        QCOMPARE(m_session->journal(kDriver), QStringList{entry});
        const db::Row offer = offerRow();
        QCOMPARE(offer[QStringLiteral("REFLESH_VODIY_NZ")].toInt(), kOrder);
        QVERIFY(offer[QStringLiteral("REFLESH_VODIY_ZAMOV")].isNull());
        if (offerAgeSeconds < 0) {
            QVERIFY(offer[QStringLiteral("REFLESH_VODIY_DATETIME")].isNull());
        } else {
            const int age = offer.at(2).toInt();
            QVERIFY2(age >= offerAgeSeconds && age <= offerAgeSeconds + 5, qPrintable(QString::number(age)));
        }
        QCOMPARE(m_phone->receivedAfterQuiet(100), QByteArray());
    }

    void refusalLimit_data() {
        QTest::addColumn<bool>("ruleOn");
        QTest::addColumn<QString>("debtors");
        QTest::addColumn<int>("refusals");
        QTest::addColumn<bool>("becomesDebtor");
        // The limit is 2 refusals on one connection.
        QTest::newRow("rule off") << false << QStringLiteral("[0]") << 3 << false;
        QTest::newRow("at the limit") << true << QStringLiteral("[0]") << 2 << false;
        QTest::newRow("beyond the limit") << true << QStringLiteral("[0]") << 3 << true;
        QTest::newRow("already a debtor") << true << QStringLiteral("[5][11]") << 3 << false;
    }
    void refusalLimit() {
        QFETCH(bool, ruleOn);
        QFETCH(QString, debtors);
        QFETCH(int, refusals);
        QFETCH(bool, becomesDebtor);
        QVERIFY(start({{QStringLiteral("GPRS_TAXI/BORG_ZA_VIDMOVU"),
                        ruleOn ? QStringLiteral("1") : QStringLiteral("0")},
                       {QStringLiteral("GPRS_TAXI/MAX_KIL_VIDMOV"), QStringLiteral("2")},
                       {QStringLiteral("GPRS_TAXI/DODAT_DO_BORG"), QStringLiteral("[0]")}}));
        // Listed while on the air: the operator confirmed the list after the driver logged in.
        m_session->service().settings.setText(keys::DODAT_DO_BORG, debtors);
        holdOrder();

        m_phone->send(QByteArray("@VDZ@").repeated(refusals));
        const QString debtorLine =
            QStringLiteral("Добавлення водія № 11 у список боржників (Перевищення ліміту відмов)");
        const int ordinary = becomesDebtor ? refusals - 1 : refusals;
        if (becomesDebtor)
            QVERIFY(m_session->waitForLine(debtorLine));
        else
            QTRY_COMPARE(orderLines().size(), ordinary);

        QCOMPARE(orderLines().size(), ordinary);
        QStringList entries(ordinary, QStringLiteral("Відмова від замовлення #1044"));
        if (becomesDebtor)
            entries.append(QStringLiteral("Добавлення водія у боржники. Перевищення ліміту ві #1044"));
        QCOMPARE(m_session->journal(kDriver), entries);
        const db::ResultSet blackList = folder().dispatcherSelect(
            {QStringLiteral("SELECT BL_AVTOR, BL_TEXT, BL_STATUS FROM BL_VODII WHERE BL_AVTO_POZIVN = ?")},
            {kDriver});
        QCOMPARE(blackList.size(), becomesDebtor ? 1 : 0);
        const QString listed = debtors + (becomesDebtor ? QStringLiteral("[11]") : QString());
        QCOMPARE(m_session->service().settings.text(keys::DODAT_DO_BORG), listed);
        if (becomesDebtor) {
            QCOMPARE(blackList.first().at(0).toText(), QStringLiteral("GPRS"));
            QCOMPARE(blackList.first().at(1).toText(),
                     QStringLiteral("Перевищення ліміту відмов від замовлення у системі GPRS"));
            QCOMPARE(blackList.first().at(2).toInt(), 1);
            QVERIFY(m_phone->waitForClosedByService());
            QVERIFY(!m_session->listenerOf(kDriver).isListening());
        } else {
            QVERIFY(m_phone->isConnected());
        }
        QCOMPARE(m_session->linesContaining(QStringLiteral("у список боржників")).size(),
                 becomesDebtor ? 1 : 0);
        // The list reaches the settings file only when the operator confirms it.
        QFile file(QDir(folder().path()).filePath(QStringLiteral("SETSERVER.INI")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("DODAT_DO_BORG=[0]\r\n"));
    }

    void completionCountsTheRide_data() {
        QTest::addColumn<QString>("freeFlag");
        QTest::addColumn<int>("clientCode");
        QTest::addColumn<QString>("freeRideAfter");
        QTest::addColumn<int>("watchedClient");
        QTest::addColumn<int>("paidRides");
        QTest::addColumn<int>("freeRides");
        // Client 7 has 6 paid rides and no free one; client 15 has 2 paid rides and a free one.
        QTest::newRow("paid, earns a free ride")
            << QStringLiteral("HI") << 7 << QStringLiteral("7") << 7 << 0 << 1;
        QTest::newRow("paid, free rides off")
            << QStringLiteral("HI") << 7 << QStringLiteral("0") << 7 << 7 << 0;
        QTest::newRow("free ride") << QStringLiteral("TAK") << 15 << QStringLiteral("7") << 15 << 2 << 0;
        QTest::newRow("no client") << QStringLiteral("HI") << 0 << QStringLiteral("7") << 7 << 6 << 0;
    }
    void completionCountsTheRide() {
        QFETCH(QString, freeFlag);
        QFETCH(int, clientCode);
        QFETCH(QString, freeRideAfter);
        QFETCH(int, watchedClient);
        QFETCH(int, paidRides);
        QFETCH(int, freeRides);
        QVERIFY(start({{QStringLiteral("GPRS_TAXI/YUVILEYKA_VIKLIK"), freeRideAfter}}));
        holdOrder(freeFlag, clientCode);
        folder().dispatcherExecute({QStringLiteral(
            "UPDATE ZADIANI_AVTO SET ZAD_AVTO_RIBA = '01.01.2020 10:00:00' WHERE ZAD_AVTO_POZIVNIY = 11")});
        const int carRides = rides(kDriver);
        const QString rayon = driverRow()[QStringLiteral("ZAD_AVTO_RAYON")].toText();

        m_phone->send("@ZKZ@");
        QVERIFY(m_session->waitForLine(QStringLiteral("Запит на закінчення замовлення №[1044] водієм № 11")));
        QCOMPARE(m_session->op().errors, QStringList());
        QCOMPARE(m_session->journal(kDriver), QStringList{QStringLiteral("Виконання замовлення #1044")});
        QCOMPARE(client(watchedClient).at(0).toInt(), paidRides);
        QCOMPARE(client(watchedClient).at(1).toInt(), freeRides);
        QCOMPARE(rides(kDriver), carRides + 1);

        const db::Row order =
            folder()
                .dispatcherSelect({QStringLiteral("SELECT ZAMOVL_STATUS_ZAMOVL, "
                                                  "ZAMOVL_DATA_ZAKR_ZAMOVL FROM ZAMOVLENNIA "
                                                  "WHERE ZAMOVL_NUMBER = ?")},
                                  {kOrder})
                .first();
        QCOMPARE(order.at(0).toInt(), 1);
        QCOMPARE(order.at(1).toText(), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));

        const db::Row driver = driverRow();
        QCOMPARE(driver[QStringLiteral("ZAD_AVTO_ZADIANIST")].toInt(), 0);
        QCOMPARE(driver[QStringLiteral("ZAD_AVTO_NOMER_ZAMOVL")].toInt(), 0);
        // The driver of a free ride gets a "+" and his free-ride marks rewritten from the closed orders.
        const bool freeRide = freeFlag == QStringLiteral("TAK");
        QCOMPARE(driver[QStringLiteral("ZAD_AVTO_RAYON")].toText(),
                 freeRide ? QString(rayon).replace(QStringLiteral("()"), QStringLiteral("(+)")) : rayon);
        QCOMPARE(driver[QStringLiteral("ZAD_AVTO_RIBA")].isNull(), freeRide);

        // The offer row tells the offer pass that he holds nothing any more.
        const db::Row offer = offerRow();
        QCOMPARE(offer[QStringLiteral("REFLESH_VODIY_ZAMOV")].toText(), QStringLiteral("+"));
        QCOMPARE(offer[QStringLiteral("REFLESH_VODIY_NZ")].toInt(), 0);
        QVERIFY(offer[QStringLiteral("REFLESH_VODIY_DATETIME")].isNull());
        QCOMPARE(m_phone->receivedAfterQuiet(100), QByteArray());
    }

    void completedDriverRejoinsTheEndOfHisStandOnce() {
        QVERIFY(start());
        holdOrder();
        folder().dispatcherExecute({QStringLiteral(
            "UPDATE ZADIANI_AVTO SET ZAD_AVTO_VULICA = 'Вокзал' WHERE ZAD_AVTO_POZIVNIY = 11")});
        for (const auto& [callsign, stand, queueNumber, busy] :
             {std::tuple{12, "Вокзал", "0003", 0}, std::tuple{13, "Вокзал", "0007", 0},
              std::tuple{14, "Вокзал", "0042", 1}, std::tuple{15, "[]{}", "0010", 0}}) {
            folder().dispatcherExecute(
                {QStringLiteral("INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_VULICA, "
                                "ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_ZADIANIST) VALUES (?, ?, ?, ?)")},
                {callsign, QString::fromUtf8(stand), QString::fromUtf8(queueNumber), busy});
        }
        const int carRides = rides(kDriver);

        // A completion repeated before the offer pass has caught up counts the ride once.
        m_phone->send("@ZKZ@@ZKZ@@SOS@");
        QVERIFY(m_session->waitForLine(QStringLiteral("Запит SOS водієм № 11")));
        QCOMPARE(driverRow()[QStringLiteral("ZAD_AVTO_CHAS_ZAMOVL")].toText(), QStringLiteral("0008"));
        QCOMPARE(driverRow()[QStringLiteral("ZAD_AVTO_VULICA")].toText(), QStringLiteral("Вокзал"));
        QCOMPARE(orderLines().size(), 1);
        QCOMPARE(rides(kDriver), carRides + 1);
        QCOMPARE(client(7).at(0).toInt(), 0);
        QCOMPARE(client(7).at(1).toInt(), 1);
    }

    void failedCompletionIsShownWithoutABoxAndTheOfferStillResets() {
        QVERIFY(start());
        holdOrder();
        // Two rows holding the order: the queue of "his" stand cannot be told.
        folder().dispatcherExecute(
            {QStringLiteral(
                "INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL, "
                "ZAD_AVTO_ZADIANIST, ZAD_AVTO_NOMER_ZAMOVL) VALUES (11, 'Лікарня', '0001', 1, ?)")},
            {kOrder});

        m_phone->send("@ZKZ@");
        QVERIFY(m_session->waitForLine(QStringLiteral("Запит на закінчення замовлення №[1044] водієм № 11")));
        QCOMPARE(m_session->op().errors,
                 QStringList{QStringLiteral("НЕПРАВИЛЬНО  ВНЕСЕНІ  ЗАПИСИ / ЗАДОВГІ НАЗВИ ")});
        QCOMPARE(m_session->op().informed, QStringList());
        QCOMPARE(m_session->journal(kDriver), QStringList{QStringLiteral("Виконання замовлення #1044")});
        QCOMPARE(offerRow()[QStringLiteral("REFLESH_VODIY_ZAMOV")].toText(), QStringLiteral("+"));
        QCOMPARE(offerRow()[QStringLiteral("REFLESH_VODIY_NZ")].toInt(), 0);
        QVERIFY(m_phone->isConnected());
    }
};

QTEST_GUILESS_MAIN(OrderCommandsTest)
#include "test_order_commands.moc"
