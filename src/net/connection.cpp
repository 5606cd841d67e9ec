#include "net/connection.h"

#include "net/event_delivery.h"
#include "net/listener.h"

#include <QPointer>
#include <QSocketNotifier>

namespace taxi::net {

namespace {

constexpr qsizetype kReceiveBlock = 64 * 1024;

// The most bytes handed over as one arrival. A peer that keeps sending faster than we read still
// leaves room for the other connections' events; the rest arrives as the next chunk.
constexpr qsizetype kMaxReceivedChunk = 1024 * 1024;

} // namespace

Connection::Connection(Listener& listener, native::Handle handle)
    : m_listener(&listener), m_handle(handle), m_localPort(native::localPort(handle)),
      m_peerAddress(native::peerAddress(handle)),
      m_readNotifier(new QSocketNotifier(handle, QSocketNotifier::Read, this)),
      m_writeNotifier(new QSocketNotifier(handle, QSocketNotifier::Write, this)) {
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &Connection::onReadable);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &Connection::onWritable);
    m_accepted.start();
}

Connection::~Connection() {
    if (isOpen()) {
        shutDown();
    }
}

void Connection::startEvents() {
    // Reading starts with the first writability, so that a new connection always reports clientWrite
    // before its first clientRead.
    m_writeNotifier->setEnabled(true);
}

bool Connection::send(const QByteArray& bytes) {
    if (!isOpen() || m_failed) {
        return false;
    }
    qsizetype sent = 0;
    if (m_pending.isEmpty()) {
        const native::TransferResult result = native::sendSome(m_handle, bytes.constData(), bytes.size());
        if (result.status == native::Status::Failed) {
            fail(result.error);
            return false;
        }
        sent = result.bytes;
    }
    if (sent == bytes.size()) {
        return true;
    }
    m_pending.append(bytes.constData() + sent, bytes.size() - sent);
    if (m_pending.size() > kMaxPendingOutput) {
        close();
        return false;
    }
    m_writeNotifier->setEnabled(true);
    return true;
}

void Connection::close() {
    if (!isOpen()) {
        return;
    }
    if (!m_failed && !m_pending.isEmpty()) {
        // One last chance for what is waiting; the socket is not kept open for the rest.
        flushPending();
    }
    Listener& listener = *m_listener;
    shutDown();
    listener.connectionClosed(*this);
}

void Connection::onReadable() {
    if (!isOpen()) {
        return;
    }
    EventDelivery delivery;
    QPointer<Connection> self(this);
    QByteArray chunk;
    const native::TransferResult last = receiveAvailable(chunk);
    if (!chunk.isEmpty()) {
        emit m_listener->clientRead(this, chunk);
        if (!self || !isOpen()) {
            return;
        }
    }
    if (last.status == native::Status::EndOfStream) {
        close();
    } else if (last.status == native::Status::Failed) {
        fail(last.error);
    }
}

void Connection::onWritable() {
    if (!isOpen()) {
        return;
    }
    EventDelivery delivery;
    if (!m_announcedWritable) {
        m_announcedWritable = true;
        m_readNotifier->setEnabled(true);
    }
    const native::TransferResult result = flushPending();
    if (result.status == native::Status::Failed) {
        fail(result.error);
        return;
    }
    if (!m_pending.isEmpty()) {
        return;
    }
    // Announced once when the connection first can take data and once after each backlog went out,
    // never while nothing changed: the notifier stays off until the next send leaves bytes waiting.
    m_writeNotifier->setEnabled(false);
    emit m_listener->clientWrite(this);
}

native::TransferResult Connection::receiveAvailable(QByteArray& chunk) {
    for (;;) {
        const qsizetype before = chunk.size();
        chunk.resize(before + kReceiveBlock);
        const native::TransferResult result = native::receive(m_handle, chunk.data() + before, kReceiveBlock);
        chunk.resize(before + result.bytes);
        if (result.status != native::Status::Done || chunk.size() >= kMaxReceivedChunk) {
            return result;
        }
    }
}

native::TransferResult Connection::flushPending() {
    native::TransferResult result{native::Status::Done, 0, 0};
    while (!m_pending.isEmpty() && result.status == native::Status::Done) {
        result = native::sendSome(m_handle, m_pending.constData(), m_pending.size());
        m_pending.remove(0, result.bytes);
    }
    return result;
}

void Connection::fail(int error) {
    EventDelivery delivery;
    QPointer<Connection> self(this);
    m_failed = true;
    emit m_listener->clientError(this, error);
    // The socket is dead whatever the handler did; a handler that left it open still gets its
    // disconnect handling.
    if (self && isOpen()) {
        close();
    }
}

void Connection::shutDown() {
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    native::closeHandle(m_handle);
    m_handle = native::kInvalidHandle;
    m_pending.clear();
}

} // namespace taxi::net
