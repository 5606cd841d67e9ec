#include "core/db/event_listener.h"
#include "data_module_folder.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {
const QString kInactive = QStringLiteral("неактивний");
} // namespace

// The data module DANNI against real databases: the dispatcher database on the local server through a
// relay, TAXI_GPRS.FDB through the embedded engine in the working folder.
class DataModuleTest : public QObject {
    Q_OBJECT

private slots:
    void openingDispatcherDatabaseClearsMarksOfAnEarlierRun() {
        DataModuleFolder fixture;
        // callsign, model as an earlier run left it, model after the opening
        const QList<std::tuple<int, QString, QString>> cars{
            {11, QStringLiteral("{GPRS}Деу Ланос"), QStringLiteral("Деу Ланос")},
            {11, QStringLiteral("{GPRS}Деу Ланос"), QStringLiteral("Деу Ланос")}, // a second stand
            {12, QStringLiteral("Шкода{GPRS} Октавія"), QStringLiteral("Шкода Октавія")},
            {13, QStringLiteral("ВАЗ 2107"), QStringLiteral("ВАЗ 2107")},
            {14, QStringLiteral("{GPRS}"), QString()}};
        for (const auto& [callsign, model, expected] : cars) {
            fixture.folder.dispatcherExecute(
                {QStringLiteral(
                    "INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_MARKA_AVTO) VALUES (?, ?)")},
                {callsign, model});
        }
        for (int callsign : {11, 12})
            fixture.folder.dispatcherExecute(
                {QStringLiteral("INSERT INTO REFLESH_DANI_VODIY_GPRS (REFLESH_VODIY_POZ, "
                                "REFLESH_VODIY_ZAMOV) VALUES (?, '+')")},
                {callsign});

        fixture.data.OPEN_BAZA_TAXI();

        QVERIFY(fixture.data.baza.isAttached());
        QVERIFY(fixture.data.dispatcherEvents.isRegistered());
        for (const auto& [callsign, model, expected] : cars) {
            const db::ResultSet models = fixture.folder.dispatcherSelect(
                {QStringLiteral(
                    "SELECT DISTINCT ZAD_AVTO_MARKA_AVTO FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = ?")},
                {callsign});
            QCOMPARE(models.size(), 1);
            QCOMPARE(models.first().at(0).toText(), expected);
        }
        QCOMPARE(fixture.dispatcherNumber(QStringLiteral("SELECT COUNT(*) FROM REFLESH_DANI_VODIY_GPRS")), 0);
    }

    void openingSettingsDatabaseMarksEveryRecordInactive() {
        DataModuleFolder fixture;
        fixture.folder.createSettingsDatabase();
        {
            SettingsDatabaseReader other(fixture.folder.path());
            other.execute(QStringLiteral("UPDATE GPRS_SET_KLIENT SET GPRS_SET_KLIENT_ACTIVNIST = 'АКТИВНИЙ' "
                                         "WHERE GPRS_SET_KLIENT_POZ IN (12, 15)"));
        }
        QSignalSpy listChanged(&fixture.data, &DataModule::connectionRecordsChanged);

        fixture.data.OPEN_BAZA_TAXI_GPRS();

        QVERIFY(fixture.data.settingsEvents.isRegistered());
        QCOMPARE(listChanged.size(), 1);
        const db::ResultSet& records = fixture.data.connectionRecords();
        QCOMPARE(records.size(), fixture.folder.drivers().size());
        int previousCallsign = 0;
        for (const db::Row& record : records.rows()) {
            QCOMPARE(record[QStringLiteral("GPRS_SET_KLIENT_ACTIVNIST")].toText(), kInactive);
            QVERIFY(record[QStringLiteral("GPRS_SET_KLIENT_POZ")].toInt() > previousCallsign);
            previousCallsign = record[QStringLiteral("GPRS_SET_KLIENT_POZ")].toInt();
        }
        // Written for everyone, not only read back through the service's own transaction.
        SettingsDatabaseReader other(fixture.folder.path());
        QCOMPARE(other.number(QStringLiteral("SELECT COUNT(*) FROM GPRS_SET_KLIENT "
                                             "WHERE GPRS_SET_KLIENT_ACTIVNIST <> 'неактивний'")),
                 0);
    }

    void dispatcherDatabaseName_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("windows server")
            << QStringLiteral("dispatch:") << QStringLiteral("D:\\TAXI\\BAZA") << QStringLiteral("TAXI.GDB")
            << QStringLiteral("dispatch:D:\\TAXI\\BAZA\\TAXI.GDB");
        QTest::newRow("linux server")
            << QStringLiteral("127.0.0.1/3051:") << QStringLiteral("/var/lib/taxi")
            << QStringLiteral("taxi.fdb") << QStringLiteral("127.0.0.1/3051:/var/lib/taxi/taxi.fdb");
    }
    void dispatcherDatabaseName() {
        QFETCH(QString, server);
        QFETCH(QString, path);
        QFETCH(QString, name);
        Settings settings;
        settings.setText(keys::SERVER, server);
        settings.setText(keys::PATH_BAZA, path);
        settings.setText(keys::NAME_BAZA, name);
        QTEST(DataModule(settings).dispatcherDatabaseName(), "expected");
    }

    void creatingSettingsDatabaseMakesTableAndTriggersOnce() {
        QTemporaryDir folder;
        const WorkingFolder inFolder(folder.path());
        Settings settings;
        settings.setText(keys::LOGIN, embeddedCredentials().user);
        settings.setText(keys::PASS, embeddedCredentials().password);
        DataModule data(settings);

        QVERIFY(data.CREATE_BAZA_TAXI_GPRS());
        QVERIFY(QFile::exists(folder.filePath(DataModule::kSettingsDatabaseFile)));
        QVERIFY(!data.bazaGprs.isAttached());
        QVERIFY(!data.baza.isAttached());

        SettingsDatabaseReader other(folder.path());
        const db::ResultSet triggerRows = other.select(
            QStringLiteral("SELECT TRIM(RDB$TRIGGER_NAME), RDB$TRIGGER_TYPE FROM RDB$TRIGGERS "
                           "WHERE RDB$RELATION_NAME = 'GPRS_SET_KLIENT' AND RDB$TRIGGER_INACTIVE = 0"));
        QMap<QString, int> triggers; // name → moment (2 after insert, 4 after update, 6 after delete)
        for (const db::Row& row : triggerRows.rows())
            triggers.insert(row.at(0).toText(), row.at(1).toInt());
        const QMap<QString, int> expected{{QStringLiteral("INSERTGPRS_SET_KLIENT"), 2},
                                          {QStringLiteral("UPDATEGPRS_SET_KLIENT"), 4},
                                          {QStringLiteral("DELETEGPRS_SET_KLIENT"), 6}};
        QCOMPARE(triggers, expected);

        db::EventListener listener;
        listener.registerEvents(other.attachment(), {QStringLiteral("EV_UpdateGPRS_SET_KLIENT")});
        QSignalSpy fired(&listener, &db::EventListener::fired);
        QTest::qWait(200); // the first alert of a registration only reports the counts
        const QStringList changes{
            QStringLiteral(
                "INSERT INTO GPRS_SET_KLIENT VALUES (21, 'Іваненко Іван', 40021, 'неактивний', '1')"),
            QStringLiteral(
                "INSERT INTO GPRS_SET_KLIENT VALUES (22, 'Петренко Петро', 40022, 'неактивний', '1')"),
            QStringLiteral("UPDATE GPRS_SET_KLIENT SET GPRS_SET_KLIENT_PASS = '2'"),
            QStringLiteral("DELETE FROM GPRS_SET_KLIENT WHERE GPRS_SET_KLIENT_POZ = 22")};
        for (int i = 0; i < changes.size(); ++i) {
            other.execute(changes.at(i));
            QTRY_COMPARE(fired.size(), i + 1);
            QCOMPARE(fired.last().at(0).toString(), QStringLiteral("EV_UpdateGPRS_SET_KLIENT"));
        }
        listener.cancel();

        // The file exists now: a second call touches nothing, the record stays.
        QVERIFY(!data.CREATE_BAZA_TAXI_GPRS());
        QVERIFY(!data.bazaGprs.isAttached());
        QCOMPARE(other.number(QStringLiteral("SELECT COUNT(*) FROM GPRS_SET_KLIENT")), 1);
    }

    void linkTestFailsOnceTheNetworkIsGone() {
        DataModuleFolder fixture;
        QVERIFY(!fixture.data.testDispatcherLink()); // never connected
        fixture.attachDispatcher();
        QVERIFY(fixture.data.testDispatcherLink());
        QVERIFY(fixture.data.testDispatcherLink());

        fixture.folder.network().cut();
        QVERIFY(!fixture.data.testDispatcherLink());
        QVERIFY(!fixture.data.baza.isAttached()); // let go at once
        QVERIFY(!fixture.data.testDispatcherLink());
    }
};

QTEST_GUILESS_MAIN(DataModuleTest)
#include "test_data_module.moc"
