#include "core/text_codec.h"
#include "net/protocol_text.h"

#include <QTest>

using namespace taxi::net;

class TestProtocolText : public QObject {
    Q_OBJECT

private slots:
    void cutsTextBetweenMarks_data();
    void cutsTextBetweenMarks();
    void decodesBase64Loosely_data();
    void decodesBase64Loosely();
    void decodesTerminalTextAsWindows1251();
    void encodesTextAsBase64OfUtf8_data();
    void encodesTextAsBase64OfUtf8();
};

// Both rules side by side: they agree on well-formed parameters and part where a mark is missing
// or the opening mark is longer than one character.
void TestProtocolText::cutsTextBetweenMarks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("close");
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QString>("extracted");

    const QString login = QStringLiteral("@OC(30011)[1111]@");
    QTest::newRow("login port") << login << QStringLiteral("(") << QStringLiteral(")")
                                << QStringLiteral("30011") << QStringLiteral("30011");
    QTest::newRow("login password") << login << QStringLiteral("[") << QStringLiteral("]")
                                    << QStringLiteral("1111") << QStringLiteral("1111");
    QTest::newRow("number among other characters")
        << QStringLiteral("ab[12]cd") << QStringLiteral("[") << QStringLiteral("]") << QStringLiteral("12")
        << QStringLiteral("12");
    QTest::newRow("marks in reverse order")
        << QStringLiteral("ab]12[cd") << QStringLiteral("[") << QStringLiteral("]") << QString() << QString();
    QTest::newRow("nothing between the marks")
        << QStringLiteral("@VVZ[]@") << QStringLiteral("[") << QStringLiteral("]") << QString() << QString();
    QTest::newRow("first occurrences count")
        << QStringLiteral("[a[b]c]") << QStringLiteral("[") << QStringLiteral("]") << QStringLiteral("a[b")
        << QStringLiteral("a[b");
    QTest::newRow("closing mark missing")
        << QStringLiteral("ab[12") << QStringLiteral("[") << QStringLiteral("]") << QString() << QString();
    QTest::newRow("opening mark missing") << QStringLiteral("ab12]") << QStringLiteral("[")
                                          << QStringLiteral("]") << QStringLiteral("ab12") << QString();
    QTest::newRow("longer opening mark")
        << QStringLiteral("@inSTOYNKA[Вокзал]@") << QStringLiteral("@inSTOYNKA[") << QStringLiteral("]")
        << QStringLiteral("inSTOYNKA[Вокзал") << QStringLiteral("Вокзал");
    QTest::newRow("closing mark inside the opening mark")
        << QStringLiteral("@VidVid[(3)]@") << QStringLiteral("@VidVid[(") << QStringLiteral("(")
        << QStringLiteral("VidVid[") << QString();
}

void TestProtocolText::cutsTextBetweenMarks() {
    QFETCH(QString, text);
    QFETCH(QString, open);
    QFETCH(QString, close);
    QFETCH(QString, copied);
    QFETCH(QString, extracted);

    QCOMPARE(copyBetween(text, open, close), copied);
    QCOMPARE(extractBetween(text, open, close), extracted);
}

void TestProtocolText::decodesBase64Loosely_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("full group") << QStringLiteral("YWJj") << QByteArray("abc");
    QTest::newRow("blank in the middle skipped") << QStringLiteral("YW Jj") << QByteArray("abc");
    QTest::newRow("line breaks and foreign letters skipped")
        << QStringLiteral("YW\r\nЖJj") << QByteArray("abc");
    QTest::newRow("two fill marks give one byte") << QStringLiteral("YQ==") << QByteArray("a");
    QTest::newRow("one fill mark gives two bytes") << QStringLiteral("YWI=") << QByteArray("ab");
    QTest::newRow("fill mark ends the data") << QStringLiteral("YQ==YWJj") << QByteArray("a");
    QTest::newRow("leftover values dropped") << QStringLiteral("YWJjZA") << QByteArray("abc");
    QTest::newRow("all byte values") << QStringLiteral("AP+A/w==") << QByteArray("\x00\xff\x80\xff", 4);
    QTest::newRow("empty") << QString() << QByteArray();
    // Not Base64 at all: taken as the end of the data, whatever came before stands.
    QTest::newRow("fill mark first") << QStringLiteral("YWJj=AAA") << QByteArray("abc");
    QTest::newRow("fill mark second") << QStringLiteral("A===") << QByteArray();
    QTest::newRow("only fill marks") << QStringLiteral("========") << QByteArray();
}

void TestProtocolText::decodesBase64Loosely() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    QCOMPARE(decodeBase64Loosely(text), bytes);
}

void TestProtocolText::decodesTerminalTextAsWindows1251() {
    const QString text = QStringLiteral("Тест");
    QCOMPARE(QStringLiteral("0uXx8g=="), QString::fromLatin1(taxi::toWin1251(text).toBase64()));

    QCOMPARE(decodeText(QStringLiteral("0uXx8g==")), text);
    QCOMPARE(decodeText(QStringLiteral("0uX x8g==")), text);
}

void TestProtocolText::encodesTextAsBase64OfUtf8_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("base64");

    QTest::newRow("latin") << QStringLiteral("abc") << QStringLiteral("YWJj");
    QTest::newRow("cyrillic, padded") << QStringLiteral("Тест") << QStringLiteral("0KLQtdGB0YI=");
    QTest::newRow("ukrainian letters and punctuation")
        << QStringLiteral("Привіт, водію!") << QStringLiteral("0J/RgNC40LLRltGCLCDQstC+0LTRltGOIQ==");
    QTest::newRow("empty") << QString() << QString();
}

void TestProtocolText::encodesTextAsBase64OfUtf8() {
    QFETCH(QString, text);
    QFETCH(QString, base64);

    QCOMPARE(base64OfUtf8(text), base64);
    QCOMPARE(decodeBase64Loosely(base64), text.toUtf8());
}

QTEST_GUILESS_MAIN(TestProtocolText)
#include "test_protocol_text.moc"
