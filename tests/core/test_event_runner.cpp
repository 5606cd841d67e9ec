#include "core/db/db_error.h"
#include "core/event_runner.h"
#include "data_module_folder.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

using namespace taxi;
using namespace taxi::test;

namespace {

// A statement object of the data module and a row that a handler writes with it.
struct Writer {
    const char* name;
    db::Query DataModule::*query;
    bool onSettingsDatabase;
};

const Writer kWriters[] = {
    {"RIZNE", &DataModule::rizne, false},
    {"DODAT_RIZNE", &DataModule::dodatRizne, false},
    {"TABLE_DANI_ACTIV_VOD", &DataModule::tableDaniActivVod, false},
    {"TABL_GPRS_RIZNE", &DataModule::tablGprsRizne, true},
};

const QString kOfferRows = QStringLiteral("SELECT COUNT(*) FROM REFLESH_DANI_VODIY_GPRS");
const QString kRecords = QStringLiteral("SELECT COUNT(*) FROM GPRS_SET_KLIENT");

} // namespace

// The end of every event: errors reach the operator, and what the handler wrote is committed for others.
class EventRunnerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DataModuleFolder> m_fixture;
    ScriptedOperator m_operator;

    EventRunner runner() { return EventRunner(m_operator, m_fixture->data); }

private slots:
    void init() {
        m_operator.errors.clear();
        m_fixture = std::make_unique<DataModuleFolder>();
        m_fixture->attachDispatcher();
        m_fixture->attachSettingsDatabase();
    }
    void cleanup() { m_fixture.reset(); }

    void writesAreVisibleToOthersOnceTheEventEnds_data() {
        QTest::addColumn<int>("writer");
        QTest::addColumn<bool>("fails");
        for (int i = 0; i < int(std::size(kWriters)); ++i) {
            QTest::addRow("%s, handler ends", kWriters[i].name) << i << false;
            QTest::addRow("%s, handler fails", kWriters[i].name) << i << true;
        }
    }
    void writesAreVisibleToOthersOnceTheEventEnds() {
        QFETCH(int, writer);
        QFETCH(bool, fails);
        const Writer& target = kWriters[writer];
        SettingsDatabaseReader settingsReader(m_fixture->folder.path());
        const auto visibleRows = [&] {
            return target.onSettingsDatabase ? settingsReader.number(kRecords)
                                             : m_fixture->dispatcherNumber(kOfferRows);
        };
        const int before = visibleRows();

        runner().run([&] {
            db::Query& query = m_fixture->data.*target.query;
            if (target.onSettingsDatabase)
                query.execute({QStringLiteral(
                    "INSERT INTO GPRS_SET_KLIENT VALUES (31, 'Тест', 40031, 'неактивний', '1')")});
            else
                query.execute(
                    {QStringLiteral("INSERT INTO REFLESH_DANI_VODIY_GPRS (REFLESH_VODIY_POZ) VALUES (31)")});
            QCOMPARE(visibleRows(), before); // not yet
            if (fails)
                throw db::DbError(QStringLiteral("the handler broke off"));
        });

        QCOMPARE(m_operator.errors,
                 fails ? QStringList{QStringLiteral("the handler broke off")} : QStringList());
        QCOMPARE(visibleRows(), before + 1);
    }

    // A handler that closes a connection runs its disconnect handling inside itself: that is one event,
    // committed once at its end, and a failure anywhere in it ends all of it.
    void nestedEventIsPartOfTheOuterOne_data() {
        QTest::addColumn<bool>("nestedFails");
        QTest::newRow("nested event ends") << false;
        QTest::newRow("nested event fails") << true;
    }
    void nestedEventIsPartOfTheOuterOne() {
        QFETCH(bool, nestedFails);
        DataModule& data = m_fixture->data;
        const auto insertOffer = [&](int callsign) {
            data.rizne.execute(
                {QStringLiteral("INSERT INTO REFLESH_DANI_VODIY_GPRS (REFLESH_VODIY_POZ) VALUES (?)")},
                {callsign});
        };
        const int before = m_fixture->dispatcherNumber(kOfferRows);
        bool outerWentOn = false;
        EventRunner events = runner();

        events.run([&] {
            insertOffer(31);
            events.run([&] {
                insertOffer(32);
                if (nestedFails)
                    throw db::DbError(QStringLiteral("nested failure"));
            });
            QCOMPARE(m_fixture->dispatcherNumber(kOfferRows), before); // nothing committed half-way
            outerWentOn = true;
        });

        QCOMPARE(outerWentOn, !nestedFails);
        QCOMPARE(m_operator.errors,
                 nestedFails ? QStringList{QStringLiteral("nested failure")} : QStringList());
        QCOMPARE(m_fixture->dispatcherNumber(kOfferRows), before + 2);
    }

    // Under a modal box the event loop takes other events: each of those is an event of its own.
    void eventUnderAModalBoxIsAnEventOfItsOwn() {
        EventRunner events = runner();
        bool outerWentOn = false;
        events.run([&] {
            QEventLoop modalBox;
            QTimer::singleShot(0, &modalBox, [&] {
                events.run([] { throw db::DbError(QStringLiteral("failure under the box")); });
                modalBox.quit();
            });
            modalBox.exec();
            outerWentOn = true;
        });
        QVERIFY(outerWentOn);
        QCOMPARE(m_operator.errors, QStringList{QStringLiteral("failure under the box")});
    }

    // One transaction whose commit is refused keeps neither the others' rows hidden nor their locks held.
    void refusedCommitLeavesTheOtherTransactionsCommitted() {
        m_fixture->folder.dispatcherExecute(
            {QStringLiteral("CREATE EXCEPTION E_COMMIT_REFUSED 'commit refused'")});
        m_fixture->folder.dispatcherExecute(
            {QStringLiteral("CREATE TRIGGER REFUSE_MARKED_COMMIT ON TRANSACTION COMMIT AS BEGIN"),
             QStringLiteral("  IF (RDB$GET_CONTEXT('USER_TRANSACTION', 'REFUSE') = '1') THEN"),
             QStringLiteral("    EXCEPTION E_COMMIT_REFUSED;"), QStringLiteral("END")});
        m_fixture->attachDispatcher(); // database triggers are read when a connection is made
        DataModule& data = m_fixture->data;
        SettingsDatabaseReader settingsReader(m_fixture->folder.path());
        const int records = settingsReader.number(kRecords);

        runner().run([&] {
            data.tablGprsRizne.execute({QStringLiteral(
                "INSERT INTO GPRS_SET_KLIENT VALUES (31, 'Тест', 40031, 'неактивний', '1')")});
            data.rizne.select({QStringLiteral(
                "SELECT RDB$SET_CONTEXT('USER_TRANSACTION', 'REFUSE', '1') FROM RDB$DATABASE")});
            data.tableDaniActivVod.execute(
                {QStringLiteral("INSERT INTO REFLESH_DANI_VODIY_GPRS (REFLESH_VODIY_POZ) VALUES (31)")});
        });

        QCOMPARE(m_operator.errors.size(), 1);
        QVERIFY2(m_operator.errors.first().contains(QStringLiteral("commit refused")),
                 qPrintable(m_operator.errors.first()));
        QCOMPARE(settingsReader.number(kRecords), records + 1);
        QCOMPARE(m_fixture->dispatcherNumber(kOfferRows), 1);
    }
};

QTEST_GUILESS_MAIN(EventRunnerTest)
#include "test_event_runner.moc"
