#include "support/fake_terminal.h"

#include "core/text_codec.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <sys/socket.h>

namespace taxi::test {

bool FakeTerminal::connectTo(quint16 port, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        m_socket.abort();
        bool connected = false;
        const auto onConnected = QObject::connect(&m_socket, &QTcpSocket::connected, &m_socket,
                                                  [&connected] { connected = true; });
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        while (m_socket.state() == QAbstractSocket::ConnectingState && !deadline.hasExpired())
            QTest::qWait(5);
        QObject::disconnect(onConnected);
        // A connection the service closes at once still counts as made.
        if (connected) {
            QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket,
                             [this] { m_received += m_socket.readAll(); });
            m_received += m_socket.readAll();
            return true;
        }
        QTest::qWait(20);
    }
    return false;
}

void FakeTerminal::send(const QByteArray& bytes) {
    m_socket.write(bytes);
    m_socket.flush();
}

bool FakeTerminal::waitForReplies(int count, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (m_received.count('@') < count && !deadline.hasExpired())
        QTest::qWait(5);
    return m_received.count('@') >= count;
}

QByteArray FakeTerminal::receivedAfterQuiet(int quietMs) {
    QTest::qWait(quietMs);
    return m_received;
}

bool FakeTerminal::waitForClosedByService(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (m_socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
        QTest::qWait(5);
    return m_socket.state() != QAbstractSocket::ConnectedState;
}

void FakeTerminal::disconnect() {
    m_socket.disconnectFromHost();
    QTest::qWait(1);
}

void FakeTerminal::reset() {
    const linger abortive{1, 0};
    ::setsockopt(int(m_socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    m_socket.abort();
}

void sendLogin(quint16 mainPort, quint16 driverPort, const QString& password) {
    FakeTerminal phone;
    if (!phone.connectTo(mainPort))
        return;
    phone.send(QStringLiteral("@OC(%1)[%2]@").arg(driverPort).arg(password).toUtf8());
    QTest::qWait(50);
    phone.disconnect();
}

QByteArray terminalText(const QString& text) {
    return toWin1251(text).toBase64();
}

} // namespace taxi::test
