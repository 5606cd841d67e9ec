#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <array>
#include <chrono>
#include <functional>

namespace taxi {

// Latencies in buckets, as the people who watch servers read them: how many took at most each bound.
class LatencyHistogram {
public:
    // Upper bounds in seconds, from a tenth of a millisecond to ten seconds.
    static constexpr std::array<double, 12> kBounds{0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005,
                                                    0.01,   0.025,   0.05,   0.1,   1.0,    10.0};

    void observe(std::chrono::nanoseconds took);
    // The lines of the Prometheus text format for a histogram of this name.
    QByteArray render(const QByteArray& name, const QByteArray& help) const;

private:
    std::array<quint64, kBounds.size()> m_counts{}; // each bucket alone; summed up when rendered
    quint64 m_count = 0;
    double m_sum = 0;
};

// What the service counts of its own work, for monitoring systems: terminals, logins, requests and their
// latency, what was sent, the database's statements, the tick and the database link. Nothing here is read
// back by the service.
class Metrics {
public:
    // Read when scraped: the terminals bound to their ports now.
    std::function<int()> boundTerminals = [] {
        return 0;
    };

    void loginAccepted() { ++m_loginsAccepted; }
    void loginRefused() { ++m_loginsRefused; }
    // A request with the command word that handled it ("" when no command matched).
    void requestHandled(const QString& commandWord, std::chrono::nanoseconds took);
    void replySent() { ++m_replies; }
    void pushSent() { ++m_pushes; }
    void statementRun(std::chrono::nanoseconds took) { m_statements.observe(took); }
    // A tick handled to its end; the gap since the one before is measured here.
    void tickHandled();
    void dispatcherLinkLost() { ++m_linkLosses; }

    // The Prometheus text exposition format, version 0.0.4.
    QByteArray prometheusText() const;

private:
    quint64 m_loginsAccepted = 0;
    quint64 m_loginsRefused = 0;
    QMap<QString, quint64> m_requestsByCommand;
    quint64 m_replies = 0;
    quint64 m_pushes = 0;
    LatencyHistogram m_requestLatency;
    LatencyHistogram m_statements;
    quint64 m_ticks = 0;
    QElapsedTimer m_sinceLastTick;
    double m_longestTickGap = 0;
    quint64 m_linkLosses = 0;
};

} // namespace taxi
