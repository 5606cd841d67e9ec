// The one-second tick under a flood of connects on the main port.
//
// Runs the whole service in this process on the demo databases, while threads of this process connect
// to its main port and hang up again as fast as the system lets them. Prints the longest gap between two
// ticks, the resident memory before, at its highest and at the end, and how long the stop takes.
//
//   tick_under_flood [SECONDS] [--check]
//
// With --check it exits 1 when a gap reached two seconds or the memory grew without bound.

#include "app/service.h"
#include "bench/resident_memory.h"
#include "support/service_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFloodThreads = 2;
constexpr qint64 kLongestAllowedGapMs = 2000;
// Growth of the resident memory over the flood that still counts as bounded: the monitoring log at its
// greatest length, the connections in flight and the allocator's slack fit well within it.
constexpr qint64 kAllowedGrowthKb = 64 * 1024;

// Connects to the port and hangs up at once, over and over, until told to stop.
void flood(quint16 port, const std::atomic<bool>& stop, std::atomic<qint64>& connects) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    while (!stop.load()) {
        const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
        if (handle < 0)
            continue;
        timeval timeout{0, 200'000};
        ::setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            ++connects;
        ::close(handle);
    }
}

} // namespace

using taxi::bench::residentKb;

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const bool check = arguments.contains(QStringLiteral("--check"));
    int seconds = 60;
    for (const QString& argument : arguments.mid(1)) {
        if (!argument.startsWith(QLatin1String("--")))
            seconds = argument.toInt();
    }

    taxi::test::ServiceFolder folder;
    folder.writeSettings();
    folder.createSettingsDatabase();
    auto running = std::make_unique<taxi::test::RunningService>(folder);
    taxi::Service& service = **running;
    if (!service.control.isDistributing()) {
        std::fprintf(stderr, "the distribution did not start\n");
        return 2;
    }

    QElapsedTimer sinceLastTick;
    qint64 longestGapMs = 0;
    int ticks = 0;
    const qint64 residentBefore = residentKb();
    qint64 residentHighest = residentBefore;
    QObject::connect(&service.timer1, &taxi::MainTimer::ticked, [&] {
        longestGapMs = std::max(longestGapMs, sinceLastTick.elapsed());
        sinceLastTick.start();
        ++ticks;
        residentHighest = std::max(residentHighest, residentKb());
        if (ticks % 10 == 0)
            std::printf("after %d s: resident %lld kB, %lld log lines, %lld operator errors\n", ticks,
                        static_cast<long long>(residentKb()),
                        static_cast<long long>(service.log.lines().size()),
                        static_cast<long long>(running->op().errors.size()));
    });

    std::atomic<bool> stop{false};
    std::atomic<qint64> connects{0};
    std::vector<std::thread> flooders;
    for (int i = 0; i < kFloodThreads; ++i)
        flooders.emplace_back(flood, folder.mainPort(), std::cref(stop), std::ref(connects));

    QElapsedTimer flooding;
    flooding.start();
    sinceLastTick.start(); // a tick that never comes is a gap as long as the flood
    QTimer::singleShot(seconds * 1000, &application, &QCoreApplication::quit);
    application.exec();
    // The gap still running at the end counts as well.
    longestGapMs = std::max(longestGapMs, sinceLastTick.elapsed());
    const qint64 floodMs = flooding.elapsed();
    const qint64 residentAtEnd = residentKb();

    QElapsedTimer stopping;
    stopping.start();
    running.reset(); // stops the distribution and closes the databases, as the end of the process would
    const qint64 stopMs = stopping.elapsed();
    stop = true;
    for (std::thread& flooder : flooders)
        flooder.join();

    std::printf("flood: %lld connects in %.1f s (%.0f per second)\n", static_cast<long long>(connects.load()),
                double(floodMs) / 1000,
                double(connects.load()) * 1000 / double(std::max<qint64>(floodMs, 1)));
    std::printf("tick: %d ticks, longest gap %lld ms\n", ticks, static_cast<long long>(longestGapMs));
    std::printf("memory: resident %lld kB before, %lld kB at most, %lld kB at the end\n",
                static_cast<long long>(residentBefore), static_cast<long long>(residentHighest),
                static_cast<long long>(residentAtEnd));
    std::printf("stop: %lld ms\n", static_cast<long long>(stopMs));

    if (!check)
        return 0;
    const bool tickKeptTime = longestGapMs < kLongestAllowedGapMs;
    const bool memoryBounded = residentHighest - residentBefore < kAllowedGrowthKb;
    if (!tickKeptTime)
        std::printf("FAILED: the tick was held up for %lld ms\n", static_cast<long long>(longestGapMs));
    if (!memoryBounded)
        std::printf("FAILED: the resident memory grew by %lld kB\n",
                    static_cast<long long>(residentHighest - residentBefore));
    return tickKeptTime && memoryBounded ? 0 : 1;
}
