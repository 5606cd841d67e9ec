#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace taxi {

// The stand table: "[]{}" for the general pool, then one entry per stand, either the bare name or
// "[" free drivers "]" name " {" queue "}". Terminals number the entries from 0; the operator's
// console shows them as they stand.
class StandTable : public QObject {
    Q_OBJECT
public:
    static inline const QString kPool = QStringLiteral("[]{}");

    explicit StandTable(QObject* parent = nullptr) : QObject(parent) {}

    const QStringList& entries() const { return m_entries; }
    void replace(const QStringList& entries);

    // The entry of a stand, found by its name; nullopt when the table has none.
    std::optional<QString> entryOf(const QString& name) const { return findEntry(m_entries, name); }
    static std::optional<QString> findEntry(const QStringList& entries, const QString& name);

    // The stand an entry stands for: its "[count]" dropped and, where a queue follows, the name before
    // the blank in front of "{". The pool's entry stays "[]{}".
    static QString standName(const QString& entry);
    // The callsigns between "{" and "}"; empty when the entry has no queue.
    static QString queue(const QString& entry);
    // The entry without its "[count]": the name and, when drivers wait, " {" queue "}".
    static QString withoutFreeCount(const QString& entry);

signals:
    void changed();

private:
    QStringList m_entries;
};

} // namespace taxi
