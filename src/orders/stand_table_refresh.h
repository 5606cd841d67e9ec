#pragma once

namespace taxi {

struct Services;

// SPISOK_STOYANOK: rebuilds the stand table from the map and the drivers on the air, then tells every
// driver on the main screen whose stand's queue changed. Run at start-up and whenever the drivers'
// rows change in the database; a database error leaves the table as it was and is thrown.
void SPISOK_STOYANOK(Services& services);

} // namespace taxi
