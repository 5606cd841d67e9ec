#include "core/date_time_text.h"

namespace taxi {

QString databaseDate(const QDate& date) {
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

QString databaseTime(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString databaseTimestamp(const QDateTime& moment) {
    return databaseDate(moment.date()) + QLatin1Char(' ') + databaseTime(moment.time());
}

QString operatorTimestamp(const QDateTime& moment) {
    return moment.toString(QStringLiteral("dd.MM.yyyy H:mm:ss"));
}

std::optional<QDateTime> parseTimestamp(const QString& text) {
    const QString trimmed = text.simplified();
    static const char* const forms[] = {"dd.MM.yyyy H:mm:ss", "d.M.yyyy H:mm:ss", "dd.MM.yyyy H:mm",
                                        "yyyy-MM-dd H:mm:ss", "dd.MM.yyyy",       "d.M.yyyy",
                                        "yyyy-MM-dd"};
    for (const char* form : forms) {
        const QDateTime moment = QDateTime::fromString(trimmed, QString::fromLatin1(form));
        if (moment.isValid())
            return moment;
    }
    return std::nullopt;
}

} // namespace taxi
