#pragma once

namespace taxi::net {

class RequestContext;

// "@OC(" port ")[" password "]@" on the main port: checks the driver and opens his own port.
void login(const RequestContext& context);
// "@CLOSE@": the terminal announces that it closes its port.
void closePort(const RequestContext& context);
// "@EXIT@": the driver leaves the air unless he holds an order.
void leaveAir(const RequestContext& context);

} // namespace taxi::net
