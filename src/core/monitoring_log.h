#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace taxi {

// The monitoring log of the main window: the lines every part of the service writes for the operator, in
// the order they came. Nothing in it is read back by the service.
class MonitoringLog : public QObject {
    Q_OBJECT

public:
    // At the minute's mark a log this long is written away.
    static constexpr qsizetype kAutomaticSaveLines = 10000;
    // A flood of lines can outrun the mark, or stop the tick: a log this long is written away at once.
    static constexpr qsizetype kMaxLines = 2 * kAutomaticSaveLines;

    // The folder is where the log writes itself away when it reaches its greatest length.
    explicit MonitoringLog(const QString& folder = QStringLiteral("."), QObject* parent = nullptr);

    const QStringList& lines() const { return m_lines; }

    void append(const QString& line);
    // Empties the log, its first line "МОНІТОРИНГ" included.
    void clear();

    // Writes the log to "MONITORYNG_<date>_<time>.txt" in the folder (with "_2", "_3"… added when a file of
    // that name exists) and clears it. On failure the log is kept and the error text for the operator
    // returned.
    std::optional<QString> save(const QString& folder, const QDateTime& now);

    // The minute's mark: a blank line and the time, then the automatic save of a log grown too long.
    std::optional<QString> writeTimeMark(const QString& folder, const QDateTime& now);

signals:
    void appended(const QString& line);
    void cleared();
    // The log reached its greatest length and could not be written away: its oldest lines were dropped.
    void automaticSaveFailed(const QString& error);

private:
    void saveOrTrim();

    QString m_folder;
    QStringList m_lines;
};

} // namespace taxi
