#include "core/callsign_lists.h"

#include "core/operator.h"
#include "core/settings.h"

#include <algorithm>

namespace taxi {

namespace {

const QString kEmptyList = QStringLiteral("[0]");

// The dialog's list boxes sort as text, without regard to case: callsign 100 comes before 25.
bool sortsBefore(const QString& left, const QString& right) {
    return QString::compare(left, right, Qt::CaseInsensitive) < 0;
}

} // namespace

bool isOnCallsignList(const QString& list, int callsign) {
    return list.contains(QLatin1Char('[') + QString::number(callsign) + QLatin1Char(']'));
}

QStringList callsignListEntries(const QString& list) {
    QStringList entries;
    if (list.contains(kEmptyList))
        return entries;
    // Each item is what lies between the text's first character (its "[") and the first "]".
    QString rest = list;
    for (qsizetype close = rest.indexOf(QLatin1Char(']')); close >= 0;
         close = rest.indexOf(QLatin1Char(']'))) {
        entries.append(rest.mid(1, std::max<qsizetype>(close - 1, 0)));
        rest.remove(0, close + 1);
    }
    return entries;
}

QString callsignListText(const QStringList& entries) {
    if (entries.isEmpty())
        return kEmptyList;
    QString text;
    for (const QString& entry : entries)
        text += QLatin1Char('[') + entry + QLatin1Char(']');
    return text;
}

CallsignList CallsignList::flowAccess(Settings& settings) {
    return CallsignList(settings, keys::DODAT_DO_POTOK);
}

CallsignList CallsignList::debtors(Settings& settings) {
    return CallsignList(settings, keys::DODAT_DO_BORG);
}

QString CallsignList::text() const {
    return m_settings->text(m_key);
}

void CallsignList::append(int callsign) {
    m_settings->setText(m_key, text() + QLatin1Char('[') + QString::number(callsign) + QLatin1Char(']'));
}

std::optional<QString> CallsignList::save(const QString& text, const QString& iniPath) {
    m_settings->setText(m_key, text);
    return m_settings->saveKeys(iniPath, sections::GPRS_TAXI, {m_key});
}

void CallsignListPage::open() {
    m_entries = callsignListEntries(m_list.text());
    std::stable_sort(m_entries.begin(), m_entries.end(), sortsBefore);
    emit entriesChanged();
}

void CallsignListPage::add(const QString& field) {
    if (field.isEmpty() || field == QStringLiteral("0") || field.contains(QLatin1Char('[')) ||
        field.contains(QLatin1Char(']')))
        return;
    m_entries.insert(std::upper_bound(m_entries.begin(), m_entries.end(), field, sortsBefore), field);
    emit entriesChanged();
}

void CallsignListPage::remove(int index) {
    if (index < 0 || index >= m_entries.size())
        return;
    m_entries.removeAt(index);
    emit entriesChanged();
}

void CallsignListPage::clear() {
    m_entries.clear();
    emit entriesChanged();
}

bool CallsignListPage::confirm(Operator& op, const QString& iniPath) {
    if (!op.confirm(QStringLiteral("Зберегти додаткові настройки ?")))
        return false;
    if (const std::optional<QString> error = m_list.save(callsignListText(m_entries), iniPath))
        op.showError(*error);
    return true;
}

} // namespace taxi
