#include "core/integer_text.h"

#include "core/db/db_error.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace taxi {

namespace {

std::optional<int> digitValue(QChar character, int base) {
    const char16_t c = character.unicode();
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    if (value < 0 || value >= base)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> parseInteger(QStringView text) {
    QStringView rest = text.trimmed();
    bool negative = false;
    if (rest.startsWith(u'-') || rest.startsWith(u'+')) {
        negative = rest.front() == u'-';
        rest = rest.sliced(1);
    }
    int base = 10;
    if (rest.startsWith(u'$')) {
        base = 16;
        rest = rest.sliced(1);
    } else if (rest.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        rest = rest.sliced(2);
    }
    if (rest.isEmpty())
        return std::nullopt;

    // Hexadecimal covers all 32 bits ("$FFFFFFFF" is -1); decimal stops at the signed range.
    const std::int64_t limit = base == 16
                                   ? std::numeric_limits<std::uint32_t>::max()
                                   : std::int64_t(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
    std::int64_t magnitude = 0;
    for (const QChar character : rest) {
        const std::optional<int> digit = digitValue(character, base);
        if (!digit)
            return std::nullopt;
        magnitude = magnitude * base + *digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int>(static_cast<std::uint32_t>(value));
}

bool isDecimalNumeral(QStringView text) {
    QStringView rest = text.trimmed();
    if (rest.startsWith(u'-') || rest.startsWith(u'+'))
        rest = rest.sliced(1);
    return !rest.isEmpty() &&
           std::all_of(rest.begin(), rest.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
}

std::optional<int> statementNumber(QStringView text) {
    if (const std::optional<int> number = parseInteger(text))
        return number;
    if (isDecimalNumeral(text))
        return std::nullopt;
    throw db::DbError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

} // namespace taxi
