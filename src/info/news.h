#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// The news the operator publishes for the drivers (Memo3): the lines of a Windows-1251 text file,
// loaded at start-up and on the operator's reload. Terminals get what is loaded, not the file.
class NewsText : public QObject {
    Q_OBJECT
public:
    // The file both buttons of the news page work with.
    static inline const QString kFileName = QStringLiteral("NEWS.TXT");
    static inline const QString kPlaceholder = QStringLiteral("НОВИН НЕ МАЄ");

    // Opens a file in the desktop's default editor; the window provides it, the service cannot.
    using EditorOpener = std::function<void(const QString& absolutePath)>;

    using QObject::QObject;

    const QStringList& lines() const { return m_lines; }
    void setEditorOpener(EditorOpener opener) { m_openInEditor = std::move(opener); }

    // Each operation gives the operator's error message when a file cannot be read or written.
    // OPEN_LIST_NEWS: the file named by FILE_NEWS, or the placeholder when the name is empty or no file has
    // it.
    std::optional<QString> OPEN_LIST_NEWS(const QString& fileSetting);
    // "ОБНОВИТИ  ДАНІ  НОВИН": NEWS.TXT, or the placeholder.
    std::optional<QString> reload();
    // "ВІДКРИТИ  ФАЙЛ  НОВИН": NEWS.TXT in the editor, made from the placeholder when missing. The news
    // itself changes only when the operator reloads after saving.
    std::optional<QString> openFile();

signals:
    void changed();

private:
    std::optional<QString> loadOrPlaceholder(const QString& fileName);
    void setLines(QStringList lines);

    QStringList m_lines;
    EditorOpener m_openInEditor;
};

// "@NEWS@": every non-empty line as an item numbered by its place among all lines, so that an empty
// line leaves a gap in the numbers.
void sendNews(const net::RequestContext& context);

} // namespace taxi
