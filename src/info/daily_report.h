#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@ZVIT@": today's figures. A driver gets his own orders and free rides of today; the director's
// terminal (PORT_DIRECTOR) gets the company's figures for yesterday and today and the drivers at stands.
// Both get who is on the air and whose terminal is connected.
void sendDailyReport(const net::RequestContext& context);

} // namespace taxi
