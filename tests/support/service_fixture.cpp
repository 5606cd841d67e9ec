#include "support/service_fixture.h"

#include "app/service.h"
#include "core/data_module.h"
#include "core/db/query.h"
#include "core/db/transaction.h"
#include "core/settings.h"
#include "core/text_codec.h"
#include "support/working_folder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <stdexcept>

namespace taxi::test {

namespace {

const QList<std::pair<int, QString>> kDemoLogins{
    {11, QStringLiteral("Коваленко Петро Іванович")},   {12, QStringLiteral("Шевчук Андрій Миколайович")},
    {13, QStringLiteral("Бондаренко Олег Васильович")}, {14, QStringLiteral("Ткаченко Сергій Петрович")},
    {15, QStringLiteral("Мельник Іван Степанович")},    {16, QStringLiteral("Кравчук Богдан Олександрович")},
    {17, QStringLiteral("Лисенко Віктор Григорович")}};

} // namespace

QList<quint16> freeListeningPorts(int count) {
    // Outgoing connections take their ports from 32768 up on Linux. A random start keeps two runs at the
    // same time apart.
    constexpr int kLowest = 10000;
    constexpr int kBelowOutgoing = 32768;
    QList<quint16> ports;
    int port = kLowest + int(QRandomGenerator::global()->bounded(kBelowOutgoing - kLowest - count));
    for (; ports.size() < count && port < kBelowOutgoing; ++port) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::Any, quint16(port)))
            ports.append(quint16(port));
    }
    if (ports.size() < count)
        throw std::runtime_error("not enough free ports below the range of outgoing connections");
    return ports;
}

// Not one the system hands out: between being found and being listened on, such a port could become the
// local end of a terminal's or a database connection of another test.
quint16 freePort() {
    return freeListeningPorts(1).first();
}

ServiceFolder::ServiceFolder() {
    const std::optional<db::Credentials> server = serverCredentials();
    if (!server)
        throw std::runtime_error("the local Firebird server's SYSDBA password is not readable");
    m_credentials = *server;
    m_dispatcherPath = m_databases.freshDispatcherDatabase(true);
    const QList<quint16> ports = freeListeningPorts(int(kDemoLogins.size()) + 1);
    m_mainPort = ports.first();
    for (const auto& [callsign, name] : kDemoLogins)
        m_drivers.append({callsign, name, ports.at(m_drivers.size() + 1), QStringLiteral("1111")});
}

ServiceFolder::~ServiceFolder() {
    if (m_dispatcher)
        m_dispatcher->abandon();
}

const DemoDriver& ServiceFolder::driver(int callsign) const {
    for (const DemoDriver& driver : m_drivers) {
        if (driver.callsign == callsign)
            return driver;
    }
    throw std::runtime_error("no such demo driver");
}

void ServiceFolder::changeRecord(int callsign, quint16 port, const QString& password) {
    for (DemoDriver& driver : m_drivers) {
        if (driver.callsign == callsign) {
            driver.port = port;
            driver.password = password;
        }
    }
}

void ServiceFolder::addFleet(int count) {
    constexpr int kFirstCallsign = 1001;
    const QList<quint16> ports = freeListeningPorts(count);
    db::Transaction transaction(dispatcher());
    db::Query query(transaction);
    for (int i = 0; i < count; ++i) {
        const int callsign = kFirstCallsign + i;
        const QString name = QStringLiteral("Водій флоту %1").arg(callsign);
        m_drivers.append({callsign, name, ports.at(i), QStringLiteral("%1").arg(callsign)});
        query.execute({QStringLiteral("INSERT INTO VODII (TABL_VODIY_NOMER, TABL_VODIY_FIO) VALUES (?, ?)")},
                      {callsign, name});
        query.execute(
            {QStringLiteral("INSERT INTO DANI_AVTO (TABL_AVTO_NOMER, TABL_AVTO_POZIVN, "
                            "TABL_AVTO_NOM_VODIY, TABL_AVTO_MODEL, TABL_AVTO_KOLIR, TABL_AVTO_KUZOV) "
                            "VALUES (?, ?, ?, 'Деу Ланос', 'білий', 'седан')")},
            {callsign, callsign, callsign});
    }
    transaction.commitIfActive();
}

void ServiceFolder::writeSettings(const QMap<QString, QString>& extra) {
    QMap<QString, QMap<QString, QString>> sections;
    sections[QStringLiteral("SHLYAH_BAZA")] = {
        {QStringLiteral("SERVER"), QStringLiteral("127.0.0.1/%1:").arg(m_network.port())},
        {QStringLiteral("PATH_BAZA"), QFileInfo(m_dispatcherPath).absolutePath()},
        {QStringLiteral("NAME_BAZA"), QFileInfo(m_dispatcherPath).fileName()}};
    sections[QStringLiteral("SET_SERV")] = {{QStringLiteral("LOGIN"), m_credentials.user},
                                            {QStringLiteral("PASS"), m_credentials.password}};
    sections[QStringLiteral("GPRS_TAXI")][QStringLiteral("PORT_SERVER")] = QString::number(m_mainPort);
    for (auto it = extra.begin(); it != extra.end(); ++it) {
        const QStringList place = it.key().split(QLatin1Char('/'));
        sections[place.at(0)][place.at(1)] = it.value();
    }
    QByteArray content;
    for (auto section = sections.begin(); section != sections.end(); ++section) {
        content += "[" + section.key().toLatin1() + "]\r\n";
        // The file is in the service's own code page.
        for (auto key = section->begin(); key != section->end(); ++key)
            content += key.key().toLatin1() + "=" + toWin1251(key.value()) + "\r\n";
    }
    QFile file(QDir(path()).filePath(QStringLiteral("SETSERVER.INI")));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw std::runtime_error("cannot write SETSERVER.INI");
}

void ServiceFolder::createSettingsDatabase() {
    const WorkingFolder inFolder(path());
    Settings settings;
    settings.setText(keys::LOGIN, m_credentials.user);
    settings.setText(keys::PASS, m_credentials.password);
    DataModule data(settings);
    data.CREATE_BAZA_TAXI_GPRS();
    db::Attachment records;
    records.attach(DataModule::kSettingsDatabaseFile, m_credentials);
    db::Transaction transaction(records);
    for (const DemoDriver& driver : std::as_const(m_drivers)) {
        db::Query(transaction)
            .execute({QStringLiteral("INSERT INTO GPRS_SET_KLIENT (GPRS_SET_KLIENT_POZ, GPRS_SET_KLIENT_FIO, "
                                     "GPRS_SET_KLIENT_PORT, GPRS_SET_KLIENT_ACTIVNIST, GPRS_SET_KLIENT_PASS) "
                                     "VALUES (?, ?, ?, 'неактивний', ?)")},
                     {driver.callsign, driver.name, int(driver.port), driver.password});
    }
    transaction.commitIfActive();
    records.detach();
}

db::Attachment& ServiceFolder::dispatcher() {
    if (!m_dispatcher) {
        m_dispatcher = std::make_unique<db::Attachment>();
        m_dispatcher->attach(dispatcherDatabaseName(), m_credentials);
    }
    return *m_dispatcher;
}

db::ResultSet ServiceFolder::dispatcherSelect(const QStringList& lines, const db::SqlParams& params) {
    db::Transaction transaction(dispatcher());
    return db::Query(transaction).select(lines, params);
}

void ServiceFolder::dispatcherExecute(const QStringList& lines, const db::SqlParams& params) {
    db::Transaction transaction(dispatcher());
    db::Query(transaction).execute(lines, params);
    transaction.commitIfActive();
}

int ServiceFolder::dispatcherNumber(const QString& select, const db::SqlParams& params) {
    return dispatcherSelect({select}, params).first().at(0).toInt();
}

int ServiceFolder::offerRows(std::optional<int> callsign) {
    if (!callsign)
        return dispatcherNumber(QStringLiteral("SELECT COUNT(*) FROM REFLESH_DANI_VODIY_GPRS"));
    return dispatcherNumber(
        QStringLiteral("SELECT COUNT(*) FROM REFLESH_DANI_VODIY_GPRS WHERE REFLESH_VODIY_POZ = ?"),
        {*callsign});
}

int ServiceFolder::markedCars() {
    return dispatcherNumber(
        QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO WHERE ZAD_AVTO_MARKA_AVTO LIKE ?"),
        {QStringLiteral("%{GPRS}%")});
}

QMap<int, QString> ServiceFolder::recordActivities() {
    const WorkingFolder inFolder(path());
    db::Attachment records;
    records.attach(DataModule::kSettingsDatabaseFile, m_credentials);
    QMap<int, QString> activities;
    {
        db::Transaction transaction(records);
        const db::ResultSet rows =
            db::Query(transaction)
                .select({QStringLiteral(
                    "SELECT GPRS_SET_KLIENT_POZ, GPRS_SET_KLIENT_ACTIVNIST FROM GPRS_SET_KLIENT")});
        for (const db::Row& row : rows.rows())
            activities.insert(row.at(0).toInt(), row.at(1).toText());
    }
    records.detach();
    return activities;
}

RunningService::RunningService(ServiceFolder& folder, bool pressStart) : m_workingFolder(folder.path()) {
    m_service = std::make_unique<Service>(m_operator);
    m_service->startUp();
    if (pressStart)
        m_service->pressStartStop();
}

RunningService::~RunningService() {
    m_service->shutDown();
}

QStringList RunningService::logLines() const {
    return m_service->log.lines();
}

} // namespace taxi::test
