#pragma once

#include "net/native_socket.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <chrono>

class QSocketNotifier;

namespace taxi::net {

class Listener;

// Outgoing bytes a connection may leave waiting for the network. A terminal that takes this much
// without reading is not coming back; its connection is closed rather than letting the service's
// memory grow.
constexpr qsizetype kMaxPendingOutput = 1024 * 1024;

// One accepted TCP connection, owned by its listener. Its events are the listener's signals.
//
// A connection is written to with one call per text: what the network cannot take at once waits here
// and goes out as soon as the socket can take more. It stays in its listener's list after it closed
// until the event being handled has been handled to its end, and the object itself lives on until
// control is back in the event loop, so a handler never holds a dangling pointer.
class Connection : public QObject {
    Q_OBJECT

public:
    ~Connection() override;

    quint16 localPort() const { return m_localPort; }
    QHostAddress peerAddress() const { return m_peerAddress; }
    bool isOpen() const { return m_handle != native::kInvalidHandle; }

    // Sends the bytes in one write; what the network cannot take now is kept and sent in order as soon
    // as it can. False when nothing will be sent: the connection is closed, or closes right here
    // because it failed or because too much would be left waiting.
    bool send(const QByteArray& bytes);
    qsizetype pendingBytes() const { return m_pending.size(); }

    // Received bytes that do not yet form a complete request. Each connection frames its own stream,
    // so a terminal that breaks off half-way leaves nothing behind for the next one; the bytes go with
    // the connection.
    QByteArray& requestBuffer() { return m_requestBuffer; }
    void noteCompleteRequest() { m_sentCompleteRequest = true; }
    bool hasSentCompleteRequest() const { return m_sentCompleteRequest; }
    std::chrono::milliseconds sinceAccepted() const {
        return std::chrono::milliseconds(m_accepted.elapsed());
    }

    // Closes the connection and runs its listener's clientDisconnect before returning. What the
    // network has not taken by then is dropped with the connection.
    void close();

private:
    friend class Listener;

    Connection(Listener& listener, native::Handle handle);

    // Starts the connection's own events, once its listener has announced it.
    void startEvents();
    void onReadable();
    void onWritable();
    native::TransferResult receiveAvailable(QByteArray& chunk);
    native::TransferResult flushPending();
    // A socket error: clientError, then the close that the handler did not make itself.
    void fail(int error);
    // Ends the socket without any event.
    void shutDown();

    Listener* m_listener;
    native::Handle m_handle;
    quint16 m_localPort;
    QHostAddress m_peerAddress;
    QSocketNotifier* m_readNotifier;
    QSocketNotifier* m_writeNotifier;
    QByteArray m_pending;
    QByteArray m_requestBuffer;
    bool m_announcedWritable = false;
    bool m_failed = false;
    bool m_sentCompleteRequest = false;
    QElapsedTimer m_accepted;
};

} // namespace taxi::net
