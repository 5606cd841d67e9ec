#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace taxi {

class Operator;
class Settings;

// The text of a callsign list: "[" callsign "]" items written one after another, "[0]" when empty. A driver
// is on the list when "[" callsign "]" occurs in it, so 12 does not match [112].
bool isOnCallsignList(const QString& list, int callsign);
// The entries as the flow-lists dialog opens them: "[0]" anywhere in the text means an empty list.
QStringList callsignListEntries(const QString& list);
// The text of these entries, "[0]" for none.
QString callsignListText(const QStringList& entries);

// One of the operator's two lists as the service uses it. Its working copy is the text on the settings page
// (Label10, Label11), which the settings hold under the list's key; every reader takes the current text.
class CallsignList {
public:
    // DODAT_DO_POTOK: drivers with access to the order flow while general access is off.
    static CallsignList flowAccess(Settings& settings);
    // DODAT_DO_BORG: debtors, kept off the air and out of the order flow.
    static CallsignList debtors(Settings& settings);

    const QString& key() const { return m_key; }
    QString text() const;
    bool contains(int callsign) const { return isOnCallsignList(text(), callsign); }
    // In force at once; the file learns of it only when the operator next confirms the list.
    void append(int callsign);
    // The text becomes the working copy and is written to SETSERVER.INI under this list's key alone.
    // Returns an error text for the operator on failure.
    std::optional<QString> save(const QString& text, const QString& iniPath);

private:
    CallsignList(Settings& settings, QString key) : m_settings(&settings), m_key(std::move(key)) {}

    Settings* m_settings;
    QString m_key;
};

// A page of the flow-lists dialog TForm2: the list as the operator edits it, sorted as text. Edits live
// here until they are confirmed; opening the page again starts afresh from the list's text.
class CallsignListPage : public QObject {
    Q_OBJECT
public:
    explicit CallsignListPage(CallsignList list, QObject* parent = nullptr)
        : QObject(parent), m_list(std::move(list)) {}

    const QStringList& entries() const { return m_entries; }

    // SpeedButton12 / SpeedButton13: the page is filled from the list's text.
    void open();
    // The entry field's text is added unchanged, duplicates too; an empty field or exactly "0" is not.
    // Neither is a text with a square bracket, which would break the list's text apart when saved.
    void add(const QString& field);
    // The selected entry goes; a negative index means none is selected.
    void remove(int index);
    void clear();
    // Asks "Зберегти додаткові настройки ?"; on Yes the page's list becomes the list's text and is saved.
    // True when the dialog closes.
    bool confirm(Operator& op, const QString& iniPath);

signals:
    void entriesChanged();

private:
    CallsignList m_list;
    QStringList m_entries;
};

// The model of the dialog TForm2 ("Додаткові налаштувння потоку"): one page for each list.
class CallsignLists : public QObject {
    Q_OBJECT
public:
    explicit CallsignLists(Settings& settings, QObject* parent = nullptr)
        : QObject(parent), flowAccess(CallsignList::flowAccess(settings), this),
          debtors(CallsignList::debtors(settings), this) {}

    CallsignListPage flowAccess; // page "DOSTUP_POTOK", ListBox1
    CallsignListPage debtors;    // page "BORZHNIKI", ListBox2
};

} // namespace taxi
