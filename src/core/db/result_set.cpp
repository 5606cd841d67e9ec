#include "core/db/result_set.h"

#include "core/db/db_error.h"

#include <limits>

namespace taxi::db {

qint64 Field::toInt64() const {
    switch (m_kind) {
    case Kind::Null:
        return 0;
    case Kind::Integer:
    case Kind::Number:
        return m_integer;
    default:
        break;
    }
    bool ok = false;
    const qint64 value = m_text.trimmed().toLongLong(&ok);
    if (!ok)
        throw DbError(QStringLiteral("'%1' is not a valid integer value").arg(m_text));
    return value;
}

int Field::toInt() const {
    const qint64 value = toInt64();
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw DbError(QStringLiteral("%1 is out of the integer range").arg(value));
    return int(value);
}

const Field& Row::operator[](const QString& column) const {
    const qsizetype position = m_columns->indexOf(column, 0);
    if (position >= 0)
        return m_fields.at(position);
    for (qsizetype i = 0; i < m_columns->size(); ++i) {
        if (m_columns->at(i).compare(column, Qt::CaseInsensitive) == 0)
            return m_fields.at(i);
    }
    throw DbError(QStringLiteral("Field '%1' not found").arg(column));
}

} // namespace taxi::db
