#pragma once

namespace taxi {

struct Services;

// REFLESH_DATE_POVIDOML_PORT: delivers every offer row marked "+". The slot of the row gets the offered
// order, or the driver's stand and queue number when he holds none; the mark is cleared and a terminal
// on one of its menus is told to fetch its status. Afterwards the confirmation time-out is watched
// while any offer row carries a time.
void REFLESH_DATE_POVIDOML_PORT(Services& services);

} // namespace taxi
