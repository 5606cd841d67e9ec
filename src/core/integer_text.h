#pragma once

#include <QStringView>
#include <optional>

namespace taxi {

// Reads an integer the way the operators' tools always have: blanks around it, an optional sign, decimal
// digits, or hexadecimal digits after "$" or "0x". Anything else, or a value beyond 32 bits, is no number.
std::optional<int> parseInteger(QStringView text);

// Whether the text is decimal digits, with blanks around them and an optional sign, whatever their count.
bool isDecimalNumeral(QStringView text);

} // namespace taxi
