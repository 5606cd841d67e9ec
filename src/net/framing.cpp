#include "net/framing.h"

#include <utility>

namespace taxi::net {

namespace {

constexpr char kMark = '@';

// A terminal that never closes its request must not make the buffer grow without end.
void dropIfOverlong(QByteArray& pending) {
    if (pending.size() > kMaxPendingRequest)
        pending.clear();
}

} // namespace

void frameChunk(QByteArrayView chunk, const std::function<QByteArray&()>& buffer,
                const std::function<void(const QByteArray& request)>& onRequest) {
    QByteArray* pending = &buffer();
    if (!chunk.contains(kMark)) {
        pending->append(chunk);
        dropIfOverlong(*pending);
        return;
    }
    // Only the opening "@" checks the length here: a long request whose closing "@" arrives
    // in this chunk or the next one that holds an "@" is still complete and is dispatched.
    for (const char character : chunk) {
        if (character != kMark) {
            pending->append(character);
        } else if (pending->contains(kMark)) {
            pending->append(character);
            // The buffer is emptied before the request runs, so that a handler resetting the
            // slot finds nothing of this request left in it.
            const QByteArray request = std::exchange(*pending, QByteArray());
            onRequest(request);
            pending = &buffer();
        } else {
            pending->append(character);
            dropIfOverlong(*pending);
        }
    }
}

bool isKeepAlive(const QByteArray& request) {
    return request == QByteArrayView("@+@");
}

} // namespace taxi::net
