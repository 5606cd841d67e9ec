#include "app/service.h"
#include "net/port_slot.h"
#include "push/offer_timeout.h"
#include "support/driver_session.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const QByteArray kRefreshData = "<Action>RefleshDataZam</Action>@";
const int kDriver = 11;
const int kOtherDriver = 12;
const int kOrder = 1044;      // client 7, paid, from "вул. Соборна, 14" to "Вокзал"
const int kOtherOrder = 1045; // no client, from "Центральний ринок"
const QString kMissed = QStringLiteral("Непідтвердження замовлення - пропуск замовлення");

QByteArray element(const char* tag, const QByteArray& value) {
    return QByteArray("<") + tag + ">" + value + "</" + tag + ">";
}

} // namespace

// An order offered to a driver by the dispatchers' programs, from the offer row they mark to the
// terminal's answer or the time-out, on the demo city's database and its own events.
class OffersTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;
    std::unique_ptr<FakeTerminal> m_phone;
    std::unique_ptr<FakeTerminal> m_otherPhone;

    ServiceFolder& folder() { return m_session->folder(); }

    void start(const QString& confirmationSeconds) {
        m_session = std::make_unique<DriverSession>();
        QVERIFY(m_session->start(
            QMap<QString, QString>{{QStringLiteral("GPRS_TAXI/CHAS_ZN_SEK"), confirmationSeconds}}));
        m_phone = std::make_unique<FakeTerminal>();
        QVERIFY(m_session->bind(*m_phone, kDriver));
    }

    // The terminal reports its screen; the snapshot behind the notice tells when it has been taken in.
    void showMenu(FakeTerminal& phone, const QByteArray& notice) {
        const qsizetype replies = phone.received().count('@');
        phone.send(notice + "@PZ7@");
        QVERIFY(phone.waitForReplies(int(replies) + 1));
    }

    // The status snapshot the terminal fetches when told.
    QByteArray snapshot(FakeTerminal& phone) {
        const qsizetype before = phone.received().count("</DataClient>@");
        phone.send("@PZ7@");
        if (!QTest::qWaitFor([&] { return phone.received().count("</DataClient>@") > before; }))
            return {};
        const QByteArray received = phone.received();
        return received.mid(received.lastIndexOf("<DataClient>"));
    }

    // A free driver at no stand with this queue number, for the withdrawn driver to queue behind.
    void freeDriverInPool(int callsign, const QString& queueNumber) {
        folder().dispatcherExecute(
            {QStringLiteral("INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_VULICA, "
                            "ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_ZADIANIST) VALUES (?, '[]{}', ?, 0)")},
            {callsign, queueNumber});
    }

    // What a dispatcher's program does to give an order to a terminal driver: the order and the driver's
    // row name each other, and the offer row is marked last, with the moment of the offer.
    void giveOrder(int callsign, int order, const QString& offeredAt = QStringLiteral("LOCALTIMESTAMP")) {
        folder().dispatcherExecute(
            {QStringLiteral(
                "UPDATE ZAMOVLENNIA SET ZAMOVL_POZIVNIY = ?, ZAMOVL_FIO_TAXI = ?, ZAMOVL_ROZDACHA_ZAMOVL = "
                "'Оксана', ZAMOVL_CHAS_PRIYOM_VODIY = '5 хв' WHERE ZAMOVL_NUMBER = ?")},
            {callsign, folder().driver(callsign).name, order});
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_ZADIANIST = 1, ZAD_AVTO_NOMER_ZAMOVL "
                            "= ? WHERE ZAD_AVTO_POZIVNIY = ?")},
            {order, callsign});
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_ZAMOV = '+', "
                            "REFLESH_VODIY_NZ = ?, REFLESH_VODIY_DATETIME = ") +
             offeredAt + QStringLiteral(" WHERE REFLESH_VODIY_POZ = ?")},
            {order, callsign});
    }

    db::Row offerRow(int callsign) {
        return folder()
            .dispatcherSelect(
                {QStringLiteral("SELECT REFLESH_VODIY_ZAMOV, REFLESH_VODIY_NZ, REFLESH_VODIY_DATETIME FROM "
                                "REFLESH_DANI_VODIY_GPRS WHERE REFLESH_VODIY_POZ = ?")},
                {callsign})
            .first();
    }
    bool delivered(int callsign) { return offerRow(callsign).at(0).isNull(); }

    db::Row driverRow(int callsign) {
        return folder()
            .dispatcherSelect(
                {QStringLiteral("SELECT ZAD_AVTO_ZADIANIST, ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL, "
                                "ZAD_AVTO_NOMER_ZAMOVL FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
                {callsign})
            .first();
    }

    db::Row order(int number) {
        return folder()
            .dispatcherSelect(
                {QStringLiteral("SELECT ZAMOVL_STATUS_ZAMOVL, ZAMOVL_POZIVNIY, ZAMOVL_FIO_TAXI, "
                                "ZAMOVL_ROZDACHA_ZAMOVL, ZAMOVL_CHAS_PRIYOM_VODIY FROM ZAMOVLENNIA "
                                "WHERE ZAMOVL_NUMBER = ?")},
                {number})
            .first();
    }

    int missedOffers(int callsign) { return int(m_session->journal(callsign).filter(kMissed).size()); }

private slots:
    void cleanup() {
        m_otherPhone.reset();
        m_phone.reset();
        m_session.reset();
    }

    void lifeOfAnOffer_data() {
        QTest::addColumn<QString>("confirmationSeconds");
        QTest::addColumn<QByteArray>("answer"); // empty: the driver says nothing
        QTest::addColumn<bool>("withdrawn");
        QTest::addColumn<QStringList>("journal");
        const QString missed = kMissed + QStringLiteral(" #1044");
        QTest::newRow("confirmed in time") << QStringLiteral("3") << QByteArray("@PRZ@") << false
                                           << QStringList{QStringLiteral("Прийняття замовлення #1044")};
        // Half a minute to confirm: only the refusal can take the order back this soon.
        QTest::newRow("refused") << QStringLiteral("30") << QByteArray("@VDZ@") << true
                                 << QStringList{QStringLiteral("Відмова від замовлення #1044"), missed};
        QTest::newRow("left to time out")
            << QStringLiteral("3") << QByteArray() << true << QStringList{missed};
    }
    void lifeOfAnOffer() {
        QFETCH(QString, confirmationSeconds);
        QFETCH(QByteArray, answer);
        QFETCH(bool, withdrawn);
        QFETCH(QStringList, journal);
        start(confirmationSeconds);
        showMenu(*m_phone, "@MENUMAIN@");
        freeDriverInPool(15, QStringLiteral("0041"));

        giveOrder(kDriver, kOrder);
        QTRY_COMPARE(m_phone->received().count(kRefreshData), 1);
        const QByteArray offered = snapshot(*m_phone);
        QVERIFY(offered.contains(element("NumZam", "1044")));
        QVERIFY(offered.contains(element("Zvidky", encoded(QStringLiteral("вул. Соборна, 14")))));
        QVERIFY(offered.contains(element("Kudy", encoded(QStringLiteral("Вокзал")))));
        QVERIFY(offered.contains(element("KodClient", "7")));
        QVERIFY(offered.contains(element("Status", "HI")));
        QVERIFY(offered.contains(
            element("Dod", encoded(QStringLiteral("ч.в.з.{5 хв} тар.[Місто] біля аптеки, чекати 5 хв")))));
        QVERIFY(offered.contains(element("DataStoyanka", encoded(QStringLiteral("[]{}")))));
        QVERIFY(offered.contains(element("NumNaStoyanci", "0")));

        if (!answer.isEmpty())
            m_phone->send(answer);
        if (withdrawn) {
            QTRY_COMPARE_WITH_TIMEOUT(missedOffers(kDriver), 1, 10000);
        } else {
            QTest::qWait(5000); // the deadline and two ticks behind it
        }
        QCOMPARE(m_session->journal(kDriver), journal);
        QCOMPARE(m_session->op().errors, QStringList());

        const db::Row given = order(kOrder);
        const db::Row driver = driverRow(kDriver);
        if (!withdrawn) {
            QCOMPARE(given.at(1).toInt(), kDriver);
            QCOMPARE(driver.at(0).toInt(), 1);
            QCOMPARE(driver.at(3).toInt(), kOrder);
            QVERIFY(offerRow(kDriver).at(2).isNull());
            QCOMPARE(m_phone->received().count(kRefreshData), 1);
            QVERIFY(snapshot(*m_phone).contains(element("NumZam", "1044")));
            return;
        }
        // The order is open again for anybody, and the driver free at the end of the queue without a stand.
        QCOMPARE(given.at(0).toInt(), 0);
        for (int column = 1; column <= 4; ++column)
            QVERIFY2(given.at(column).isNull(), qPrintable(QString::number(column)));
        QCOMPARE(driver.at(0).toInt(), 0);
        QCOMPARE(driver.at(1).toText(), QStringLiteral("[]{}"));
        QCOMPARE(driver.at(2).toText(), QStringLiteral("0042"));
        QCOMPARE(driver.at(3).toInt(), 0);
        // The row marked for delivery of the no-order state is delivered through its own event.
        QTRY_COMPARE(m_phone->received().count(kRefreshData), 2);
        QTRY_VERIFY(delivered(kDriver));
        QCOMPARE(offerRow(kDriver).at(1).toInt(), 0);
        QVERIFY(offerRow(kDriver).at(2).isNull());
        const QByteArray withdrawnState = snapshot(*m_phone);
        QVERIFY(withdrawnState.contains(element("NumZam", "0")));
        QVERIFY(withdrawnState.contains(element("Status", "X")));
        QVERIFY(withdrawnState.contains(element("NumNaStoyanci", "0042")));
        QVERIFY(withdrawnState.contains(element("DataStoyanka", encoded(QStringLiteral("[]{}")))));
    }

    // The order is taken from the driver's slot at once, before the offer pass catches up: a late answer
    // must not accept, refuse or close an order that is open for other drivers again.
    void lateAnswersToAWithdrawnOfferChangeNothing() {
        start(QStringLiteral("0"));
        // An offer delivered a minute ago and not confirmed since.
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_NZ = ?, "
                            "REFLESH_VODIY_DATETIME = DATEADD(-1 MINUTE TO LOCALTIMESTAMP)")},
            {kOrder});
        m_session->slotOf(kDriver).orderNumber = kOrder;

        Service& service = m_session->service();
        service.runAction([&] { withdrawExpiredOffers(service.services); });
        QCOMPARE(m_session->slotOf(kDriver).orderNumber, 0);
        QCOMPARE(missedOffers(kDriver), 1);

        m_phone->send("@PRZ@@ZKZ@@VDZ@@SOS@");
        QVERIFY(m_session->waitForLine(QStringLiteral("Запит SOS водієм № 11")));
        QCOMPARE(m_session->linesContaining(QStringLiteral("замовлення №[")), QStringList());
        QCOMPARE(order(kOrder).at(0).toInt(), 0);
    }

    void expiredOffersOfOneTickQueueOneBehindTheOther() {
        start(QStringLiteral("0"));
        m_otherPhone = std::make_unique<FakeTerminal>();
        QVERIFY(m_session->bind(*m_otherPhone, kOtherDriver));
        freeDriverInPool(15, QStringLiteral("0009"));
        // Both offers long expired when the pass sees them, so the first tick after it takes both.
        folder().dispatcherExecute({QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_ZADIANIST = 1 WHERE "
                                                   "ZAD_AVTO_POZIVNIY IN (11, 12)")});
        folder().dispatcherExecute(
            {QStringLiteral(
                "UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_ZAMOV = '+', REFLESH_VODIY_NZ = "
                "IIF(REFLESH_VODIY_POZ = 11, ?, ?), REFLESH_VODIY_DATETIME = DATEADD(-1 MINUTE TO "
                "LOCALTIMESTAMP)")},
            {kOrder, kOtherOrder});

        QTRY_VERIFY_WITH_TIMEOUT(missedOffers(kDriver) == 1 && missedOffers(kOtherDriver) == 1, 10000);
        QStringList numbers{driverRow(kDriver).at(2).toText(), driverRow(kOtherDriver).at(2).toText()};
        numbers.sort();
        QCOMPARE(numbers, (QStringList{QStringLiteral("0010"), QStringLiteral("0011")}));
        QCOMPARE(m_session->journal(kOtherDriver), QStringList{kMissed + QStringLiteral(" #1045")});
    }

    void menusThatAreTold_data() {
        QTest::addColumn<QByteArray>("notice"); // empty: none since the terminal connected
        QTest::addColumn<bool>("told");
        for (const char* notice : {"@MENUMAIN@", "@MENUOPITUVAN@", "@MENUPOTIK@", "@MENUSTOYANKI@",
                                   "@MENUPIDSADKA@", "@MENUNEWS@", "@MENUZVIT@"})
            QTest::newRow(notice) << QByteArray(notice) << true;
        QTest::newRow("no menu reported") << QByteArray() << false;
    }
    void menusThatAreTold() {
        QFETCH(QByteArray, notice);
        QFETCH(bool, told);
        start(QStringLiteral("0"));
        if (!notice.isEmpty())
            showMenu(*m_phone, notice);
        const qsizetype before = m_phone->received().count(kRefreshData);

        // An offer without a moment is not watched by the time-out.
        giveOrder(kDriver, kOrder, QStringLiteral("NULL"));
        QTRY_VERIFY(delivered(kDriver));
        // Told or not, the slot carries the order.
        QCOMPARE(m_session->slotOf(kDriver).orderNumber, kOrder);
        QCOMPARE(m_phone->receivedAfterQuiet(300).count(kRefreshData) - before, told ? 1 : 0);
    }

    // One row the pass cannot deliver keeps its mark for the next pass; the rows behind it are still
    // delivered, and nobody is bothered with the failure.
    void anUndeliverableRowHoldsNobodyUp() {
        start(QStringLiteral("0"));
        m_otherPhone = std::make_unique<FakeTerminal>();
        QVERIFY(m_session->bind(*m_otherPhone, kOtherDriver));
        showMenu(*m_phone, "@MENUMAIN@");
        showMenu(*m_otherPhone, "@MENUMAIN@");
        folder().dispatcherExecute(
            {QStringLiteral(
                "UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_ZAMOV = '+', REFLESH_VODIY_NZ = "
                "IIF(REFLESH_VODIY_POZ = 11, 9999, ?)")},
            {kOtherOrder});

        QTRY_VERIFY(delivered(kOtherDriver));
        QTRY_COMPARE(m_otherPhone->received().count(kRefreshData), 1);
        QCOMPARE(m_session->slotOf(kOtherDriver).orderNumber, kOtherOrder);
        QCOMPARE(offerRow(kDriver).at(0).toText(), QStringLiteral("+"));
        QCOMPARE(m_phone->receivedAfterQuiet(300).count(kRefreshData), 0);
        QCOMPARE(m_session->op().errors, QStringList());
    }
};

QTEST_GUILESS_MAIN(OffersTest)
#include "test_offers.moc"
