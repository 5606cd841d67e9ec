#include "bench/resident_memory.h"

#include <QFile>
#include <QList>

namespace taxi::bench {

namespace {

qint64 residentKbOf(const QString& statusFile) {
    QFile status(statusFile);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

} // namespace

qint64 residentKb() {
    return residentKbOf(QStringLiteral("/proc/self/status"));
}

qint64 residentKb(qint64 processId) {
    return residentKbOf(QStringLiteral("/proc/%1/status").arg(processId));
}

} // namespace taxi::bench
