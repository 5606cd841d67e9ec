// What the database alone allows for the statements of "@PZ7@" and "@S@", with every statement prepared
// on each use and with the statements kept by the connection.
//
// Runs the two ways by turns, several rounds each, on a fresh demo dispatcher database on the local
// server, and prints the median requests a second of each and their ratio.
//
//   database_limit [--seconds ROUND] [--rounds N] [--smoke] [--check]
//
// --smoke runs one short round of each. --check exits 1 when keeping the statements does not make the
// loop at least kLeastGain times as fast; a run that could not be made at all exits 2.

#include "bench/bench_arguments.h"
#include "bench/statement_limit.h"
#include "support/service_fixture.h"

#include <algorithm>
#include <cstdio>

using namespace taxi;
using namespace taxi::bench;

namespace {

// What keeping the statements must bring at the least: a prepare costs the server about as much as the
// small statements themselves.
constexpr double kLeastGain = 1.2;

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char* argv[]) {
    return benchMain(argc, argv, "database_limit", [](const BenchArguments& arguments) {
        const bool smoke = arguments.smoke();
        const int seconds = arguments.number(QStringLiteral("--seconds"), smoke ? 1 : 5);
        const int rounds = arguments.number(QStringLiteral("--rounds"), smoke ? 1 : 3);

        test::ServiceFolder folder;
        folder.addFleet(1);
        const test::DemoDriver& driver = folder.drivers().last();

        QList<double> eachTime;
        QList<double> once;
        for (int round = 0; round < rounds; ++round) {
            for (const Preparing preparing : {Preparing::EachTime, Preparing::Once}) {
                const StatementLimit limit =
                    measureStatementLimit(folder.dispatcherDatabaseName(), folder.credentials(), driver,
                                          preparing, std::chrono::seconds(seconds));
                (preparing == Preparing::EachTime ? eachTime : once).append(limit.perSecond());
                std::printf("round %d, prepared %s: %.0f requests/s\n", round + 1,
                            preparing == Preparing::EachTime ? "each time" : "once", limit.perSecond());
            }
        }
        const double gain = median(once) / std::max(median(eachTime), 1.0);
        std::printf("limit, prepared each time: %.0f requests/s (median of %d)\n", median(eachTime), rounds);
        std::printf("limit, prepared once: %.0f requests/s (median of %d)\n", median(once), rounds);
        std::printf("gain of keeping the statements: %.2f\n", gain);
        if (!arguments.check() || gain >= kLeastGain)
            return 0;
        std::printf("FAILED: keeping the statements gains %.2f, less than %.2f\n", gain, kLeastGain);
        return 1;
    });
}
