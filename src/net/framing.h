#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

// Cuts a terminal's byte stream into requests. A request runs from an opening "@" to the next "@";
// whatever arrived before the opening "@" stays in front of it. Framing knows nothing of sockets so
// that it can be tested and fuzzed on bytes alone.
namespace taxi::net {

// A buffer that grows past this many bytes while waiting for its request to complete is dropped.
constexpr qsizetype kMaxPendingRequest = 1000;

// What the framing does after a request has run.
enum class AfterRequest { GoOn, Stop };

// Feeds one received chunk into a connection's buffer and hands every complete request, in order, to
// onRequest. When onRequest answers Stop (its connection is gone), the rest of the chunk is dropped.
void frameChunk(QByteArrayView chunk, QByteArray& pending,
                const std::function<AfterRequest(const QByteArray& request)>& onRequest);

// The terminal's keep-alive, framed like any request but never answered: exactly "@+@".
bool isKeepAlive(const QByteArray& request);

} // namespace taxi::net
