#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@PZ@", "@PZ1@" … "@PZ6@": an outdated terminal program is told to update itself.
void answerOutdatedTerminal(const net::RequestContext& context);

} // namespace taxi
