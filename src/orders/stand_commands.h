#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@S@": the stand table, numbered as the terminal will refer to it, and how many stands a driver may
// register at.
void sendStandTable(const net::RequestContext& context);

// "@inSTOYNKA[<i><j>...]": the driver joins the stands of the selected entries (entry 0: the general
// pool alone) and leaves every other stand. A driver holding an order stays where he is.
void registerAtStands(const net::RequestContext& context);

} // namespace taxi
