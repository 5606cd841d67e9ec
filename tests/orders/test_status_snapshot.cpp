#include "app/service.h"
#include "net/port_slot.h"
#include "support/driver_session.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

// The snapshot's tags in their order, each value as it goes on the wire.
QByteArray snapshotReply(int order, const QString& stands, const QByteArray& position, const QByteArray& when,
                         const QString& from, const QString& to, int client, const QByteArray& status,
                         const QString& extra, const QByteArray& counts) {
    return "<DataClient><NumZam>" + QByteArray::number(order) + "</NumZam><DataStoyanka>" + encoded(stands) +
           "</DataStoyanka><NumNaStoyanci>" + position + "</NumNaStoyanci><DateZam>" + when +
           "</DateZam><Zvidky>" + encoded(from) + "</Zvidky><Kudy>" + encoded(to) + "</Kudy><KodClient>" +
           QByteArray::number(client) + "</KodClient><Status>" + status + "</Status><Dod>" + encoded(extra) +
           "</Dod>" + counts + "</DataClient>@";
}

// The moment of a driver without an order is the moment his terminal was bound.
const QByteArray kBindMoment = "<bound>";

} // namespace

// "@PZ7@" through a terminal, for drivers in the pool, at stands and holding an order.
class StatusSnapshotTest : public QObject {
    Q_OBJECT

private slots:
    void snapshotOfTheDriver_data() {
        QTest::addColumn<IniLines>("settings");
        QTest::addColumn<QList<OnAir>>("onAir");
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<int>("ordersInFlow");
        QTest::addColumn<QByteArray>("reply");

        const QString stands = QStringLiteral("GPRS_TAXI/NAME_STOYANKA");
        const QString flowOpen = QStringLiteral("GPRS_TAXI/DOSTUP_POTOK_ZAKAZ");
        const QString flowList = QStringLiteral("GPRS_TAXI/DODAT_DO_POTOK");
        const QString polls = QStringLiteral("GPRS_TAXI/DOST_OPITUVANNYA");
        const QString acceptedAt = QStringLiteral(
            "UPDATE ZAMOVLENNIA SET ZAMOVL_DATA_PRIYOMA = '05.03.2026', ZAMOVL_CHAS_PRIYOMA = %1, "
            "ZAMOVL_CHAS_PRIYOM_VODIY = %2 WHERE ZAMOVL_NUMBER = %3");

        // The demo's office message to 11 is never counted as unread; its open poll is unanswered.
        QTest::newRow("in the pool, polls off")
            << IniLines{{flowList, QStringLiteral("[0][111]")}}
            << QList<OnAir>{{12, kPool, QStringLiteral("0001")}, {11, kPool, QStringLiteral("0002")}}
            << QStringList{} << 0
            << snapshotReply(
                   0, kPool, "0002", kBindMoment, {}, {}, 0, "", {},
                   "<DostZam>0</DostZam><KilMsg>0</KilMsg><KilZam>0</KilZam><KilOpituvan>0</KilOpituvan>");
        QTest::newRow("at two stands, messages and polls waiting")
            << IniLines{{stands, QStringLiteral("СТОЯНКА")},
                        {flowOpen, QStringLiteral("1")},
                        {polls, QStringLiteral("1")}}
            << QList<OnAir>{{12, kStation, QStringLiteral("0001")},
                            {11, kStation, QStringLiteral("0002")},
                            {11, kHospital, QStringLiteral("0001"), 0, true}}
            << QStringList{QStringLiteral("INSERT INTO MSG_FOR_VODIY (MSG_FOR_VODIY_NP, "
                                          "MSG_FOR_VODIY_STATUS, MSG_FOR_VODIY_POZ, "
                                          "MSG_FOR_VODIY_FIO, MSG_FOR_VODIY_DREADER) VALUES (2, 'V', 11, "
                                          "'Коваленко Петро "
                                          "Іванович', NULL)"),
                           QStringLiteral("INSERT INTO MSG_FOR_VODIY (MSG_FOR_VODIY_NP, "
                                          "MSG_FOR_VODIY_STATUS, MSG_FOR_VODIY_POZ, "
                                          "MSG_FOR_VODIY_FIO, MSG_FOR_VODIY_DREADER) VALUES (3, 'V', 11, "
                                          "'Коваленко Петро "
                                          "Іванович', CURRENT_TIMESTAMP)"),
                           QStringLiteral(
                               "INSERT INTO MSG_FOR_VODIY (MSG_FOR_VODIY_NP, MSG_FOR_VODIY_STATUS, "
                               "MSG_FOR_VODIY_POZ, "
                               "MSG_FOR_VODIY_FIO, MSG_FOR_VODIY_DREADER) VALUES (4, 'V', 12, 'Шевчук Андрій "
                               "Миколайович', NULL)")}
            << 4
            << snapshotReply(
                   0, QStringLiteral("Вокзал {12,11}^Лікарня {11+}"), "0002", kBindMoment, {}, {}, 0, "", {},
                   "<DostZam>1</DostZam><KilMsg>1</KilMsg><KilZam>4</KilZam><KilOpituvan>1</KilOpituvan>");
        QTest::newRow("holding an order, on the flow list, poll answered")
            << IniLines{{stands, QStringLiteral("СТОЯНКА")},
                        {flowList, QStringLiteral("[0][11]")},
                        {polls, QStringLiteral("1")}}
            << QList<OnAir>{{11, kStation, QStringLiteral("0002"), 1044}}
            << QStringList{acceptedAt.arg(QStringLiteral("'07:05:09'"), QStringLiteral("'5 хв'"),
                                          QStringLiteral("1044")),
                           QStringLiteral(
                               "INSERT INTO OPITUVANNYA_VODIY (OP_NUMBER, OP_STATUS, OP_MAIN_NUM, OP_POZ, "
                               "PO_FIO_VODIY) VALUES (2, 'V', 1, 11, 'Коваленко Петро Іванович')")}
            << 0
            << snapshotReply(
                   1044, kPool, "0002", "05.03.2026 7:05:09", QStringLiteral("вул. Соборна, 14"), kStation, 7,
                   "HI", QStringLiteral("ч.в.з.{5 хв} тар.[Місто] біля аптеки, чекати 5 хв"),
                   "<DostZam>1</DostZam><KilMsg>0</KilMsg><KilZam>0</KilZam><KilOpituvan>0</KilOpituvan>");
        QTest::newRow("holding an order taken at midnight")
            << IniLines{} << QList<OnAir>{{11, kPool, QStringLiteral("0003"), 1045}}
            << QStringList{acceptedAt.arg(QStringLiteral("'00:00:00'"), QStringLiteral("NULL"),
                                          QStringLiteral("1045"))}
            << 0
            << snapshotReply(
                   1045, kPool, "0003", "05.03.2026", QStringLiteral("Центральний ринок"),
                   QStringLiteral("вул. Грушевського, 40"), 0, "HI",
                   QStringLiteral("ч.в.з.{} тар.[Місто+багаж] з багажем"),
                   "<DostZam>0</DostZam><KilMsg>0</KilMsg><KilZam>0</KilZam><KilOpituvan>0</KilOpituvan>");
    }
    void snapshotOfTheDriver() {
        QFETCH(IniLines, settings);
        QFETCH(QList<OnAir>, onAir);
        QFETCH(QStringList, statements);
        QFETCH(int, ordersInFlow);
        QFETCH(QByteArray, reply);
        DriverSession session;
        for (const OnAir& row : onAir)
            session.putOnAir(row);
        for (const QString& statement : statements)
            session.folder().dispatcherExecute({statement});
        QVERIFY(session.start(settings));
        session.service().services.ordersInFlow = [ordersInFlow] {
            return ordersInFlow;
        };
        FakeTerminal phone;
        QVERIFY(session.bind(phone, 11));

        phone.send("@PZ7@");
        QVERIFY(phone.waitForReplies(1));
        const QByteArray bound =
            session.slotOf(11).orderTime.toString(QStringLiteral("dd.MM.yyyy H:mm:ss")).toUtf8();
        QCOMPARE(phone.receivedAfterQuiet(100), reply.replace(kBindMoment, bound));
        QVERIFY(session.op().errors.isEmpty());
    }
};

QTEST_GUILESS_MAIN(StatusSnapshotTest)
#include "test_status_snapshot.moc"
