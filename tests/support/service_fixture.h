#pragma once

#include "core/db/attachment.h"
#include "core/db/result_set.h"
#include "core/db/sql_value.h"
#include "support/loopback_proxy.h"
#include "support/scripted_operator.h"
#include "support/test_databases.h"
#include "support/working_folder.h"

#include <QMap>
#include <QStringList>
#include <memory>
#include <optional>

namespace taxi {
class Service;
}

namespace taxi::test {

// A driver of the demo city with his connection record.
struct DemoDriver {
    int callsign;
    QString name;
    quint16 port;
    QString password;
};

// A working folder for one service: the demo dispatcher database on the local server (reached
// through a relay that the test may cut), SETSERVER.INI pointing at it, and TAXI_GPRS.FDB with
// connection records for the demo drivers on free ports.
class ServiceFolder {
public:
    ServiceFolder();
    ~ServiceFolder();

    QString path() const { return m_databases.folder(); }
    quint16 mainPort() const { return m_mainPort; }
    const QList<DemoDriver>& drivers() const { return m_drivers; }
    const DemoDriver& driver(int callsign) const;
    LoopbackProxy& network() { return m_network; }
    db::Credentials credentials() const { return m_credentials; }

    // Extra lines of SETSERVER.INI as "SECTION/KEY" → value (written before the service starts).
    void writeSettings(const QMap<QString, QString>& extra = {});
    // One more driver with a record (before createSettingsDatabase); his car and name in the dispatcher
    // database are the caller's to add.
    void addDriver(const DemoDriver& driver) { m_drivers.append(driver); }
    // Changes a driver's record (before createSettingsDatabase), e.g. to a port another driver has.
    void changeRecord(int callsign, quint16 port, const QString& password);
    // Adds that many drivers to the demo city's (before createSettingsDatabase), callsigns from 1001 on:
    // each with a car assigned to him in the dispatcher database and a connection record on a port of his
    // own. The ports lie below the system's range for outgoing connections, so that none of a thousand
    // terminals' sockets can take a driver's port before his login opens it.
    void addFleet(int count);
    // The dispatcher database as another program on this machine names it.
    QString dispatcherDatabaseName() const { return QStringLiteral("localhost:") + m_dispatcherPath; }
    // Creates TAXI_GPRS.FDB the way the service does and fills in the drivers' records.
    void createSettingsDatabase();

    // A statement on the dispatcher database, from another program's connection.
    db::ResultSet dispatcherSelect(const QStringList& lines, const db::SqlParams& params = {});
    void dispatcherExecute(const QStringList& lines, const db::SqlParams& params = {});
    // The first column of the first row, e.g. of a SELECT COUNT(*).
    int dispatcherNumber(const QString& select, const db::SqlParams& params = {});
    // The marks of bound terminals: offer rows (of one callsign, or of all) and cars marked "{GPRS}".
    int offerRows(std::optional<int> callsign = std::nullopt);
    int markedCars();
    // The activity of every connection record by callsign. TAXI_GPRS.FDB is the service's alone while it
    // runs: ask only when no service is running in the folder.
    QMap<int, QString> recordActivities();

private:
    db::Attachment& dispatcher();

    TestDatabases m_databases;
    LoopbackProxy m_network{kFirebirdServerPort};
    db::Credentials m_credentials;
    QString m_dispatcherPath;
    quint16 m_mainPort = 0;
    QList<DemoDriver> m_drivers;
    std::unique_ptr<db::Attachment> m_dispatcher;
};

// A free TCP port on the loopback address (free at the moment of asking).
quint16 freePort();
// That many ports free on every address at the moment of asking, below the range of outgoing connections.
QList<quint16> freeListeningPorts(int count);

// The service itself, in this process, in a ServiceFolder: started and distributing.
class RunningService {
public:
    explicit RunningService(ServiceFolder& folder, bool pressStart = true);
    ~RunningService();

    Service& operator*() { return *m_service; }
    Service* operator->() { return m_service.get(); }
    ScriptedOperator& op() { return m_operator; }
    QStringList logLines() const;

private:
    WorkingFolder m_workingFolder;
    ScriptedOperator m_operator;
    std::unique_ptr<Service> m_service;
};

} // namespace taxi::test
