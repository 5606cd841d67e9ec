#include "app/service.h"
#include "core/settings.h"
#include "support/driver_session.h"

#include <QDate>
#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

enum class Director { None, Driver15, PortWithoutRecord };

} // namespace

Q_DECLARE_METATYPE(Director)

// The daily report through a terminal: the driver's own figures, and the company's for the director.
class DailyReportTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;
    FakeTerminal m_phone12;
    FakeTerminal m_phone15;

    ServiceFolder& folder() { return m_session->folder(); }

    void closedOrder(int number, int daysAgo, int callsign, const QString& freeRide, int status) {
        folder().dispatcherExecute(
            {QStringLiteral(
                "INSERT INTO CLOSEZAMOVLENNIA (CZ_NUMBER, CZ_DATA_ZAKR_ZAMOVL, CZ_POZIVNIY, CZ_BEZKOSHTOVN, "
                "CZ_STATUS_ZAMOVL) VALUES (?, ?, ?, ?, ?)")},
            {number, QDate::currentDate().addDays(-daysAgo).toString(QStringLiteral("dd.MM.yyyy")), callsign,
             freeRide, status});
    }

private slots:
    void initTestCase() {
        m_session = std::make_unique<DriverSession>();
        QVERIFY(m_session->start());
        QVERIFY(m_session->bind(m_phone12, 12));
        QVERIFY(m_session->bind(m_phone15, 15));
        // On the air: 12 connected and at a stand, 15 without the connection mark.
        folder().dispatcherExecute({QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_VULICA = 'Вокзал' WHERE "
                                                   "ZAD_AVTO_POZIVNIY = 12")});
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_MARKA_AVTO = 'Рено Логан' WHERE "
                            "ZAD_AVTO_POZIVNIY = 15")});
        folder().dispatcherExecute({QStringLiteral("DELETE FROM CLOSEZAMOVLENNIA")});
        closedOrder(1, 1, 11, QStringLiteral("HI"), 1);
        closedOrder(2, 1, 13, QStringLiteral("TAK"), -1);
        closedOrder(3, 0, 12, QStringLiteral("TAK"), 1);
        closedOrder(4, 0, 12, QStringLiteral("HI"), 1);
        closedOrder(5, 0, 12, QStringLiteral("TAK"), -1);
        closedOrder(6, 0, 11, QStringLiteral("TAK"), 1);
        closedOrder(7, 2, 12, QStringLiteral("HI"), 1);
    }
    void cleanupTestCase() { m_session.reset(); }

    void report_data() {
        QTest::addColumn<int>("callsign");
        QTest::addColumn<Director>("director");
        QTest::addColumn<bool>("journalSwitch");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("line");

        const QByteArray today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")).toLatin1();
        const QByteArray yesterday =
            QDate::currentDate().addDays(-1).toString(QStringLiteral("dd.MM.yyyy")).toLatin1();
        const QByteArray onAir = "<SpisActivVodya>12/15/</SpisActivVodya><KilActivVodya>2</KilActivVodya>"
                                 "<SpisActivGPRS>12/</SpisActivGPRS><KilActivGPRS>1</KilActivGPRS>";
        const QByteArray driver12 = "<ZVIT><Poz>12</Poz><NewDate>" + today +
                                    "</NewDate><KilNewZam>2</KilNewZam><KilSogodniYvil>1</KilSogodniYvil>" +
                                    onAir + "</ZVIT>@";
        const QByteArray driver15 = "<ZVIT><Poz>15</Poz><NewDate>" + today +
                                    "</NewDate><KilNewZam>0</KilNewZam><KilSogodniYvil>0</KilSogodniYvil>" +
                                    onAir + "</ZVIT>@";
        const QString line12 = QStringLiteral("Запит водія № 12  на звіт на сьогодні");
        const QString line15 = QStringLiteral("Запит водія № 15  на звіт на сьогодні");

        QTest::newRow("driver") << 12 << Director::None << true << driver12 << line12;
        QTest::newRow("driver, journal off") << 12 << Director::None << false << driver12 << line12;
        QTest::newRow("no director") << 15 << Director::None << true << driver15 << line15;
        QTest::newRow("director's port without a record")
            << 15 << Director::PortWithoutRecord << true << driver15 << line15;
        QTest::newRow("another driver while 15 is director")
            << 12 << Director::Driver15 << true << driver12 << line12;
        QTest::newRow("director")
            << 15 << Director::Driver15 << true
            << "<ZVIT><Poz>0</Poz><OldDate>" + yesterday + "</OldDate><KilOldZam>1</KilOldZam><NewDate>" +
                   today + "</NewDate><KilNewZam>3</KilNewZam><KilSogodniYvil>2</KilSogodniYvil>" + onAir +
                   "<KilVodyaStoyanka>1</KilVodyaStoyanka></ZVIT>@"
            << QStringLiteral("Запит  директора  на звіт на сьогодні");
    }
    void report() {
        QFETCH(int, callsign);
        QFETCH(Director, director);
        QFETCH(bool, journalSwitch);
        QFETCH(QByteArray, reply);
        QFETCH(QString, line);
        Settings& settings = m_session->service().settings;
        const QString directorPort = director == Director::None ? QStringLiteral("0")
                                     : director == Director::Driver15
                                         ? QString::number(folder().driver(15).port)
                                         : QString::number(freePort());
        settings.setText(keys::PORT_DIRECTOR, directorPort);
        settings.setOn(keys::CREATE_ZVIT, journalSwitch);
        FakeTerminal& phone = callsign == 12 ? m_phone12 : m_phone15;
        const QStringList journalBefore = m_session->journal(callsign);
        const int logBefore = int(m_session->service().log.lines().size());

        const int before = int(phone.received().count('@'));
        phone.send("@ZVIT@");
        QVERIFY(phone.waitForReplies(before + 1));
        QCOMPARE(phone.received().mid(phone.received().lastIndexOf('@', -2) + 1), reply);
        QCOMPARE(m_session->service().log.lines().mid(logBefore).filter(QStringLiteral("звіт")),
                 QStringList{line});
        QCOMPARE(m_session->journal(callsign).mid(journalBefore.size()),
                 journalSwitch ? QStringList{QStringLiteral("Створення звіта #0")} : QStringList());
    }
};

QTEST_GUILESS_MAIN(DailyReportTest)
#include "test_daily_report.moc"
