#pragma once

namespace taxi::net {
class RequestContext;
}

// The driver's answers to an order he holds. None of them is replied to; a driver who holds no order
// changes nothing with them.
namespace taxi {

// "@PRZ@": the offered order is accepted and no longer waits for confirmation.
void acceptOrder(const net::RequestContext& context);
// "@VDZ@": the offer is made to look expired so that it is taken back at once; too many refusals put
// the driver on the debtor list and cut him off.
void refuseOrder(const net::RequestContext& context);
// "@ZKZ@": the held order is done.
void completeOrder(const net::RequestContext& context);

} // namespace taxi
