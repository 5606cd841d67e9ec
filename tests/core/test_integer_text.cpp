#include "core/integer_text.h"

#include "core/db/db_error.h"

#include <QTest>

using namespace taxi;

// Numbers typed by people and sent by terminals: settings values, the login's port.
class IntegerTextTest : public QObject {
    Q_OBJECT

private slots:
    void readsIntegers_data();
    void readsIntegers();
    void statementNumbers_data();
    void statementNumbers();
};

void IntegerTextTest::readsIntegers_data() {
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
    QTest::newRow("hexadecimal") << QStringLiteral("0x1F") << true << 31;
    QTest::newRow("hexadecimal, Pascal style") << QStringLiteral("$ff") << true << 255;
    QTest::newRow("hexadecimal, all bits") << QStringLiteral("$FFFFFFFF") << true << -1;
    QTest::newRow("hexadecimal without digits") << QStringLiteral("0x") << false << 0;
    QTest::newRow("fraction") << QStringLiteral("1.0") << false << 0;
    QTest::newRow("digits of another script") << QStringLiteral("١٢") << false << 0;
}

void IntegerTextTest::readsIntegers() {
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(int, value);

    const std::optional<int> parsed = parseInteger(text);
    QCOMPARE(parsed.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*parsed, value);
}

// What a statement would make of a request's number: a value, a match for nothing, or an error.
void IntegerTextTest::statementNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome");

    QTest::newRow("number") << QStringLiteral(" 9 ") << QStringLiteral("9");
    QTest::newRow("numeral beyond 32 bits")
        << QStringLiteral("99999999999") << QStringLiteral("matches nothing");
    QTest::newRow("letters") << QStringLiteral("9 OR 1=1") << QStringLiteral("error");
    QTest::newRow("empty") << QString() << QStringLiteral("error");
}

void IntegerTextTest::statementNumbers() {
    QFETCH(QString, text);
    QFETCH(QString, outcome);

    QString result;
    try {
        const std::optional<int> number = statementNumber(text);
        result = number ? QString::number(*number) : QStringLiteral("matches nothing");
    } catch (const db::DbError&) {
        result = QStringLiteral("error");
    }
    QCOMPARE(result, outcome);
}

QTEST_GUILESS_MAIN(IntegerTextTest)
#include "test_integer_text.moc"
