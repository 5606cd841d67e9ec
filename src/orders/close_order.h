#pragma once

namespace taxi {

struct Services;

// Completes an order: closes it, puts its driver back at the end of his queue and counts the ride for
// the client (towards a free ride) and for the car. Order 0 does nothing. A failure after the order has
// been read is shown to the operator as wrongly entered records and ends only the completion.
void closeOrder(Services& services, int orderNumber);

} // namespace taxi
