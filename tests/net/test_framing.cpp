#include "net/framing.h"

#include <QByteArrayList>
#include <QTest>
#include <deque>

using taxi::net::AfterRequest;
using taxi::net::frameChunk;
using taxi::net::isKeepAlive;
using taxi::net::kMaxPendingRequest;

class TestFraming : public QObject {
    Q_OBJECT

private slots:
    void framesChunksIntoRequests_data();
    void framesChunksIntoRequests();
    void keepAliveIsOnlyTheExactText();
    void handlerThatStopsDropsTheRestOfTheChunk();
};

namespace {

QByteArray filler(qsizetype length) {
    return QByteArray(length, 'x');
}

} // namespace

void TestFraming::framesChunksIntoRequests_data() {
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("requests");
    QTest::addColumn<QByteArray>("pending");

    // The framer hands the keep-alive on like any request; the dispatcher is the one that skips it.
    QTest::newRow("keep-alive") << QByteArrayList{"@+@"} << QByteArrayList{"@+@"} << QByteArray();
    QTest::newRow("stray character before keep-alive")
        << QByteArrayList{"x@+@"} << QByteArrayList{"x@+@"} << QByteArray();
    QTest::newRow("two requests in one chunk")
        << QByteArrayList{"@PZ7@@S@"} << QByteArrayList{"@PZ7@", "@S@"} << QByteArray();
    QTest::newRow("request split over two chunks")
        << QByteArrayList{"@PZ", "7@"} << QByteArrayList{"@PZ7@"} << QByteArray();
    QTest::newRow("empty request") << QByteArrayList{"@@"} << QByteArrayList{"@@"} << QByteArray();
    QTest::newRow("characters before the opening mark stay in front")
        << QByteArrayList{"ab", "c@S@"} << QByteArrayList{"abc@S@"} << QByteArray();
    QTest::newRow("unfinished request waits")
        << QByteArrayList{"@S@@PZ"} << QByteArrayList{"@S@"} << QByteArray("@PZ");
    QTest::newRow("empty chunk changes nothing")
        << QByteArrayList{"@PZ", "", "7@"} << QByteArrayList{"@PZ7@"} << QByteArray();

    QTest::newRow("chunk without mark up to the limit is kept")
        << QByteArrayList{filler(kMaxPendingRequest)} << QByteArrayList{} << filler(kMaxPendingRequest);
    QTest::newRow("chunk without mark past the limit empties the buffer")
        << QByteArrayList{filler(kMaxPendingRequest + 1)} << QByteArrayList{} << QByteArray();
    // The dropped request's closing mark then opens a new one: the stream stays out of step
    // until the terminal sends again.
    QTest::newRow("open request pushed past the limit by a chunk without mark is dropped")
        << QByteArrayList{"@" + filler(kMaxPendingRequest - 1), "xx", "S@"} << QByteArrayList{}
        << QByteArray("S@");
    QTest::newRow("long request closed in the next chunk with a mark")
        << QByteArrayList{"@" + filler(1500), "y@"} << QByteArrayList{"@" + filler(1500) + "y@"}
        << QByteArray();
    QTest::newRow("long request in one chunk") << QByteArrayList{"@" + filler(1500) + "@"}
                                               << QByteArrayList{"@" + filler(1500) + "@"} << QByteArray();
    QTest::newRow("opening mark on a full buffer empties it")
        << QByteArrayList{filler(kMaxPendingRequest), "@S@"} << QByteArrayList{} << QByteArray("S@");
    QTest::newRow("opening mark reaching the limit is kept")
        << QByteArrayList{filler(kMaxPendingRequest - 1), "@S@"}
        << QByteArrayList{filler(kMaxPendingRequest - 1) + "@S@"} << QByteArray();
}

void TestFraming::framesChunksIntoRequests() {
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, requests);
    QFETCH(QByteArray, pending);

    QByteArray buffer;
    QByteArrayList dispatched;
    QByteArrayList bufferWhileDispatching;
    for (const QByteArray& chunk : chunks) {
        frameChunk(chunk, buffer, [&](const QByteArray& request) {
            dispatched << request;
            bufferWhileDispatching << buffer;
            return AfterRequest::GoOn;
        });
    }

    QCOMPARE(dispatched, requests);
    QCOMPARE(buffer, pending);
    // A request leaves the buffer before it runs, so that a handler resetting the slot loses nothing.
    QCOMPARE(bufferWhileDispatching, QByteArrayList(requests.size(), QByteArray()));
}

void TestFraming::keepAliveIsOnlyTheExactText() {
    QVERIFY(isKeepAlive("@+@"));
    QVERIFY(!isKeepAlive("x@+@"));
    QVERIFY(!isKeepAlive("@++@"));
    QVERIFY(!isKeepAlive("@@"));
}

// A handler that closed its own connection stops the framing: nothing more of that chunk runs.
void TestFraming::handlerThatStopsDropsTheRestOfTheChunk() {
    QByteArray buffer;
    QByteArrayList dispatched;
    frameChunk("@S@@CLOSE@@PZ7@@S", buffer, [&](const QByteArray& request) {
        dispatched << request;
        return request == "@CLOSE@" ? AfterRequest::Stop : AfterRequest::GoOn;
    });

    QCOMPARE(dispatched, (QByteArrayList{"@S@", "@CLOSE@"}));
    QCOMPARE(buffer, QByteArray());
}

QTEST_GUILESS_MAIN(TestFraming)
#include "test_framing.moc"
