#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@PZ7@": the driver's main screen in one reply: the order held, his stands and place in the queue,
// the order's details, whether he may use the order flow, and how many messages, flow orders and polls
// wait for him. Nothing is written.
void sendStatusSnapshot(const net::RequestContext& context);

} // namespace taxi
