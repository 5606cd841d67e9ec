#include "app/metrics_server.h"

#include "core/metrics.h"
#include "core/operator.h"

#include <QHttpServer>
#include <QHttpServerResponse>

namespace taxi {

std::optional<MetricsEndpoint> MetricsEndpoint::parse(const QString& text) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool isNumber = false;
    const uint port = text.mid(colon + 1).toUInt(&isNumber);
    const QHostAddress address(host);
    if (address.isNull() || !isNumber || port == 0 || port > 65535)
        return std::nullopt;
    return MetricsEndpoint{address, quint16(port)};
}

MetricsServer::MetricsServer(const Metrics& metrics) : m_server(std::make_unique<QHttpServer>()) {
    m_server->route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [&metrics] {
        return QHttpServerResponse(QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"),
                                   metrics.prometheusText());
    });
}

MetricsServer::~MetricsServer() = default;

bool MetricsServer::serve(const std::optional<MetricsEndpoint>& endpoint, Operator& op) {
    if (!endpoint || m_server->listen(endpoint->address, endpoint->port) != 0)
        return true;
    op.inform(
        QStringLiteral("Немає можливості віддавати метрики: порт %1 на адресі %2 зайнятий або недоступний")
            .arg(endpoint->port)
            .arg(endpoint->address.toString()));
    return false;
}

} // namespace taxi
