#pragma once

#include <QString>
#include <vector>

namespace taxi::bench {

// The median and the 99th percentile of latencies in microseconds, as milliseconds.
struct LatencySummary {
    double p50Ms = 0;
    double p99Ms = 0;
    double maxMs = 0;
    qsizetype count = 0;

    static LatencySummary of(std::vector<qint64> latenciesUs);
    // "p50 1.23 ms, p99 4.56 ms (max 7.89 ms, 1000 samples)"
    QString text() const;
};

} // namespace taxi::bench
