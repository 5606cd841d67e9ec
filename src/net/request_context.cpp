#include "net/request_context.h"

#include "core/monitoring_log.h"
#include "core/text_codec.h"
#include "net/connection_service.h"
#include "net/text_encoding.h"

namespace taxi::net {

PortSlot& RequestContext::slot() const {
    return services.connections.slot(k);
}

QString RequestContext::encodeText(const QString& text) const {
    return net::encodeText(services.counters, text);
}

void RequestContext::reply(const QString& text) const {
    if (k != 0)
        services.connections.sendReply(k, toWin1251(text + QLatin1Char('@')));
}

void RequestContext::log(const QString& line) const {
    services.log.append(line);
}

} // namespace taxi::net
