#pragma once

#include <QHostAddress>
#include <QtGlobal>

// The few system calls the socket layer makes, as free functions over non-blocking TCP sockets, so that
// the listener and connection code is the same on every system and only this file's implementation
// differs. Failures come back as the system's own error codes; nothing here raises or prints.
namespace taxi::net::native {

using Handle = qintptr;
constexpr Handle kInvalidHandle = -1;

enum class Status {
    Done,        // the call did its work (possibly part of it, for a send)
    WouldBlock,  // nothing to do right now: no pending connection, no data, no room to send
    EndOfStream, // the peer closed its side in order
    Failed,      // see the error code
};

struct HandleResult {
    Status status = Status::Failed;
    Handle handle = kInvalidHandle;
    int error = 0;
};

struct TransferResult {
    Status status = Status::Failed;
    qsizetype bytes = 0;
    int error = 0;
};

// A non-blocking socket bound to the address and port (reusing a port left in a closing state) and
// listening.
HandleResult listenOn(const QHostAddress& address, quint16 port);

// The next pending connection of a listening socket, non-blocking like its listener.
HandleResult acceptPending(Handle listening);

// Up to `capacity` bytes that have arrived.
TransferResult receive(Handle socket, char* buffer, qsizetype capacity);

// As many of the bytes as the network takes now. Never raises a signal when the peer has gone.
TransferResult sendSome(Handle socket, const char* data, qsizetype size);

quint16 localPort(Handle socket);
QHostAddress peerAddress(Handle socket);

void closeHandle(Handle socket);

} // namespace taxi::net::native
