#include "app/service.h"
#include "net/connection_records.h"
#include "net/listener.h"
#include "net/port_slot.h"
#include "support/driver_session.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {
const QString kNewDriver = QStringLiteral("Гнатюк Роман Ігорович");
} // namespace

// The operator's work on the connection records, against the whole service on real databases.
class ConnectionRecordsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;

    [[nodiscard]] bool startService() {
        m_session = std::make_unique<DriverSession>();
        return m_session->start();
    }
    Service& service() { return m_session->service(); }
    net::ConnectionRecords& records() { return service().records; }
    ScriptedOperator& op() { return m_session->op(); }
    ServiceFolder& folder() { return m_session->folder(); }

    // The whole table as "callsign name port password activity", in callsign and name order.
    QStringList table() {
        QStringList rows;
        service().runAction([&] {
            const db::ResultSet all = service().data.tablGprsRizne.select(
                {QStringLiteral("SELECT GPRS_SET_KLIENT_POZ, GPRS_SET_KLIENT_FIO, GPRS_SET_KLIENT_PORT, "
                                "GPRS_SET_KLIENT_PASS, GPRS_SET_KLIENT_ACTIVNIST FROM GPRS_SET_KLIENT "
                                "ORDER BY 1, 2")});
            for (const db::Row& row : all.rows()) {
                QStringList fields;
                for (int i = 0; i < row.size(); ++i)
                    fields.append(row.at(i).toText());
                rows.append(fields.join(QLatin1Char(' ')));
            }
        });
        return rows;
    }
    QString rowOf(int callsign) {
        const QStringList rows = table().filter(QRegularExpression(QStringLiteral("^%1 ").arg(callsign)));
        return rows.size() == 1 ? rows.first() : rows.join(QLatin1Char('|'));
    }
    QString demoRow(int callsign, int port, const QString& password, const QString& activity) {
        return QStringLiteral("%1 %2 %3 %4 %5")
            .arg(callsign)
            .arg(folder().driver(callsign).name)
            .arg(port)
            .arg(password, activity);
    }

    // Statements on the settings database in the service's own connection; the grid is read anew.
    void changeTable(const QStringList& lines, const db::SqlParams& params = {}) {
        service().runAction([&] { service().data.tablGprsRizne.execute(lines, params); });
        service().data.reopenConnectionRecords();
    }
    void insertRecord(int callsign, const QString& name, int port) {
        changeTable({QStringLiteral("INSERT INTO GPRS_SET_KLIENT (GPRS_SET_KLIENT_POZ, GPRS_SET_KLIENT_FIO, "
                                    "GPRS_SET_KLIENT_PORT, GPRS_SET_KLIENT_PASS, GPRS_SET_KLIENT_ACTIVNIST) "
                                    "VALUES (?, ?, ?, '1111', 'неактивний')")},
                    {callsign, name, port});
    }
    void goToRecord(int callsign) {
        for (int row = 0; row < records().rowCount(); ++row) {
            if (records().grid().record(row).callsign == callsign)
                records().setCurrentRow(row);
        }
        QCOMPARE(records().currentRecord()->callsign, callsign);
    }
    QString carModel(int callsign) {
        return folder()
            .dispatcherSelect({QStringLiteral("SELECT ZAD_AVTO_MARKA_AVTO FROM ZADIANI_AVTO WHERE "
                                              "ZAD_AVTO_POZIVNIY = ?")},
                              {callsign})
            .first()
            .at(0)
            .toText();
    }

private slots:
    void init() { QVERIFY(startService()); }
    void cleanup() {
        QVERIFY2(!m_session || op().errors.isEmpty(), qPrintable(op().errors.join(QLatin1Char('\n'))));
        m_session.reset();
    }

    // A port of 0 in the table stands for the main port + 1.
    void portLists_data() {
        QTest::addColumn<QList<int>>("used");
        QTest::addColumn<QList<int>>("free");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("proposed");
        QTest::newRow("empty table") << QList<int>{} << QList<int>{0} << 0 << 0;
        QTest::newRow("gaps") << QList<int>{805, 801, 802} << QList<int>{803, 804} << -1 << 806;
        QTest::newRow("no gap") << QList<int>{801, 802} << QList<int>{} << -1 << 803;
        QTest::newRow("one record") << QList<int>{801} << QList<int>{802} << 0 << 802;
    }
    void portLists() {
        QFETCH(QList<int>, used);
        QFETCH(QList<int>, free);
        QFETCH(int, selected);
        QFETCH(int, proposed);
        const auto port = [&](int p) {
            return p == 0 ? folder().mainPort() + 1 : p;
        };
        changeTable({QStringLiteral("DELETE FROM GPRS_SET_KLIENT")});
        for (int i = 0; i < used.size(); ++i)
            insertRecord(20 + i, QStringLiteral("Водій %1").arg(i), used.at(i));

        const net::PortList offered = records().freePorts();
        QList<int> expected;
        for (const int p : std::as_const(free))
            expected.append(port(p));
        QCOMPARE(offered.ports, expected);
        QCOMPARE(offered.selected, selected);

        const net::PortList automatic = records().autoPort();
        QCOMPARE(automatic.ports, QList<int>{port(proposed)});
        QCOMPARE(automatic.selected, 0);
    }

    void callsignAndNameLists() {
        QCOMPARE(records().callsigns(),
                 (QStringList{QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("13"),
                              QStringLiteral("14"), QStringLiteral("15"), QStringLiteral("16"),
                              QStringLiteral("17"), QStringLiteral("18")}));
        QCOMPARE(records().names(QStringLiteral("12")), QStringList{folder().driver(12).name});
        QCOMPARE(records().names(QString()), QStringList{});            // no callsign chosen yet
        QCOMPARE(records().names(QStringLiteral("18")), QStringList{}); // a car nobody drives
    }

    // The new record's port is served at once: its driver logs in and his terminal binds.
    void createdRecordServesItsDriverAtOnce() {
        folder().dispatcherExecute({QStringLiteral("INSERT INTO VODII VALUES (8, ?, '', '')")}, {kNewDriver});
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE DANI_AVTO SET TABL_AVTO_NOM_VODIY = 8 WHERE TABL_AVTO_POZIVN = 18")});
        QCOMPARE(records().names(QStringLiteral("18")), QStringList{kNewDriver});
        const quint16 port = freePort();
        const QString portText = QString::number(port);
        const int driversBefore = service().connections.N();

        QVERIFY(!records().create(QStringLiteral("18"), kNewDriver, QString(), portText));
        QVERIFY(op().questions.isEmpty()); // an empty input asks nothing
        op().answers = {false};
        QVERIFY(!records().create(QStringLiteral("18"), kNewDriver, QStringLiteral("o'k"), portText));
        QCOMPARE(rowOf(18), QString());

        QVERIFY(records().create(QStringLiteral("18"), kNewDriver, QStringLiteral("o'k"), portText));
        QCOMPARE(
            op().questions,
            QStringList(2, QStringLiteral("Створити новий запис в таблиці налаштувань підключень водіїв ?")));
        QCOMPARE(rowOf(18), QStringLiteral("18 %1 %2 o'k неактивний").arg(kNewDriver, portText));
        const int k = service().connections.N();
        QCOMPARE(k, driversBefore + 1);
        QCOMPARE(service().connections.slot(k).callsign, 18);
        QCOMPARE(service().connections.driverListener(k).port(), port);
        QVERIFY(!service().connections.driverListener(k).isListening());
        // The grid learns of it from the database's event.
        QTRY_COMPARE(records().rowCount(), 8);

        QVERIFY(
            !records().create(QStringLiteral("18"), kNewDriver, QStringLiteral("2"), QStringLiteral("901")));
        QCOMPARE(op().informed, QStringList{QStringLiteral("Запис з вказаним позивним і ФІО вжк існує !!!")});
        QCOMPARE(service().connections.N(), k);

        sendLogin(folder().mainPort(), port, QStringLiteral("o'k"));
        QTRY_VERIFY(service().connections.driverListener(k).isListening());
        FakeTerminal phone;
        QVERIFY(phone.connectTo(port));
        QTRY_VERIFY(m_session->logContains(QStringLiteral("кіл. підк. = 1")));
        QTRY_COMPARE(folder().offerRows(18), 1);
        QTRY_COMPARE(rowOf(18), QStringLiteral("18 %1 %2 o'k АКТИВНИЙ").arg(kNewDriver, portText));
    }

    void editChangesPasswordAndPortOfTheCurrentRecord() {
        const int oldPort = folder().driver(13).port;
        const QString unchanged = demoRow(13, oldPort, QStringLiteral("1111"), QStringLiteral("неактивний"));
        goToRecord(13);
        // A typed port that no listener could open is refused before anything is asked or written.
        for (const QString& port : {QStringLiteral("9O1"), QStringLiteral("70000"), QStringLiteral("0")})
            records().edit(QStringLiteral("2222"), port);
        QCOMPARE(op().informed, QStringList(3, net::ConnectionRecords::kPortNotNumber));
        QVERIFY(op().questions.isEmpty());
        op().answers = {false};
        records().edit(QStringLiteral("2222"), QStringLiteral("901"));
        QCOMPARE(rowOf(13), unchanged);

        records().edit(QStringLiteral("2'2"), QStringLiteral(" 901"));
        QCOMPARE(op().questions.size(), 2);
        QCOMPARE(rowOf(13), demoRow(13, 901, QStringLiteral("2'2"), QStringLiteral("неактивний")));
        // The port serves until the next start rebuilds the ports.
        QCOMPARE(m_session->listenerOf(13).port(), oldPort);
    }

    void deleteRemovesTheCurrentRecordOnly() {
        const QStringList before = table();
        const int drivers = service().connections.N();
        goToRecord(14);
        op().answers = {false};
        records().deleteCurrent();
        QCOMPARE(table(), before);

        records().deleteCurrent();
        QCOMPARE(op().questions, QStringList(2, net::ConnectionRecords::kDeleteQuestion));
        QStringList expected = before;
        expected.removeAll(
            demoRow(14, folder().driver(14).port, QStringLiteral("1111"), QStringLiteral("неактивний")));
        QCOMPARE(table(), expected);
        QCOMPARE(service().connections.N(), drivers); // the ports stay until the next start
    }

    void cleanUpRemovesRecordsWhoseCarIsNotTheDrivers() {
        insertRecord(11, folder().driver(12).name, 901); // the callsign of another driver's car
        insertRecord(18, QStringLiteral("Ніхто"), 902);  // a car nobody drives
        insertRecord(19, folder().driver(11).name, 903); // no car of that callsign
        folder().dispatcherExecute(
            {QStringLiteral("UPDATE DANI_AVTO SET TABL_AVTO_NOM_VODIY = 0 WHERE TABL_AVTO_POZIVN = 17")});

        records().cleanUp();

        QCOMPARE(op().questions, QStringList{net::ConnectionRecords::kCleanUpQuestion});
        QStringList kept;
        for (int callsign = 11; callsign <= 16; ++callsign)
            kept.append(demoRow(callsign, folder().driver(callsign).port, QStringLiteral("1111"),
                                QStringLiteral("неактивний")));
        QCOMPARE(table(), kept);
    }

    void forceOffDropsTheTerminalAndShutsItsPort() {
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 15));
        const QString marked = carModel(15);
        QVERIFY(marked.startsWith(QStringLiteral("{GPRS}")));
        goToRecord(15);

        records().forceOffCurrent();

        QCOMPARE(op().questions, QStringList{QStringLiteral("ПРИМУСОВО ЗНЯТИ З ЗВЯЗКУ ПОЗИВНОГО [15]")});
        QVERIFY(phone.waitForClosedByService());
        QVERIFY(
            m_session->logContains(QStringLiteral("ПОРТ ВІДКЛЮЧИВСЯ > %1").arg(folder().driver(15).port)));
        QVERIFY(!m_session->listenerOf(15).isListening());
        QCOMPARE(m_session->slotOf(15).driverName, QString());
        QCOMPARE(carModel(15), marked.mid(6));
        QCOMPARE(folder().offerRows(15), 0);
        QCOMPARE(rowOf(15),
                 demoRow(15, folder().driver(15).port, QStringLiteral("1111"), QStringLiteral("неактивний")));
        FakeTerminal again;
        QVERIFY(!again.connectTo(folder().driver(15).port, 300)); // not until he logs in again
    }

    // Marks a lost terminal left behind are cleared on every record of the name, the port untouched.
    void forceOffOfADriverNotConnectedClearsHisMarks() {
        m_session->logIn(16);
        QTRY_VERIFY(m_session->listenerOf(16).isListening()); // logged in, his terminal not yet there
        const QString name = folder().driver(16).name;
        insertRecord(19, name, 904);
        changeTable({QStringLiteral("UPDATE GPRS_SET_KLIENT SET GPRS_SET_KLIENT_ACTIVNIST = 'АКТИВНИЙ'")});
        folder().dispatcherExecute({QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_MARKA_AVTO = "
                                                   "'{GPRS}Деу Ланос' WHERE ZAD_AVTO_POZIVNIY = 16")});
        goToRecord(16);

        records().forceOffCurrent();

        QVERIFY(!m_session->listenerOf(16).isListening());
        QCOMPARE(carModel(16), QStringLiteral("Деу Ланос"));
        QCOMPARE(rowOf(19), QStringLiteral("19 %1 904 1111 неактивний").arg(name));
        QCOMPARE(rowOf(16),
                 demoRow(16, folder().driver(16).port, QStringLiteral("1111"), QStringLiteral("неактивний")));
        QCOMPARE(rowOf(11),
                 demoRow(11, folder().driver(11).port, QStringLiteral("1111"), QStringLiteral("АКТИВНИЙ")));
    }

    void theGridKeepsItsRowAcrossReloads() {
        const net::RecordsGridModel& grid = records().grid();
        QStringList captions;
        for (int column = 0; column < grid.columnCount(); ++column)
            captions.append(grid.headerData(column, Qt::Horizontal).toString());
        QCOMPARE(captions, (QStringList{QStringLiteral("ПОЗИВНИЙ"), QStringLiteral("ФІО  ВОДІЯ"),
                                        QStringLiteral("КОД (ПОРТ)"), QStringLiteral("ПАРОЛЬ"),
                                        QStringLiteral("АКТИВНІСТЬ")}));
        QCOMPARE(grid.data(grid.index(1, 2)).toString(), QString::number(folder().driver(12).port));
        QCOMPARE(records().currentRow(), 0); // the first opening stands on the first row

        records().setCurrentRow(5);
        QCOMPARE(records().rememberedRow(), 6);
        QSignalSpy moves(&records(), &net::ConnectionRecords::currentRowChanged);
        service().data.reopenConnectionRecords();
        QCOMPARE(moves.size(), 1);
        QCOMPARE(records().currentRow(), 5);
        QCOMPARE(records().currentRecord()->callsign, 16);

        changeTable({QStringLiteral("DELETE FROM GPRS_SET_KLIENT WHERE GPRS_SET_KLIENT_POZ > 14")});
        QCOMPARE(records().currentRow(), 3); // the last row
        QCOMPARE(records().currentRecord()->callsign, 14);

        changeTable({QStringLiteral("DELETE FROM GPRS_SET_KLIENT")});
        QCOMPARE(records().currentRow(), -1);
        records().deleteCurrent();
        records().cleanUp();
        records().forceOffCurrent();
        records().edit(QStringLiteral("1"), QStringLiteral("901"));
        QVERIFY(op().questions.isEmpty()); // nothing to work on
    }
};

QTEST_GUILESS_MAIN(ConnectionRecordsTest)
#include "test_connection_records.moc"
