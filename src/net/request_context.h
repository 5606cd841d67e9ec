#pragma once

#include "core/services.h"
#include "net/port_slot.h"

#include <QString>

namespace taxi::net {

// What a command handler works with: the request, the slot it came from and the way back.
class RequestContext {
public:
    RequestContext(Services& services, const QString& request, int port, int slotIndex)
        : services(services), request(request), port(port), k(slotIndex) {}

    Services& services;
    const QString& request; // CurrentRequest
    const int port;         // CurrentRequestPort
    const int k;            // the first driver listener on that port; 0 for the main port

    PortSlot& slot() const;
    // Free text for the terminal: UTF-8 in Base64, counted as outgoing traffic.
    QString encodeText(const QString& text) const;
    // Sends the reply text followed by "@" on connection 0 of listener k.
    void reply(const QString& text) const;
    void log(const QString& line) const;
};

} // namespace taxi::net
