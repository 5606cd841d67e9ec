#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace taxi::db {

// The one error type of the database layer: carries Firebird's own message, decoded for the operator.
class DbError : public std::exception {
public:
    explicit DbError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace taxi::db
