#include "app/service.h"
#include "net/listener.h"
#include "support/fake_terminal.h"
#include "support/service_fixture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const QString kNoSettingsFile = QStringLiteral(
    "Не найдено файл налаштування зєднання з головною базою даних (SETSERVER.INI). Після виправлення помилки "
    "повторіть спробу !!!");
const QString kNoConnection =
    QStringLiteral("Немає можливості запустити роздачі, так як немає зєднання з базою данних !!!");
const QString kCreating = QStringLiteral("Створення бази даних налаштувань зєднань TAXI_GPRS.FDB !!!");
const QString kCreated = QStringLiteral(
    "База даних налаштувань зєднань TAXI_GPRS.FDB успішно створена. При потребі збережіть налаштування !!!");
const QString kCreationFailed = QStringLiteral(
    "Помилка в створені бази даних налаштувань зєднань TAXI_GPRS.FDB (невірні логін/пароль сервера). Після "
    "виправлення помилки повторіть спробу !!!");
const QString kCannotClose = QStringLiteral(
    "НЕМАЄ МОЖЛИВОСТІ ЗАКРИТИ ПРОГРАМУ - ВКЛЮЧЕНІ РОЗДАЧИ (потрібно спочатку обнулити роздачи)");
const QString kConfirmStop = QStringLiteral(
    "При закритті роздач пропадуть зєднання з водіями (при умові їх наявності). Закрити роздачі ????");
const QString kDatabaseLost = QStringLiteral(
    "НЕМАЄ  ЗВЯЗКУ З БАЗОЮ (можливо пропала сітка або т.і.) --- ВИХІД З ПРОГРАМИ.\n ПІСЛЯ ОБНОВЛЕННЯ ЗВЯЗКУ "
    "ПЕРЕЗАПУСТІТЬ ПРОГРАМУ І ОБНОВІТЬ РОЗДАЧИ.");
const QString kStatusOn = QStringLiteral("РОЗДАЧИ  ВКЛЮЧЕНІ");
const QString kStatusOff = QStringLiteral("РОЗДАЧИ НЕ ЗАДІЯНІ");

bool noDatabaseOpen(Service& service) {
    return !service.data.baza.isAttached() && !service.data.bazaGprs.isAttached();
}

} // namespace

// The life of the whole service in this process: start-up, start and stop of the distribution, closing
// and the loss of the dispatcher database.
class ServiceControlTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ServiceFolder> m_folder;
    std::unique_ptr<RunningService> m_service;

    // A folder with SETSERVER.INI and TAXI_GPRS.FDB and the service started in it, distribution off.
    void startUp() {
        m_folder = std::make_unique<ServiceFolder>();
        m_folder->writeSettings();
        m_folder->createSettingsDatabase();
        m_service = std::make_unique<RunningService>(*m_folder, false);
        QCOMPARE(m_service->op().errors, QStringList());
        QCOMPARE(m_service->op().informed, QStringList());
    }
    Service& service() { return **m_service; }
    ScriptedOperator& op() { return m_service->op(); }

    net::Listener& listenerOf(int callsign) {
        auto& connections = service().connections;
        return connections.driverListener(connections.firstListenerOnPort(m_folder->driver(callsign).port));
    }

    // The driver logs in and his terminal connects to his port.
    void bind(FakeTerminal& phone, int callsign) {
        sendLogin(m_folder->mainPort(), m_folder->driver(callsign).port, m_folder->driver(callsign).password);
        QTRY_VERIFY(listenerOf(callsign).isListening());
        QVERIFY(phone.connectTo(m_folder->driver(callsign).port));
        QTRY_COMPARE(m_folder->offerRows(), 1);
    }

    QString activity(int callsign) {
        service().data.reopenConnectionRecords();
        for (const db::Row& record : service().data.connectionRecords().rows()) {
            if (record[QStringLiteral("GPRS_SET_KLIENT_POZ")].toInt() == callsign)
                return record[QStringLiteral("GPRS_SET_KLIENT_ACTIVNIST")].toText();
        }
        return QStringLiteral("<no record>");
    }

    void pressStart() {
        service().pressStartStop();
        QVERIFY2(service().control.isDistributing(), qPrintable(op().errors.join(QLatin1Char('\n'))));
        QCOMPARE(service().control.statusText(), kStatusOn);
        QCOMPARE(service().counters.incoming(), 0);
        QCOMPARE(service().counters.outgoing(), 0);
    }

private slots:
    void cleanup() {
        m_service.reset();
        m_folder.reset();
    }

    void startUpWithoutUsableSettingsOpensNothing_data() {
        QTest::addColumn<bool>("settingsFile");
        QTest::addColumn<QString>("mainPort");
        QTest::newRow("no SETSERVER.INI") << false << QString();
        QTest::newRow("main port 0") << true << QStringLiteral("0");
    }
    void startUpWithoutUsableSettingsOpensNothing() {
        QFETCH(bool, settingsFile);
        QFETCH(QString, mainPort);
        m_folder = std::make_unique<ServiceFolder>();
        if (settingsFile)
            m_folder->writeSettings({{QStringLiteral("GPRS_TAXI/PORT_SERVER"), mainPort}});
        m_folder->createSettingsDatabase();
        m_service = std::make_unique<RunningService>(*m_folder, false);
        QCOMPARE(op().informed, QStringList{kNoSettingsFile});
        QVERIFY(noDatabaseOpen(service()));

        service().pressStartStop();
        QCOMPARE(op().informed, (QStringList{kNoSettingsFile, kNoConnection}));
        QVERIFY(!service().control.isDistributing());
        QCOMPARE(op().errors, QStringList());
    }

    void unreachableDispatcherAtStartUpBlocksTheStart() {
        m_folder = std::make_unique<ServiceFolder>();
        m_folder->writeSettings();
        m_folder->createSettingsDatabase();
        m_folder->network().cut();
        m_service = std::make_unique<RunningService>(*m_folder, false);
        QCOMPARE(op().errors.size(), 1);
        QVERIFY(!service().data.baza.isAttached());

        service().pressStartStop();
        QCOMPARE(op().informed, QStringList{kNoConnection});
        QVERIFY(!service().control.isDistributing());
    }

    void missingSettingsDatabaseIsCreatedAndLeftClosed() {
        m_folder = std::make_unique<ServiceFolder>();
        m_folder->writeSettings();
        m_service = std::make_unique<RunningService>(*m_folder, false);
        QCOMPARE(op().informed, (QStringList{kCreating, kCreated}));
        QVERIFY(QFile::exists(QDir(m_folder->path()).filePath(DataModule::kSettingsDatabaseFile)));
        QVERIFY(noDatabaseOpen(service()));
        QCOMPARE(service().control.state(), ServiceControl::State::Idle);

        service().pressStartStop(); // usable only after a restart
        QCOMPARE(op().informed.last(), kNoConnection);
    }

    void failedCreationEndsTheProgram() {
        // TAXI_GPRS.FDB names a disk that is gone: the file cannot be made, not even by root.
        QTemporaryDir folder;
        QVERIFY(QFile::link(QStringLiteral("/nonexistent-disk/TAXI_GPRS.FDB"),
                            folder.filePath(DataModule::kSettingsDatabaseFile)));
        const WorkingFolder inFolder(folder.path());
        ScriptedOperator op;
        Service service(op);
        QSignalSpy ended(&service, &Service::endRequested);

        service.startUp();

        QCOMPARE(op.informed, (QStringList{kCreating, kCreationFailed}));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().toInt(), ServiceControl::kExitSettingsDatabaseFailed);
        QCOMPARE(service.control.state(), ServiceControl::State::Ended);
        QVERIFY(noDatabaseOpen(service));
        service.timer1.stop();
    }

    void closingIsRefusedUntilAConfirmedStop() {
        startUp();
        pressStart();
        FakeTerminal phone;
        bind(phone, 11);
        QCOMPARE(m_folder->markedCars(), 1);
        QCOMPARE(activity(11), QStringLiteral("АКТИВНИЙ"));

        QVERIFY(!service().requestClose());
        QCOMPARE(op().informed.last(), kCannotClose);
        QVERIFY(service().control.isDistributing());

        op().answers = {false};
        service().pressStartStop();
        QCOMPARE(op().questions, QStringList{kConfirmStop});
        QVERIFY(service().control.isDistributing());
        QVERIFY(phone.isConnected());
        QCOMPARE(m_folder->offerRows(), 1);

        op().answers = {true};
        service().pressStartStop();
        QCOMPARE(op().questions.size(), 2);
        QCOMPARE(service().control.statusText(), kStatusOff);
        QCOMPARE(service().counters.incoming(), 0);
        QVERIFY(phone.waitForClosedByService());
        FakeTerminal late;
        QVERIFY(!late.connectTo(m_folder->mainPort(), 500));
        QCOMPARE(m_folder->offerRows(), 0);
        QCOMPARE(m_folder->markedCars(), 0);
        QCOMPARE(activity(11), QStringLiteral("АКТИВНИЙ")); // until the next start-up of the program

        QVERIFY(service().requestClose());
        QCOMPARE(service().control.state(), ServiceControl::State::Ended);
        QVERIFY(noDatabaseOpen(service()));
        QCOMPARE(op().errors, QStringList());
    }

    void newStartNeedsNewLogins() {
        startUp();
        pressStart();
        FakeTerminal phone;
        bind(phone, 12);
        service().pressStartStop(); // the operator confirms
        QVERIFY(!service().control.isDistributing());

        pressStart();
        QCOMPARE(service().connections.N(), int(m_folder->drivers().size()));
        QVERIFY(!listenerOf(12).isListening());
        FakeTerminal again;
        QVERIFY(!again.connectTo(m_folder->driver(12).port, 500));
        bind(again, 12);
        QCOMPARE(op().errors, QStringList());
    }

    void mainPortTakenLeavesTheDistributionOff() {
        startUp();
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::Any, m_folder->mainPort()));
        service().pressStartStop();
        QCOMPARE(op().errors.size(), 1);
        QVERIFY2(op().errors.first().contains(QString::number(m_folder->mainPort())),
                 qPrintable(op().errors.first()));
        QVERIFY(!service().control.isDistributing());
        QCOMPARE(service().control.statusText(), kStatusOff);

        squatter.close();
        pressStart();
    }

    void lostDispatcherDatabaseEndsTheDistribution_data() {
        QTest::addColumn<bool>("foundByTheButton");
        QTest::newRow("found by the tick") << false;
        QTest::newRow("found by the start/stop button") << true;
    }
    void lostDispatcherDatabaseEndsTheDistribution() {
        QFETCH(bool, foundByTheButton);
        startUp();
        pressStart();
        QSignalSpy ended(&service(), &Service::endRequested);
        m_folder->network().cut();
        QStringList expectedMessages{kDatabaseLost};
        if (foundByTheButton) {
            service().pressStartStop();
            expectedMessages.prepend(kNoConnection);
            QVERIFY(op().questions.isEmpty());
        }
        for (int tick = 0; tick < 2 && ended.isEmpty(); ++tick)
            service().timer1.tick();

        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().toInt(), ServiceControl::kExitDatabaseLost);
        QCOMPARE(op().informed, expectedMessages);
        QCOMPARE(service().control.statusText(), kStatusOff);
        QVERIFY(!service().timer1.isActive());
        QVERIFY(noDatabaseOpen(service()));
        QCOMPARE(op().errors, QStringList());
    }

    void lostDispatcherDatabaseWhileOffChangesNothing() {
        startUp();
        QSignalSpy ended(&service(), &Service::endRequested);
        m_folder->network().cut();
        service().timer1.tick();
        service().timer1.tick();

        QCOMPARE(ended.size(), 0);
        QCOMPARE(op().informed, QStringList());
        QCOMPARE(op().errors, QStringList());
        QVERIFY(service().timer1.isActive());
        QCOMPARE(service().control.state(), ServiceControl::State::Idle);

        service().pressStartStop();
        QCOMPARE(op().informed, QStringList{kNoConnection});
        QVERIFY(!service().control.isDistributing());
    }
};

QTEST_GUILESS_MAIN(ServiceControlTest)
#include "test_service_control.moc"
