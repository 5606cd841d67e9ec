#pragma once

namespace taxi {

struct Services;

// A new personal message: the addressee, when connected, is told on his main screen and the journal
// records the message for him whatever screen he is on.
void announcePersonalMessage(Services& services);

} // namespace taxi
