#include "orders/driver_alerts.h"

#include "core/journal.h"
#include "core/services.h"
#include "core/settings.h"
#include "net/protocol_text.h"
#include "net/request_context.h"

namespace taxi {

namespace {

// The line is always written; the entry, with the given order, only when its switch is on.
void alert(const net::RequestContext& context, const QString& line, const QString& journalSwitch,
           int orderNumber, const QString& entry) {
    context.log(line);
    if (context.services.settings.isOn(journalSwitch))
        context.services.journal.writeJournal(context.slot().callsign, orderNumber, entry);
}

QString callsignOf(const net::RequestContext& context) {
    return QString::number(context.slot().callsign);
}

} // namespace

void raiseAlarm(const net::RequestContext& context) {
    alert(context, QStringLiteral("Запит SOS водієм № ") + callsignOf(context), keys::TRIVOGA, 0,
          QStringLiteral("ТРИВОГА ВІД ВОДІЯ"));
}

void askToCallPassengers(const net::RequestContext& context) {
    alert(context,
          QStringLiteral("Прохання водія № ") + callsignOf(context) + QStringLiteral(" позвонити пасажирам"),
          keys::KLIENT_TURBUVATY, context.slot().orderNumber, QStringLiteral("Прохання турбувати клієнтів"));
}

// The next two entries follow the check boxes that carry their names ("Водій з пасажирами",
// "Запізнення на замовлення"), so that each box on the settings page governs what it says.
void reportPassengersOnBoard(const net::RequestContext& context) {
    alert(context,
          QStringLiteral("Повідомлення позивного ") + callsignOf(context) +
              QStringLiteral(" - що забрав пасажирів"),
          keys::KLIENT_V_AVTO, context.slot().orderNumber, QStringLiteral("Забрав пасажирів"));
}

void reportLateness(const net::RequestContext& context) {
    const QString minutes = net::copyBetween(context.request, QStringLiteral("("), QStringLiteral(")"));
    alert(context,
          QStringLiteral("Повідомлення позивного ") + callsignOf(context) +
              QStringLiteral(" - про запізнення на замовлення"),
          keys::ZAM_ZAPIZNENNYA, context.slot().orderNumber,
          QLatin1Char('(') + minutes + QStringLiteral("хв)Запізнююсь на замовлення"));
}

} // namespace taxi
