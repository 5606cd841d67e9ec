#include "orders/pickups.h"

#include "core/data_module.h"
#include "core/date_time_text.h"
#include "core/integer_text.h"
#include "core/journal.h"
#include "core/services.h"
#include "core/settings.h"
#include "net/protocol_text.h"
#include "net/request_context.h"
#include "orders/drivers_on_air.h"

#include <QDateTime>
#include <QSet>

namespace taxi {

namespace {

const QString kPickUpJournal = QStringLiteral("Створення підсадки у водія");
const QString kByClient = QStringLiteral("WHERE KLIENT_DODATKOVO LIKE '%' || ? || '%'");
// Only his free rows that carry the terminal's mark move; rows without it are left to the dispatchers.
const QString kConnectedFreeRows = QStringLiteral("(ZAD_AVTO_NOMER_ZAMOVL=0) AND (ZAD_AVTO_POZIVNIY = ?) AND "
                                                  "(ZAD_AVTO_MARKA_AVTO LIKE '%' || '{GPRS}' || '%')");

// The menus whose screens show the driver's stand and queue number.
const QSet<QString> kMenusShowingTheStand{QStringLiteral("MAIN"),     QStringLiteral("POTIK"),
                                          QStringLiteral("STOYANKI"), QStringLiteral("PIDSADKA"),
                                          QStringLiteral("NEWS"),     QStringLiteral("ZVIT")};

// The client's code as the terminal wrote it, when it is a number: it is looked up as written ("00007")
// and stored as its value.
std::optional<int> clientCodeValue(const QString& code) {
    if (code.isEmpty())
        return std::nullopt;
    for (const QChar c : code) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return parseInteger(code);
}

bool clientExists(DataModule& data, const QString& bracketedCode) {
    return !data.rizne.select({QStringLiteral("select * from KLIENT"), kByClient}, {bracketedCode}).isEmpty();
}

void recordPickUpOrder(DataModule& data, int clientCode, const net::PortSlot& slot) {
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = databaseDate(now.date());
    const QString time = databaseTime(now.time()).left(5);
    data.rizne.execute(
        {QStringLiteral("INSERT INTO ZAMOVLENNIA"),
         QStringLiteral("(ZAMOVL_NUMBER, ZAMOVL_NOMER_KLIENT, ZAMOVL_POCHAT_PUNKT, ZAMOVL_PUNKT_PRIZHACH, "
                        "ZAMOVL_SUMA_ROZRAHUNK, ZAMOVL_BALANS_KLIENTA, ZAMOVL_OPLATA_BALANSOM, "
                        "ZAMOVL_PRIYOM_ZAMOVL, "),
         QStringLiteral("ZAMOVL_ROZDACHA_ZAMOVL, ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA, "
                        "ZAMOVL_DATA_ZAKR_ZAMOVL, ZAMOVL_CHAS_ZAKR_ZAMOVL, ZAMOVL_POZIVNIY, ZAMOVL_FIO_TAXI, "
                        "ZAMOVL_BEZKOSHTOVN, ZAMOVL_STATUS_ZAMOVL, ZAMOVL_PRICHINA_DELETE)"),
         QStringLiteral("VALUES (GEN_ID(GENIDZAMOVL, 1), "),
         QStringLiteral(" ?, 'підсадка', 'підсадка', 0, 0, 0, 'GPRS', 'GPRS', ?, ?, ?, ?, ?, ?, 'HI', 1, "
                        "'НЕ ЗАДАНО')")},
        {clientCode, date, time, date, time, slot.callsign, slot.driverName});
}

// The pick-up is a paid ride of the client; enough of them earn a free one.
void countTheRideForTheClient(DataModule& data, const QString& bracketedCode) {
    data.rizne.execute({QStringLiteral("UPDATE KLIENT"),
                        QStringLiteral("SET KLIENT_KIL_VIKLIK = KLIENT_KIL_VIKLIK + 1 "), kByClient},
                       {bracketedCode});
    const db::ResultSet firm =
        data.rizne.select({QStringLiteral("SELECT  FIRMA_KIL_DLIA_BEZKOCHT_POIZDKI  FROM DANI_FIRMI")});
    const int threshold = firm.isEmpty() ? 0 : firm.first().at(0).toInt();
    if (threshold == 0)
        return;
    data.rizne.execute({QStringLiteral("UPDATE KLIENT"), QStringLiteral("SET KLIENT_KIL_VIKLIK = 0, "),
                        QStringLiteral("    KLIENT_KIL_FREE_VIKLIK = KLIENT_KIL_FREE_VIKLIK + 1 "), kByClient,
                        QStringLiteral("  and (KLIENT_KIL_VIKLIK >= ?)")},
                       {bracketedCode, threshold});
}

// Busy with the passenger, the driver leaves his other stands and queues up last in the pool.
void moveToTheEndOfThePool(DataModule& data, net::PortSlot& slot) {
    if (!slot.standName.isEmpty()) {
        data.rizne.execute({QStringLiteral("DELETE FROM ZADIANI_AVTO"),
                            QStringLiteral("WHERE (ZAD_AVTO_VULICA <> ?) AND ") + kConnectedFreeRows},
                           {slot.standName, slot.callsign});
    }
    const QString queueNumber = nextQueueNumber(data, kFreeInPool, {});
    data.rizne.execute(
        {QStringLiteral("UPDATE ZADIANI_AVTO"), QStringLiteral("SET ZAD_AVTO_VULICA = '[]{}', "),
         QStringLiteral("    ZAD_AVTO_CHAS_ZAMOVL = ? "), QStringLiteral("WHERE ") + kConnectedFreeRows},
        {queueNumber, slot.callsign});
    slot.standName = QStringLiteral("[]{}");
    slot.standPosition = queueNumber;
}

} // namespace

void createPickUp(const net::RequestContext& context) {
    Services& services = context.services;
    DataModule& data = services.data;
    const QString code = net::copyBetween(context.request, QStringLiteral("("), QStringLiteral(")"));
    const std::optional<int> clientCode = clientCodeValue(code);
    const QString bracketedCode = QLatin1Char('[') + code + QLatin1Char(']');
    if (!clientCode || *clientCode == 0 || !clientExists(data, bracketedCode))
        return;

    net::PortSlot& slot = context.slot();
    recordPickUpOrder(data, *clientCode, slot);
    countTheRideForTheClient(data, bracketedCode);
    moveToTheEndOfThePool(data, slot);
    if (kMenusShowingTheStand.contains(slot.currentMenu))
        context.reply(QStringLiteral("<Action>RefleshDataZam</Action>"));
    context.log(QStringLiteral("Створення підсадки на клієнта ") + code + QStringLiteral("   водієм № ") +
                QString::number(slot.callsign));
    if (services.settings.isOn(keys::PIDSADKA))
        services.journal.writeJournal(slot.callsign, 0, kPickUpJournal);
}

} // namespace taxi
