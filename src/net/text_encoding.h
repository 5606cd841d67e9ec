#pragma once

#include <QString>

namespace taxi {
class TrafficCounters;
}

namespace taxi::net {

// Free text for a terminal: UTF-8 in standard Base64. Each call adds the result's length plus
// one to the outgoing counter; nothing else adds to it.
QString encodeText(TrafficCounters& counters, const QString& text);

} // namespace taxi::net
