#pragma once

#include <QByteArray>
#include <QTcpSocket>

namespace taxi::test {

// A driver's phone as the service sees it: a TCP connection on the loopback address that sends
// requests and collects what comes back. Waits run the event loop, so an in-process service works.
class FakeTerminal {
public:
    // Connects to the port; false when nothing listens there within the time.
    bool connectTo(quint16 port, int timeoutMs = 3000);
    void send(const QByteArray& bytes);
    // Waits until the bytes received hold at least this many "@"-ended replies.
    bool waitForReplies(int count, int timeoutMs = 5000);
    QByteArray received() const { return m_received; }
    // Gives the service time to answer and returns whatever arrived (for "nothing came back").
    QByteArray receivedAfterQuiet(int quietMs = 300);
    // Waits until the service has closed the connection.
    bool waitForClosedByService(int timeoutMs = 5000);
    void disconnect();
    // Closes with a reset (RST) instead of an orderly close, as a phone losing its network does.
    void reset();
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

// Free text as a terminal sends it: Base64 of the text's Windows-1251 bytes, the form the service reads.
QByteArray terminalText(const QString& text);

// Logs in on the main port: a connection that sends the login request and hangs up.
void sendLogin(quint16 mainPort, quint16 driverPort, const QString& password);

} // namespace taxi::test
