#include "orders/held_order.h"

#include "core/db/result_set.h"
#include "net/protocol_text.h"

namespace taxi {

QString heldOrderExtraText(const db::Row& order) {
    const QString reason = order[QStringLiteral("ZAMOVL_PRICHINA_DELETE")].toText();
    const QString note = net::copyBetween(reason, QStringLiteral("("), QStringLiteral(")"));
    const QString tariffMark = QStringLiteral("тариф:[");
    const qsizetype tariffAt = reason.indexOf(tariffMark);
    const QString fromTariff = tariffAt >= 0 ? reason.mid(tariffAt) : reason;
    const QString tariff = net::copyBetween(fromTariff, QStringLiteral("["), QStringLiteral("]"));
    return QStringLiteral("ч.в.з.{") + order[QStringLiteral("ZAMOVL_CHAS_PRIYOM_VODIY")].toText() +
           QStringLiteral("}") + QStringLiteral(" тар.[") + tariff + QStringLiteral("] ") + note;
}

} // namespace taxi
