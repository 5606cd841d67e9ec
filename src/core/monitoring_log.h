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
    explicit MonitoringLog(QObject* parent = nullptr);

    const QStringList& lines() const { return m_lines; }

    void append(const QString& line);
    // Empties the log, its first line "МОНІТОРИНГ" included.
    void clear();

    // Writes the log to "MONITORYNG_<date>_<time>.txt" in the folder (overwriting a file of that name) and
    // clears it. On failure the log is kept and the error text for the operator returned.
    std::optional<QString> save(const QString& folder, const QDateTime& now);

    // The minute's mark: a blank line and the time, then the automatic save of a log grown too long.
    std::optional<QString> writeTimeMark(const QString& folder, const QDateTime& now);

signals:
    void appended(const QString& line);
    void cleared();

private:
    QStringList m_lines;
};

} // namespace taxi
