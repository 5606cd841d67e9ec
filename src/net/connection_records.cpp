#include "net/connection_records.h"

#include "core/data_module.h"
#include "core/db/db_error.h"
#include "core/event_runner.h"
#include "core/integer_text.h"
#include "core/operator.h"
#include "core/services.h"
#include "core/settings.h"
#include "net/connection_service.h"
#include "net/listener.h"

#include <algorithm>

namespace taxi::net {

namespace {

const QString kHighestPort = QStringLiteral("SELECT MAX(GPRS_SET_KLIENT_PORT) FROM GPRS_SET_KLIENT");

PortList onlyPort(int port) {
    return {{port}, 0};
}

void deleteRecord(DataModule& data, int callsign, const QString& name) {
    data.tablGprsRizne.execute(
        {QStringLiteral("DELETE FROM GPRS_SET_KLIENT"),
         QStringLiteral("WHERE (GPRS_SET_KLIENT_POZ = ?) AND  (GPRS_SET_KLIENT_FIO = ?)")},
        {callsign, name});
}

} // namespace

QString ConnectionRecords::forceOffQuestion(int callsign) {
    return QStringLiteral("ПРИМУСОВО ЗНЯТИ З ЗВЯЗКУ ПОЗИВНОГО [") + QString::number(callsign) +
           QLatin1Char(']');
}

ConnectionRecords::ConnectionRecords(Services& services, QObject* parent)
    : QObject(parent), m_services(services) {
    // The row is put back once the views have taken the new rows, or they would lose it again.
    connect(&services.data, &DataModule::connectionRecordsChanged, this, [this] {
        m_grid.reload(m_services.data.connectionRecords());
        restoreRow();
    });
}

void ConnectionRecords::run(const std::function<void()>& operation) {
    m_services.runner.run(operation);
}

std::optional<ConnectionRecord> ConnectionRecords::currentRecord() const {
    if (m_currentRow < 0 || m_currentRow >= m_grid.rowCount())
        return std::nullopt;
    return m_grid.record(m_currentRow);
}

void ConnectionRecords::setCurrentRow(int row) {
    if (row != m_currentRow && row >= 0 && row < m_grid.rowCount())
        moveTo(row);
}

void ConnectionRecords::moveTo(int row) {
    m_currentRow = row;
    if (row >= 0)
        m_rememberedRow = row + 1;
    emit currentRowChanged(row);
}

void ConnectionRecords::restoreRow() {
    const int count = m_grid.rowCount();
    if (count == 0)
        moveTo(-1);
    else
        moveTo(m_rememberedRow == 0 ? 0 : std::min(m_rememberedRow, count) - 1);
}

QStringList ConnectionRecords::callsigns() {
    QStringList callsigns;
    run([&] {
        DataModule& data = m_services.data;
        data.tranzRizne.commitIfActive();
        const db::ResultSet cars =
            data.rizne.select({QStringLiteral("SELECT TABL_AVTO_POZIVN FROM DANI_AVTO"),
                               QStringLiteral("GROUP BY TABL_AVTO_POZIVN")});
        for (const db::Row& car : cars.rows())
            callsigns.append(car.at(0).toText());
    });
    return callsigns;
}

QStringList ConnectionRecords::names(const QString& callsign) {
    QStringList names;
    run([&] {
        DataModule& data = m_services.data;
        data.tranzRizne.commitIfActive();
        const std::optional<int> number = parseInteger(callsign);
        if (!number)
            return;
        const db::ResultSet drivers =
            data.rizne.select({QStringLiteral("SELECT TABL_VODIY_FIO FROM VODII"),
                               QStringLiteral("WHERE (TABL_VODIY_NOMER IN (SELECT TABL_AVTO_NOM_VODIY  FROM "
                                              "DANI_AVTO  WHERE TABL_AVTO_POZIVN = ?))"),
                               QStringLiteral("GROUP BY TABL_VODIY_FIO")},
                              {*number});
        for (const db::Row& driver : drivers.rows())
            names.append(driver.at(0).toText());
    });
    return names;
}

// The lowest or the highest port in use; 0 for an empty table.
int ConnectionRecords::portBound(const QString& select) {
    return m_services.data.tablGprsRizne.select({select}).first().at(0).toInt();
}

int ConnectionRecords::portAfterMainPort() const {
    const std::optional<int> mainPort = m_services.settings.number(keys::PORT_SERVER);
    if (!mainPort)
        throw db::DbError(QStringLiteral("'%1' is not a valid port number")
                              .arg(m_services.settings.text(keys::PORT_SERVER)));
    return *mainPort + 1;
}

PortList ConnectionRecords::freePorts() {
    PortList list;
    run([&] {
        DataModule& data = m_services.data;
        data.tranzGprsRizne.commitIfActive();
        const int lowest = portBound(QStringLiteral("SELECT MIN(GPRS_SET_KLIENT_PORT) FROM GPRS_SET_KLIENT"));
        const int highest = portBound(kHighestPort);
        if (lowest == 0 || highest == 0) {
            list = onlyPort(portAfterMainPort());
        } else if (lowest == highest) {
            list = onlyPort(lowest + 1);
        } else {
            for (int port = lowest + 1; port < highest; ++port) {
                const db::ResultSet used = data.tablGprsRizne.select(
                    {QStringLiteral("SELECT GPRS_SET_KLIENT_PORT FROM GPRS_SET_KLIENT"),
                     QStringLiteral("where (GPRS_SET_KLIENT_PORT = ?)"),
                     QStringLiteral("order by GPRS_SET_KLIENT_PORT")},
                    {port});
                if (used.isEmpty())
                    list.ports.append(port);
            }
        }
    });
    return list;
}

PortList ConnectionRecords::autoPort() {
    PortList list;
    run([&] {
        m_services.data.tranzGprsRizne.commitIfActive();
        const int highest = portBound(kHighestPort);
        list = onlyPort(highest != 0 ? highest + 1 : portAfterMainPort());
    });
    return list;
}

// A port the operator typed: a listener can open nothing but 1 to 65535, and a record holding anything
// else would make the next start of the distribution open some other port.
std::optional<int> ConnectionRecords::portNumber(const QString& port) {
    const std::optional<int> number = isDecimalNumeral(port) ? parseInteger(port) : std::nullopt;
    if (number && *number >= 1 && *number <= 65535)
        return number;
    m_services.op.inform(kPortNotNumber);
    return std::nullopt;
}

bool ConnectionRecords::create(const QString& callsign, const QString& name, const QString& password,
                               const QString& port) {
    bool created = false;
    run([&] {
        const std::optional<int> callsignNumber = parseInteger(callsign);
        if (!callsignNumber || name.isEmpty() || password.isEmpty() || port.isEmpty())
            return;
        const std::optional<int> portValue = portNumber(port);
        if (!portValue || !m_services.op.confirm(kCreateQuestion))
            return;
        DataModule& data = m_services.data;
        data.tranzGprsRizne.commitIfActive();
        const db::ResultSet existing = data.tablGprsRizne.select(
            {QStringLiteral("SELECT GPRS_SET_KLIENT_POZ, GPRS_SET_KLIENT_FIO FROM GPRS_SET_KLIENT"),
             QStringLiteral("WHERE (GPRS_SET_KLIENT_POZ = ?) AND  (GPRS_SET_KLIENT_FIO = ?)")},
            {*callsignNumber, name});
        if (!existing.isEmpty()) {
            m_services.op.inform(kDuplicateRecord);
            return;
        }
        data.tablGprsRizne.execute(
            {QStringLiteral("INSERT INTO GPRS_SET_KLIENT"),
             QStringLiteral("(GPRS_SET_KLIENT_POZ, GPRS_SET_KLIENT_FIO, GPRS_SET_KLIENT_PASS, "
                            "GPRS_SET_KLIENT_PORT, GPRS_SET_KLIENT_ACTIVNIST)"),
             QStringLiteral("VALUES (?, ?, ?, ?, 'неактивний')")},
            {*callsignNumber, name, password, *portValue});
        // The driver can log in at once: his port is served like every other until the next start
        // rebuilds all of them from the table.
        m_services.connections.addDriverPort(*portValue, *callsignNumber);
        created = true;
        data.tranzGprsRizne.commitIfActive();
    });
    return created;
}

void ConnectionRecords::edit(const QString& password, const QString& port) {
    run([&] {
        const std::optional<ConnectionRecord> record = currentRecord();
        if (password.isEmpty() || port.isEmpty() || !record)
            return;
        const std::optional<int> portValue = portNumber(port);
        if (!portValue || !m_services.op.confirm(kEditQuestion))
            return;
        DataModule& data = m_services.data;
        data.tranzGprsRizne.commitIfActive();
        data.tablGprsRizne.execute(
            {QStringLiteral("UPDATE GPRS_SET_KLIENT"), QStringLiteral("SET GPRS_SET_KLIENT_PASS = ?, "),
             QStringLiteral("    GPRS_SET_KLIENT_PORT = ? "),
             QStringLiteral("WHERE (GPRS_SET_KLIENT_POZ = ?) AND  (GPRS_SET_KLIENT_FIO = ?)")},
            {password, *portValue, record->callsign, record->name});
        data.tranzGprsRizne.commitIfActive();
    });
}

void ConnectionRecords::deleteCurrent() {
    run([&] {
        if (rowCount() == 0 || !m_services.op.confirm(kDeleteQuestion))
            return;
        // The grid may have been read anew while the question was open.
        const std::optional<ConnectionRecord> record = currentRecord();
        if (!record)
            return;
        DataModule& data = m_services.data;
        data.tranzGprsRizne.commitIfActive();
        deleteRecord(data, record->callsign, record->name);
        data.tranzGprsRizne.commitIfActive();
    });
}

void ConnectionRecords::cleanUp() {
    run([&] {
        if (rowCount() == 0 || !m_services.op.confirm(kCleanUpQuestion))
            return;
        DataModule& data = m_services.data;
        data.tranzGprsRizne.commitIfActive();
        data.tranzRizne.commitIfActive();
        const db::ResultSet records =
            data.tablGprsRizne.select({QStringLiteral("SELECT GPRS_SET_KLIENT_POZ, GPRS_SET_KLIENT_FIO FROM "
                                                      "GPRS_SET_KLIENT"),
                                       QStringLiteral("ORDER BY GPRS_SET_KLIENT_POZ")});
        for (const db::Row& record : records.rows()) {
            const int callsign = record.at(0).toInt();
            const QString name = record.at(1).toText();
            const db::ResultSet cars =
                data.rizne.select({QStringLiteral("SELECT TABL_AVTO_NOMER FROM DANI_AVTO"),
                                   QStringLiteral("WHERE (TABL_AVTO_POZIVN = ?) "),
                                   QStringLiteral(" AND (TABL_AVTO_NOM_VODIY = (SELECT TABL_VODIY_NOMER FROM "
                                                  "VODII WHERE TABL_VODIY_FIO = ?))")},
                                  {callsign, name});
            if (cars.isEmpty())
                deleteRecord(data, callsign, name);
        }
        data.tranzGprsRizne.commitIfActive();
    });
}

void ConnectionRecords::forceOffCurrent() {
    run([&] {
        const std::optional<ConnectionRecord> shown = currentRecord();
        if (!shown || !m_services.op.confirm(forceOffQuestion(shown->callsign)))
            return;
        // The grid may have been read anew while the question was open.
        if (const std::optional<ConnectionRecord> record = currentRecord())
            takeOffAir(*record);
    });
}

void ConnectionRecords::takeOffAir(const ConnectionRecord& record) {
    ConnectionService& connections = m_services.connections;
    for (int k = 1; k <= connections.N(); ++k) {
        Listener& listener = connections.driverListener(k);
        if (listener.port() != record.port)
            continue;
        listener.closeAllConnections(); // each runs the disconnect handling
        listener.stopListening();       // until the driver logs in again
        connections.slot(k).driverName.clear();
    }

    DataModule& data = m_services.data;
    setRecordActivity(data, record.name, kInactiveRecord);

    data.tranzRizne.commitIfActive();
    const db::ResultSet models = data.rizne.select(
        {QStringLiteral("SELECT ZAD_AVTO_MARKA_AVTO FROM ZADIANI_AVTO"),
         QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)"), QStringLiteral("GROUP BY ZAD_AVTO_MARKA_AVTO")},
        {record.callsign});
    const QString model = models.isEmpty() ? QString() : models.last().at(0).toText();
    if (model.contains(DataModule::kConnectionMark)) {
        data.rizne.execute({QStringLiteral("UPDATE ZADIANI_AVTO"),
                            QStringLiteral("SET ZAD_AVTO_MARKA_AVTO = ?"),
                            QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
                           {DataModule::withoutConnectionMark(model), record.callsign});
    }
    data.tranzRizne.commitIfActive();
}

} // namespace taxi::net
