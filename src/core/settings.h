#pragma once

#include "core/setting_definitions.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace taxi {

// The service's settings as the operator sees them on the settings page: one current value per key of
// SETSERVER.INI. Every user reads the value at the moment it needs it, so a change takes effect at once,
// saved or not. Values are held as text; switches as "1" or "0".
class Settings : public QObject {
    Q_OBJECT

public:
    explicit Settings(QObject* parent = nullptr);

    QString text(const QString& key) const;
    bool isOn(const QString& key) const;
    // A number key's text as an integer; nullopt when the operator typed something else.
    std::optional<int> number(const QString& key) const;

    void setText(const QString& key, const QString& value);
    void setOn(const QString& key, bool on);

    // Sets every key from the file, or to its default where the file (or the whole file) lacks it.
    void load(const QString& iniPath);
    // Writes the keys the settings page saves; every other line of the file stays as it is. Returns an
    // error text for the operator on failure.
    std::optional<QString> save(const QString& iniPath) const;
    // Writes just these keys of one section, the same way.
    std::optional<QString> saveKeys(const QString& iniPath, const QString& section,
                                    const QStringList& keys) const;

signals:
    void changed(const QString& key);

private:
    void store(const QString& key, const QString& value);
    std::optional<QString> write(const QString& iniPath, const QList<const SettingDefinition*>& keys) const;

    QHash<QString, QString> m_values;
};

} // namespace taxi
