#include "core/metrics.h"

namespace taxi {

namespace {

QByteArray number(double value) {
    return QByteArray::number(value, 'g', 10);
}

QByteArray header(const QByteArray& name, const QByteArray& type, const QByteArray& help) {
    return "# HELP " + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

QByteArray single(const QByteArray& name, const QByteArray& type, const QByteArray& help, double value) {
    return header(name, type, help) + name + ' ' + number(value) + '\n';
}

// A label's value: backslash, double quote and line feed are the characters the format escapes.
QByteArray labelValue(const QString& value) {
    QByteArray escaped = value.toUtf8();
    escaped.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return escaped;
}

} // namespace

void LatencyHistogram::observe(std::chrono::nanoseconds took) {
    const double seconds = std::chrono::duration<double>(took).count();
    ++m_count;
    m_sum += seconds;
    for (std::size_t i = 0; i < kBounds.size(); ++i) {
        if (seconds <= kBounds[i]) {
            ++m_counts[i];
            break;
        }
    }
}

QByteArray LatencyHistogram::render(const QByteArray& name, const QByteArray& help) const {
    QByteArray text = header(name, "histogram", help);
    quint64 atMost = 0;
    for (std::size_t i = 0; i < kBounds.size(); ++i) {
        atMost += m_counts[i];
        text += name + "_bucket{le=\"" + number(kBounds[i]) + "\"} " + QByteArray::number(atMost) + '\n';
    }
    text += name + "_bucket{le=\"+Inf\"} " + QByteArray::number(m_count) + '\n';
    text += name + "_sum " + number(m_sum) + '\n';
    text += name + "_count " + QByteArray::number(m_count) + '\n';
    return text;
}

void Metrics::requestHandled(const QString& commandWord, std::chrono::nanoseconds took) {
    ++m_requestsByCommand[commandWord];
    m_requestLatency.observe(took);
}

void Metrics::tickHandled() {
    ++m_ticks;
    if (m_sinceLastTick.isValid())
        m_longestTickGap = std::max(m_longestTickGap, double(m_sinceLastTick.nsecsElapsed()) / 1e9);
    m_sinceLastTick.start();
}

QByteArray Metrics::prometheusText() const {
    QByteArray text;
    text += single("taxi_gprs_terminals_bound", "gauge", "Terminals bound to their drivers' ports.",
                   boundTerminals());
    text += header("taxi_gprs_logins_total", "counter", "Logins on the main port, by outcome.");
    text += "taxi_gprs_logins_total{result=\"accepted\"} " + QByteArray::number(m_loginsAccepted) + '\n';
    text += "taxi_gprs_logins_total{result=\"refused\"} " + QByteArray::number(m_loginsRefused) + '\n';
    text += header("taxi_gprs_requests_total", "counter",
                   "Requests executed, by the command word that handled them (empty: none did).");
    for (auto request = m_requestsByCommand.cbegin(); request != m_requestsByCommand.cend(); ++request)
        text += "taxi_gprs_requests_total{command=\"" + labelValue(request.key()) + "\"} " +
                QByteArray::number(request.value()) + '\n';
    text +=
        single("taxi_gprs_replies_sent_total", "counter", "Replies sent to terminals.", double(m_replies));
    text += single("taxi_gprs_pushes_sent_total", "counter", "Notices pushed to terminals unasked.",
                   double(m_pushes));
    text += m_requestLatency.render("taxi_gprs_request_duration_seconds",
                                    "Time from a complete request to the end of its handling.");
    text += m_statements.render("taxi_gprs_statement_duration_seconds",
                                "Time a database statement took, preparing and fetching included.");
    text += single("taxi_gprs_ticks_total", "counter", "One-second ticks handled.", double(m_ticks));
    text += single("taxi_gprs_tick_longest_gap_seconds", "gauge", "The longest time between two ticks.",
                   m_longestTickGap);
    text += single("taxi_gprs_database_link_losses_total", "counter",
                   "Times the dispatcher database stopped answering the link test.", double(m_linkLosses));
    return text;
}

} // namespace taxi
