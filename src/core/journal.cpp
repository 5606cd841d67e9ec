#include "core/journal.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/db/db_error.h"

#include <QDateTime>

namespace taxi {

void Journal::writeJournal(int callsign, int orderNumber, const QString& action) {
    try {
        m_data.tranzDyaVodya.commitIfActive();
        const QString now = databaseTimestamp(QDateTime::currentDateTime());
        m_data.tableDyaVodya.execute(
            {QStringLiteral("INSERT INTO DYA_VODIY_GPRS"),
             QStringLiteral(
                 "(DYA_VODIY_GPRS_NP, DYA_VODIY_GPRS_DATATIME, DYA_VODIY_GPRS_POZ, DYA_VODIY_GPRS_DYA, "
                 "DYA_VODIY_GPRS_NZ)"),
             QStringLiteral(
                 "VALUES (IIF((SELECT MAX(DYA_VODIY_GPRS_NP) FROM DYA_VODIY_GPRS) IS NULL, 1, (SELECT "
                 "MAX(DYA_VODIY_GPRS_NP) FROM DYA_VODIY_GPRS)+1), "),
             QStringLiteral("   ?, "), QStringLiteral("   ?, "), QStringLiteral("   ?, "),
             QStringLiteral("   ?) ")},
            {now, callsign, action.left(kActionLength), orderNumber});
        m_data.tranzDyaVodya.commitIfActive();
    } catch (const db::DbError&) {
        // The journal never stands in the way of the action it records.
    }
}

} // namespace taxi
