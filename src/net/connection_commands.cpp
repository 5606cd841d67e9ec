#include "net/connection_commands.h"

#include "core/callsign_lists.h"
#include "core/data_module.h"
#include "core/db/db_error.h"
#include "core/integer_text.h"
#include "core/journal.h"
#include "core/metrics.h"
#include "core/settings.h"
#include "net/connection_service.h"
#include "net/listener.h"
#include "net/protocol_text.h"
#include "net/request_context.h"

namespace taxi::net {

namespace {

const QString kRepeatedLogin = QStringLiteral("закриття порта при повторному запиті вільності порта");
const QString kOtherName =
    QStringLiteral("закриття порта - так як такий таксист попередньо вийшов на звязок під іншим фіо");
const QString kLoginJournal = QStringLiteral("Вхід в систему");
const QString kRefusalJournal = QStringLiteral("Відмова входа в систему (чорний список) !");
const QString kLogoutJournal = QStringLiteral("Вихід з системи");
const QString kOffAirJournal = QStringLiteral("Зняття з ефіра");

struct Driver {
    int callsign = 0;
    QString name;
};

// The connection record of that port and password, when there is exactly one and its port is set.
std::optional<Driver> findConnectionRecord(DataModule& data, int port, const QString& password) {
    const db::ResultSet records = data.tablGprsRizne.select(
        {QStringLiteral(
             "SELECT GPRS_SET_KLIENT_PORT, GPRS_SET_KLIENT_FIO, GPRS_SET_KLIENT_POZ FROM GPRS_SET_KLIENT"),
         QStringLiteral("WHERE (GPRS_SET_KLIENT_PORT = ?) AND (GPRS_SET_KLIENT_PASS = ?)")},
        {port, password});
    if (records.size() != 1 || records.first()[QStringLiteral("GPRS_SET_KLIENT_PORT")].toInt() == 0)
        return std::nullopt;
    return Driver{records.first()[QStringLiteral("GPRS_SET_KLIENT_POZ")].toInt(),
                  records.first()[QStringLiteral("GPRS_SET_KLIENT_FIO")].toText()};
}

bool isBlackListed(DataModule& data, int callsign) {
    return !data.rizne
                .select({QStringLiteral("SELECT BL_AVTO_POZIVN FROM BL_VODII"),
                         QStringLiteral("WHERE (BL_AVTO_POZIVN = ?) AND (BL_STATUS = 1)")},
                        {callsign})
                .isEmpty();
}

// The car of this callsign must be assigned to the driver of this name.
bool carAssignedToDriver(DataModule& data, const Driver& driver) {
    const db::ResultSet cars = data.rizne.select(
        {QStringLiteral("SELECT TABL_AVTO_POZIVN, TABL_AVTO_NOM_VODIY FROM DANI_AVTO"),
         QStringLiteral(
             "WHERE (TABL_AVTO_POZIVN = ?) AND (TABL_AVTO_NOM_VODIY = (IIF((SELECT TABL_VODIY_NOMER FROM "
             "VODII WHERE TABL_VODIY_FIO = ?) IS NULL, 0, (SELECT TABL_VODIY_NOMER FROM VODII WHERE "
             "TABL_VODIY_FIO = ?))))")},
        {driver.callsign, driver.name, driver.name});
    return cars.size() == 1 && cars.first()[QStringLiteral("TABL_AVTO_NOM_VODIY")].toInt() != 0;
}

// A port nobody could log in to stops waiting for a terminal.
void closeIdlePorts(ConnectionService& connections, int port) {
    for (int k = 1; k <= connections.N(); ++k) {
        Listener& listener = connections.driverListener(k);
        if (listener.port() == port && listener.isListening() && listener.connectionCount() == 0)
            listener.stopListening();
    }
}

// The login proper: true when the driver's port was left open for his terminal.
bool openDriversPort(const RequestContext& context) {
    Services& services = context.services;
    DataModule& data = services.data;
    ConnectionService& connections = services.connections;

    bool ok = false;
    const QString portText = copyBetween(context.request, QStringLiteral("("), QStringLiteral(")"));
    const std::optional<int> port = statementNumber(portText);
    if (!port)
        return false; // a number too long for any record's port matches none, like a wrong password
    const QString password = copyBetween(context.request, QStringLiteral("["), QStringLiteral("]"));

    const std::optional<Driver> driver = findConnectionRecord(data, *port, password);
    if (!driver) {
        closeIdlePorts(connections, *port);
        return false;
    }
    ok = !isBlackListed(data, driver->callsign);
    if (driver->callsign == 0 || driver->name.isEmpty())
        ok = false;
    if (!carAssignedToDriver(data, *driver)) {
        closeIdlePorts(connections, *port);
        return false;
    }

    const bool debtor = CallsignList::debtors(services.settings).contains(driver->callsign);
    for (int k = 1; k <= connections.N(); ++k) {
        Listener& listener = connections.driverListener(k);
        if (listener.port() != *port)
            continue;
        if (listener.connectionCount() > 0) {
            listener.closeAllConnections();
            context.log(kRepeatedLogin);
        } else {
            const db::ResultSet onAir = data.rizne.select({QStringLiteral("SELECT * FROM ZADIANI_AVTO"),
                                                           QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
                                                          {driver->callsign});
            if (!onAir.isEmpty() &&
                onAir.last()[QStringLiteral("ZAD_AVTO_FIO_VODIY")].toText() != driver->name) {
                context.log(kOtherName);
            } else {
                if (onAir.isEmpty() && ok && !debtor)
                    connections.hooks().putOnAir(driver->callsign, driver->name);
                PortSlot& slot = connections.slot(k);
                slot.driverName = driver->name;
                if (ok && !debtor) {
                    listener.startListening();
                    context.log(QStringLiteral("Запит на вхід водія № ") + QString::number(slot.callsign));
                    if (services.settings.isOn(keys::VHID_V_SYSTEM))
                        services.journal.writeJournal(driver->callsign, 0, kLoginJournal);
                } else {
                    context.log(QStringLiteral("Відмова водію позивного N[") +
                                QString::number(driver->callsign) +
                                QStringLiteral("], так як він знаходиться в чорному списку !!!"));
                    services.journal.writeJournal(driver->callsign, 0, kRefusalJournal);
                }
            }
        }
        if (!(ok && (!listener.isListening() || !debtor))) {
            listener.closeAllConnections();
            listener.stopListening();
        }
    }
    bool open = false;
    for (int k = 1; k <= connections.N(); ++k)
        open = open ||
               (connections.driverListener(k).port() == *port && connections.driverListener(k).isListening());
    return open;
}

} // namespace

void login(const RequestContext& context) {
    Services& services = context.services;
    if (context.port != services.settings.number(keys::PORT_SERVER))
        return;
    if (openDriversPort(context))
        services.metrics.loginAccepted();
    else
        services.metrics.loginRefused();
}

void closePort(const RequestContext& context) {
    const int callsign = context.slot().callsign;
    context.log(QStringLiteral("Водій № ") + QString::number(callsign) +
                QStringLiteral(" сам закрив свій порт"));
    if (context.services.settings.isOn(keys::VIHID_Z_SYSTEM))
        context.services.journal.writeJournal(callsign, 0, kLogoutJournal);
}

void leaveAir(const RequestContext& context) {
    const int callsign = context.slot().callsign;
    context.services.data.rizne.execute(
        {QStringLiteral("DELETE FROM ZADIANI_AVTO"),
         QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?) AND (ZAD_AVTO_NOMER_ZAMOVL = 0)")},
        {callsign});
    context.log(QStringLiteral("Водій № ") + QString::number(callsign) +
                QStringLiteral(" сам закрив свій порт / дав запит зняти з ефіру (якщо в нього немає активних "
                               "замовлень)"));
    if (context.services.settings.isOn(keys::VIHID_Z_SYSTEM))
        context.services.journal.writeJournal(callsign, 0, kOffAirJournal);
}

} // namespace taxi::net
