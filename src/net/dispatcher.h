#pragma once

namespace taxi {
struct Services;
}

namespace taxi::net {

// Executes CurrentRequest, received on CurrentRequestPort, against the command table.
void VIKONANNYA_ZAPITA(Services& services);

} // namespace taxi::net
