#include "push/order_flow_refresh.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/db/db_error.h"
#include "core/services.h"
#include "core/settings.h"
#include "net/connection_service.h"
#include "net/listener.h"
#include "net/protocol_text.h"
#include "push/order_flow.h"

#include <QDateTime>
#include <optional>

namespace taxi {

namespace {

const QString kFreeRide = QStringLiteral("TAK");
const QString kFlowMenu = QStringLiteral("POTIK");
const QByteArray kUpdateFlow = "<Action>UpdatePoticZam</Action>@";

db::ResultSet openOrders(DataModule& data, const Settings& settings) {
    QStringList lines{
        QStringLiteral("SELECT ZAMOVL_POZIVNIY, ZAMOVL_NUMBER, ZAMOVL_BEZKOSHTOVN, ZAMOVL_POCHAT_PUNKT, "
                       "ZAMOVL_PUNKT_PRIZHACH, ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA, "
                       "ZAMOVL_PRICHINA_DELETE, ZAMOVL_NOMER_KLIENT, ZAMOVL_SUMA_ROZRAHUNK  FROM "
                       "ZAMOVLENNIA"),
        QStringLiteral("WHERE (ZAMOVL_STATUS_ZAMOVL = 0)")};
    if (settings.isOn(keys::OPEN_U_POTIK_YUVILEY))
        lines.append(QStringLiteral(" AND (ZAMOVL_BEZKOSHTOVN <> 'TAK')"));
    lines.append(QStringLiteral("ORDER BY ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA"));
    return data.rizne.select(lines);
}

// With the pre-order window on, the minutes before its time from which an order enters the flow.
std::optional<int> preOrderWindow(const Settings& settings) {
    if (!settings.isOn(keys::OPEN_CHAS_POPERED_ZAM))
        return std::nullopt;
    const std::optional<int> minutes = settings.number(keys::CHAS_POPERED_ZAM);
    if (!minutes)
        throw db::DbError(
            QStringLiteral("'%1' is not a valid integer value").arg(settings.text(keys::CHAS_POPERED_ZAM)));
    return minutes;
}

// An order's time given as hours and minutes only is read one second past the minute. A row whose date and
// time do not read as a moment at all stays out of the flow rather than ending the rebuild.
bool windowOpen(const db::Row& row, int windowMinutes, const QDateTime& now) {
    QString moment = row[QStringLiteral("ZAMOVL_DATA_PRIYOMA")].toText() + QLatin1Char(' ') +
                     row[QStringLiteral("ZAMOVL_CHAS_PRIYOMA")].toText();
    if (moment.size() < 19)
        moment += QStringLiteral(":01");
    const std::optional<QDateTime> orderTime = parseTimestamp(moment);
    return orderTime && now >= orderTime->addSecs(-qint64(windowMinutes) * 60);
}

QString displayLine(const db::Row& row, int k, const Settings& settings) {
    const auto column = [&](const char* name) {
        return row[QLatin1String(name)].toText();
    };
    QString line = QString::number(k);
    line += settings.isOn(keys::POKAZ_YUVILEYKA)
                ? QStringLiteral(".{") + column("ZAMOVL_BEZKOSHTOVN") + QLatin1Char('}')
                : QStringLiteral(".");
    line += QLatin1Char(' ') + column("ZAMOVL_POCHAT_PUNKT");
    if (settings.isOn(keys::POKAZ_DODAT_KUDA) && !column("ZAMOVL_PUNKT_PRIZHACH").isEmpty())
        line += QStringLiteral(" ===> ") + column("ZAMOVL_PUNKT_PRIZHACH");
    // A price calculated for an order booked ahead need not hold by its time.
    if (settings.isOn(keys::POKAZ_CINA_POZRAH) && !settings.isOn(keys::OPEN_CHAS_POPERED_ZAM))
        line += QStringLiteral(" [СУМА РОЗР.(") + column("ZAMOVL_SUMA_ROZRAHUNK") + QStringLiteral(")]");
    if (settings.isOn(keys::POKAZ_KOD_KLIENTA))
        line += QStringLiteral(" [КЛІЄНТ (") + column("ZAMOVL_NOMER_KLIENT") + QStringLiteral(")]");
    const QString note =
        net::copyBetween(column("ZAMOVL_PRICHINA_DELETE"), QStringLiteral("("), QStringLiteral(")"));
    if (settings.isOn(keys::POKAZ_DODAT_DANIH) && !note.isEmpty())
        line += QStringLiteral(" [ДОДАТКОВО (") + note + QStringLiteral(")]");
    line += QStringLiteral(" /<") + column("ZAMOVL_DATA_PRIYOMA") + QLatin1Char(' ') +
            column("ZAMOVL_CHAS_PRIYOMA") + QStringLiteral(">/");
    return line;
}

void tellTerminalsShowingTheFlow(net::ConnectionService& connections) {
    for (int k = 1; k <= connections.N(); ++k) {
        if (connections.driverListener(k).isListening() && connections.slot(k).currentMenu == kFlowMenu)
            connections.sendToSlot(k, kUpdateFlow);
    }
}

} // namespace

void LIST_POTIK_ZAMOVLEN(Services& services) {
    DataModule& data = services.data;
    const Settings& settings = services.settings;
    data.tranzRizne.commitIfActive();

    const db::ResultSet orders = openOrders(data, settings);
    const std::optional<int> windowMinutes = preOrderWindow(settings);
    const QDateTime now = QDateTime::currentDateTime();
    QStringList numbers;
    QStringList lines;
    int freeRides = 0;
    for (const db::Row& row : orders.rows()) {
        if (row[QStringLiteral("ZAMOVL_POZIVNIY")].toInt() != 0)
            continue; // a driver has it
        if (windowMinutes && !windowOpen(row, *windowMinutes, now))
            continue;
        if (row[QStringLiteral("ZAMOVL_BEZKOSHTOVN")].toText() == kFreeRide)
            ++freeRides;
        numbers.append(row[QStringLiteral("ZAMOVL_NUMBER")].toText());
        lines.append(displayLine(row, int(numbers.size()), settings));
    }
    // Replaced whole: a rebuild that fails half-way leaves the flow and its counts as they were.
    services.orderFlow.replace(numbers, lines, freeRides);
    data.tranzRizne.commitIfActive();

    if (services.orderFlow.pushRequested())
        tellTerminalsShowingTheFlow(services.connections);
}

} // namespace taxi
