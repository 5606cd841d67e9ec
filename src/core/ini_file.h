#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace taxi {

// A Windows INI file held as its lines, read and edited the way Windows itself does it: section and key
// names match without regard to case, values lose their surrounding blanks (and one pair of enclosing
// quotes), the first of duplicate sections or keys wins. Editing a value touches only that key's line, so
// comments, unknown keys and other sections stay byte for byte as the operator left them. The text is
// Windows-1251; lines the editor writes end with CR LF.
class IniFile {
public:
    // Reads the file; a missing file is an empty one. Returns an error text when the file exists but
    // cannot be read, leaving this object unchanged.
    std::optional<QString> load(const QString& path);
    // Writes the lines to the file, creating it when needed, and returns an error text on failure. The old
    // file stays whole until the new text is complete.
    std::optional<QString> save(const QString& path) const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    // Rewrites the key's line in place; a missing key goes after the last key of its section, a missing
    // section to the end of the file.
    void setValue(const QString& section, const QString& key, const QString& value);

private:
    struct Line {
        QByteArray bytes; // as in the file, with its line end
        QString text;     // decoded, without the line end
    };

    static IniFile fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;
    static Line makeLine(const QString& text);
    qsizetype findSection(const QString& section) const;
    qsizetype sectionEnd(qsizetype header) const;
    qsizetype findKey(qsizetype header, const QString& key) const;
    void insertLine(qsizetype index, const QString& text);

    QList<Line> m_lines;
};

} // namespace taxi
