#pragma once

namespace taxi {

struct Services;

// LIST_POTIK_ZAMOVLEN: rebuilds the order flow from the open orders nobody has, by the operator's switches
// for what enters it and what its lines show; with the push flag at "1", tells every terminal showing the
// flow to fetch it again. Run at start-up and when the dispatchers add or change an order. A database
// error is thrown and leaves the previous flow in place.
void LIST_POTIK_ZAMOVLEN(Services& services);

} // namespace taxi
