#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace taxi::net {

// A listening port that cannot be opened (taken, not allowed, not a port number). Raised by the
// listener so that whoever starts the distribution can show the operator why it did not start.
class SocketError : public std::exception {
public:
    SocketError(QString message, int errorCode)
        : m_message(std::move(message)), m_errorCode(errorCode), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    // The system's error code, 0 when the port was refused before any system call.
    int errorCode() const { return m_errorCode; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    int m_errorCode;
    QByteArray m_utf8;
};

} // namespace taxi::net
