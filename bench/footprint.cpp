// The service's footprint: resident memory per bound terminal, and the time the start of the distribution
// (CREATE_PORT) takes for many connection records.
//
// Runs the whole service in this process on a fleet of drivers. A few terminals are bound first, so that
// what the first requests set up once is not counted; the resident memory is read, the other terminals are
// bound, and the growth is divided among them. Then a service on another fleet of connection records is
// started and stopped a few times, the start timed.
//
//   footprint [--terminals N] [--records R] [--smoke] [--check]
//
// --check exits 1 when a bound terminal costs kMostPerTerminalKb or more, or the start's median takes
// kLongestStartMs or more; a run that could not be made exits 2.

#include "app/service.h"
#include "bench/bench_arguments.h"
#include "bench/fleet.h"
#include "bench/resident_memory.h"
#include "bench/run_until.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

using namespace taxi;
using namespace taxi::bench;
using namespace std::chrono_literals;

namespace {

constexpr double kMostPerTerminalKb = 16;
constexpr qint64 kLongestStartMs = 300;
constexpr int kWarmUpTerminals = 10;
constexpr int kStarts = 3;

// KiB of resident memory per terminal bound after the first few.
double residentPerTerminal(int terminals) {
    Fleet fleet(terminals);
    if (!fleet.bind(kWarmUpTerminals))
        throw std::runtime_error("the first terminals were not bound");
    runUntil([] { return false; }, 1s); // what the first binds left to do settles
    const qint64 before = residentKb();
    if (!fleet.bind(terminals))
        throw std::runtime_error("the terminals were not bound");
    runUntil([] { return false; }, 1s);
    const qint64 after = residentKb();
    std::printf("resident memory: %lld KiB with %d terminals bound, %lld KiB with %d\n",
                static_cast<long long>(before), kWarmUpTerminals, static_cast<long long>(after), terminals);
    return double(after - before) / (terminals - kWarmUpTerminals);
}

// The start button's time in ms for each of a few starts, the distribution stopped in between.
QList<qint64> startTimes(int records) {
    Fleet fleet(records, {}, false);
    Service& service = fleet.service();
    QList<qint64> times;
    for (int i = 0; i < kStarts; ++i) {
        QElapsedTimer starting;
        starting.start();
        service.pressStartStop();
        times.append(starting.elapsed());
        if (!service.control.isDistributing())
            throw std::runtime_error("the distribution did not start");
        service.pressStartStop(); // the scripted operator confirms the stop
    }
    return times;
}

} // namespace

int main(int argc, char* argv[]) {
    return benchMain(argc, argv, "footprint", [](const BenchArguments& arguments) {
        const bool smoke = arguments.smoke();
        const int terminals = std::max(arguments.number(QStringLiteral("--terminals"), smoke ? 100 : 1000),
                                       kWarmUpTerminals + 1);
        const int records = arguments.number(QStringLiteral("--records"), smoke ? 500 : 2000);

        const double perTerminal = residentPerTerminal(terminals);
        std::printf("resident memory per bound terminal: %.1f KiB\n", perTerminal);
        QList<qint64> times = startTimes(records);
        std::sort(times.begin(), times.end());
        const qint64 startMs = times.at(times.size() / 2);
        std::printf("start of the distribution (CREATE_PORT) with %d connection records: median %lld ms of",
                    records, static_cast<long long>(startMs));
        for (const qint64 time : times)
            std::printf(" %lld", static_cast<long long>(time));
        std::printf("\n");

        if (!arguments.check())
            return 0;
        bool met = true;
        if (perTerminal >= kMostPerTerminalKb) {
            std::printf("FAILED: a bound terminal costs %.1f KiB, not under %.0f KiB\n", perTerminal,
                        kMostPerTerminalKb);
            met = false;
        }
        if (startMs >= kLongestStartMs) {
            std::printf("FAILED: the start takes %lld ms, not under %lld ms\n",
                        static_cast<long long>(startMs), static_cast<long long>(kLongestStartMs));
            met = false;
        }
        return met ? 0 : 1;
    });
}
