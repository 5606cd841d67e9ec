#pragma once

#include <QHostAddress>
#include <QString>
#include <memory>
#include <optional>

class QHttpServer;

namespace taxi {

class Metrics;
class Operator;

// Where the metrics are served: an IP address and a port, written ADDRESS:PORT ("[::1]:9464" for IPv6).
struct MetricsEndpoint {
    QHostAddress address;
    quint16 port = 0;

    static std::optional<MetricsEndpoint> parse(const QString& text);
};

// The service's metrics over HTTP for monitoring systems: GET /metrics in Prometheus's text format, and
// nothing else. It only reads; no terminal reaches it.
class MetricsServer {
public:
    explicit MetricsServer(const Metrics& metrics);
    ~MetricsServer();

    // Serves at the endpoint when one is given. False, with the operator told why, when the port cannot be
    // had.
    bool serve(const std::optional<MetricsEndpoint>& endpoint, Operator& op);

private:
    std::unique_ptr<QHttpServer> m_server;
};

} // namespace taxi
