#include "core/data_module.h"
#include "core/db/query.h"
#include "core/settings.h"
#include "net/held_order.h"
#include "orders/drivers_on_air.h"
#include "support/test_databases.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

using namespace taxi;

// Drivers going on the air, their queue numbers and free-ride marks, on the demo city's database.
class DriversOnAirTest : public QObject {
    Q_OBJECT

private:
    test::TestDatabases m_databases;
    Settings m_settings;
    std::unique_ptr<DataModule> m_data;

    db::Row onAir(int callsign) {
        m_data->tranzRizne.commitIfActive();
        const db::ResultSet rows = m_data->rizne.select(
            {QStringLiteral("SELECT * FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")}, {callsign});
        m_data->tranzRizne.commitIfActive();
        if (rows.size() != 1)
            throw std::runtime_error("expected one row on the air");
        return rows.first();
    }

private slots:
    void init() {
        const QFileInfo file(m_databases.freshDispatcherDatabase(true));
        m_settings.setText(keys::PATH_BAZA, file.absolutePath());
        m_settings.setText(keys::NAME_BAZA, file.fileName());
        m_settings.setText(keys::LOGIN, QStringLiteral("SYSDBA"));
        m_data = std::make_unique<DataModule>(m_settings);
        m_data->baza.attach(m_data->dispatcherDatabaseName(), test::embeddedCredentials());
    }
    void cleanup() { m_data.reset(); }

    void queueNumbersHaveFourDigitsAtLeast_data() {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << qint64(1) << QStringLiteral("0001");
        QTest::newRow("tenth") << qint64(10) << QStringLiteral("0010");
        QTest::newRow("last of four digits") << qint64(9999) << QStringLiteral("9999");
        QTest::newRow("five digits") << qint64(10000) << QStringLiteral("10000");
    }
    void queueNumbersHaveFourDigitsAtLeast() {
        QFETCH(qint64, number);
        QFETCH(QString, text);
        QCOMPARE(queueNumberText(number), text);
    }

    void driversJoinThePoolQueueWithTheirCarAndMarks() {
        putOnAir(*m_data, 12, QStringLiteral("Шевчук Андрій Миколайович"));
        putOnAir(*m_data, 13, QStringLiteral("Бондаренко Олег Васильович"));

        const db::Row first = onAir(12);
        QCOMPARE(first[QStringLiteral("ZAD_AVTO_VULICA")].toText(), QStringLiteral("[]{}"));
        QCOMPARE(first[QStringLiteral("ZAD_AVTO_CHAS_ZAMOVL")].toText(), QStringLiteral("0001"));
        QCOMPARE(first[QStringLiteral("ZAD_AVTO_ZADIANIST")].toInt(), 0);
        QCOMPARE(first[QStringLiteral("ZAD_AVTO_NOMER_ZAMOVL")].toInt(), 0);
        QVERIFY(!first[QStringLiteral("ZAD_AVTO_MARKA_AVTO")].toText().isEmpty());
        QVERIFY(QRegularExpression(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\]\\(\\)\\{\\}$"))
                    .match(first[QStringLiteral("ZAD_AVTO_RAYON")].toText())
                    .hasMatch());
        // 12 gave a free ride today; 13 has a closed order of the other kind.
        QVERIFY(!first[QStringLiteral("ZAD_AVTO_YUVILEYKA")].isNull());
        QVERIFY(first[QStringLiteral("ZAD_AVTO_RIBA")].isNull());

        const db::Row second = onAir(13);
        QCOMPARE(second[QStringLiteral("ZAD_AVTO_CHAS_ZAMOVL")].toText(), QStringLiteral("0002"));
        QVERIFY(second[QStringLiteral("ZAD_AVTO_YUVILEYKA")].isNull());
        QVERIFY(second[QStringLiteral("ZAD_AVTO_RIBA")].toText().endsWith(QStringLiteral("21:10:00")));
    }

    void aFailedPutOnAirLeavesNoRowAndRaisesNothing() {
        putOnAir(*m_data, 14, QString(60, QLatin1Char('x'))); // longer than any name column
        m_data->tranzRizne.commitIfActive();
        QVERIFY(m_data->rizne.select({QStringLiteral("SELECT * FROM ZADIANI_AVTO")}).isEmpty());
    }

    void freeRideMarksAreRewrittenFromClosedOrders() {
        putOnAir(*m_data, 12, QStringLiteral("Шевчук Андрій Миколайович"));
        m_data->rizne.execute(
            {QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_YUVILEYKA = NULL, ZAD_AVTO_RIBA = "
                            "'01.01.2020 10:00:00' WHERE ZAD_AVTO_POZIVNIY = 12")});
        m_data->tranzRizne.commitIfActive();
        refreshFreeRideMarks(*m_data, 12);
        const db::Row row = onAir(12);
        QVERIFY(!row[QStringLiteral("ZAD_AVTO_YUVILEYKA")].isNull());
        // No closed order of the other kind: the mark is cleared rather than the update refused.
        QVERIFY(row[QStringLiteral("ZAD_AVTO_RIBA")].isNull());
    }

    void heldOrderExtraText_data() {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("arrival");
        QTest::addColumn<QString>("text");
        QTest::newRow("note and tariff")
            << QStringLiteral("(біля аптеки) тариф:[Місто]") << QStringLiteral("5")
            << QStringLiteral("ч.в.з.{5} тар.[Місто] біля аптеки");
        QTest::newRow("tariff before the note") << QStringLiteral("тариф:[Нічний] (з багажем)") << QString()
                                                << QStringLiteral("ч.в.з.{} тар.[Нічний] з багажем");
        QTest::newRow("no tariff: first brackets")
            << QStringLiteral("[A] (b)") << QStringLiteral("10") << QStringLiteral("ч.в.з.{10} тар.[A] b");
        QTest::newRow("nothing") << QString() << QString() << QStringLiteral("ч.в.з.{} тар.[] ");
    }
    void heldOrderExtraText() {
        QFETCH(QString, reason);
        QFETCH(QString, arrival);
        QFETCH(QString, text);
        const auto columns = QSharedPointer<QStringList>::create(QStringList{
            QStringLiteral("ZAMOVL_PRICHINA_DELETE"), QStringLiteral("ZAMOVL_CHAS_PRIYOM_VODIY")});
        const db::Row order(columns, {db::Field::text(reason), db::Field::text(arrival)});
        QCOMPARE(taxi::net::heldOrderExtraText(order), text);
    }
};

QTEST_GUILESS_MAIN(DriversOnAirTest)
#include "test_drivers_on_air.moc"
