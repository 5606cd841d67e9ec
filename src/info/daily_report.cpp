#include "info/daily_report.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/journal.h"
#include "core/setting_definitions.h"
#include "core/settings.h"
#include "net/protocol_text.h"
#include "net/request_context.h"

namespace taxi {

using net::element;

namespace {

int rowCount(DataModule& data, const QStringList& lines, const db::SqlParams& params = {}) {
    return data.rizne.select(lines, params).size();
}

QString count(int rows) {
    return QString::number(rows);
}

// The company's closed orders of a day, all but the -1 kind; free rides only when asked.
int closedOrders(DataModule& data, const QString& day, bool freeRidesOnly = false) {
    QStringList lines{QStringLiteral("SELECT CZ_NUMBER FROM CLOSEZAMOVLENNIA"),
                      QStringLiteral("WHERE (CZ_STATUS_ZAMOVL <> -1) AND (CZ_DATA_ZAKR_ZAMOVL = ?)")};
    if (freeRidesOnly)
        lines.last() += QStringLiteral(" and (CZ_BEZKOSHTOVN = 'TAK')");
    return rowCount(data, lines, {day});
}

// The driver's completed orders of a day; free rides only when asked.
int completedOrders(DataModule& data, int callsign, const QString& day, bool freeRidesOnly = false) {
    const QString freeRide = freeRidesOnly ? QStringLiteral(" and (CZ_BEZKOSHTOVN = 'TAK')") : QString();
    return rowCount(data,
                    {QStringLiteral("SELECT CZ_NUMBER FROM CLOSEZAMOVLENNIA"),
                     QStringLiteral("WHERE (CZ_POZIVNIY = ?)") + freeRide +
                         QStringLiteral(" and (CZ_STATUS_ZAMOVL = 1) AND (CZ_DATA_ZAKR_ZAMOVL = ?)")},
                    {callsign, day});
}

// A list of callsigns, each followed by "/", and its count.
QString callsignList(DataModule& data, const QStringList& lines, const QString& listTag,
                     const QString& countTag) {
    const db::ResultSet rows = data.rizne.select(lines);
    QString list;
    for (const db::Row& row : rows.rows())
        list += row.at(0).toText() + QLatin1Char('/');
    return element(listTag, list) + element(countTag, count(rows.size()));
}

// Who is on the air, and whose terminal is connected: the same in both reports.
QString driversOnAir(DataModule& data) {
    return callsignList(data,
                        {QStringLiteral("SELECT ZAD_AVTO_POZIVNIY FROM ZADIANI_AVTO"),
                         QStringLiteral("GROUP BY ZAD_AVTO_POZIVNIY")},
                        QStringLiteral("SpisActivVodya"), QStringLiteral("KilActivVodya")) +
           callsignList(data,
                        {QStringLiteral("SELECT ZAD_AVTO_POZIVNIY FROM ZADIANI_AVTO"),
                         QStringLiteral("WHERE ZAD_AVTO_MARKA_AVTO LIKE  '%' || '{GPRS}' || '%'"),
                         QStringLiteral("GROUP BY ZAD_AVTO_POZIVNIY")},
                        QStringLiteral("SpisActivGPRS"), QStringLiteral("KilActivGPRS"));
}

QString directorsReport(DataModule& data, const QDate& today) {
    const QString yesterday = databaseDate(today.addDays(-1));
    const QString todayText = databaseDate(today);
    QString report = element(QStringLiteral("Poz"), QStringLiteral("0"));
    report += element(QStringLiteral("OldDate"), yesterday) +
              element(QStringLiteral("KilOldZam"), count(closedOrders(data, yesterday)));
    report += element(QStringLiteral("NewDate"), todayText) +
              element(QStringLiteral("KilNewZam"), count(closedOrders(data, todayText)));
    report += element(QStringLiteral("KilSogodniYvil"), count(closedOrders(data, todayText, true)));
    report += driversOnAir(data);
    // A driver registered at two stands counts twice.
    report += element(
        QStringLiteral("KilVodyaStoyanka"),
        count(rowCount(data, {QStringLiteral("SELECT ZAD_AVTO_VULICA, ZAD_AVTO_POZIVNIY FROM ZADIANI_AVTO"),
                              QStringLiteral("WHERE ZAD_AVTO_VULICA<>'[]{}'"),
                              QStringLiteral("GROUP BY ZAD_AVTO_VULICA, ZAD_AVTO_POZIVNIY")})));
    return report;
}

QString driversReport(DataModule& data, int callsign, const QDate& today) {
    const QString todayText = databaseDate(today);
    QString report = element(QStringLiteral("Poz"), QString::number(callsign)) +
                     element(QStringLiteral("NewDate"), todayText);
    report += element(QStringLiteral("KilNewZam"), count(completedOrders(data, callsign, todayText)));
    report +=
        element(QStringLiteral("KilSogodniYvil"), count(completedOrders(data, callsign, todayText, true)));
    return report + driversOnAir(data);
}

bool fromDirector(const net::RequestContext& context) {
    const QString directorPort = context.services.settings.text(keys::PORT_DIRECTOR);
    return directorPort != QStringLiteral("0") && directorPort == QString::number(context.port);
}

} // namespace

void sendDailyReport(const net::RequestContext& context) {
    Services& services = context.services;
    const int callsign = context.slot().callsign;
    const QDate today = QDate::currentDate();
    if (fromDirector(context)) {
        context.reply(element(QStringLiteral("ZVIT"), directorsReport(services.data, today)));
        context.log(QStringLiteral("Запит  директора  на звіт на сьогодні"));
    } else {
        context.reply(element(QStringLiteral("ZVIT"), driversReport(services.data, callsign, today)));
        context.log(QStringLiteral("Запит водія № ") + QString::number(callsign) +
                    QStringLiteral("  на звіт на сьогодні"));
    }
    if (services.settings.isOn(keys::CREATE_ZVIT))
        services.journal.writeJournal(callsign, 0, QStringLiteral("Створення звіта"));
}

} // namespace taxi
