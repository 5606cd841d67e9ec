#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@LNZ@": the order flow as the last rebuild left it; a debtor gets the reason he is shut out instead.
void sendOrderFlow(const net::RequestContext& context);
// "@VVZ[" n "]": the driver applies for an order of the flow. Granted by the operator's rules, the order is
// offered to him through his offer row; refused, his terminal is told to fetch the flow again.
void applyForFlowOrder(const net::RequestContext& context);

} // namespace taxi
