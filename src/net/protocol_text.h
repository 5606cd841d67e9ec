#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Reading the parameters of a terminal's request and the text encodings of the wire.
namespace taxi::net {

// The characters strictly between the first opening mark and the first closing mark, counted the way
// the terminals' protocol always has: with p and q the 1-based positions of the first occurrence of
// each mark (0 when absent), the q - p - 1 characters after position p, or empty when that count is
// not positive. A missing opening mark therefore yields everything before the closing mark, and a
// longer opening mark leaves all but its first character in the result.
QString copyBetween(const QString& text, const QString& open, const QString& close);

// The text right after the first opening mark up to the first closing mark; empty when either mark is
// missing or the closing mark comes first.
QString extractBetween(const QString& text, const QString& open, const QString& close);

// One element of a reply: "<" tag ">" value "</" tag ">".
QString element(const QString& tag, const QString& value);

// Base64 read the forgiving way the terminals' text has always been read: characters outside the
// alphabet are skipped, a fill mark ends the data, a last group of fewer than four values is dropped.
QByteArray decodeBase64Loosely(QStringView text);

// Free text from a terminal: Base64 of Windows-1251 bytes.
QString decodeText(QStringView text);

// Free text to a terminal: the UTF-8 bytes of the text in standard Base64, padded, without line breaks.
QString base64OfUtf8(const QString& text);

} // namespace taxi::net
