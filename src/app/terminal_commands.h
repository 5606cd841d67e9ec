#pragma once

#include "net/command.h"

namespace taxi {

// The terminal protocol's vocabulary: every subsystem's commands, joined in the protocol's fixed order.
const net::CommandTable& terminalCommands();

} // namespace taxi
