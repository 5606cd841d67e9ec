#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

// Fixed date and time texts, independent of the host's regional settings.
namespace taxi {

// Database forms: dd.mm.yyyy, hh:nn:ss and dd.mm.yyyy hh:nn:ss (two-digit day and hour).
QString databaseDate(const QDate& date);
QString databaseTime(const QTime& time);
QString databaseTimestamp(const QDateTime& moment);

// The operator-facing form dd.mm.yyyy h:mm:ss (hour without a leading zero).
QString operatorTimestamp(const QDateTime& moment);

// Reads "dd.mm.yyyy hh:nn:ss", "dd.mm.yyyy h:nn:ss", "dd.mm.yyyy" (midnight) and the ISO forms.
std::optional<QDateTime> parseTimestamp(const QString& text);

} // namespace taxi
