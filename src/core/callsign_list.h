#pragma once

#include <QString>

namespace taxi {

// Lists of callsigns written "[" callsign "]" one after another, "[0]" when empty.
inline bool isOnCallsignList(const QString& list, int callsign) {
    return list.contains(QLatin1Char('[') + QString::number(callsign) + QLatin1Char(']'));
}

} // namespace taxi
