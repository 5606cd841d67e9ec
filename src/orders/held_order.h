#pragma once

#include <QString>

namespace taxi {

namespace db {
class Row;
}

// The additional text of a held order shown on the terminal: the driver's arrival time, the tariff
// and the note in parentheses, all cut out of the order's row.
QString heldOrderExtraText(const db::Row& order);

} // namespace taxi
