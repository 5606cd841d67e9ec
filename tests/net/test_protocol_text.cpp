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
    void parsesDecimalInt_data();
    void parsesDecimalInt();
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

void TestProtocolText::parsesDecimalInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<int>("value");

    QTest::newRow("port") << QStringLiteral("30011") << true << 30011;
    QTest::newRow("blanks around") << QStringLiteral(" \t42 ") << true << 42;
    QTest::newRow("plus sign") << QStringLiteral("+7") << true << 7;
    QTest::newRow("minus sign") << QStringLiteral("-15") << true << -15;
    QTest::newRow("leading zeros") << QStringLiteral("007") << true << 7;
    QTest::newRow("largest") << QStringLiteral("2147483647") << true << 2147483647;
    QTest::newRow("lowest") << QStringLiteral("-2147483648") << true << int(-2147483648LL);
    QTest::newRow("just past largest") << QStringLiteral("2147483648") << false << 0;
    QTest::newRow("just past lowest") << QStringLiteral("-2147483649") << false << 0;
    QTest::newRow("many digits") << QStringLiteral("99999999999999999999999") << false << 0;
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("blanks only") << QStringLiteral("   ") << false << 0;
    QTest::newRow("sign only") << QStringLiteral("-") << false << 0;
    QTest::newRow("two signs") << QStringLiteral("+-1") << false << 0;
    QTest::newRow("trailing letter") << QStringLiteral("12a") << false << 0;
    QTest::newRow("blank inside") << QStringLiteral("1 2") << false << 0;
    QTest::newRow("hexadecimal") << QStringLiteral("0x1F") << false << 0;
    QTest::newRow("fraction") << QStringLiteral("1.0") << false << 0;
    QTest::newRow("digits of another script") << QStringLiteral("١٢") << false << 0;
}

void TestProtocolText::parsesDecimalInt() {
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(int, value);

    const std::optional<int> parsed = parseDecimalInt(text);
    QCOMPARE(parsed.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*parsed, value);
}

QTEST_GUILESS_MAIN(TestProtocolText)
#include "test_protocol_text.moc"
