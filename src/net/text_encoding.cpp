#include "net/text_encoding.h"

#include "core/traffic_counters.h"
#include "net/protocol_text.h"

namespace taxi::net {

QString encodeText(TrafficCounters& counters, const QString& text) {
    const QString encoded = base64OfUtf8(text);
    counters.addOutgoing(encoded.size() + 1);
    return encoded;
}

} // namespace taxi::net
