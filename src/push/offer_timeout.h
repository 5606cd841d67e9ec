#pragma once

namespace taxi {

struct Services;

// The confirmation time-out, run by the tick while offers wait: an offer not confirmed within
// CHAS_ZN_SEK seconds is taken back. The driver is freed, leaves his stands for the end of the queue of
// free drivers without a stand, the order is open again, the offer row is marked for delivery of the
// no-order state and the journal records the miss.
void withdrawExpiredOffers(Services& services);

} // namespace taxi
