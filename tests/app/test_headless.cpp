#include "support/fake_terminal.h"
#include "support/program.h"
#include "support/service_fixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace taxi::test;

namespace {

const QString kSecondCopyRefused =
    QStringLiteral("Немає можливості відкриття більше однієї копії програми !!!");
const QString kNoConnection =
    QStringLiteral("Немає можливості запустити роздачі, так як немає зєднання з базою данних !!!");
const QString kDatabaseLost = QStringLiteral("НЕМАЄ  ЗВЯЗКУ З БАЗОЮ (можливо пропала сітка або т.і.)");
const QString kSettingsDatabaseFailed =
    QStringLiteral("Помилка в створені бази даних налаштувань зєднань TAXI_GPRS.FDB");

// Reads the descriptor until the text has come, the writer has closed it, or the time is up.
bool readUntil(int descriptor, const QString& text, int timeoutMs = 15000) {
    const QByteArray wanted = text.toUtf8();
    QByteArray received;
    const QDeadlineTimer deadline(timeoutMs);
    while (!received.contains(wanted) && !deadline.hasExpired()) {
        pollfd readable{descriptor, POLLIN, 0};
        if (::poll(&readable, 1, int(deadline.remainingTime())) <= 0)
            break;
        char buffer[4096];
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got <= 0)
            break;
        received.append(buffer, got);
    }
    return received.contains(wanted);
}

int statusOf(QNetworkAccessManager& http, const QNetworkRequest& request, const QByteArray& verb,
             QByteArray* body = nullptr) {
    QNetworkReply* reply = http.sendCustomRequest(request, verb);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(10000))
        return -1;
    if (body)
        *body = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->deleteLater();
    return status;
}

QString scrape(QNetworkAccessManager& http, const QUrl& address) {
    QByteArray body;
    if (statusOf(http, QNetworkRequest(address), "GET", &body) != 200)
        return QString();
    return QString::fromUtf8(body);
}

} // namespace

// The headless service as outside tools see it: the real program, its exit statuses, its stdout and
// stderr, its signals and the dispatcher database rows it leaves behind.
class HeadlessTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ServiceFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_tempFolder;

    void prepareFolder(const QMap<QString, QString>& settings = {}) {
        m_folder = std::make_unique<ServiceFolder>();
        m_folder->writeSettings(settings);
        m_folder->createSettingsDatabase();
    }

    std::unique_ptr<Program> service() {
        return std::make_unique<Program>(QStringLiteral("/src/app/taxi-gprs"), m_tempFolder->path());
    }

    QStringList headlessArguments(bool pressStart = true, const QStringList& extra = {}) const {
        QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--workdir"), m_folder->path()};
        arguments += extra;
        if (pressStart)
            arguments.append(QStringLiteral("--start"));
        return arguments;
    }

    // The service distributing, with the driver's terminal logged in and bound to his port.
    void startAndBind(Program& running, FakeTerminal& phone, int callsign, const QStringList& extra = {}) {
        QVERIFY(running.start(headlessArguments(true, extra)));
        QVERIFY2(running.waitForOutputLine(
                     QStringLiteral("ДО СПИСКА ДОДАНИЙ ПОРТ > %1").arg(m_folder->mainPort())),
                 running.transcript());
        sendLogin(m_folder->mainPort(), m_folder->driver(callsign).port, QStringLiteral("1111"));
        QVERIFY2(running.waitForOutputLine(QStringLiteral("Запит на вхід водія № %1").arg(callsign)),
                 running.transcript());
        QVERIFY(phone.connectTo(m_folder->driver(callsign).port));
        QVERIFY2(running.waitForOutputLine(QStringLiteral("кіл. підк. = 1")), running.transcript());
        QTRY_COMPARE(m_folder->offerRows(), 1);
        QCOMPARE(m_folder->markedCars(), 1);
    }

private slots:
    void init() {
        m_tempFolder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tempFolder->isValid());
    }

    void cleanup() {
        m_folder.reset();
        m_tempFolder.reset();
    }

    // What a user asks of the program before anything else, answered on a server without a display.
    void helpAndVersionNeedNoDisplay_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("version") << "--version" << QStringList{QStringLiteral("taxi-gprs 2.4")};
        QTest::newRow("help") << "--help"
                              << QStringList{QStringLiteral("--headless"), QStringLiteral("--start"),
                                             QStringLiteral("--workdir <DIR>"),
                                             QStringLiteral("SETSERVER.INI"), QStringLiteral("Exit status")};
    }

    void helpAndVersionNeedNoDisplay() {
        QFETCH(QString, option);
        QFETCH(QStringList, expected);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(environment);
        program.start(builtProgram(QStringLiteral("/src/app/taxi-gprs")), {option});
        QVERIFY(program.waitForFinished(10000));
        const QString output = QString::fromUtf8(program.readAllStandardOutput());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        for (const QString& text : expected)
            QVERIFY2(output.contains(text), qPrintable(output));
    }

    // What monitoring systems read over HTTP while the service works: the terminals, the logins, the
    // requests and what was sent, the ticks.
    void metricsAreServedOverHttp() {
        prepareFolder();
        const quint16 metricsPort = freePort();
        auto running = service();
        FakeTerminal phone;
        startAndBind(*running, phone, 11,
                     {QStringLiteral("--metrics"), QStringLiteral("127.0.0.1:%1").arg(metricsPort)});
        sendLogin(m_folder->mainPort(), m_folder->driver(12).port, QStringLiteral("wrong"));
        phone.send("@PZ7@");
        QVERIFY(phone.waitForReplies(1));
        QVERIFY2(running->waitForOutputLine(
                     QStringLiteral("СПРОБА ПІДКЛЮЧЕННЯ ДО ПОРТА > %1").arg(m_folder->mainPort())),
                 running->transcript());

        QNetworkAccessManager http;
        const QUrl address(QStringLiteral("http://127.0.0.1:%1/metrics").arg(metricsPort));
        QString text;
        // The refused login is counted once its request has been read, and the first tick comes a second
        // after the start: the scrape is repeated until then.
        QTRY_VERIFY_WITH_TIMEOUT(
            (text = scrape(http, address))
                    .contains(QStringLiteral("taxi_gprs_logins_total{result=\"refused\"} 1\n")) &&
                !text.contains(QStringLiteral("taxi_gprs_ticks_total 0\n")),
            10000);
        for (const QString& line : {QStringLiteral("taxi_gprs_terminals_bound 1"),
                                    QStringLiteral("taxi_gprs_logins_total{result=\"accepted\"} 1"),
                                    QStringLiteral("taxi_gprs_requests_total{command=\"@PZ7@\"} 1"),
                                    QStringLiteral("taxi_gprs_database_link_losses_total 0")})
            QVERIFY2(text.split(QLatin1Char('\n')).contains(line),
                     qPrintable(line + QStringLiteral(" in\n") + text));
        const auto value = [&text](const QString& name) {
            for (const QString& line : text.split(QLatin1Char('\n'))) {
                if (line.startsWith(name + QLatin1Char(' ')))
                    return line.section(QLatin1Char(' '), 1).toDouble();
            }
            return -1.0;
        };
        QVERIFY(value(QStringLiteral("taxi_gprs_replies_sent_total")) >= 1);
        // The login, the refused login and "@PZ7@" at least; the histogram ends with all of them.
        QVERIFY(value(QStringLiteral("taxi_gprs_request_duration_seconds_count")) >= 3);
        QVERIFY(text.contains(QStringLiteral("taxi_gprs_request_duration_seconds_bucket{le=\"+Inf\"} ")));
        QVERIFY(value(QStringLiteral("taxi_gprs_statement_duration_seconds_count")) >= 1);

        // Read-only, and only that one page.
        QCOMPARE(statusOf(http, QNetworkRequest(address), "POST"), 404);
        QCOMPARE(statusOf(http,
                          QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(metricsPort))),
                          "GET"),
                 404);
    }

    void metricsThatCannotBeServedEndTheStart_data() {
        QTest::addColumn<bool>("portTaken");
        QTest::addColumn<QString>("message");
        QTest::newRow("not an address") << false << "--metrics wants an IP address and a port";
        QTest::newRow("port taken") << true << "Немає можливості віддавати метрики";
    }

    void metricsThatCannotBeServedEndTheStart() {
        QFETCH(bool, portTaken);
        QFETCH(QString, message);
        prepareFolder();
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        const QString endpoint = portTaken ? QStringLiteral("127.0.0.1:%1").arg(holder.serverPort())
                                           : QStringLiteral("localhost:port");
        auto running = service();
        QVERIFY(running->start(headlessArguments(true, {QStringLiteral("--metrics"), endpoint})));
        QVERIFY(running->waitForExit(10000));
        QCOMPARE(running->exitCode(), 1);
        QVERIFY2(running->errors().contains(message), running->transcript());
        QCOMPARE(m_folder->offerRows(), 0);
    }

    void terminationSignalStopsTheDistributionAndExitsZero_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void terminationSignalStopsTheDistributionAndExitsZero() {
        QFETCH(int, signalNumber);
        prepareFolder();
        auto running = service();
        FakeTerminal phone;
        startAndBind(*running, phone, 11);

        running->signal(signalNumber);
        QVERIFY2(running->waitForExit(5000), running->transcript());
        QCOMPARE(running->exitCode(), 0);
        QVERIFY2(!running->errors().contains(QStringLiteral("ERROR")), running->transcript());
        QCOMPARE(m_folder->offerRows(), 0);
        QCOMPARE(m_folder->markedCars(), 0);
        QVERIFY(phone.waitForClosedByService());
    }

    // The reader of the monitoring lines goes away (a pager quits, a log collector restarts): the
    // service's next line meets a closed pipe, and the service goes on.
    void closedOutputDoesNotEndTheService() {
        prepareFolder();
        auto running = service();
        int outputPipe[2];
        QVERIFY(::pipe2(outputPipe, O_CLOEXEC) == 0);
        running->sendOutputTo(outputPipe[1]);
        QVERIFY(running->start(headlessArguments()));
        ::close(outputPipe[1]);
        const bool listening =
            readUntil(outputPipe[0], QStringLiteral("ДО СПИСКА ДОДАНИЙ ПОРТ > %1").arg(m_folder->mainPort()));
        ::close(outputPipe[0]);
        QVERIFY2(listening, running->transcript());

        sendLogin(m_folder->mainPort(), m_folder->driver(11).port, QStringLiteral("1111"));
        FakeTerminal phone;
        QVERIFY2(phone.connectTo(m_folder->driver(11).port),
                 running->isRunning() ? "the driver's port did not open" : "the service has ended");
        QTRY_COMPARE(m_folder->offerRows(), 1);
        running->signal(SIGTERM);
        QVERIFY2(running->waitForExit(5000), running->transcript());
        QCOMPARE(running->exitCode(), 0);
        QCOMPARE(m_folder->offerRows(), 0);
        QCOMPARE(m_folder->markedCars(), 0);
    }

    // Every terminal holds a descriptor: the service takes all the system lets it have.
    void openFilesLimitIsRaisedToTheHardLimit() {
        rlimit own{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &own) == 0);
        if (own.rlim_max <= 256)
            QSKIP("the hard limit leaves nothing to raise");
        prepareFolder();
        auto running = service();
        running->startWithOpenFilesLimit(256);
        QVERIFY(running->start(headlessArguments(false)));
        QVERIFY2(running->waitForOutputLine(QStringLiteral("МОНІТОРИНГ")), running->transcript());

        const auto [soft, hard] = running->openFilesLimit();
        QVERIFY(!hard.isEmpty());
        QCOMPARE(soft, hard);
    }

    void startThatFailsExitsTwo_data() {
        QTest::addColumn<QString>("mainPort");
        QTest::addColumn<bool>("portTaken");
        QTest::addColumn<QString>("message");
        QTest::newRow("main port 0") << QStringLiteral("0") << false << kNoConnection;
        QTest::newRow("main port taken") << QString() << true << QStringLiteral("Cannot listen on port");
    }

    void startThatFailsExitsTwo() {
        QFETCH(QString, mainPort);
        QFETCH(bool, portTaken);
        QFETCH(QString, message);
        QMap<QString, QString> settings;
        if (!mainPort.isEmpty())
            settings.insert(QStringLiteral("GPRS_TAXI/PORT_SERVER"), mainPort);
        prepareFolder(settings);
        QTcpServer occupant;
        if (portTaken)
            QVERIFY(occupant.listen(QHostAddress::Any, m_folder->mainPort()));

        auto running = service();
        QVERIFY(running->start(headlessArguments()));
        QVERIFY2(running->waitForExit(15000), running->transcript());
        QCOMPARE(running->exitCode(), 2);
        QVERIFY2(running->errors().contains(message), running->transcript());
        QVERIFY(!running->output().contains(QStringLiteral("ДО СПИСКА ДОДАНИЙ ПОРТ")));
    }

    // A start-up that ends the program (here the settings database cannot be created) ends the
    // process too, instead of leaving it waiting for nothing.
    void startUpThatEndsTheProgramEndsTheProcess() {
        m_folder = std::make_unique<ServiceFolder>();
        m_folder->writeSettings();
        QVERIFY(QFile::link(QStringLiteral("/nonexistent-folder/TAXI_GPRS.FDB"),
                            QDir(m_folder->path()).filePath(QStringLiteral("TAXI_GPRS.FDB"))));

        auto running = service();
        QVERIFY(running->start(headlessArguments(false)));
        QVERIFY2(running->waitForExit(15000), running->transcript());
        QCOMPARE(running->exitCode(), 1);
        QVERIFY2(running->errors().contains(kSettingsDatabaseFailed), running->transcript());
    }

    void secondInstanceIsRefusedAndTheFirstGoesOn() {
        prepareFolder();
        auto first = service();
        FakeTerminal phone;
        startAndBind(*first, phone, 11);

        auto second = service();
        QVERIFY(second->start(headlessArguments()));
        QVERIFY2(second->waitForExit(5000), second->transcript());
        QVERIFY(second->exitCode() > 0);
        QVERIFY2(second->errors().contains(kSecondCopyRefused), second->transcript());
        QCOMPARE(second->output(), QString());

        QCOMPARE(m_folder->offerRows(), 1);
        QCOMPARE(m_folder->markedCars(), 1);
        phone.send("@PZ3@");
        QVERIFY(phone.waitForReplies(1));
        QVERIFY(phone.received().startsWith("<DataClient><NumZam>-1</NumZam>"));

        // The terminal simulator of the demo logs another driver in and gets its answer.
        Program simulator(QStringLiteral("/tools/terminal/taxi-gprs-terminal"), m_tempFolder->path());
        QVERIFY(
            simulator.start({QStringLiteral("--main-port"), QString::number(m_folder->mainPort()),
                             QStringLiteral("--port"), QString::number(m_folder->driver(12).port),
                             QStringLiteral("--password"), QStringLiteral("1111"), QStringLiteral("@PZ3@")}));
        QVERIFY2(simulator.waitForExit(15000), simulator.transcript());
        QCOMPARE(simulator.exitCode(), 0);
        QVERIFY2(simulator.output().contains(QStringLiteral("<< <DataClient><NumZam>-1</NumZam>")),
                 simulator.transcript());

        first->signal(SIGTERM);
        QVERIFY2(first->waitForExit(5000), first->transcript());
        QCOMPARE(first->exitCode(), 0);
    }

    void lostDispatcherDatabaseExitsThreeWithinTwoTicks() {
        prepareFolder();
        auto running = service();
        FakeTerminal phone;
        startAndBind(*running, phone, 11);

        QElapsedTimer sinceCut;
        sinceCut.start();
        m_folder->network().cut();
        QVERIFY2(running->waitForExit(2500), running->transcript());
        QVERIFY2(sinceCut.elapsed() <= 2500, QByteArray::number(sinceCut.elapsed()));
        QCOMPARE(running->exitCode(), 3);
        QVERIFY2(running->errors().contains(kDatabaseLost), running->transcript());
    }
};

QTEST_GUILESS_MAIN(HeadlessTest)
#include "test_headless.moc"
