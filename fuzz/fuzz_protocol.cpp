// Feeds arbitrary bytes through the framing of a slot and the parameter and text functions of the
// dispatcher, checking the rules those functions promise.
//
// Input: byte 0 chooses the shape of the run: its low three bits give how many chunk-length bytes
// follow (none, or all zero: the stream arrives in one chunk), its upper five bits how often a handler gives
// the slot a fresh buffer, as closing the connection or rebuilding the slot table does (0: never, n: after
// every n-th request). The chunk lengths (0 to 255, used in turn) split the rest, the stream itself.

#include "core/integer_text.h"
#include "core/text_codec.h"
#include "net/framing.h"
#include "net/protocol_text.h"

#include <QByteArrayList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

using namespace taxi::net;

namespace {

// Stops the run with the broken rule's name; libFuzzer keeps the input that broke it.
void require(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "broken rule: %s\n", rule);
        std::abort();
    }
}

struct Run {
    QByteArray stream;
    QByteArrayList chunks;
    unsigned stopAfter = 0; // the handler of that request closes its connection; 0 for never
};

Run readRun(const std::uint8_t* data, std::size_t size) {
    Run run;
    if (size == 0)
        return run;
    const std::size_t lengthCount = std::min<std::size_t>(data[0] & 0x07, size - 1);
    run.stopAfter = data[0] >> 3;
    const std::uint8_t* lengths = data + 1;
    run.stream =
        QByteArray(reinterpret_cast<const char*>(lengths + lengthCount), qsizetype(size - 1 - lengthCount));
    std::size_t cycleLength = 0;
    for (std::size_t i = 0; i < lengthCount; ++i)
        cycleLength += lengths[i];
    if (cycleLength == 0) {
        run.chunks << run.stream;
        return run;
    }
    for (qsizetype at = 0, turn = 0; at < run.stream.size(); ++turn) {
        const qsizetype length = lengths[std::size_t(turn) % lengthCount];
        run.chunks << run.stream.mid(at, length);
        at += length;
    }
    return run;
}

bool isSignAndDigits(const QString& text, qsizetype maxDigits) {
    const QString number = text.trimmed();
    const qsizetype digitsFrom = number.startsWith(u'+') || number.startsWith(u'-') ? 1 : 0;
    const qsizetype digits = number.size() - digitsFrom;
    if (digits == 0 || digits > maxDigits)
        return false;
    for (qsizetype i = digitsFrom; i < number.size(); ++i) {
        if (number[i] < u'0' || number[i] > u'9')
            return false;
    }
    return true;
}

void checkNumber(const QString& text) {
    const std::optional<int> number = taxi::parseInteger(text);
    if (number) {
        require(taxi::parseInteger(QString::number(*number)) == number, "a number reads back as itself");
    } else {
        require(!isSignAndDigits(text, 9), "nine digits always make a number");
    }
}

void checkParameters(const QString& request) {
    static const std::pair<QString, QString> kMarks[] = {
        {QStringLiteral("("), QStringLiteral(")")},
        {QStringLiteral("["), QStringLiteral("]")},
        {QStringLiteral("{"), QStringLiteral("}")},
        {QStringLiteral("@OC("), QStringLiteral(")")},
    };
    for (const auto& [open, close] : kMarks) {
        const QString copied = copyBetween(request, open, close);
        require(request.contains(copied), "copyBetween cuts from the request");
        require(!copied.contains(close), "copyBetween stops before the first closing mark");
        checkNumber(copied);

        const QString extracted = extractBetween(request, open, close);
        if (!extracted.isEmpty()) {
            const qsizetype from = request.indexOf(open) + open.size();
            require(QStringView(request).mid(from, extracted.size()) == extracted,
                    "extractBetween starts right after the opening mark");
        }
        require(!extracted.contains(close), "extractBetween stops before the first closing mark");
        checkNumber(extracted);
    }
}

void checkEncodings(const QString& text) {
    const QByteArray decoded = decodeBase64Loosely(text);
    require(decoded.size() * 4 <= text.size() * 3, "four Base64 characters give at most three bytes");
    require(decodeText(text).size() == decoded.size(), "every Windows-1251 byte is one character");
    require(decodeBase64Loosely(base64OfUtf8(text)) == text.toUtf8(), "Base64 of a text decodes back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Run run = readRun(data, size);

    QByteArray buffer;
    QByteArrayList requests;
    const auto onRequest = [&](const QByteArray& request) {
        require(buffer.isEmpty(), "a request leaves the buffer before it runs");
        require(request.endsWith('@') && request.count('@') == 2, "a request runs from one mark to the next");
        requests << request;
        if (!isKeepAlive(request)) {
            const QString text = taxi::fromWin1251(request);
            checkParameters(text);
            checkEncodings(text);
        }
        return requests.size() == qsizetype(run.stopAfter) ? AfterRequest::Stop : AfterRequest::GoOn;
    };

    bool stopped = false;
    for (const QByteArray& chunk : run.chunks) {
        const qsizetype before = requests.size();
        frameChunk(chunk, buffer, onRequest);
        require(requests.size() - before <= chunk.count('@'), "a chunk runs no more requests than its marks");
        if (requests.size() >= qsizetype(run.stopAfter) && run.stopAfter != 0) {
            require(requests.size() == qsizetype(run.stopAfter), "nothing runs after the handler stopped");
            stopped = true;
            break; // the connection is gone: no further chunk arrives
        }
        require(buffer.count('@') <= 1, "the buffer holds at most an opening mark");
        if (!chunk.contains('@'))
            require(buffer.size() <= kMaxPendingRequest, "a chunk without a mark keeps the buffer in bounds");
    }

    // Requests are pieces of the stream, in order; nothing is lost while the length limit cannot bite.
    qsizetype searchFrom = 0;
    for (const QByteArray& request : std::as_const(requests)) {
        const qsizetype at = run.stream.indexOf(request, searchFrom);
        require(at >= 0, "a request is a piece of the stream, in order");
        searchFrom = at + request.size();
    }
    if (!stopped && run.stream.size() <= kMaxPendingRequest)
        require(requests.join() + buffer == run.stream, "a short stream is framed without loss");
    return 0;
}
