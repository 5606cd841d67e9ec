#include "net/held_order.h"

#include "core/date_time_text.h"
#include "core/db/db_error.h"
#include "core/db/result_set.h"
#include "net/port_slot.h"
#include "net/protocol_text.h"

namespace taxi::net {

QString heldOrderExtraText(const db::Row& order) {
    const QString reason = order[QStringLiteral("ZAMOVL_PRICHINA_DELETE")].toText();
    const QString note = copyBetween(reason, QStringLiteral("("), QStringLiteral(")"));
    const QString tariffMark = QStringLiteral("тариф:[");
    const qsizetype tariffAt = reason.indexOf(tariffMark);
    const QString fromTariff = tariffAt >= 0 ? reason.mid(tariffAt) : reason;
    const QString tariff = copyBetween(fromTariff, QStringLiteral("["), QStringLiteral("]"));
    return QStringLiteral("ч.в.з.{") + order[QStringLiteral("ZAMOVL_CHAS_PRIYOM_VODIY")].toText() +
           QStringLiteral("}") + QStringLiteral(" тар.[") + tariff + QStringLiteral("] ") + note;
}

void loadHeldOrder(PortSlot& slot, const db::Row& order) {
    const QString accepted = order[QStringLiteral("ZAMOVL_DATA_PRIYOMA")].toText() + QLatin1Char(' ') +
                             order[QStringLiteral("ZAMOVL_CHAS_PRIYOMA")].toText();
    const std::optional<QDateTime> acceptedAt = parseTimestamp(accepted);
    if (!acceptedAt)
        throw db::DbError(QStringLiteral("'%1' is not a valid date and time").arg(accepted));
    slot.orderTime = *acceptedAt;
    slot.orderFrom = order[QStringLiteral("ZAMOVL_POCHAT_PUNKT")].toText();
    slot.orderTo = order[QStringLiteral("ZAMOVL_PUNKT_PRIZHACH")].toText();
    slot.clientCode = order[QStringLiteral("ZAMOVL_NOMER_KLIENT")].toInt();
    slot.orderStatus = order[QStringLiteral("ZAMOVL_BEZKOSHTOVN")].toText();
    slot.orderExtra = heldOrderExtraText(order);
}

} // namespace taxi::net
