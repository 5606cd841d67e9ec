#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@PD(" code ")": the driver took on a registered client without an order from the dispatch. The ride is
// recorded as a closed order of that client, counted towards his free ride, and the driver moves from his
// stands to the end of the pool. A code that is no number, or that no client has, changes nothing.
void createPickUp(const net::RequestContext& context);

} // namespace taxi
