#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstddef>
#include <variant>

namespace taxi::db {

// A value bound to a "?" of a statement. Values never become part of the statement text.
class SqlValue {
public:
    using Storage = std::variant<std::monostate, qint64, QString, QDateTime>;

    SqlValue(std::nullptr_t) {}
    SqlValue(int value) : m_value(qint64(value)) {}
    SqlValue(qint64 value) : m_value(value) {}
    SqlValue(const QString& value) : m_value(value) {}
    SqlValue(const char* value) : m_value(QString::fromUtf8(value)) {}
    SqlValue(const QDateTime& value) : m_value(value) {}

    const Storage& storage() const { return m_value; }

private:
    Storage m_value;
};

using SqlParams = QList<SqlValue>;

} // namespace taxi::db
