#include "bench/latency_summary.h"

#include <algorithm>
#include <cmath>

namespace taxi::bench {

namespace {
// The value below which that share of the sorted samples lie (nearest rank).
double percentileMs(const std::vector<qint64>& sorted, double share) {
    const auto rank = std::size_t(std::max<double>(0, std::ceil(share * double(sorted.size())) - 1));
    return double(sorted.at(std::min(rank, sorted.size() - 1))) / 1000;
}
} // namespace

LatencySummary LatencySummary::of(std::vector<qint64> latenciesUs) {
    LatencySummary summary;
    summary.count = qsizetype(latenciesUs.size());
    if (latenciesUs.empty())
        return summary;
    std::sort(latenciesUs.begin(), latenciesUs.end());
    summary.p50Ms = percentileMs(latenciesUs, 0.50);
    summary.p99Ms = percentileMs(latenciesUs, 0.99);
    summary.maxMs = double(latenciesUs.back()) / 1000;
    return summary;
}

QString LatencySummary::text() const {
    return QStringLiteral("p50 %1 ms, p99 %2 ms (max %3 ms, %4 samples)")
        .arg(p50Ms, 0, 'f', 2)
        .arg(p99Ms, 0, 'f', 2)
        .arg(maxMs, 0, 'f', 2)
        .arg(count);
}

} // namespace taxi::bench
