#include "core/ini_file.h"

#include "core/text_codec.h"

#include <QFile>
#include <QSaveFile>

namespace taxi {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// "[name]" with blanks anywhere around; Windows also takes a header whose "]" is missing.
std::optional<QStringView> sectionName(QStringView line) {
    const QStringView trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    QStringView name = trimmed.sliced(1);
    const qsizetype close = name.indexOf(u']');
    if (close >= 0)
        name = name.first(close);
    return name.trimmed();
}

// "key=value"; everything that is neither a header nor holds "=" (blank lines, comments) is no entry.
std::optional<QStringView> entryKey(QStringView line) {
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0 || sectionName(line))
        return std::nullopt;
    return line.first(equals).trimmed();
}

QString entryValue(QStringView line) {
    QStringView value = line.sliced(line.indexOf(u'=') + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.toString();
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break inside a value would cut the file's structure: the value stays on its one line.
QString singleLine(const QString& value) {
    QString line = value;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

} // namespace

std::optional<QString> IniFile::load(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        m_lines.clear();
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly))
        return file.fileName() + QStringLiteral(": ") + file.errorString();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return file.fileName() + QStringLiteral(": ") + file.errorString();
    *this = fromBytes(bytes);
    return std::nullopt;
}

std::optional<QString> IniFile::save(const QString& path) const {
    QSaveFile file(path);
    // A file the operator may write in a folder he may not: write it in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(toBytes()) < 0 || !file.commit())
        return file.fileName() + QStringLiteral(": ") + file.errorString();
    return std::nullopt;
}

IniFile IniFile::fromBytes(const QByteArray& bytes) {
    IniFile ini;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        Line line{bytes.mid(start, end - start), {}};
        QByteArrayView content(line.bytes);
        while (content.endsWith('\n') || content.endsWith('\r'))
            content.chop(1);
        line.text = fromWin1251(content);
        ini.m_lines.append(std::move(line));
        start = end;
    }
    return ini;
}

QByteArray IniFile::toBytes() const {
    QByteArray bytes;
    for (const Line& line : m_lines)
        bytes += line.bytes;
    return bytes;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
    const qsizetype header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const qsizetype index = findKey(header, key);
    if (index < 0)
        return std::nullopt;
    return entryValue(m_lines[index].text);
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value) {
    const QString text = key + QLatin1Char('=') + singleLine(value);
    qsizetype header = findSection(section);
    if (header < 0) {
        insertLine(m_lines.size(), QLatin1Char('[') + section + QLatin1Char(']'));
        header = m_lines.size() - 1;
    }
    const qsizetype index = findKey(header, key);
    if (index >= 0) {
        m_lines[index] = makeLine(text);
        return;
    }
    qsizetype lastEntry = header;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (entryKey(m_lines[i].text))
            lastEntry = i;
    }
    insertLine(lastEntry + 1, text);
}

IniFile::Line IniFile::makeLine(const QString& text) {
    return Line{toWin1251(text) + kLineEnd, text};
}

qsizetype IniFile::findSection(const QString& section) const {
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const std::optional<QStringView> name = sectionName(m_lines[i].text);
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype header) const {
    qsizetype i = header + 1;
    while (i < m_lines.size() && !sectionName(m_lines[i].text))
        ++i;
    return i;
}

qsizetype IniFile::findKey(qsizetype header, const QString& key) const {
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const std::optional<QStringView> name = entryKey(m_lines[i].text);
        if (name && sameName(*name, key))
            return i;
    }
    return -1;
}

void IniFile::insertLine(qsizetype index, const QString& text) {
    // The line before may be the file's last one, written without a line end.
    if (index > 0 && !m_lines[index - 1].bytes.endsWith('\n'))
        m_lines[index - 1].bytes += kLineEnd;
    m_lines.insert(index, makeLine(text));
}

} // namespace taxi
