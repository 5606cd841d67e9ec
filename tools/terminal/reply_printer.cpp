#include "reply_printer.h"

#include <QRegularExpression>
#include <QStringConverter>
#include <QStringDecoder>

namespace {

// Values that decode from Base64 to clean UTF-8 text are taken for encoded free text.
QString decodedText(const QString& value) {
    static const QRegularExpression base64(
        QStringLiteral("^(?:[A-Za-z0-9+/]{4})*(?:[A-Za-z0-9+/]{2}==|[A-Za-z0-9+/]{3}=)?$"));
    if (value.size() < 4 || !base64.match(value).hasMatch())
        return {};
    const QByteArray bytes = QByteArray::fromBase64(value.toLatin1());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return {};
    for (const QChar c : text) {
        if (!c.isPrint() && c != QLatin1Char('\n'))
            return {};
    }
    return text;
}

} // namespace

QString readableReply(const QByteArray& reply) {
    const QString text = QString::fromLatin1(reply);
    static const QRegularExpression element(QStringLiteral("<(/?)([^<>]+)>|([^<>]+)"));
    QString out;
    int depth = 0;
    QString openTag;
    auto it = element.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        if (!match.captured(3).isEmpty()) {
            const QString value = match.captured(3);
            const QString decoded = decodedText(value);
            out += QString(depth * 2, QLatin1Char(' ')) + openTag + QStringLiteral(" = ") + value;
            if (!decoded.isNull())
                out += QStringLiteral("   «") + decoded + QStringLiteral("»");
            out += QLatin1Char('\n');
            openTag.clear();
        } else if (match.captured(1).isEmpty()) {
            if (!openTag.isEmpty())
                out += QString(depth * 2, QLatin1Char(' ')) + openTag + QLatin1Char('\n');
            openTag = match.captured(2);
            ++depth;
        } else {
            --depth;
            if (!openTag.isEmpty()) // an empty element
                out += QString(depth * 2, QLatin1Char(' ')) + openTag + QStringLiteral(" = \n");
            openTag.clear();
        }
    }
    return out.isEmpty() ? text + QLatin1Char('\n') : out;
}
