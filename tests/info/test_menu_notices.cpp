#include "app/service.h"
#include "core/settings.h"
#include "net/port_slot.h"
#include "support/driver_session.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

// The terminal's menu notices: the screen goes into the driver's slot, two screens into the journal.
class MenuNoticesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;
    FakeTerminal m_phone;

private slots:
    void initTestCase() {
        m_session = std::make_unique<DriverSession>();
        QVERIFY(m_session->start());
        QVERIFY(m_session->bind(m_phone, 11));
        // One round trip, so that the connection's own monitoring lines are all written.
        m_phone.send("@PZ7@");
        QVERIFY(m_phone.waitForReplies(1));
    }
    void cleanupTestCase() { m_session.reset(); }

    void notices_data() {
        QTest::addColumn<QByteArray>("notice");
        QTest::addColumn<bool>("journalSwitchesOn");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("journal");

        QTest::newRow("polls") << QByteArray("@MENUOPITUVAN@") << true << QStringLiteral("MENUOPITUVAN")
                               << QStringList{};
        QTest::newRow("main") << QByteArray("@MENUMAIN@") << true << QStringLiteral("MAIN") << QStringList{};
        QTest::newRow("flow, switch on") << QByteArray("@MENUPOTIK@") << true << QStringLiteral("POTIK")
                                         << QStringList{QStringLiteral("Вхід в меню потік замовлень #0")};
        QTest::newRow("flow, switch off")
            << QByteArray("@MENUPOTIK@") << false << QStringLiteral("POTIK") << QStringList{};
        QTest::newRow("stands, switch on")
            << QByteArray("@MENUSTOYANKI@") << true << QStringLiteral("STOYANKI")
            << QStringList{QStringLiteral("Вхід в меню список стоянок #0")};
        QTest::newRow("stands, switch off")
            << QByteArray("@MENUSTOYANKI@") << false << QStringLiteral("STOYANKI") << QStringList{};
        QTest::newRow("pick-up") << QByteArray("@MENUPIDSADKA@") << true << QStringLiteral("PIDSADKA")
                                 << QStringList{};
        QTest::newRow("news") << QByteArray("@MENUNEWS@") << true << QStringLiteral("NEWS") << QStringList{};
        QTest::newRow("report") << QByteArray("@MENUZVIT@") << true << QStringLiteral("ZVIT")
                                << QStringList{};
        QTest::newRow("extra blank matches nothing")
            << QByteArray("@MENUMAIN @") << true << QString() << QStringList{};
    }
    void notices() {
        QFETCH(QByteArray, notice);
        QFETCH(bool, journalSwitchesOn);
        QFETCH(QString, menu);
        QFETCH(QStringList, journal);
        Settings& settings = m_session->service().settings;
        settings.setOn(keys::VHID_V_POTIK_ZAM, journalSwitchesOn);
        settings.setOn(keys::MENU_STOYNKA, journalSwitchesOn);
        m_session->slotOf(11).currentMenu.clear();
        const QStringList journalBefore = m_session->journal(11);
        const int logBefore = int(m_session->logLines().size());

        // A snapshot request behind it, which writes nothing: once it is answered, the notice has run.
        const int replies = int(m_phone.received().count('@'));
        m_phone.send(notice + "@PZ7@");
        QVERIFY(m_phone.waitForReplies(replies + 1));
        QCOMPARE(m_session->slotOf(11).currentMenu, menu);
        QCOMPARE(m_session->journal(11).mid(journalBefore.size()), journal);
        // No monitoring line and no reply of its own.
        QCOMPARE(m_session->logLines().size(), logBefore);
        const QByteArray received = m_phone.receivedAfterQuiet(100);
        QCOMPARE(received.count('@'), replies + 1);
        QVERIFY(received.endsWith("</DataClient>@"));
    }
};

QTEST_GUILESS_MAIN(MenuNoticesTest)
#include "test_menu_notices.moc"
