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

void frameChunk(QByteArrayView chunk, QByteArray& pending,
                const std::function<AfterRequest(const QByteArray& request)>& onRequest) {
    if (!chunk.contains(kMark)) {
        pending.append(chunk);
        dropIfOverlong(pending);
        return;
    }
    // Only the opening "@" checks the length here: a long request whose closing "@" arrives
    // in this chunk or the next one that holds an "@" is still complete and is dispatched.
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const char character = chunk[i];
        if (character != kMark) {
            pending.append(character);
        } else if (pending.contains(kMark)) {
            pending.append(character);
            // The buffer is emptied before the request runs: the request is no longer pending.
            const QByteArray request = std::exchange(pending, QByteArray());
            if (onRequest(request) == AfterRequest::Stop)
                return;
        } else {
            pending.append(character);
            dropIfOverlong(pending);
        }
    }
}

bool isKeepAlive(const QByteArray& request) {
    return request == QByteArrayView("@+@");
}

} // namespace taxi::net
