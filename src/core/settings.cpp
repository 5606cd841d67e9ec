#include "core/settings.h"

#include "core/ini_file.h"
#include "core/integer_text.h"

namespace taxi {

namespace {

// The length of the buffer Windows reads a value into, less its terminating zero.
constexpr qsizetype kMaxValueLength = 2047;

const QString kOn = QStringLiteral("1");
const QString kOff = QStringLiteral("0");

const SettingDefinition* findDefinition(const QString& key) {
    static const QHash<QString, const SettingDefinition*> byKey = [] {
        QHash<QString, const SettingDefinition*> index;
        for (const SettingDefinition& definition : settingDefinitions())
            index.insert(definition.key, &definition);
        return index;
    }();
    const SettingDefinition* definition = byKey.value(key);
    Q_ASSERT_X(definition, "Settings", qPrintable(QStringLiteral("unknown settings key ") + key));
    return definition;
}

bool hasKind(const SettingDefinition* definition, SettingKind kind) {
    Q_ASSERT_X(!definition || definition->kind == kind, "Settings",
               qPrintable(QStringLiteral("wrong kind of settings key ") + definition->key));
    return definition && definition->kind == kind;
}

// The file's value as the key's current text: text and numbers as they stand, a switch on for any non-zero
// integer and at its default when the value is no integer.
QString valueFromFile(const SettingDefinition& definition, const std::optional<QString>& fileValue) {
    if (!fileValue)
        return definition.defaultValue;
    if (definition.kind != SettingKind::Switch)
        return fileValue->left(kMaxValueLength);
    const std::optional<int> number = parseInteger(*fileValue);
    if (!number)
        return definition.defaultValue;
    return *number != 0 ? kOn : kOff;
}

} // namespace

Settings::Settings(QObject* parent) : QObject(parent) {
    for (const SettingDefinition& definition : settingDefinitions())
        m_values.insert(definition.key, definition.defaultValue);
}

QString Settings::text(const QString& key) const {
    if (!findDefinition(key))
        return QString();
    return m_values.value(key);
}

bool Settings::isOn(const QString& key) const {
    if (!hasKind(findDefinition(key), SettingKind::Switch))
        return false;
    return m_values.value(key) == kOn;
}

std::optional<int> Settings::number(const QString& key) const {
    if (!hasKind(findDefinition(key), SettingKind::Number))
        return std::nullopt;
    return parseInteger(m_values.value(key));
}

void Settings::setText(const QString& key, const QString& value) {
    const SettingDefinition* definition = findDefinition(key);
    if (!definition)
        return;
    Q_ASSERT_X(definition->kind != SettingKind::Switch, "Settings",
               qPrintable(QStringLiteral("switch set as text: ") + key));
    if (definition->kind == SettingKind::Switch)
        return;
    store(key, value);
}

void Settings::setOn(const QString& key, bool on) {
    if (!hasKind(findDefinition(key), SettingKind::Switch))
        return;
    store(key, on ? kOn : kOff);
}

void Settings::store(const QString& key, const QString& value) {
    QString& current = m_values[key];
    if (current == value)
        return;
    current = value;
    emit changed(key);
}

void Settings::load(const QString& iniPath) {
    // An unreadable file reads as a missing one: every key at its default.
    IniFile ini;
    ini.load(iniPath);
    for (const SettingDefinition& definition : settingDefinitions())
        store(definition.key, valueFromFile(definition, ini.value(definition.section, definition.key)));
}

std::optional<QString> Settings::save(const QString& iniPath) const {
    // The table lists the saved sections in the order they are written.
    QList<const SettingDefinition*> saved;
    for (const SettingDefinition& definition : settingDefinitions()) {
        if (definition.saved)
            saved.append(&definition);
    }
    return write(iniPath, saved);
}

std::optional<QString> Settings::saveKeys(const QString& iniPath, const QString& section,
                                          const QStringList& keys) const {
    QList<const SettingDefinition*> chosen;
    for (const QString& key : keys) {
        const SettingDefinition* definition = findDefinition(key);
        Q_ASSERT_X(!definition || definition->section == section, "Settings",
                   qPrintable(key + QStringLiteral(" is not a key of ") + section));
        if (definition && definition->section == section)
            chosen.append(definition);
    }
    return write(iniPath, chosen);
}

std::optional<QString> Settings::write(const QString& iniPath,
                                       const QList<const SettingDefinition*>& keys) const {
    // A file that exists but cannot be read is not overwritten: it holds the database location and login.
    IniFile ini;
    std::optional<QString> error = ini.load(iniPath);
    if (!error) {
        for (const SettingDefinition* definition : keys)
            ini.setValue(definition->section, definition->key, m_values.value(definition->key));
        error = ini.save(iniPath);
    }
    if (error)
        return QStringLiteral("Настройки не збережено: ") + *error;
    return std::nullopt;
}

} // namespace taxi
