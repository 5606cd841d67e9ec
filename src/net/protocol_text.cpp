#include "net/protocol_text.h"

#include "core/text_codec.h"

#include <array>

namespace taxi::net {

namespace {

constexpr int kFillMark = -1;
constexpr int kNotInAlphabet = -2;

int base64Value(QChar character) {
    const char16_t c = character.unicode();
    if (c >= u'A' && c <= u'Z')
        return c - u'A';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 26;
    if (c >= u'0' && c <= u'9')
        return c - u'0' + 52;
    if (c == u'+')
        return 62;
    if (c == u'/')
        return 63;
    if (c == u'=')
        return kFillMark;
    return kNotInAlphabet;
}

} // namespace

QString copyBetween(const QString& text, const QString& open, const QString& close) {
    const qsizetype openPosition = text.indexOf(open) + 1;
    const qsizetype closePosition = text.indexOf(close) + 1;
    const qsizetype count = closePosition - openPosition - 1;
    if (count <= 0)
        return {};
    return text.mid(openPosition, count);
}

QString extractBetween(const QString& text, const QString& open, const QString& close) {
    const qsizetype openIndex = text.indexOf(open);
    const qsizetype closeIndex = text.indexOf(close);
    if (openIndex < 0 || closeIndex < 0)
        return {};
    const qsizetype count = closeIndex - openIndex - open.size();
    if (count <= 0)
        return {};
    return text.mid(openIndex + open.size(), count);
}

QString element(const QString& tag, const QString& value) {
    return QLatin1Char('<') + tag + QLatin1Char('>') + value + QStringLiteral("</") + tag + QLatin1Char('>');
}

QByteArray decodeBase64Loosely(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 3 / 4);
    std::array<int, 4> group{};
    qsizetype collected = 0;
    for (const QChar character : text) {
        const int value = base64Value(character);
        if (value == kNotInAlphabet)
            continue;
        group[collected++] = value;
        if (collected < 4)
            continue;
        collected = 0;
        // A fill mark in the first two places is not Base64 at all; it is taken like any fill mark,
        // as the end of the data, so the group adds nothing and the bytes decoded so far stand.
        if (group[0] == kFillMark || group[1] == kFillMark)
            break;
        bytes.append(char((group[0] << 2) | (group[1] >> 4)));
        if (group[2] == kFillMark)
            break;
        bytes.append(char(((group[1] & 0x0F) << 4) | (group[2] >> 2)));
        if (group[3] == kFillMark)
            break;
        bytes.append(char(((group[2] & 0x03) << 6) | group[3]));
    }
    return bytes;
}

QString decodeText(QStringView text) {
    return fromWin1251(decodeBase64Loosely(text));
}

QString base64OfUtf8(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toBase64());
}

} // namespace taxi::net
