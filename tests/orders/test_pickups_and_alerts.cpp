#include "app/service.h"
#include "net/port_slot.h"
#include "support/driver_session.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const int kDriver = 11;
const QString kCar = QStringLiteral("Деу Ланос");
const QString kAlarmLine = QStringLiteral("Запит SOS водієм № 11");
const QString kPickUpLine = QStringLiteral("Створення підсадки на клієнта 00007   водієм № 11");

} // namespace

// Pick-ups made from the car and the alerts from the road, through the driver's terminal, on the demo
// city's database.
class PickUpsAndAlertsTest : public QObject, private OneBoundDriver {
    Q_OBJECT

public:
    PickUpsAndAlertsTest() : OneBoundDriver(kDriver) {}

private:
    // The driver's rows on the air, replaced by one per stand, numbered from 0002 in that order.
    void placeDriver(const QStringList& stands, bool marked) {
        folder().dispatcherExecute({QStringLiteral("DELETE FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
                                   {kDriver});
        for (int i = 0; i < stands.size(); ++i) {
            folder().dispatcherExecute(
                {QStringLiteral(
                    "INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_FIO_VODIY, "
                    "ZAD_AVTO_MARKA_AVTO, ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL) VALUES (?, ?, ?, "
                    "?, ?)")},
                {kDriver, folder().driver(kDriver).name, marked ? QStringLiteral("{GPRS}") + kCar : kCar,
                 stands.at(i), QStringLiteral("%1").arg(i + 2, 4, 10, QLatin1Char('0'))});
        }
        m_session->slotOf(kDriver).standName = stands.last();
    }

    db::ResultSet pickUpOrders() {
        return folder().dispatcherSelect({QStringLiteral(
            "SELECT ZAMOVL_NOMER_KLIENT, ZAMOVL_POZIVNIY, ZAMOVL_FIO_TAXI, ZAMOVL_BEZKOSHTOVN, "
            "ZAMOVL_STATUS_ZAMOVL, ZAMOVL_PRIYOM_ZAMOVL, ZAMOVL_PUNKT_PRIZHACH, "
            "ZAMOVL_PRICHINA_DELETE, ZAMOVL_DATA_ZAKR_ZAMOVL FROM ZAMOVLENNIA WHERE "
            "ZAMOVL_POCHAT_PUNKT = 'підсадка'")});
    }

    // Paid and free rides of client 7, who is one paid ride short of a free one.
    QList<int> clientSeven() {
        const db::Row row =
            folder()
                .dispatcherSelect({QStringLiteral(
                    "SELECT KLIENT_KIL_VIKLIK, KLIENT_KIL_FREE_VIKLIK FROM KLIENT WHERE KLIENT_NOMER = 1")})
                .first();
        return {row.at(0).toInt(), row.at(1).toInt()};
    }

private slots:
    void cleanup() { stop(); }

    void pickUpMovesTheDriverToTheEndOfThePool_data() {
        QTest::addColumn<QStringList>("stands");
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QStringList>("rowsAfter");
        // Another driver waits in the pool with 0005.
        QTest::newRow("at two stands") << QStringList{QStringLiteral("Вокзал"), QStringLiteral("Лікарня")}
                                       << true << QStringList{QStringLiteral("[]{} 0006")};
        QTest::newRow("in the pool") << QStringList{QStringLiteral("[]{}")} << true
                                     << QStringList{QStringLiteral("[]{} 0006")};
        // The terminal's mark is what lets the service touch the rows: without it they stay.
        QTest::newRow("rows without the mark")
            << QStringList{QStringLiteral("Вокзал"), QStringLiteral("Лікарня")} << false
            << QStringList{QStringLiteral("Вокзал 0002"), QStringLiteral("Лікарня 0003")};
    }
    void pickUpMovesTheDriverToTheEndOfThePool() {
        QFETCH(QStringList, stands);
        QFETCH(bool, marked);
        QFETCH(QStringList, rowsAfter);
        QVERIFY(start({{QStringLiteral("SET_DYI_VODIY/PIDSADKA"), QStringLiteral("1")}}));
        folder().dispatcherExecute(
            {QStringLiteral("INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_VULICA, "
                            "ZAD_AVTO_CHAS_ZAMOVL) VALUES (12, '[]{}', '0005')")});
        placeDriver(stands, marked);

        m_phone->send("@PD(00007)@");
        QVERIFY(m_session->waitForLine(kPickUpLine));
        QCOMPARE(m_session->rowsOf(kDriver), rowsAfter);
        QCOMPARE(m_session->slotOf(kDriver).standName, QStringLiteral("[]{}"));
        QCOMPARE(m_session->slotOf(kDriver).standPosition, QStringLiteral("0006"));

        // A closed, paid order of the client, made by the terminal.
        const db::ResultSet orders = pickUpOrders();
        QCOMPARE(orders.size(), 1);
        const db::Row& order = orders.first();
        QCOMPARE(order.at(0).toInt(), 7);
        QCOMPARE(order.at(1).toInt(), kDriver);
        QCOMPARE(order.at(2).toText(), folder().driver(kDriver).name);
        QCOMPARE(order.at(3).toText(), QStringLiteral("HI"));
        QCOMPARE(order.at(4).toInt(), 1);
        QCOMPARE(order.at(5).toText(), QStringLiteral("GPRS"));
        QCOMPARE(order.at(6).toText(), QStringLiteral("підсадка"));
        QCOMPARE(order.at(7).toText(), QStringLiteral("НЕ ЗАДАНО"));
        QCOMPARE(order.at(8).toText(), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
        QCOMPARE(m_session->journal(kDriver), QStringList{QStringLiteral("Створення підсадки у водія #0")});
        QCOMPARE(m_session->op().errors, QStringList());
    }

    void pickUpCountsTowardsAFreeRide_data() {
        QTest::addColumn<int>("threshold");
        QTest::addColumn<QList<int>>("rides");
        QTest::newRow("threshold reached") << 7 << QList<int>{0, 1};
        QTest::newRow("free rides off") << 0 << QList<int>{7, 0};
    }
    void pickUpCountsTowardsAFreeRide() {
        QFETCH(int, threshold);
        QFETCH(QList<int>, rides);
        QVERIFY(start());
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE DANI_FIRMI SET FIRMA_KIL_DLIA_BEZKOCHT_POIZDKI = ?")}, {threshold});
        m_phone->send("@PD(00007)@");
        QVERIFY(m_session->waitForLine(kPickUpLine));
        QCOMPARE(clientSeven(), rides);
    }

    void pickUpWithoutAKnownNumberChangesNothing_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("code no client has") << QByteArray("@PD(00999)@");
        QTest::newRow("code a client has in letters") << QByteArray("@PD(ABC)@");
        QTest::newRow("code with quotes") << QByteArray("@PD(00007]' OR '1'='1)@");
        QTest::newRow("code 0") << QByteArray("@PD(0)@");
        QTest::newRow("no code") << QByteArray("@PD()@");
        QTest::newRow("no closing bracket") << QByteArray("@PD(00007@");
    }
    void pickUpWithoutAKnownNumberChangesNothing() {
        QFETCH(QByteArray, request);
        QVERIFY(start());
        folder().dispatcherExecute(
            {QStringLiteral("INSERT INTO KLIENT (KLIENT_NOMER, KLIENT_DODATKOVO) VALUES "
                            "(9, '[ABC] [0]')")});
        const QStringList rowsBefore = m_session->rowsOf(kDriver);

        m_phone->send(request + "@SOS@");
        QVERIFY(m_session->waitForLine(kAlarmLine));
        QCOMPARE(pickUpOrders().size(), 0);
        QCOMPARE(clientSeven(), (QList<int>{6, 0}));
        QCOMPARE(folder().dispatcherNumber(QStringLiteral("SELECT SUM(KLIENT_KIL_VIKLIK) FROM KLIENT")),
                 6 + 2 + 11);
        QCOMPARE(m_session->rowsOf(kDriver), rowsBefore);
        QCOMPARE(m_session->linesContaining(QStringLiteral("підсадки")), QStringList());
        QCOMPARE(m_session->op().errors, QStringList());
        QCOMPARE(m_phone->receivedAfterQuiet(100), QByteArray());
    }

    void pickUpNotifiesTheScreensThatShowTheStand_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QByteArray>("notice");
        QTest::newRow("main menu") << QStringLiteral("MAIN")
                                   << QByteArray("<Action>RefleshDataZam</Action>@");
        QTest::newRow("pick-up menu")
            << QStringLiteral("PIDSADKA") << QByteArray("<Action>RefleshDataZam</Action>@");
        QTest::newRow("polls") << QStringLiteral("MENUOPITUVAN") << QByteArray();
        QTest::newRow("no menu reported") << QString() << QByteArray();
    }
    void pickUpNotifiesTheScreensThatShowTheStand() {
        QFETCH(QString, menu);
        QFETCH(QByteArray, notice);
        QVERIFY(start());
        m_session->slotOf(kDriver).currentMenu = menu;
        m_phone->send("@PD(00007)@");
        QVERIFY(m_session->waitForLine(kPickUpLine));
        QCOMPARE(m_phone->receivedAfterQuiet(100), notice);
    }

    void alerts_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("journalSwitch");
        QTest::addColumn<bool>("switchedOn");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("entries");
        const QString callLine = QStringLiteral("Прохання водія № 11 позвонити пасажирам");
        const QString onBoardLine = QStringLiteral("Повідомлення позивного 11 - що забрав пасажирів");
        const QString lateLine = QStringLiteral("Повідомлення позивного 11 - про запізнення на замовлення");
        QTest::newRow("alarm") << QByteArray("@SOS@") << QStringLiteral("TRIVOGA") << true << kAlarmLine
                               << QStringList{QStringLiteral("ТРИВОГА ВІД ВОДІЯ #0")};
        QTest::newRow("alarm, switch off")
            << QByteArray("@SOS@") << QStringLiteral("TRIVOGA") << false << kAlarmLine << QStringList();
        QTest::newRow("call the passengers")
            << QByteArray("@ZVIN(1)@") << QStringLiteral("KLIENT_TURBUVATY") << true << callLine
            << QStringList{QStringLiteral("Прохання турбувати клієнтів #1044")};
        QTest::newRow("call the passengers, switch off")
            << QByteArray("@ZVIN(1)@") << QStringLiteral("KLIENT_TURBUVATY") << false << callLine
            << QStringList();
        QTest::newRow("passengers on board")
            << QByteArray("@ZABRPAS(1)@") << QStringLiteral("KLIENT_V_AVTO") << true << onBoardLine
            << QStringList{QStringLiteral("Забрав пасажирів #1044")};
        QTest::newRow("passengers on board, switch off")
            << QByteArray("@ZABRPAS(1)@") << QStringLiteral("KLIENT_V_AVTO") << false << onBoardLine
            << QStringList();
        QTest::newRow("late") << QByteArray("@ZAPIZNZAM(10)@") << QStringLiteral("ZAM_ZAPIZNENNYA") << true
                              << lateLine
                              << QStringList{QStringLiteral("(10хв)Запізнююсь на замовлення #1044")};
        QTest::newRow("late, switch off")
            << QByteArray("@ZAPIZNZAM(10)@") << QStringLiteral("ZAM_ZAPIZNENNYA") << false << lateLine
            << QStringList();
    }
    void alerts() {
        QFETCH(QByteArray, request);
        QFETCH(QString, journalSwitch);
        QFETCH(bool, switchedOn);
        QFETCH(QString, line);
        QFETCH(QStringList, entries);
        QVERIFY(start({{QStringLiteral("SET_DYI_VODIY/") + journalSwitch,
                        switchedOn ? QStringLiteral("1") : QStringLiteral("0")}}));
        m_session->slotOf(kDriver).orderNumber = 1044;
        m_phone->send(request);
        QVERIFY(m_session->waitForLine(line));
        QCOMPARE(m_session->journal(kDriver), entries);
        QCOMPARE(m_phone->receivedAfterQuiet(100), QByteArray());
    }
};

QTEST_GUILESS_MAIN(PickUpsAndAlertsTest)
#include "test_pickups_and_alerts.moc"
