#pragma once

#include <QString>

namespace taxi::db {
class Row;
}

namespace taxi::net {

struct PortSlot;

// The additional text of a held order shown on the terminal: the driver's arrival time, the tariff
// and the note in parentheses, all cut out of the order's row.
QString heldOrderExtraText(const db::Row& order);

// Puts the order's time, addresses, client, free-ride mark and extra text into the driver's slot.
// An acceptance date and time that do not form a moment raise a DbError.
void loadHeldOrder(PortSlot& slot, const db::Row& order);

} // namespace taxi::net
