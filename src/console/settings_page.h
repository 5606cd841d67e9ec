#pragma once

#include <QHash>
#include <QWidget>

namespace taxi {

struct ConsoleParts;
class Settings;

// The page "  НАЛАШТУВАННЯ  ЗВЯЗКУ  ": a control for every key of SETSERVER.INI, bound both ways to the
// settings, so that what the operator types is in force at once, saved or not.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("  НАЛАШТУВАННЯ  ЗВЯЗКУ  ");
    static inline const QString kStandStatusHelp = QStringLiteral(
        "У випадку роботи комплексу без інтегрованої карти потрібно виставити значення СТОЯНКА, інакше ту "
        "назву яку ви вказали на статус точок стоянок позначених на карті");

    SettingsPage(const ConsoleParts& parts, QWidget* parent = nullptr);

    // The control that shows a key (a check box, a line edit, a combo box or a label).
    QWidget* controlOf(const QString& key) const { return m_controls.value(key); }

signals:
    // The buttons beside the two callsign lists.
    void flowAccessListRequested();
    void debtorListRequested();

private:
    QWidget* group(const QString& caption, const QList<QString>& keys);
    QWidget* flowLogicGroup();
    QWidget* databaseGroup();
    QWidget* bind(const QString& key, QWidget* parent);
    QWidget* callsignListRow(const QString& buttonText, const QString& key, void (SettingsPage::*request)());

    const ConsoleParts& m_parts;
    Settings& m_settings;
    QHash<QString, QWidget*> m_controls;
};

} // namespace taxi
