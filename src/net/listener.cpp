#include "net/listener.h"

#include "net/event_delivery.h"
#include "net/socket_error.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>

namespace taxi::net {

namespace {

// How long accepting rests after the system refused to hand over a pending connection (out of
// descriptors, for one). The listening socket stays readable meanwhile; without the rest its
// notifier would spin.
constexpr std::chrono::milliseconds kAcceptRetryPause{100};

// How many waiting connections one wake-up takes. Under a flood of connects the queue never empties;
// taking it in batches lets the tick, the other connections and the signals have their turn between.
constexpr int kAcceptBatch = 16;

} // namespace

Listener::Listener(quint16 port, QObject* parent) : QObject(parent), m_port(port) {}

Listener::~Listener() {
    stopListening();
    const bool handlerMayHoldThem = EventDelivery::inProgress();
    for (Connection* connection : std::as_const(m_connections)) {
        if (connection->isOpen()) {
            connection->shutDown();
        }
        connection->m_listener = nullptr;
        if (handlerMayHoldThem) {
            connection->deleteLater();
        } else {
            delete connection;
        }
    }
}

void Listener::setPort(quint16 port) {
    if (port == m_port) {
        return;
    }
    if (isListening()) {
        throw SocketError(QStringLiteral("The port cannot change from %1 to %2 while it is listening")
                              .arg(m_port)
                              .arg(port),
                          0);
    }
    m_port = port;
}

void Listener::startListening(const QHostAddress& address) {
    if (isListening()) {
        return;
    }
    if (m_port == 0) {
        throw SocketError(QStringLiteral("Port 0 is not a port to listen on"), 0);
    }
    const native::HandleResult opened = native::listenOn(address, m_port);
    if (opened.status != native::Status::Done) {
        throw SocketError(
            QStringLiteral("Cannot listen on port %1: %2").arg(m_port).arg(qt_error_string(opened.error)),
            opened.error);
    }
    m_listeningHandle = opened.handle;
    m_acceptNotifier = new QSocketNotifier(opened.handle, QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &Listener::onConnectionPending);

    EventDelivery delivery;
    emit listening(m_port);
}

void Listener::stopListening() {
    if (!isListening()) {
        return;
    }
    // The notifier may be the very one whose event is being handled: let the event loop delete it.
    m_acceptNotifier->setEnabled(false);
    m_acceptNotifier->deleteLater();
    m_acceptNotifier = nullptr;
    native::closeHandle(m_listeningHandle);
    m_listeningHandle = native::kInvalidHandle;
}

Connection* Listener::connection(int index) const {
    return index >= 0 && index < m_connections.size() ? m_connections.at(index) : nullptr;
}

void Listener::closeConnection(int index) {
    if (Connection* closing = connection(index)) {
        closing->close();
    }
}

void Listener::closeAllConnections() {
    // A disconnect handler may destroy this listener; the connections themselves outlive the handler.
    const QList<Connection*> closing = m_connections;
    for (Connection* connection : closing) {
        connection->close();
    }
}

void Listener::dropAllConnections() {
    for (Connection* connection : std::as_const(m_connections)) {
        if (connection->isOpen()) {
            connection->shutDown();
        }
    }
    scheduleRemovalOfClosed();
}

void Listener::onConnectionPending() {
    EventDelivery delivery;
    QPointer<Listener> self(this);
    // Take the connections waiting, a batch at a time (the notifier fires again for the rest); each is
    // announced to its end before the next is taken, and a handler may stop or destroy this listener.
    for (int taken = 0; taken < kAcceptBatch && self && isListening(); ++taken) {
        const native::HandleResult accepted = native::acceptPending(m_listeningHandle);
        if (accepted.status == native::Status::WouldBlock) {
            return;
        }
        if (accepted.status == native::Status::Failed) {
            pauseAccepting();
            return;
        }
        auto* connection = new Connection(*this, accepted.handle);
        m_connections.append(connection);
        announce(*connection);
    }
}

void Listener::announce(Connection& connection) {
    // Closed by a handler, or dropped with this listener: the remaining announcements make no sense.
    const QPointer<Connection> announced(&connection);
    const auto stillOpen = [&announced] {
        return announced && announced->isOpen();
    };
    emit getSocket(&connection);
    if (!stillOpen()) {
        return;
    }
    emit clientConnect(&connection);
    if (!stillOpen()) {
        return;
    }
    emit accept(&connection);
    if (!stillOpen()) {
        return;
    }
    connection.startEvents();
}

void Listener::pauseAccepting() {
    m_acceptNotifier->setEnabled(false);
    QTimer::singleShot(kAcceptRetryPause, this, [this] {
        if (m_acceptNotifier != nullptr) {
            m_acceptNotifier->setEnabled(true);
        }
    });
}

void Listener::connectionClosed(Connection& connection) {
    scheduleRemovalOfClosed();
    EventDelivery delivery;
    emit clientDisconnect(&connection);
}

void Listener::scheduleRemovalOfClosed() {
    if (m_removalScheduled) {
        return;
    }
    m_removalScheduled = true;
    EventDelivery::whenIdle(this, [this] { removeClosedConnections(); });
}

void Listener::removeClosedConnections() {
    m_removalScheduled = false;
    m_connections.removeIf([](Connection* connection) {
        if (connection->isOpen()) {
            return false;
        }
        // We may be at the end of a delivery that this very connection started.
        connection->deleteLater();
        return true;
    });
}

} // namespace taxi::net
