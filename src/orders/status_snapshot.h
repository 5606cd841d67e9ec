#pragma once

namespace taxi::net {
class RequestContext;
struct PortSlot;
} // namespace taxi::net

namespace taxi {

class DataModule;

// "@PZ7@": the driver's main screen in one reply: the order held, his stands and place in the queue,
// the order's details, whether he may use the order flow, and how many messages, flow orders and polls
// wait for him. Nothing is written.
void sendStatusSnapshot(const net::RequestContext& context);

// The driver's unread personal messages as the snapshot counts them, in the general transaction.
int unreadMessages(DataModule& data, const net::PortSlot& slot);

} // namespace taxi
