#include "core/settings.h"
#include "push/internet_keeper.h"
#include "push/network_link.h"

#include <QSignalSpy>
#include <QTest>

using namespace taxi;

namespace {

// The operating system as the keeper sees it: a connection state the test sets, and the dials it asked for.
class FakeNetworkLink : public NetworkLink {
public:
    State connectedState() override {
        ++queries;
        return state;
    }
    void dial(const DialRequest& request) override { dials.append(request); }

    State state;
    int queries = 0;
    QList<DialRequest> dials;
};

} // namespace

class InternetKeeperTest : public QObject {
    Q_OBJECT

private slots:
    void oneRun_data() {
        QTest::addColumn<bool>("keeperOn");
        QTest::addColumn<QString>("required");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("dials");
        QTest::newRow("keeper off") << false << QStringLiteral("Modem") << false << 0
                                    << QStringLiteral("не задано") << false;
        QTest::newRow("no type required")
            << true << QString() << false << 0 << QStringLiteral("не задано") << false;
        QTest::newRow("offline") << true << QStringLiteral("Modem") << false << 0
                                 << QStringLiteral("не задано") << true;
        QTest::newRow("the type asked for")
            << true << QStringLiteral("LAN") << true << 2 << QStringLiteral("LAN") << false;
        // Online all the same: the operator asked for the modem.
        QTest::newRow("LAN while Modem is asked for")
            << true << QStringLiteral("Modem") << true << 2 << QStringLiteral("LAN") << true;
        QTest::newRow("none of the four flags")
            << true << QStringLiteral("LAN") << true << 0x10 << QString() << true;
        QTest::newRow("the last flag set wins") << true << QStringLiteral("Modem Busy") << true << (1 | 2 | 8)
                                                << QStringLiteral("Modem Busy") << false;
        QTest::newRow("proxy over LAN")
            << true << QStringLiteral("LAN") << true << (2 | 4) << QStringLiteral("Proxy") << true;
        QTest::newRow("compared exactly")
            << true << QStringLiteral("lan") << true << 2 << QStringLiteral("LAN") << true;
    }
    void oneRun() {
        QFETCH(bool, keeperOn);
        QFETCH(QString, required);
        QFETCH(bool, connected);
        QFETCH(int, flags);
        QFETCH(QString, shown);
        QFETCH(bool, dials);
        Settings settings;
        settings.setOn(keys::AUTO_OPEN_INET, keeperOn);
        settings.setText(keys::POTRIBN_TIP_ZEDNANNYA, required);
        FakeNetworkLink link;
        link.state = {connected, flags};
        InternetKeeper keeper(settings, link);

        // Every run looks afresh: a wrong connection is dialled again each time.
        keeper.run();
        keeper.run();
        QCOMPARE(keeper.connectionText(), shown);
        QCOMPARE(link.dials.size(), dials ? 2 : 0);
        QCOMPARE(link.queries, keeperOn && !required.isEmpty() ? 2 : 0);
    }

    void dialParameters_data() {
        QTest::addColumn<bool>("withCredentials");
        QTest::addColumn<QString>("userName");
        QTest::addColumn<QString>("password");
        QTest::newRow("entry alone") << false << QStringLiteral("user") << QStringLiteral("secret");
        QTest::newRow("with user name and password")
            << true << QStringLiteral("user") << QStringLiteral("secret");
        QTest::newRow("asked for, both empty") << true << QString() << QString();
    }
    void dialParameters() {
        QFETCH(bool, withCredentials);
        QFETCH(QString, userName);
        QFETCH(QString, password);
        Settings settings;
        settings.setOn(keys::AUTO_OPEN_INET, true);
        settings.setText(keys::POTRIBN_TIP_ZEDNANNYA, QStringLiteral("Modem"));
        settings.setText(keys::NAME_ZEDNANNYA, QStringLiteral("Київстар"));
        settings.setOn(keys::ZAPIT_INYA_PASS, withCredentials);
        settings.setText(keys::NET_IMYA, userName);
        settings.setText(keys::NET_PASS, password);
        FakeNetworkLink link;
        InternetKeeper keeper(settings, link);
        keeper.run();
        QCOMPARE(link.dials.size(), 1);
        const NetworkLink::DialRequest& dial = link.dials.first();
        QCOMPARE(dial.entryName, QStringLiteral("Київстар"));
        QCOMPARE(dial.withCredentials, withCredentials);
        QCOMPARE(dial.userName, userName);
        QCOMPARE(dial.password, password);
    }

    void theConsoleIsToldOfChanges() {
        Settings settings;
        settings.setOn(keys::AUTO_OPEN_INET, true);
        settings.setText(keys::POTRIBN_TIP_ZEDNANNYA, QStringLiteral("LAN"));
        FakeNetworkLink link;
        link.state = {true, NetworkLink::Lan};
        InternetKeeper keeper(settings, link);
        QCOMPARE(keeper.connectionText(), QStringLiteral("не задано"));
        QSignalSpy changes(&keeper, &InternetKeeper::connectionTextChanged);
        keeper.run();
        keeper.run();
        QCOMPARE(changes.size(), 1);
    }
};

QTEST_GUILESS_MAIN(InternetKeeperTest)
#include "test_internet_keeper.moc"
