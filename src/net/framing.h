#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

// Cuts a terminal's byte stream into requests. A request runs from an opening "@" to the next "@";
// whatever arrived before the opening "@" stays in front of it. Framing knows nothing of sockets so
// that it can be tested and fuzzed on bytes alone.
namespace taxi::net {

// A slot's buffer that grows past this many bytes while waiting for its request to complete is dropped.
constexpr qsizetype kMaxPendingRequest = 1000;

// Feeds one received chunk into a slot's buffer and hands every complete request, in order, to onRequest.
// The buffer is fetched through `buffer()` anew after each request, because handling a request may
// reset the slot (and so its buffer) or close connections.
void frameChunk(QByteArrayView chunk, const std::function<QByteArray&()>& buffer,
                const std::function<void(const QByteArray& request)>& onRequest);

// The terminal's keep-alive, framed like any request but never answered: exactly "@+@".
bool isKeepAlive(const QByteArray& request);

} // namespace taxi::net
