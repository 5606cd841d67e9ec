// Requests a second and their latency with N terminals asking "@PZ7@" and "@S@" in a loop, beside the
// limit the database alone allows for the same statements.
//
// Runs the whole service in this process on a fleet of drivers and binds N real TCP terminals for every N
// (more are bound for the next N). In each round the terminals send "@PZ7@" and "@S@" by turns, each
// after the answer to the last, measured after a warm-up; with the terminals quiet, the same statements
// run through the data layer alone for as long, prepared once (before the first round and after each)
// and prepared each time. The machine is shared and its speed drifts: each round's service is compared
// with the mean of the limits measured right before and right after it, and the medians of the rounds
// are printed.
//
//   terminal_throughput [--terminals 50,200,1000] [--seconds MEASURED] [--rounds R] [--prepared-each-time]
//                       [--smoke] [--check]
//
// --prepared-each-time makes the service prepare every statement on each use, as it did before its
// connections kept them.
//
// The last line, "ratio: 0.NN", is the median of the rounds' ratios of the service's requests a second at
// kTargetTerminals terminals (or the nearest number measured) to the limit with the statements prepared
// once. --check exits 1 when it is below kLeastRatio; a run that could not be made (terminals not bound,
// answers missing) exits 2.

#include "app/service.h"
#include "bench/bench_arguments.h"
#include "bench/fleet.h"
#include "bench/latency_summary.h"
#include "bench/run_until.h"
#include "bench/statement_limit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

using namespace taxi;
using namespace taxi::bench;
using namespace std::chrono_literals;

namespace {

constexpr int kTargetTerminals = 200;
constexpr double kLeastRatio = 0.8;

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

struct Measured {
    int terminals = 0;
    QList<double> perSecond;
    QList<double> limitOnce;
    QList<double> limitEachTime;
    QList<double> ratios; // of each round: service ÷ limit prepared once
    QList<double> busy;   // share of the loop's time the service's thread worked
    std::vector<qint64> latenciesUs;
};

double limitOf(Fleet& fleet, Preparing preparing, std::chrono::milliseconds duration) {
    const StatementLimit limit = runBeside([&] {
        return measureStatementLimit(fleet.folder().dispatcherDatabaseName(), fleet.folder().credentials(),
                                     fleet.driver(0), preparing, duration);
    });
    return limit.perSecond();
}

// The processor time of this thread, the service's.
Clock::duration threadTime() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

// The request loop of the first `count` terminals: requests a second, with the latencies added to the list
// and the share of the time the service's thread worked added to the other.
double serviceLoop(Fleet& fleet, int count, Clock::duration warmUp, Clock::duration measured,
                   std::vector<qint64>& latenciesUs, QList<double>& busy) {
    const Clock::time_point start = Clock::now();
    const Clock::duration worked = threadTime();
    fleet.terminals().loop(count, {"@PZ7@", "@S@"}, warmUp, measured);
    if (!runUntil([&] { return fleet.terminals().loopDone(); },
                  std::chrono::duration_cast<std::chrono::milliseconds>(warmUp + measured) + 2min))
        throw std::runtime_error("the request loop did not end");
    const LoopFigures figures = fleet.terminals().takeLoopFigures();
    if (figures.answered == 0 || figures.timeouts > 0)
        throw std::runtime_error("requests went unanswered");
    latenciesUs.insert(latenciesUs.end(), figures.latenciesUs.begin(), figures.latenciesUs.end());
    busy.append(std::chrono::duration<double>(threadTime() - worked) /
                std::chrono::duration<double>(Clock::now() - start));
    return double(figures.answered) / figures.seconds;
}

} // namespace

int main(int argc, char* argv[]) {
    return benchMain(argc, argv, "terminal_throughput", [](const BenchArguments& arguments) {
        const bool smoke = arguments.smoke();
        const QList<int> counts = arguments.numbers(QStringLiteral("--terminals"),
                                                    smoke ? QList<int>{20} : QList<int>{50, 200, 1000});
        const auto measured =
            std::chrono::seconds(arguments.number(QStringLiteral("--seconds"), smoke ? 1 : 5));
        const int rounds = arguments.number(QStringLiteral("--rounds"), smoke ? 1 : 3);
        const auto warmUp = smoke ? 1s : 2s;

        Fleet fleet(*std::max_element(counts.begin(), counts.end()));
        if (arguments.has(QStringLiteral("--prepared-each-time"))) {
            // The service as it was before its connections kept their statements.
            fleet.service().data.baza.statements().setCapacity(0);
            fleet.service().data.bazaGprs.statements().setCapacity(0);
        }
        QList<Measured> results;
        for (const int count : counts) {
            QElapsedTimer binding;
            binding.start();
            if (!fleet.bind(count))
                return 2;
            std::printf("terminals %d: bound (%.1f s)\n", count, double(binding.elapsed()) / 1000);
            Measured result{count, {}, {}, {}, {}, {}, {}};
            // Each round's service is compared with the limit measured right before and right after it.
            double onceBefore = limitOf(fleet, Preparing::Once, measured);
            for (int round = 1; round <= rounds; ++round) {
                result.perSecond.append(
                    serviceLoop(fleet, count, warmUp, measured, result.latenciesUs, result.busy));
                const double onceAfter = limitOf(fleet, Preparing::Once, measured);
                result.limitOnce.append((onceBefore + onceAfter) / 2);
                result.limitEachTime.append(limitOf(fleet, Preparing::EachTime, measured));
                result.ratios.append(result.perSecond.last() / result.limitOnce.last());
                onceBefore = onceAfter;
                std::printf(
                    "terminals %d, round %d: %.0f requests/s (service thread busy %.0f%%); limit %.0f "
                    "prepared once, %.0f prepared each time; ratio %.2f\n",
                    count, round, result.perSecond.last(), 100 * result.busy.last(), result.limitOnce.last(),
                    result.limitEachTime.last(), result.ratios.last());
            }
            results.append(std::move(result));
        }

        std::printf("medians of %d rounds:\n", rounds);
        const Measured* target = &results.first();
        for (const Measured& result : results) {
            const LatencySummary latency = LatencySummary::of(result.latenciesUs);
            std::printf(
                "terminals %d: %.0f requests/s, %s, service thread busy %.0f%%; limit %.0f prepared once, "
                "%.0f prepared each time; ratio %.2f\n",
                result.terminals, median(result.perSecond), qPrintable(latency.text()),
                100 * median(result.busy), median(result.limitOnce), median(result.limitEachTime),
                median(result.ratios));
            if (std::abs(result.terminals - kTargetTerminals) <
                std::abs(target->terminals - kTargetTerminals))
                target = &result;
        }
        const double ratio = median(target->ratios);
        std::printf("ratio: %.2f\n", ratio);
        if (!arguments.check() || ratio >= kLeastRatio)
            return 0;
        std::printf("FAILED: %d terminals get %.2f of what the database allows, less than %.2f\n",
                    target->terminals, ratio, kLeastRatio);
        return 1;
    });
}
