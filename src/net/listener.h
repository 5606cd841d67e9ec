#pragma once

#include "net/connection.h"
#include "net/native_socket.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>

class QSocketNotifier;

namespace taxi::net {

// A non-blocking TCP listening port and the connections it accepted, oldest first.
//
// Every event is one of the signals below, emitted on the main thread one at a time. Connect handlers
// directly: a handler that closes a connection gets that connection's clientDisconnect at once, nested
// in its own handling. A new connection reports getSocket, clientConnect and accept in this order, then
// clientWrite as soon as it can take data, and only then its first clientRead. A peer's orderly close
// is a clientDisconnect; a reset or any other socket failure is a clientError, followed by the
// clientDisconnect of the close it forces.
//
// A closed connection stays in the list, and in the count, until the event being handled when it
// closed has been handled to its end, so a handler that closes connections sees the count it started
// with.
class Listener : public QObject {
    Q_OBJECT

public:
    explicit Listener(quint16 port, QObject* parent = nullptr);
    // Drops the connections without any event.
    ~Listener() override;

    quint16 port() const { return m_port; }
    // Throws SocketError while listening: the open port would no longer be the one reported.
    void setPort(quint16 port);

    // Listens on the port, on every interface unless an address is given; emits listening. Does
    // nothing when already listening. Throws SocketError when the port cannot be opened (taken,
    // not allowed, or 0, which names no port).
    void startListening(const QHostAddress& address = QHostAddress::Any);
    // New connections are refused from now on; the accepted ones stay.
    void stopListening();
    bool isListening() const { return m_listeningHandle != native::kInvalidHandle; }

    int connectionCount() const { return int(m_connections.size()); }
    // The connection at that place, 0 being the oldest; nullptr outside the list.
    Connection* connection(int index) const;
    // Each of these closes run the connection's clientDisconnect before returning.
    void closeConnection(int index);
    void closeAllConnections();
    // Closes every connection without any event, for when the whole service stops.
    void dropAllConnections();

signals:
    void getSocket(taxi::net::Connection* connection);
    void clientConnect(taxi::net::Connection* connection);
    void accept(taxi::net::Connection* connection);
    // Once when a new connection first can take data, and again each time the bytes that had to wait
    // for the network have all gone out.
    void clientWrite(taxi::net::Connection* connection);
    // All the bytes that had arrived when the event was taken, as one chunk.
    void clientRead(taxi::net::Connection* connection, const QByteArray& chunk);
    void clientDisconnect(taxi::net::Connection* connection);
    // The system's error code.
    void clientError(taxi::net::Connection* connection, int errorCode);
    void listening(quint16 port);

private:
    friend class Connection;

    void onConnectionPending();
    void announce(Connection& connection);
    void pauseAccepting();
    void connectionClosed(Connection& connection);
    void scheduleRemovalOfClosed();
    void removeClosedConnections();

    quint16 m_port;
    native::Handle m_listeningHandle = native::kInvalidHandle;
    QSocketNotifier* m_acceptNotifier = nullptr;
    QList<Connection*> m_connections;
    bool m_removalScheduled = false;
};

} // namespace taxi::net
