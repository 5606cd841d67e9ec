#include "core/monitoring_log.h"

#include "core/date_time_text.h"
#include "core/text_codec.h"

#include <QDir>
#include <QSaveFile>

namespace taxi {

namespace {

// The log is written away at the first time mark that finds it this long, which bounds its memory.
constexpr qsizetype kAutomaticSaveLines = 10000;

QString fileNameFor(const QDateTime& now) {
    QString stamp = operatorTimestamp(now);
    stamp.replace(QLatin1Char(' '), QLatin1Char('_'));
    stamp.replace(QLatin1Char(':'), QLatin1Char('-'));
    return QStringLiteral("MONITORYNG_") + stamp + QStringLiteral(".txt");
}

} // namespace

MonitoringLog::MonitoringLog(QObject* parent) : QObject(parent), m_lines{QStringLiteral("МОНІТОРИНГ")} {}

void MonitoringLog::append(const QString& line) {
    m_lines.append(line);
    emit appended(line);
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
    QSaveFile file(QDir(folder).filePath(fileNameFor(now)));
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
