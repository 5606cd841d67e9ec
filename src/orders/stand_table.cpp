#include "orders/stand_table.h"

namespace taxi {

void StandTable::replace(const QStringList& entries) {
    if (entries == m_entries)
        return;
    m_entries = entries;
    emit changed();
}

std::optional<QString> StandTable::findEntry(const QStringList& entries, const QString& name) {
    for (const QString& entry : entries) {
        if (standName(entry) == name)
            return entry;
    }
    return std::nullopt;
}

QString StandTable::withoutFreeCount(const QString& entry) {
    if (entry == kPool)
        return entry;
    return entry.mid(entry.indexOf(QLatin1Char(']')) + 1);
}

QString StandTable::standName(const QString& entry) {
    const QString name = withoutFreeCount(entry);
    if (name == kPool)
        return name;
    const qsizetype queueStart = name.indexOf(QLatin1Char('{'));
    return queueStart < 0 ? name : name.left(qMax<qsizetype>(queueStart - 1, 0));
}

QString StandTable::queue(const QString& entry) {
    const qsizetype open = entry.indexOf(QLatin1Char('{'));
    const qsizetype close = entry.indexOf(QLatin1Char('}'));
    if (open < 0 || close <= open)
        return QString();
    return entry.mid(open + 1, close - open - 1);
}

} // namespace taxi
