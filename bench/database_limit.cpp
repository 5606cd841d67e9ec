// What the database alone allows for the statements of "@PZ7@" and "@S@", with every statement prepared
// on each use and with the statements kept by the connection.
//
// Runs the two ways by turns, several rounds each, on a fresh demo dispatcher database on the local
// server: the count of "@PZ7@" alone (what a prepare costs one statement), then both requests with their
// transactions (what it costs a request), and prints the medians of each and their ratio, the gain.
//
//   database_limit [--seconds ROUND] [--rounds N] [--smoke] [--check]
//
// --smoke runs one short round of each. --check exits 1 when keeping the statements does not make the
// requests at least kLeastGain times as fast; a run that could not be made at all exits 2.

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

        // Median requests (or statements) a second, prepared each time and prepared once.
        const auto measure = [&](Workload workload, const char* unit) {
            QList<double> eachTime;
            QList<double> once;
            for (int round = 0; round < rounds; ++round) {
                for (const Preparing preparing : {Preparing::EachTime, Preparing::Once}) {
                    const StatementLimit limit =
                        measureStatementLimit(folder.dispatcherDatabaseName(), folder.credentials(), driver,
                                              preparing, std::chrono::seconds(seconds), workload);
                    (preparing == Preparing::EachTime ? eachTime : once).append(limit.perSecond());
                }
            }
            std::printf(
                "%s, prepared each time: %.0f %s/s; prepared once: %.0f %s/s (medians of %d); gain %.2f\n",
                workload == Workload::Requests ? "\"@PZ7@\" and \"@S@\" with their transactions"
                                               : "the message count alone",
                median(eachTime), unit, median(once), unit, rounds,
                median(once) / std::max(median(eachTime), 1.0));
            return median(once) / std::max(median(eachTime), 1.0);
        };
        measure(Workload::Statement, "statements");
        const double gain = measure(Workload::Requests, "requests");
        if (!arguments.check() || gain >= kLeastGain)
            return 0;
        std::printf("FAILED: keeping the statements gains %.2f, less than %.2f\n", gain, kLeastGain);
        return 1;
    });
}
