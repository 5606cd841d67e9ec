#include "net/native_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace taxi::net::native {

namespace {

constexpr int kListenBacklog = SOMAXCONN;

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// Our own socket calls are never interrupted on purpose; a signal handler elsewhere in the process
// may still land in one.
template <typename Call> auto retryInterrupted(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) {
        result = call();
    }
    return result;
}

// Any address that is not an IPv6 one binds as IPv4, the wildcard included: the terminals reach the
// service over IPv4.
socklen_t toSockaddr(const QHostAddress& address, quint16 port, sockaddr_storage& storage) {
    std::memset(&storage, 0, sizeof storage);
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(storage);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6.sin6_addr, bytes.c, sizeof bytes.c);
        return sizeof in6;
    }
    auto& in4 = reinterpret_cast<sockaddr_in&>(storage);
    in4.sin_family = AF_INET;
    in4.sin_port = htons(port);
    in4.sin_addr.s_addr = address.protocol() == QAbstractSocket::IPv4Protocol ? htonl(address.toIPv4Address())
                                                                              : htonl(INADDR_ANY);
    return sizeof in4;
}

HandleResult failure(int error) {
    return {Status::Failed, kInvalidHandle, error};
}

TransferResult transferFailure(int error) {
    return wouldBlock(error) ? TransferResult{Status::WouldBlock, 0, 0}
                             : TransferResult{Status::Failed, 0, error};
}

} // namespace

HandleResult listenOn(const QHostAddress& address, quint16 port) {
    sockaddr_storage storage;
    const socklen_t length = toSockaddr(address, port, storage);
    const int socket = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return failure(errno);
    }
    const int on = 1;
    if (::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0 ||
        ::bind(socket, reinterpret_cast<const sockaddr*>(&storage), length) < 0 ||
        ::listen(socket, kListenBacklog) < 0) {
        const int error = errno;
        ::close(socket);
        return failure(error);
    }
    return {Status::Done, socket, 0};
}

HandleResult acceptPending(Handle listening) {
    const int socket = retryInterrupted(
        [listening] { return ::accept4(int(listening), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC); });
    if (socket >= 0) {
        return {Status::Done, socket, 0};
    }
    const int error = errno;
    return wouldBlock(error) ? HandleResult{Status::WouldBlock, kInvalidHandle, 0} : failure(error);
}

TransferResult receive(Handle socket, char* buffer, qsizetype capacity) {
    const ssize_t received =
        retryInterrupted([&] { return ::recv(int(socket), buffer, size_t(capacity), 0); });
    if (received > 0) {
        return {Status::Done, received, 0};
    }
    if (received == 0) {
        return {Status::EndOfStream, 0, 0};
    }
    return transferFailure(errno);
}

TransferResult sendSome(Handle socket, const char* data, qsizetype size) {
    const ssize_t sent =
        retryInterrupted([&] { return ::send(int(socket), data, size_t(size), MSG_NOSIGNAL); });
    if (sent >= 0) {
        return {Status::Done, sent, 0};
    }
    return transferFailure(errno);
}

quint16 localPort(Handle socket) {
    sockaddr_storage storage;
    socklen_t length = sizeof storage;
    if (::getsockname(int(socket), reinterpret_cast<sockaddr*>(&storage), &length) < 0) {
        return 0;
    }
    const in_port_t port = storage.ss_family == AF_INET6
                               ? reinterpret_cast<const sockaddr_in6&>(storage).sin6_port
                               : reinterpret_cast<const sockaddr_in&>(storage).sin_port;
    return ntohs(port);
}

QHostAddress peerAddress(Handle socket) {
    sockaddr_storage storage;
    socklen_t length = sizeof storage;
    if (::getpeername(int(socket), reinterpret_cast<sockaddr*>(&storage), &length) < 0) {
        return {};
    }
    return QHostAddress(reinterpret_cast<const sockaddr*>(&storage));
}

void closeHandle(Handle socket) {
    // Retrying close after EINTR could close a descriptor another part of the program just received.
    ::close(int(socket));
}

} // namespace taxi::net::native
