#include "core/monitoring_log.h"

#include "core/date_time_text.h"
#include "core/text_codec.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace taxi {

namespace {

// A second save within the same second must not overwrite the first one's lines.
QString freeFilePath(const QString& folder, const QDateTime& now) {
    QString stamp = operatorTimestamp(now);
    stamp.replace(QLatin1Char(' '), QLatin1Char('_'));
    stamp.replace(QLatin1Char(':'), QLatin1Char('-'));
    const QDir directory(folder);
    QString path = directory.filePath(QStringLiteral("MONITORYNG_") + stamp + QStringLiteral(".txt"));
    for (int copy = 2; QFileInfo(path).isFile(); ++copy)
        path = directory.filePath(QStringLiteral("MONITORYNG_%1_%2.txt").arg(stamp).arg(copy));
    return path;
}

} // namespace

MonitoringLog::MonitoringLog(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(folder), m_lines{QStringLiteral("МОНІТОРИНГ")} {}

void MonitoringLog::append(const QString& line) {
    m_lines.append(line);
    emit appended(line);
    if (m_lines.size() >= kMaxLines)
        saveOrTrim();
}

void MonitoringLog::saveOrTrim() {
    const std::optional<QString> error = save(m_folder, QDateTime::currentDateTime());
    if (!error)
        return;
    // The memory stays bounded even when the disk takes nothing; the screen drops its oldest lines too.
    m_lines.remove(0, m_lines.size() - kAutomaticSaveLines);
    emit automaticSaveFailed(*error);
}

void MonitoringLog::clear() {
    m_lines.clear();
    emit cleared();
}

std::optional<QString> MonitoringLog::save(const QString& folder, const QDateTime& now) {
    QByteArray bytes;
    for (const QString& line : std::as_const(m_lines))
        bytes += toWin1251(line) + QByteArrayLiteral("\r\n");

    // Written whole or not at all: a full disk must not leave half a log behind a cleared screen.
    QSaveFile file(freeFilePath(folder, now));
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) < 0 || !file.commit())
        return QStringLiteral("Моніторинг не збережено у файл ") + file.fileName() + QStringLiteral(": ") +
               file.errorString();
    clear();
    return std::nullopt;
}

std::optional<QString> MonitoringLog::writeTimeMark(const QString& folder, const QDateTime& now) {
    append(QStringLiteral(" "));
    append(QStringLiteral("*** [ ") + operatorTimestamp(now) + QStringLiteral(" ] ") +
           QString(28, QLatin1Char('*')));
    if (m_lines.size() >= kAutomaticSaveLines)
        return save(folder, now);
    return std::nullopt;
}

} // namespace taxi
