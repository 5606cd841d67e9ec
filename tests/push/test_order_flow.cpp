#include "app/service.h"
#include "core/settings.h"
#include "net/port_slot.h"
#include "net/protocol_text.h"
#include "push/order_flow.h"
#include "push/order_flow_refresh.h"
#include "support/driver_session.h"

#include <QDateTime>
#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const int kDriver = 11;
const QString kDay = QStringLiteral("05.03.2026");
const QByteArray kUpdateFlow = "<Action>UpdatePoticZam</Action>@";
const QString kApplicationEntry =
    QStringLiteral("Подача заявки на замовлення з меню потік замовлень").left(50) + QStringLiteral(" #");
const QString kApplicationLine = QStringLiteral("Запит водія № 11  на вибір замовлення з потоку замовлень ");

// An order of the test's own; a null callsign or destination is a NULL column.
struct Order {
    int number;
    QString freeFlag;
    QString from;
    QString to;
    int clientCode;
    QString sum;
    QString date;
    QString time;
    std::optional<int> callsign;
    int status;
    QString note;
};

db::SqlValue orNull(const QString& text) {
    return text.isNull() ? db::SqlValue(nullptr) : db::SqlValue(text);
}

// Taken by callsign 12, closed, and one whose date is missing: none of them is a plain open order.
const QList<Order> kOrders{
    {2001, QStringLiteral("TAK"), QStringLiteral("Вокзал"), QStringLiteral("Лікарня"), 15,
     QStringLiteral("40"), kDay, QStringLiteral("10:30:00"), std::nullopt, 0,
     QStringLiteral("(з дитиною) тариф:[Місто]")},
    {2002, QStringLiteral("HI"), QStringLiteral("Центральний ринок"), QString(), 0, QStringLiteral("55.5"),
     kDay, QStringLiteral("10:40:00"), 0, 0, QStringLiteral("тариф:[Місто]")},
    {2003, QStringLiteral("HI"), QStringLiteral("Автостанція"), QStringLiteral("Вокзал"), 0,
     QStringLiteral("30"), kDay, QStringLiteral("11:00:00"), 12, 0, QString()},
    {2004, QStringLiteral("HI"), QStringLiteral("Автостанція"), QStringLiteral("Вокзал"), 0,
     QStringLiteral("30"), kDay, QStringLiteral("11:10:00"), std::nullopt, 1, QString()},
    {2005, QStringLiteral("HI"), QStringLiteral("Лікарня"), QStringLiteral("Ринок"), 0, QStringLiteral("0"),
     QString(), QStringLiteral("09:00:00"), std::nullopt, 0, QString()},
};

using Switches = QStringList;

QStringList numbers(const char* list) {
    return QString::fromLatin1(list).split(QLatin1Char(' '));
}

} // namespace

// The order flow through a driver's terminal, on the demo city's database: what enters it and how its lines
// read, "@LNZ@", the push to terminals showing it, and applications for its orders.
class OrderFlowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;
    std::unique_ptr<FakeTerminal> m_phone;

    // Offers wait for the driver's answer long enough for any test to look at them.
    void start() {
        m_session = std::make_unique<DriverSession>();
        QVERIFY(m_session->start({{QStringLiteral("GPRS_TAXI/CHAS_ZN_SEK"), QStringLiteral("600")}}));
        m_phone = std::make_unique<FakeTerminal>();
        QVERIFY(m_session->bind(*m_phone, kDriver));
    }
    Service& service() { return m_session->service(); }
    ServiceFolder& folder() { return m_session->folder(); }

    void setSwitches(const Switches& on) {
        for (const QString& key : on)
            service().settings.setOn(key, true);
    }

    // The demo's open orders give way to the test's.
    void putOrders(const QList<Order>& orders) {
        folder().dispatcherExecute(
            {QStringLiteral("DELETE FROM ZAMOVLENNIA WHERE ZAMOVL_STATUS_ZAMOVL = 0")});
        for (const Order& order : orders) {
            folder().dispatcherExecute(
                {QStringLiteral(
                    "INSERT INTO ZAMOVLENNIA (ZAMOVL_NUMBER, ZAMOVL_BEZKOSHTOVN, ZAMOVL_POCHAT_PUNKT, "
                    "ZAMOVL_PUNKT_PRIZHACH, ZAMOVL_NOMER_KLIENT, ZAMOVL_SUMA_ROZRAHUNK, "
                    "ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA, ZAMOVL_POZIVNIY, ZAMOVL_STATUS_ZAMOVL, "
                    "ZAMOVL_PRICHINA_DELETE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")},
                {order.number, order.freeFlag, order.from, orNull(order.to), order.clientCode, order.sum,
                 orNull(order.date), order.time,
                 order.callsign ? db::SqlValue(*order.callsign) : db::SqlValue(nullptr), order.status,
                 orNull(order.note)});
        }
    }

    void rebuild() {
        service().runAction([this] { LIST_POTIK_ZAMOVLEN(service().services); });
    }

    // The driver's rows on the air as "callsign|stand|queue", with "|+" for a free-ride mark.
    void putOnAir(const QStringList& rows) {
        folder().dispatcherExecute({QStringLiteral("DELETE FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
                                   {kDriver});
        for (const QString& row : rows) {
            const QStringList parts = row.split(QLatin1Char('|'));
            folder().dispatcherExecute(
                {QStringLiteral(
                    "INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_VULICA, ZAD_AVTO_ZADIANIST, "
                    "ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_YUVILEYKA, ZAD_AVTO_NOMER_ZAMOVL) "
                    "VALUES (?, ?, 0, ?, ?, 0)")},
                {parts.at(0).toInt(), parts.at(1), parts.at(2),
                 parts.value(3) == QStringLiteral("+") ? db::SqlValue(QDateTime::currentDateTime())
                                                       : db::SqlValue(nullptr)});
        }
    }

private slots:
    void cleanup() {
        m_phone.reset();
        m_session.reset();
    }

    // Built at start-up from the demo's four open orders; the status snapshot counts them.
    void builtAtStartUp() {
        start();
        QCOMPARE(service().orderFlow.count(), 4);
        m_phone->send("@PZ7@");
        QVERIFY(m_phone->waitForReplies(1));
        QVERIFY(m_phone->received().contains("<KilZam>4</KilZam>"));
    }

    // A flow that cannot be built is shown to the operator; the service starts all the same.
    void aFlowThatFailsAtStartUp() {
        m_session = std::make_unique<DriverSession>();
        QVERIFY(m_session->start(QMap<QString, QString>{
            {QStringLiteral("SET_POTOK/OPEN_CHAS_POPERED_ZAM"), QStringLiteral("1")},
            {QStringLiteral("SET_POTOK/CHAS_POPERED_ZAM"), QStringLiteral("двадцять")}}));
        QCOMPARE(m_session->op().errors.size(), 1);
        QCOMPARE(service().orderFlow.count(), 0);
        QVERIFY(!service().stands.entries().isEmpty());
    }

    void whatTheFlowHolds_data() {
        QTest::addColumn<Switches>("switches");
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("freeRides");
        const QString at1030 = QStringLiteral(" /<05.03.2026 10:30:00>/");
        const QString at1040 = QStringLiteral(" /<05.03.2026 10:40:00>/");
        // A missing date sorts first.
        QTest::newRow("plain") << Switches{} << numbers("2005 2001 2002")
                               << QStringList{QStringLiteral("1. Лікарня /< 09:00:00>/"),
                                              QStringLiteral("2. Вокзал") + at1030,
                                              QStringLiteral("3. Центральний ринок") + at1040}
                               << 1;
        QTest::newRow("every detail")
            << Switches{keys::POKAZ_YUVILEYKA, keys::POKAZ_DODAT_KUDA, keys::POKAZ_CINA_POZRAH,
                        keys::POKAZ_KOD_KLIENTA, keys::POKAZ_DODAT_DANIH}
            << numbers("2005 2001 2002")
            << QStringList{QStringLiteral(
                               "1.{HI} Лікарня ===> Ринок [СУМА РОЗР.(0.00)] [КЛІЄНТ (0)] /< 09:00:00>/"),
                           QStringLiteral("2.{TAK} Вокзал ===> Лікарня [СУМА РОЗР.(40.00)] [КЛІЄНТ (15)] "
                                          "[ДОДАТКОВО (з дитиною)]") +
                               at1030,
                           QStringLiteral("3.{HI} Центральний ринок [СУМА РОЗР.(55.50)] [КЛІЄНТ (0)]") +
                               at1040}
            << 1;
        QTest::newRow("free rides left out") << Switches{keys::OPEN_U_POTIK_YUVILEY} << numbers("2005 2002")
                                             << QStringList{QStringLiteral("1. Лікарня /< 09:00:00>/"),
                                                            QStringLiteral("2. Центральний ринок") + at1040}
                                             << 0;
        // Past their time, both dated orders are inside the window; the undated one cannot be placed.
        QTest::newRow("pre-order window hides the price")
            << Switches{keys::OPEN_CHAS_POPERED_ZAM, keys::POKAZ_CINA_POZRAH} << numbers("2001 2002")
            << QStringList{QStringLiteral("1. Вокзал") + at1030,
                           QStringLiteral("2. Центральний ринок") + at1040}
            << 1;
    }
    void whatTheFlowHolds() {
        QFETCH(Switches, switches);
        QFETCH(QStringList, numbers);
        QFETCH(QStringList, lines);
        QFETCH(int, freeRides);
        start();
        setSwitches(switches);
        putOrders(kOrders);
        rebuild();
        QCOMPARE(m_session->op().errors, QStringList());
        const OrderFlow& flow = service().orderFlow;
        QCOMPARE(flow.numbers(), numbers);
        QCOMPARE(flow.lines(), lines);
        QCOMPARE(flow.count(), int(numbers.size()));
        QCOMPARE(flow.freeRideCount(), freeRides);
    }

    void preOrderWindow_data() {
        QTest::addColumn<int>("minutesAhead");
        QTest::addColumn<QString>("windowMinutes");
        QTest::addColumn<bool>("listed");
        QTest::newRow("inside") << 10 << QStringLiteral("20") << true;
        QTest::newRow("not yet") << 30 << QStringLiteral("20") << false;
        QTest::newRow("wider window") << 30 << QStringLiteral("40") << true;
    }
    void preOrderWindow() {
        QFETCH(int, minutesAhead);
        QFETCH(QString, windowMinutes);
        QFETCH(bool, listed);
        start();
        setSwitches({keys::OPEN_CHAS_POPERED_ZAM});
        service().settings.setText(keys::CHAS_POPERED_ZAM, windowMinutes);
        const QDateTime time = QDateTime::currentDateTime().addSecs(minutesAhead * 60);
        putOrders({{2010, QStringLiteral("HI"), QStringLiteral("Вокзал"), QString(), 0, QStringLiteral("0"),
                    time.toString(QStringLiteral("dd.MM.yyyy")), time.toString(QStringLiteral("hh:mm:ss")),
                    std::nullopt, 0, QString()}});
        rebuild();
        QCOMPARE(service().orderFlow.count(), listed ? 1 : 0);
    }

    // A rebuild that fails keeps the flow it would have replaced.
    void aFailedRebuildKeepsTheFlow() {
        start();
        setSwitches({keys::OPEN_CHAS_POPERED_ZAM});
        service().settings.setText(keys::CHAS_POPERED_ZAM, QStringLiteral("двадцять"));
        putOrders(kOrders);
        rebuild();
        QCOMPARE(m_session->op().errors.size(), 1);
        QCOMPARE(service().orderFlow.count(), 4);
        QCOMPARE(service().orderFlow.lines().size(), 4);
    }

    void sendingTheFlow_data() {
        QTest::addColumn<QString>("debtors");
        QTest::addColumn<QByteArray>("reply");
        const auto line = [](const char* text) {
            return net::base64OfUtf8(QString::fromUtf8(text)).toLatin1();
        };
        QTest::newRow("flow") << QStringLiteral("[0]")
                              << "<DataPotik><KilZam>2</KilZam><N1>2005</N1><N2>2002</N2><#1>" +
                                     line("1. Лікарня /< 09:00:00>/") + "</#1><#2>" +
                                     line("2. Центральний ринок /<05.03.2026 10:40:00>/") +
                                     "</#2></DataPotik>@";
        QTest::newRow("debtor")
            << QStringLiteral("[0][11]")
            << "<DataPotik><KilZam>1</KilZam><DataNumPotik>[0]</DataNumPotik><DataZam><#1>" +
                   line("Ви у списку боржників. Можливо ви перевищили ліміт відмов замовлень.") +
                   "</#1></DataZam></DataPotik>@";
    }
    void sendingTheFlow() {
        QFETCH(QString, debtors);
        QFETCH(QByteArray, reply);
        start();
        setSwitches({keys::OPEN_U_POTIK_YUVILEY});
        putOrders(kOrders);
        rebuild();
        service().settings.setText(keys::DODAT_DO_BORG, debtors);
        m_phone->send("@LNZ@");
        QVERIFY(m_phone->waitForReplies(1));
        QCOMPARE(m_phone->receivedAfterQuiet(100), reply);
        QCOMPARE(m_session->linesContaining(QStringLiteral("на список адрес замовлень")),
                 QStringList{QStringLiteral("Запит водія № 11  на список адрес замовлень ")});
        QCOMPARE(m_session->journal(kDriver), QStringList());
    }

    void terminalsShowingTheFlowAreTold_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QByteArray>("menu");
        QTest::addColumn<bool>("told");
        QTest::newRow("new order, flow shown") << QStringLiteral("1") << QByteArray("@MENUPOTIK@") << true;
        QTest::newRow("new order, main screen") << QStringLiteral("1") << QByteArray("@MENUMAIN@") << false;
        QTest::newRow("changed order") << QStringLiteral("0") << QByteArray("@MENUPOTIK@") << false;
        QTest::newRow("as at start-up") << OrderFlow::kPushFlagAtStart << QByteArray("@MENUPOTIK@") << false;
    }
    void terminalsShowingTheFlowAreTold() {
        QFETCH(QString, flag);
        QFETCH(QByteArray, menu);
        QFETCH(bool, told);
        start();
        m_phone->send(menu);
        QTRY_VERIFY(!m_session->slotOf(kDriver).currentMenu.isEmpty());
        service().orderFlow.setPushFlag(flag);
        rebuild();
        QCOMPARE(m_phone->receivedAfterQuiet(200), told ? kUpdateFlow : QByteArray());
    }

    void applying_data() {
        QTest::addColumn<Switches>("switches");
        QTest::addColumn<QStringList>("onAir"); // callsign|stand|queue[|+]
        QTest::addColumn<QString>("slotStand");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("outcome"); // granted, refused, unchecked, ignored
        const Switches open{keys::ZAM_Z_POTOKU_ZAM};
        const Switches standRule{keys::ZAM_Z_POTOKU_ZAM, keys::OPEN_ZAM_FOR_REESTROVANIM};
        const Switches queueRule{keys::ZAM_Z_POTOKU_ZAM, keys::OPEN_ZAM_FOR_REESTROVANIM,
                                 keys::OPEN_ZAM_PERSHIY_LIST};
        const Switches limitRule{keys::ZAM_Z_POTOKU_ZAM, keys::OPEN_ZAM_LIMIT_YUVILEYKA};
        const QString atStation = QStringLiteral("11|Вокзал|0002");
        const QString aheadAtStation = QStringLiteral("13|Вокзал|0001");
        const QString behindAtStation = QStringLiteral("13|Вокзал|0003");
        const QString inPool = QStringLiteral("11|[]{}|0001");
        const QString station = QStringLiteral("Вокзал");

        // The flow is read only until the operator opens it.
        QTest::newRow("read only") << Switches{keys::ZAM_Z_POTOKU_ZAM, keys::LIST_READ_ONLY}
                                   << QStringList{atStation} << station << QByteArray("@VVZ[2002]@")
                                   << QStringLiteral("refused");
        QTest::newRow("granted, open order without destination or closing time")
            << open << QStringList{atStation, QStringLiteral("11|Лікарня|0001")} << station
            << QByteArray("@VVZ[2002]@") << QStringLiteral("granted");
        QTest::newRow("granted, to its destination")
            << open << QStringList{inPool} << QStringLiteral("[]{}") << QByteArray("@VVZ[2001]@")
            << QStringLiteral("granted");
        QTest::newRow("taken a moment earlier") << open << QStringList{atStation} << station
                                                << QByteArray("@VVZ[2003]@") << QStringLiteral("refused");
        QTest::newRow("no such order") << open << QStringList{atStation} << station
                                       << QByteArray("@VVZ[9999]@") << QStringLiteral("refused");
        QTest::newRow("an order offered or held") << open << QStringList{atStation} << QString()
                                                  << QByteArray("@VVZ[2002]@") << QStringLiteral("refused");
        QTest::newRow("stand rule, in the pool") << standRule << QStringList{inPool} << QStringLiteral("[]{}")
                                                 << QByteArray("@VVZ[2002]@") << QStringLiteral("refused");
        QTest::newRow("stand rule, at a stand") << standRule << QStringList{atStation} << station
                                                << QByteArray("@VVZ[2002]@") << QStringLiteral("granted");
        QTest::newRow("queue rule, somebody ahead")
            << queueRule << QStringList{atStation, aheadAtStation} << station << QByteArray("@VVZ[2002]@")
            << QStringLiteral("refused");
        QTest::newRow("queue rule, first in the queue")
            << queueRule << QStringList{atStation, behindAtStation} << station << QByteArray("@VVZ[2002]@")
            << QStringLiteral("granted");
        QTest::newRow("queue rule alone") << Switches{keys::ZAM_Z_POTOKU_ZAM, keys::OPEN_ZAM_PERSHIY_LIST}
                                          << QStringList{atStation, aheadAtStation} << station
                                          << QByteArray("@VVZ[2002]@") << QStringLiteral("granted");
        QTest::newRow("queue rule, at two stands")
            << queueRule << QStringList{atStation, aheadAtStation, QStringLiteral("11|Лікарня|0001")}
            << station << QByteArray("@VVZ[2002]@") << QStringLiteral("granted");
        // What a grant leaves in the row: no queue number to compare, and no error for the operator.
        QTest::newRow("queue rule, busy at a destination")
            << queueRule << QStringList{QStringLiteral("11|Лікарня|10:30:00")} << QStringLiteral("Лікарня")
            << QByteArray("@VVZ[2002]@") << QStringLiteral("refused");
        QTest::newRow("free rides run out") << limitRule << QStringList{atStation} << station
                                            << QByteArray("@VVZ[2002]@") << QStringLiteral("refused");
        QTest::newRow("free rides left") << limitRule << QStringList{atStation + QStringLiteral("|+")}
                                         << station << QByteArray("@VVZ[2002]@") << QStringLiteral("granted");
        QTest::newRow("order 0") << open << QStringList{atStation} << station << QByteArray("@VVZ[0]@")
                                 << QStringLiteral("unchecked");
        QTest::newRow("not a number") << open << QStringList{atStation} << station << QByteArray("@VVZ[12a]@")
                                      << QStringLiteral("ignored");
    }
    void applying() {
        QFETCH(Switches, switches);
        QFETCH(QStringList, onAir);
        QFETCH(QString, slotStand);
        QFETCH(QByteArray, request);
        QFETCH(QString, outcome);
        start();
        service().settings.setOn(keys::LIST_READ_ONLY, false);
        service().settings.setOn(keys::ZAM_Z_POTOKU_ZAM, false);
        setSwitches(switches);
        putOrders(kOrders);
        putOnAir(onAir);
        m_session->slotOf(kDriver).standName = slotStand;
        const int orderNumber = request.mid(5, request.indexOf(']') - 5).toInt();

        m_phone->send(request + "@PZ7@");
        QVERIFY(m_phone->waitForReplies(outcome == QStringLiteral("refused") ? 2 : 1));
        const QByteArray received = m_phone->receivedAfterQuiet(100);
        QCOMPARE(received.startsWith(kUpdateFlow), outcome == QStringLiteral("refused"));
        QCOMPARE(received.count('@'), outcome == QStringLiteral("refused") ? 2 : 1);
        QCOMPARE(m_session->op().errors, QStringList());

        const bool heard = outcome != QStringLiteral("ignored");
        QCOMPARE(m_session->journal(kDriver),
                 heard ? QStringList{kApplicationEntry + QString::number(orderNumber)} : QStringList());
        QCOMPARE(m_session->linesContaining(kApplicationLine).size(), heard ? 1 : 0);

        const db::ResultSet order = folder().dispatcherSelect(
            {QStringLiteral(
                "SELECT ZAMOVL_POZIVNIY, ZAMOVL_FIO_TAXI, ZAMOVL_ROZDACHA_ZAMOVL, ZAMOVL_PUNKT_PRIZHACH, "
                "ZAMOVL_CHAS_PRIYOMA FROM ZAMOVLENNIA WHERE ZAMOVL_NUMBER = ?")},
            {orderNumber});
        const db::Row offer =
            folder()
                .dispatcherSelect({QStringLiteral("SELECT REFLESH_VODIY_ZAMOV, REFLESH_VODIY_NZ, "
                                                  "DATEDIFF(SECOND FROM REFLESH_VODIY_DATETIME TO "
                                                  "LOCALTIMESTAMP) FROM REFLESH_DANI_VODIY_GPRS "
                                                  "WHERE REFLESH_VODIY_POZ = ?")},
                                  {kDriver})
                .first();
        if (outcome != QStringLiteral("granted")) {
            QVERIFY(order.isEmpty() || order.first().at(0).toInt() != kDriver);
            QVERIFY(offer.at(0).isNull());
            return;
        }
        const db::Row& granted = order.first();
        QCOMPARE(granted.at(0).toInt(), kDriver);
        QCOMPARE(granted.at(1).toText(), folder().driver(kDriver).name);
        QCOMPARE(granted.at(2).toText(), QStringLiteral("{GPRS}"));
        // The grant is an offer like any other: the offer pass hands it to the driver's slot.
        QTRY_COMPARE(m_session->slotOf(kDriver).orderNumber, orderNumber);
        QCOMPARE(offer.at(1).toInt(), orderNumber);
        QVERIFY(offer.at(2).toInt() >= 0 && offer.at(2).toInt() <= 5);
        // He leaves his other stands and waits, busy, at the order's destination; a closing time the open
        // order does not have stays NULL.
        const db::ResultSet rows = folder().dispatcherSelect(
            {QStringLiteral(
                "SELECT ZAD_AVTO_VULICA, ZAD_AVTO_ZADIANIST, ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_CHAS_PRIBUTTIA, "
                "ZAD_AVTO_NOMER_ZAMOVL FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
            {kDriver});
        QCOMPARE(rows.size(), 1);
        const QString destination = granted.at(3).toText();
        QCOMPARE(rows.first().at(0).toText(), destination.isEmpty() ? QStringLiteral("[]{}") : destination);
        QCOMPARE(rows.first().at(1).toInt(), 1);
        QCOMPARE(rows.first().at(2).toText(), granted.at(4).toText());
        QVERIFY(rows.first().at(3).isNull());
        QCOMPARE(rows.first().at(4).toInt(), orderNumber);
    }
};

QTEST_GUILESS_MAIN(OrderFlowTest)
#include "test_order_flow.moc"
