#pragma once

#include "core/db/sql_value.h"

#include <QDateTime>
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

namespace taxi::db {

// One column value of a fetched row, readable as the service's statements need it.
class Field {
public:
    enum class Kind { Null, Integer, Number, Text, Date, Time, Timestamp };

    static Field null() { return Field(Kind::Null, QString(), 0); }
    static Field integer(qint64 value) { return Field(Kind::Integer, QString::number(value), value); }
    static Field number(const QString& rendered, qint64 rounded) {
        return Field(Kind::Number, rendered, rounded);
    }
    static Field text(const QString& value) { return Field(Kind::Text, value, 0); }
    static Field date(const QString& rendered) { return Field(Kind::Date, rendered, 0); }
    static Field time(const QString& rendered) { return Field(Kind::Time, rendered, 0); }
    static Field timestamp(const QString& rendered) { return Field(Kind::Timestamp, rendered, 0); }

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    // Null reads as 0; text must hold a whole number (blanks around it allowed), else DbError.
    qint64 toInt64() const;
    int toInt() const;
    // Null reads as empty; dates and times in the forms dd.mm.yyyy, hh:nn:ss, dd.mm.yyyy hh:nn:ss.
    QString toText() const { return m_text; }
    // The value bound into another statement as it was read: NULL stays NULL instead of becoming an empty
    // text, which a DATE or TIME column would refuse.
    SqlValue toParameter() const { return isNull() ? SqlValue(nullptr) : SqlValue(m_text); }

private:
    Field(Kind kind, QString text, qint64 integer)
        : m_kind(kind), m_text(std::move(text)), m_integer(integer) {}

    Kind m_kind;
    QString m_text;
    qint64 m_integer;
};

class Row {
public:
    Row(QSharedPointer<const QStringList> columns, QList<Field> fields)
        : m_columns(std::move(columns)), m_fields(std::move(fields)) {}

    // By column name (as the database reports it, compared without regard to case); DbError when absent.
    const Field& operator[](const QString& column) const;
    const Field& at(int position) const { return m_fields.at(position); }
    int size() const { return int(m_fields.size()); }

private:
    QSharedPointer<const QStringList> m_columns;
    QList<Field> m_fields;
};

// The rows of a SELECT, fetched whole: nothing stays open on the server once a query returns.
class ResultSet {
public:
    ResultSet() = default;
    ResultSet(QSharedPointer<const QStringList> columns, QList<Row> rows)
        : m_columns(std::move(columns)), m_rows(std::move(rows)) {}

    bool isEmpty() const { return m_rows.isEmpty(); }
    int size() const { return int(m_rows.size()); }
    const Row& first() const { return m_rows.first(); }
    const Row& last() const { return m_rows.last(); }
    const Row& at(int index) const { return m_rows.at(index); }
    const QList<Row>& rows() const& { return m_rows; }
    // The rows of a result that is about to go away are handed over, so that a loop over
    // select(...).rows() keeps them alive.
    QList<Row> rows() && { return std::move(m_rows); }
    QStringList columns() const { return m_columns ? *m_columns : QStringList(); }

private:
    QSharedPointer<const QStringList> m_columns;
    QList<Row> m_rows;
};

} // namespace taxi::db
