#pragma once

#include <QStringView>
#include <optional>

namespace taxi {

// Reads an integer the way the operators' tools always have: blanks around it, an optional sign, decimal
// digits, or hexadecimal digits after "$" or "0x". Anything else, or a value beyond 32 bits, is no number.
std::optional<int> parseInteger(QStringView text);

// A number from a request that a statement compares with an integer column, read as the database reads
// it: a decimal numeral beyond 32 bits equals no stored value (nullopt); text that is no number at all
// throws db::DbError, which ends the request as the database's own complaint would.
std::optional<int> statementNumber(QStringView text);

// Whether the text is decimal digits, with blanks around them and an optional sign, whatever their count.
bool isDecimalNumeral(QStringView text);

} // namespace taxi
