// The real program meeting faults from outside: the dispatcher database server going away in the middle of
// the drivers' work, the start-up after it, and a terminal that floods its port with garbage.

#include "support/fake_terminal.h"
#include "support/program.h"
#include "support/service_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace taxi::test;

namespace {

// How the answer to an outdated terminal's "@PZ3@" ends: the mark that a terminal's earlier requests are
// done.
const QByteArray kOutdatedTerminalAnswered = "</DataClient>@";

// A terminal on a plain blocking socket, for timing round trips to the microsecond without an event loop.
class TimedTerminal {
public:
    ~TimedTerminal() {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool connectTo(quint16 port) {
        for (int attempt = 0; attempt < 400; ++attempt) {
            m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
                return true;
            ::close(m_fd);
            m_fd = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Sends the request and reads up to its reply's "@": the time it took in milliseconds, -1 on failure.
    double roundTrip(const QByteArray& request) {
        const auto start = std::chrono::steady_clock::now();
        if (::send(m_fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
            return -1;
        char byte = 0;
        do {
            if (::recv(m_fd, &byte, 1, 0) != 1)
                return -1;
        } while (byte != '@');
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    int descriptor() const { return m_fd; }

private:
    int m_fd = -1;
};

// Garbage as a broken or hostile terminal sends it, at a steady rate while switched on: long runs without
// "@", requests cut off before their closing "@", and frames of no command at all. None of it may form a
// real request ("@S" followed by a frame would be "@S@"): each cut-off request is followed by a character
// that no command has there.
class Flooder {
public:
    Flooder(int descriptor, qint64 bytesPerSecond)
        : m_fd(descriptor), m_sliceBytes(bytesPerSecond / kSlicesPerSecond), m_garbage(garbage()) {
        m_thread = std::thread([this] { run(); });
    }
    ~Flooder() {
        m_stop = true;
        m_thread.join();
    }
    void setOn(bool on) { m_on = on; }
    qint64 bytesSent() const { return m_sent; }

private:
    static constexpr int kSlicesPerSecond = 50;

    // Made once: while flooding, this thread only sends, so that what the other terminals feel is the
    // service's handling of the flood and not the making of it.
    static QByteArray garbage() {
        std::mt19937 random(7);
        const QByteArray alphabet = "abcdefghijklmnopqrstuvwxyz0123456789 ,.;:()[]{}<>";
        QByteArray bytes;
        while (bytes.size() < 1024 * 1024) {
            switch (random() % 4) {
            case 0: // a run longer than a request may grow
                for (int i = 0; i < 1500; ++i)
                    bytes += alphabet.at(int(random() % alphabet.size()));
                break;
            case 1: // half a request, whose end never comes: what follows is not its end
                bytes += "@PZ7 ";
                break;
            case 2: // frames that name no command
                bytes += "@" + QByteArray::number(quint32(random())) + "@";
                break;
            default:
                bytes += "@S-";
            }
        }
        return bytes;
    }

    void run() {
        qsizetype offset = 0;
        while (!m_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1000 / kSlicesPerSecond));
            if (!m_on)
                continue;
            const qsizetype size = std::min(m_sliceBytes, m_garbage.size() - offset);
            if (::send(m_fd, m_garbage.constData() + offset, size_t(size), MSG_NOSIGNAL) > 0)
                m_sent += size;
            offset = (offset + size) % m_garbage.size();
        }
    }

    int m_fd;
    qsizetype m_sliceBytes;
    QByteArray m_garbage;
    std::atomic<bool> m_on{false};
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::thread m_thread;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp;
    std::unique_ptr<ServiceFolder> m_folder;

    std::unique_ptr<Program> startService(bool pressStart = true) {
        auto service = std::make_unique<Program>(QStringLiteral("/src/app/taxi-gprs"), m_temp.path());
        QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--workdir"), m_folder->path()};
        if (pressStart)
            arguments.append(QStringLiteral("--start"));
        if (!service->start(arguments))
            return nullptr;
        return service;
    }

    bool bind(FakeTerminal& phone, int callsign) {
        sendLogin(m_folder->mainPort(), m_folder->driver(callsign).port, QStringLiteral("1111"));
        return phone.connectTo(m_folder->driver(callsign).port, 20000) &&
               QTest::qWaitFor([&] { return m_folder->offerRows(callsign) == 1; }, 20000);
    }

    int count(const QString& select) { return m_folder->dispatcherNumber(select); }

private slots:
    void init() { m_folder = std::make_unique<ServiceFolder>(); }
    void cleanup() { m_folder.reset(); }

    // The server goes away while three drivers make pick-ups as fast as they are answered. The program
    // must end with status 3 within two ticks, and every request the cut interrupted must be gone whole:
    // the order, the client's count and the driver's move are one transaction.
    void lostDispatcherDatabaseEndsTheProgramAndTheNextStartCleansUp() {
        m_folder->writeSettings({{QStringLiteral("SET_DYI_VODIY/PIDSADKA"), QStringLiteral("1")}});
        m_folder->createSettingsDatabase();
        // Without a free-ride threshold the client's count is the number of pick-ups, nothing subtracted.
        m_folder->dispatcherExecute(
            {QStringLiteral("UPDATE DANI_FIRMI SET FIRMA_KIL_DLIA_BEZKOCHT_POIZDKI = 0")});
        const QList<int> callsigns{11, 12, 13};
        auto service = startService();
        QVERIFY(service);
        QVERIFY2(service->waitForOutputLine(
                     QStringLiteral("ДО СПИСКА ДОДАНИЙ ПОРТ > %1").arg(m_folder->mainPort())),
                 service->transcript());
        std::map<int, FakeTerminal> phones;
        for (int callsign : callsigns)
            QVERIFY2(bind(phones[callsign], callsign), service->transcript());

        // Each terminal sends its next pick-up as soon as the previous one is answered.
        std::map<int, int> sent;
        const auto keepPickingUp = [&] {
            for (auto& [callsign, phone] : phones) {
                if (int(phone.received().count(kOutdatedTerminalAnswered)) == sent[callsign]) {
                    phone.send("@PD(00230)@@PZ3@");
                    ++sent[callsign];
                }
            }
        };
        QElapsedTimer working;
        working.start();
        while (working.elapsed() < 1500) {
            keepPickingUp();
            QTest::qWait(1);
        }
        QElapsedTimer sinceCut;
        sinceCut.start();
        m_folder->network().cut();
        while (service->isRunning() && sinceCut.elapsed() < 5000) {
            keepPickingUp();
            QTest::qWait(1);
        }
        const qint64 exitMs = sinceCut.elapsed();
        QVERIFY2(service->waitForExit(1000), service->transcript());
        qInfo("the program ended %lld ms after the cut, with status %d", static_cast<long long>(exitMs),
              service->exitCode());
        QCOMPARE(service->exitCode(), 3);
        QVERIFY2(exitMs <= 2500, QByteArray::number(exitMs));

        const int pickUps =
            count(QStringLiteral("SELECT COUNT(*) FROM ZAMOVLENNIA WHERE ZAMOVL_PRIYOM_ZAMOVL = 'GPRS'"));
        QVERIFY(pickUps > 0);
        QCOMPARE(count(QStringLiteral("SELECT KLIENT_KIL_VIKLIK FROM KLIENT WHERE KLIENT_NOMER = 4")),
                 pickUps);
        for (int callsign : callsigns) {
            QCOMPARE(m_folder->dispatcherNumber(
                         QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO WHERE "
                                        "ZAD_AVTO_POZIVNIY = ? AND ZAD_AVTO_VULICA = '[]{}'"),
                         {callsign}),
                     1);
        }
        // The journal commits its entries on their own: only the entry of the request the cut interrupted
        // may be there without its pick-up.
        const int entries = count(QStringLiteral("SELECT COUNT(*) FROM DYA_VODIY_GPRS WHERE "
                                                 "DYA_VODIY_GPRS_DYA = 'Створення підсадки у водія'"));
        QVERIFY2(entries == pickUps || entries == pickUps + 1,
                 qPrintable(QStringLiteral("%1 entries, %2 pick-ups").arg(entries).arg(pickUps)));
        qInfo("%d pick-ups written whole before the cut, %d journal entries", pickUps, entries);

        // The program that ended could not clear its terminals' marks; the next start-up does.
        QCOMPARE(m_folder->offerRows(), 3);
        QCOMPARE(m_folder->markedCars(), 3);
        QCOMPARE(m_folder->recordActivities().value(11), QStringLiteral("АКТИВНИЙ"));
        m_folder->writeSettings({{QStringLiteral("SHLYAH_BAZA/SERVER"), QStringLiteral("localhost:")}});
        auto restarted = startService(false);
        QVERIFY(restarted);
        QVERIFY2(restarted->waitForOutputLine(QStringLiteral("МОНІТОРИНГ")), restarted->transcript());
        QTRY_COMPARE_WITH_TIMEOUT(m_folder->offerRows(), 0, 15000);
        QCOMPARE(m_folder->markedCars(), 0);
        restarted->signal(SIGTERM);
        QVERIFY2(restarted->waitForExit(10000), restarted->transcript());
        QCOMPARE(restarted->exitCode(), 0);
        const QMap<int, QString> activities = m_folder->recordActivities();
        QVERIFY(!activities.isEmpty());
        for (const QString& activity : activities)
            QCOMPARE(activity, QStringLiteral("неактивний"));
    }

    // A terminal floods its port with garbage and requests that never end, at 2 MB/s (a phone on the
    // mobile network sends a few kB/s). The other drivers' replies must not take 10 % longer.
    //
    // The machine is shared and its load drifts: quiet and flooded phases alternate (quiet, flood, flood,
    // quiet, ...), each round compares the median of its flooded phase with that of its quiet phase, and
    // the verdict is the median of the rounds' ratios, which a few disturbed rounds cannot move.
    void floodingTerminalDoesNotSlowTheOthers() {
        m_folder->writeSettings({{QStringLiteral("SHLYAH_BAZA/SERVER"), QStringLiteral("localhost:")}});
        m_folder->createSettingsDatabase();
        auto service = startService();
        QVERIFY(service);
        QVERIFY2(service->waitForOutputLine(
                     QStringLiteral("ДО СПИСКА ДОДАНИЙ ПОРТ > %1").arg(m_folder->mainPort())),
                 service->transcript());
        std::vector<std::unique_ptr<TimedTerminal>> terminals;
        for (int callsign : {11, 12, 13}) {
            sendLogin(m_folder->mainPort(), m_folder->driver(callsign).port, QStringLiteral("1111"));
            terminals.push_back(std::make_unique<TimedTerminal>());
            QVERIFY2(terminals.back()->connectTo(m_folder->driver(callsign).port), service->transcript());
            QTRY_COMPARE_WITH_TIMEOUT(m_folder->offerRows(callsign), 1, 20000);
        }
        Flooder flooder(terminals[2]->descriptor(), 2 * 1024 * 1024);

        constexpr int kRounds = 24;
        constexpr int kRequestsPerPhase = 40;
        std::vector<double> quiet, flooded, ratios;
        const auto phase = [&](bool flood) {
            QCoreApplication::processEvents(); // keeps the service's output pipe drained
            flooder.setOn(flood);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::vector<double> latencies;
            for (int i = 0; i < kRequestsPerPhase; ++i) {
                const double ms = terminals[std::size_t(i % 2)]->roundTrip("@PZ7@");
                if (ms < 0)
                    return std::vector<double>{};
                latencies.push_back(ms);
            }
            (flood ? flooded : quiet)
                .insert((flood ? flooded : quiet).end(), latencies.begin(), latencies.end());
            return latencies;
        };
        for (int round = 0; round < kRounds; ++round) {
            const bool floodFirst = round % 2 == 1;
            const std::vector<double> first = phase(floodFirst);
            const std::vector<double> second = phase(!floodFirst);
            QVERIFY2(!first.empty() && !second.empty(), "a terminal lost its connection");
            ratios.push_back(floodFirst ? median(first) / median(second) : median(second) / median(first));
        }
        flooder.setOn(false);
        const double ratio = median(ratios);
        qInfo("reply latency of @PZ7@: median %.3f ms quiet, %.3f ms while flooded (%lld bytes of garbage); "
              "median of %d rounds' ratios %.3f (lowest %.3f, highest %.3f)",
              median(quiet), median(flooded), static_cast<long long>(flooder.bytesSent()), kRounds, ratio,
              *std::min_element(ratios.begin(), ratios.end()),
              *std::max_element(ratios.begin(), ratios.end()));
        QVERIFY2(ratio < 1.10,
                 qPrintable(QStringLiteral("flooded replies took %1 times as long").arg(ratio)));

        // The flood reached the service, which is still there and still clean about it.
        QVERIFY(flooder.bytesSent() > 1024 * 1024);
        service->signal(SIGTERM);
        QVERIFY2(service->waitForExit(10000), service->transcript());
        QCOMPARE(service->exitCode(), 0);
        QVERIFY2(!service->errors().contains(QStringLiteral("ERROR")), service->transcript());
    }
};

QTEST_GUILESS_MAIN(FaultsTest)
#include "test_faults.moc"
