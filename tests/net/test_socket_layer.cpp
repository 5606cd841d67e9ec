#include "net/listener.h"
#include "net/socket_error.h"

#include <QTcpServer>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using taxi::net::Connection;
using taxi::net::kMaxPendingOutput;
using taxi::net::Listener;
using taxi::net::SocketError;

namespace {

const QHostAddress kLoopback = QHostAddress(QHostAddress::LocalHost);

quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(kLoopback, 0)) {
        qFatal("no free loopback port");
    }
    return probe.serverPort();
}

// Every signal of a listener, in the order it came, as "name" or "name payload".
class EventLog : public QObject {
public:
    explicit EventLog(Listener& listener) {
        connect(&listener, &Listener::listening, this, [this] { record("listening", nullptr); });
        connect(&listener, &Listener::getSocket, this, [this](Connection* c) { record("getSocket", c); });
        connect(&listener, &Listener::clientConnect, this,
                [this](Connection* c) { record("clientConnect", c); });
        connect(&listener, &Listener::accept, this, [this](Connection* c) { record("accept", c); });
        connect(&listener, &Listener::clientWrite, this, [this](Connection* c) { record("clientWrite", c); });
        connect(&listener, &Listener::clientRead, this,
                [this](Connection* c, const QByteArray& chunk) { record("clientRead " + chunk, c); });
        connect(&listener, &Listener::clientDisconnect, this,
                [this](Connection* c) { record("clientDisconnect", c); });
        connect(&listener, &Listener::clientError, this, [this](Connection* c, int error) {
            QVERIFY(error != 0);
            record("clientError", c);
        });
    }

    QByteArrayList events;
    QList<Connection*> connections;
    // A handler's own work, run after the event was recorded.
    std::function<void(const QByteArray& event, Connection* connection)> handler;

    qsizetype count(const QByteArray& event) const { return events.count(event); }
    QByteArrayList eventsSince(qsizetype first) const { return events.mid(first); }

private:
    void record(const QByteArray& event, Connection* connection) {
        events.append(event);
        connections.append(connection);
        if (handler) {
            handler(event, connection);
        }
    }
};

// A terminal's side of a connection, on the plain system socket so that it can shrink its receive
// window, refuse to read and close with a reset.
class Terminal {
public:
    explicit Terminal(quint16 port, int receiveBufferSize = 0) : m_socket(::socket(AF_INET, SOCK_STREAM, 0)) {
        if (receiveBufferSize > 0) {
            ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &receiveBufferSize, sizeof receiveBufferSize);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~Terminal() {
        if (m_socket >= 0) {
            ::close(m_socket);
        }
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool isConnected() const { return m_connected; }

    void write(const QByteArray& bytes) {
        // Never blocks: the service runs on this same thread.
        QCOMPARE(::send(m_socket, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT),
                 ssize_t(bytes.size()));
    }

    // Everything received so far; reading never blocks, so call it from QTRY_ conditions.
    const QByteArray& received() {
        char block[64 * 1024];
        ssize_t got = 0;
        while ((got = ::recv(m_socket, block, sizeof block, MSG_DONTWAIT)) > 0) {
            m_received.append(block, got);
        }
        // An orderly close, or the reset of a connection that was never accepted.
        m_serviceClosed = m_serviceClosed || got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        return m_received;
    }
    bool serviceClosed() {
        received();
        return m_serviceClosed;
    }

    void close() { closeSocket(); }
    void reset() {
        const linger abort{1, 0};
        ::setsockopt(m_socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        closeSocket();
    }

private:
    void closeSocket() {
        ::close(m_socket);
        m_socket = -1;
    }

    int m_socket;
    bool m_connected = false;
    bool m_serviceClosed = false;
    QByteArray m_received;
};

QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        bytes[i] = char('a' + i % 26);
    }
    return bytes;
}

} // namespace

class TestSocketLayer : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void announcesNewConnectionInOrder();
    void deliversAllArrivedBytesAsOneChunk();
    void peerCloseIsDisconnectAndResetIsError_data();
    void peerCloseIsDisconnectAndResetIsError();
    void closedConnectionStaysListedUntilTheEventIsHandled();
    void closeOutsideAnyEventUnlistsAfterTheCaller();
    void closedConnectionStaysListedWhileAHandlerWaitsInAModalLoop();
    void handlerMayDestroyItsListener_data();
    void handlerMayDestroyItsListener();
    void bufferedSendArrivesWholeOnceThePeerReads();
    void peerThatLetsTooMuchPileUpIsClosed();
    void refusesPortThatCannotListen_data();
    void refusesPortThatCannotListen();
    void stoppedListenerKeepsConnectionsAndRefusesNewOnes();
    void droppedConnectionsCloseWithoutEvents_data();
    void droppedConnectionsCloseWithoutEvents();

private:
    // Connects a terminal and waits until its connection has been announced and can take data.
    std::unique_ptr<Terminal> connectTerminal(int receiveBufferSize = 0);

    quint16 m_port = 0;
    std::unique_ptr<Listener> m_listener;
    std::unique_ptr<EventLog> m_log;
};

void TestSocketLayer::init() {
    m_port = freePort();
    m_listener = std::make_unique<Listener>(m_port);
    m_log = std::make_unique<EventLog>(*m_listener);
    m_listener->startListening(kLoopback);
}

void TestSocketLayer::cleanup() {
    m_log.reset();
    m_listener.reset();
}

std::unique_ptr<Terminal> TestSocketLayer::connectTerminal(int receiveBufferSize) {
    const qsizetype announced = m_log->count("clientWrite");
    auto terminal = std::make_unique<Terminal>(m_port, receiveBufferSize);
    if (!terminal->isConnected()) {
        return nullptr;
    }
    if (!QTest::qWaitFor([&] { return m_log->count("clientWrite") == announced + 1; })) {
        return nullptr;
    }
    return terminal;
}

void TestSocketLayer::announcesNewConnectionInOrder() {
    Terminal terminal(m_port);
    QVERIFY(terminal.isConnected());
    // Sent before the service has even taken the connection: the read still comes after the rest.
    terminal.write("@PZ7@");

    QTRY_COMPARE(m_log->count("clientRead @PZ7@"), 1);
    QCOMPARE(m_log->events, (QByteArrayList{"listening", "getSocket", "clientConnect", "accept",
                                            "clientWrite", "clientRead @PZ7@"}));
    Connection* connection = m_listener->connection(0);
    QVERIFY(connection != nullptr);
    for (qsizetype i = 1; i < m_log->connections.size(); ++i) {
        QCOMPARE(m_log->connections.at(i), connection);
    }
    QCOMPARE(m_listener->connectionCount(), 1);
    QCOMPARE(connection->localPort(), m_port);
    QCOMPARE(connection->peerAddress(), kLoopback);

    // Being able to take data is reported once, not for as long as it stays true.
    QTest::qWait(50);
    QCOMPARE(m_log->count("clientWrite"), 1);
}

void TestSocketLayer::deliversAllArrivedBytesAsOneChunk() {
    auto terminal = connectTerminal();
    QVERIFY(terminal);
    // Both writes are in the socket before the event loop looks at it again, and together they are
    // more than one system read takes.
    const QByteArray request = "@PZ7" + pattern(200 * 1024) + "@";
    terminal->write(request.left(4));
    terminal->write(request.mid(4));

    const auto isRead = [](const QByteArray& event) {
        return event.startsWith("clientRead");
    };
    QTRY_VERIFY(std::any_of(m_log->events.cbegin(), m_log->events.cend(), isRead));
    QCOMPARE(std::count_if(m_log->events.cbegin(), m_log->events.cend(), isRead), 1);
    QVERIFY(m_log->events.last() == "clientRead " + request);
}

void TestSocketLayer::peerCloseIsDisconnectAndResetIsError_data() {
    QTest::addColumn<QByteArray>("lastWords");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<bool>("serviceSendsFirst");
    QTest::addColumn<QByteArrayList>("events");

    QTest::newRow("orderly close") << QByteArray() << false << false << QByteArrayList{"clientDisconnect"};
    QTest::newRow("data, then orderly close") << QByteArray("@CLOSE@") << false << false
                                              << QByteArrayList{"clientRead @CLOSE@", "clientDisconnect"};
    QTest::newRow("reset") << QByteArray() << true << false
                           << QByteArrayList{"clientError", "clientDisconnect"};
    // The service finds the reset when it writes, before the socket reports it: the same events, once.
    QTest::newRow("reset found by a send")
        << QByteArray() << true << true << QByteArrayList{"clientError", "clientDisconnect"};
}

void TestSocketLayer::peerCloseIsDisconnectAndResetIsError() {
    QFETCH(QByteArray, lastWords);
    QFETCH(bool, reset);
    QFETCH(bool, serviceSendsFirst);
    QFETCH(QByteArrayList, events);

    auto terminal = connectTerminal();
    QVERIFY(terminal);
    Connection* connection = m_listener->connection(0);
    const qsizetype before = m_log->events.size();
    if (!lastWords.isEmpty()) {
        terminal->write(lastWords);
    }
    reset ? terminal->reset() : terminal->close();
    if (serviceSendsFirst) {
        QVERIFY(!connection->send("<Action>UpdateParking</Action>@"));
    }

    QTRY_COMPARE(m_listener->connectionCount(), 0);
    QCOMPARE(m_log->eventsSince(before), events);
}

void TestSocketLayer::closedConnectionStaysListedUntilTheEventIsHandled() {
    auto first = connectTerminal();
    QVERIFY(first);
    auto second = connectTerminal();
    QVERIFY(second);
    Connection* kept = m_listener->connection(0);
    Connection* closed = m_listener->connection(1);

    QByteArrayList seenInHandler;
    m_log->handler = [&](const QByteArray& event, Connection* connection) {
        if (event != "clientRead @EXIT@" || connection != kept) {
            return;
        }
        const qsizetype before = m_log->events.size();
        m_listener->closeConnection(1);
        // The disconnect handling has run by the time the close returns...
        seenInHandler = m_log->eventsSince(before);
        QCOMPARE(m_log->connections.last(), closed);
        // ...yet the handler still finds the list it started with, closed connection included.
        QCOMPARE(m_listener->connectionCount(), 2);
        QCOMPARE(m_listener->connection(1), closed);
        QVERIFY(!closed->isOpen());
        QVERIFY(!closed->send("@"));
    };
    first->write("@EXIT@");

    QTRY_COMPARE(m_listener->connectionCount(), 1);
    QCOMPARE(seenInHandler, QByteArrayList{"clientDisconnect"});
    QCOMPARE(m_listener->connection(0), kept);
    QTRY_VERIFY(second->serviceClosed());
    QCOMPARE(m_log->count("clientDisconnect"), 1);
}

void TestSocketLayer::closeOutsideAnyEventUnlistsAfterTheCaller() {
    auto terminal = connectTerminal();
    QVERIFY(terminal);

    m_listener->closeAllConnections();
    QCOMPARE(m_log->count("clientDisconnect"), 1);
    // Like an operator's button that walks the list while closing: the list holds until it returns.
    QCOMPARE(m_listener->connectionCount(), 1);
    QTRY_COMPARE(m_listener->connectionCount(), 0);
    QTRY_VERIFY(terminal->serviceClosed());
}

void TestSocketLayer::closedConnectionStaysListedWhileAHandlerWaitsInAModalLoop() {
    auto asking = connectTerminal();
    QVERIFY(asking);
    auto leaving = connectTerminal();
    QVERIFY(leaving);

    int countUnderTheBox = 0;
    m_log->handler = [&](const QByteArray& event, Connection*) {
        if (event != "clientRead @VDZ@") {
            return;
        }
        // A message box asks the operator; meanwhile the other terminal goes away, and its events run.
        leaving->close();
        QTRY_COMPARE(m_log->count("clientDisconnect"), 1);
        QTest::qWait(20);
        countUnderTheBox = m_listener->connectionCount();
    };
    asking->write("@VDZ@");

    QTRY_COMPARE(m_listener->connectionCount(), 1);
    QCOMPARE(countUnderTheBox, 2);
}

void TestSocketLayer::handlerMayDestroyItsListener_data() {
    QTest::addColumn<QByteArray>("event");
    QTest::newRow("accept") << QByteArray("accept");
    QTest::newRow("clientRead") << QByteArray("clientRead @+@");
    QTest::newRow("clientDisconnect") << QByteArray("clientDisconnect");
}

// Stopping the distribution from a handler destroys the listener whose event is being handled.
void TestSocketLayer::handlerMayDestroyItsListener() {
    QFETCH(QByteArray, event);
    m_log->handler = [&](const QByteArray& happened, Connection*) {
        if (happened == event) {
            m_listener.reset();
        }
    };
    Terminal terminal(m_port);
    Terminal other(m_port);
    QVERIFY(terminal.isConnected());
    terminal.write("@+@");
    if (event == "clientDisconnect") {
        QTRY_COMPARE(m_log->count("clientRead @+@"), 1);
        terminal.close();
    }

    QTRY_VERIFY(!m_listener);
    QTRY_VERIFY(other.serviceClosed());
    QTest::qWait(20);
    QCOMPARE(m_log->events.count(event), 1);
}

void TestSocketLayer::bufferedSendArrivesWholeOnceThePeerReads() {
    auto terminal = connectTerminal(4096);
    QVERIFY(terminal);
    Connection* connection = m_listener->connection(0);

    // Texts go out until the system's own buffers are full and the service has to keep the rest;
    // then one more text of half a mebibyte queues behind them.
    QByteArray sent;
    for (int text = 0; connection->pendingBytes() == 0 && sent.size() < 64 * kMaxPendingOutput; ++text) {
        const QByteArray bytes = QByteArray::number(text).leftJustified(64 * 1024, '.');
        QVERIFY(connection->send(bytes));
        sent += bytes;
    }
    QVERIFY(connection->pendingBytes() > 0);
    const QByteArray last = pattern(512 * 1024);
    QVERIFY(connection->send(last));
    sent += last;
    QCOMPARE(m_log->count("clientWrite"), 1);

    QTRY_COMPARE(terminal->received().size(), sent.size());
    QVERIFY(terminal->received() == sent);
    QCOMPARE(connection->pendingBytes(), 0);
    QVERIFY(connection->isOpen());
    // The backlog going out is reported once.
    QTRY_COMPARE(m_log->count("clientWrite"), 2);
    QTest::qWait(50);
    QCOMPARE(m_log->count("clientWrite"), 2);
}

void TestSocketLayer::peerThatLetsTooMuchPileUpIsClosed() {
    auto terminal = connectTerminal(4096);
    QVERIFY(terminal);
    Connection* connection = m_listener->connection(0);

    QVERIFY(!connection->send(pattern(kMaxPendingOutput * 8)));
    QVERIFY(!connection->isOpen());
    QCOMPARE(m_log->events.last(), QByteArray("clientDisconnect"));
    QCOMPARE(m_log->count("clientError"), 0);
    QTRY_COMPARE(m_listener->connectionCount(), 0);
    QTRY_VERIFY(terminal->serviceClosed());
}

void TestSocketLayer::refusesPortThatCannotListen_data() {
    QTest::addColumn<bool>("takenPort");
    QTest::newRow("taken") << true;
    QTest::newRow("zero") << false;
}

void TestSocketLayer::refusesPortThatCannotListen() {
    QFETCH(bool, takenPort);
    Listener second(takenPort ? m_port : 0);
    EventLog log(second);

    bool refused = false;
    try {
        second.startListening(kLoopback);
    } catch (const SocketError& error) {
        refused = true;
        QVERIFY(!error.message().isEmpty());
        QCOMPARE(error.errorCode(), takenPort ? EADDRINUSE : 0);
    }
    QVERIFY(refused);
    QVERIFY(!second.isListening());
    QVERIFY(log.events.isEmpty());
    QVERIFY(m_listener->isListening());
}

void TestSocketLayer::stoppedListenerKeepsConnectionsAndRefusesNewOnes() {
    auto terminal = connectTerminal();
    QVERIFY(terminal);
    Connection* connection = m_listener->connection(0);

    m_listener->stopListening();
    QVERIFY(!m_listener->isListening());
    QVERIFY(!Terminal(m_port).isConnected());

    terminal->write("@+@");
    QTRY_COMPARE(m_log->count("clientRead @+@"), 1);
    QVERIFY(connection->send("<Action>UpdatePoticZam</Action>@"));
    QTRY_COMPARE(terminal->received(), QByteArray("<Action>UpdatePoticZam</Action>@"));
    QCOMPARE(m_listener->connectionCount(), 1);

    // The driver may come back on the same port while the old connection still holds it.
    m_listener->startListening(kLoopback);
    QCOMPARE(m_log->count("listening"), 2);
    QVERIFY(connectTerminal());
    QCOMPARE(m_listener->connectionCount(), 2);
}

void TestSocketLayer::droppedConnectionsCloseWithoutEvents_data() {
    QTest::addColumn<bool>("destroyListener");
    QTest::newRow("drop") << false;
    QTest::newRow("destroy listener") << true;
}

void TestSocketLayer::droppedConnectionsCloseWithoutEvents() {
    QFETCH(bool, destroyListener);
    auto first = connectTerminal();
    QVERIFY(first);
    auto second = connectTerminal();
    QVERIFY(second);
    const qsizetype before = m_log->events.size();

    if (destroyListener) {
        m_listener.reset();
    } else {
        m_listener->dropAllConnections();
        QVERIFY(!m_listener->connection(0)->isOpen());
    }

    QTRY_VERIFY(first->serviceClosed());
    QTRY_VERIFY(second->serviceClosed());
    if (!destroyListener) {
        QTRY_COMPARE(m_listener->connectionCount(), 0);
        QVERIFY(m_listener->isListening());
    }
    QCOMPARE(m_log->eventsSince(before), QByteArrayList());
}

QTEST_GUILESS_MAIN(TestSocketLayer)
#include "test_socket_layer.moc"
