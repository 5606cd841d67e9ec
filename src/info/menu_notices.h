#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@MENUMAIN@", "@MENUPOTIK@" and the other menu notices: the terminal says which screen the driver
// opened, so that pushes go only where they will be understood. Answers every notice row of the
// command table; nothing is sent back.
void recordMenuNotice(const net::RequestContext& context);

} // namespace taxi
