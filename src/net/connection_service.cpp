#include "net/connection_service.h"

#include "core/data_module.h"
#include "core/db/db_error.h"
#include "core/event_runner.h"
#include "core/integer_text.h"
#include "core/journal.h"
#include "core/metrics.h"
#include "core/monitoring_log.h"
#include "core/services.h"
#include "core/settings.h"
#include "core/text_codec.h"
#include "core/traffic_counters.h"
#include "net/connection.h"
#include "net/dispatcher.h"
#include "net/framing.h"
#include "net/held_order.h"
#include "net/listener.h"

#include <QScopeGuard>
#include <QTimer>

namespace taxi::net {

namespace {
const QString kWrongSecondConnection =
    QStringLiteral("ТЕЛЕФОН ПОДАВ НЕВІРНУ ЗАЯВКУ НА ПІДКЛЮЧЕННЯ / ПІДКЛЮЧЕНЬ ДО ПОРТА БІЛЬШЕ ОДНОГО");
const QString kNetworkFailure = QStringLiteral("ЗБІЙ У ЗВЯЗКУ / СІТЦІ");

QString portText(const Connection* connection) {
    return QString::number(connection->localPort());
}

QString recordName(DataModule& data, const PortSlot& slot) {
    data.tranzGprsRizne.commitIfActive();
    const db::ResultSet records = data.tablGprsRizne.select(
        {QStringLiteral("SELECT GPRS_SET_KLIENT_FIO FROM GPRS_SET_KLIENT"),
         QStringLiteral("WHERE (GPRS_SET_KLIENT_PORT = ?) AND (GPRS_SET_KLIENT_POZ = ?)")},
        {slot.port, slot.callsign});
    return records.isEmpty() ? QString() : records.first().at(0).toText();
}

db::ResultSet carOnAir(DataModule& data, int callsign) {
    return data.rizne.select(
        {QStringLiteral("SELECT * FROM ZADIANI_AVTO"), QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
        {callsign});
}

// The car model of the driver's last row on the air; empty without a row.
QString lastCarModel(const db::ResultSet& onAir) {
    return onAir.isEmpty() ? QString() : onAir.last()[QStringLiteral("ZAD_AVTO_MARKA_AVTO")].toText();
}

void setCarModel(DataModule& data, int callsign, const QString& model) {
    data.rizne.execute({QStringLiteral("UPDATE ZADIANI_AVTO"), QStringLiteral("SET ZAD_AVTO_MARKA_AVTO = ?"),
                        QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
                       {model, callsign});
}
} // namespace

void setRecordActivity(DataModule& data, const QString& driverName, const QString& activity) {
    data.tranzGprsRizne.commitIfActive();
    data.tablGprsRizne.execute({QStringLiteral("UPDATE GPRS_SET_KLIENT"),
                                QStringLiteral("SET GPRS_SET_KLIENT_ACTIVNIST = ?"),
                                QStringLiteral("WHERE (GPRS_SET_KLIENT_FIO = ?)")},
                               {activity, driverName});
    data.tranzGprsRizne.commitIfActive();
}

ConnectionService::ConnectionService(Services& services, const CommandTable& commands, QObject* parent)
    : QObject(parent), m_services(services), m_commands(commands), m_slots(1) {
    connect(&m_idleSweep, &QTimer::timeout, this,
            [this] { m_services.runner.run([this] { closeIdleMainPortConnections(); }); });
    setMainPortIdleLimit(kMainPortIdleLimit);
}

void ConnectionService::setMainPortIdleLimit(std::chrono::milliseconds limit) {
    m_mainPortIdleLimit = limit;
    // One sweep over the main port's connections now and then instead of a timer for every connection:
    // a flood of connects would otherwise leave hundreds of thousands of timers waiting.
    m_idleSweep.start(std::min(limit / 2, std::chrono::milliseconds(1000)));
}

ConnectionService::~ConnectionService() = default;

void ConnectionService::log(const QString& line) {
    m_services.log.append(line);
}

void ConnectionService::attachHandlers(Listener& listener) {
    // Every handler is one event of its own: its errors end it, and what it wrote is committed after it.
    const auto run = [this](auto handler) {
        return [this, handler](auto... arguments) {
            m_services.runner.run([&] { (this->*handler)(arguments...); });
        };
    };
    connect(&listener, &Listener::getSocket, this, run(&ConnectionService::onGetSocket));
    connect(&listener, &Listener::clientConnect, this, run(&ConnectionService::onClientConnect));
    connect(&listener, &Listener::accept, this, run(&ConnectionService::onAccept));
    connect(&listener, &Listener::clientWrite, this, run(&ConnectionService::onClientWrite));
    connect(&listener, &Listener::clientRead, this, run(&ConnectionService::onClientRead));
    connect(&listener, &Listener::clientDisconnect, this, run(&ConnectionService::onClientDisconnect));
    connect(&listener, &Listener::clientError, this, run(&ConnectionService::onClientError));
    connect(&listener, &Listener::listening, this, run(&ConnectionService::onListen));
}

void ConnectionService::CREATE_PORT() {
    const QString mainPortText = m_services.settings.text(keys::PORT_SERVER);
    const std::optional<int> mainPort = parseInteger(mainPortText);
    if (!mainPort || *mainPort <= 0 || *mainPort > 65535)
        throw db::DbError(QStringLiteral("'%1' is not a valid port number").arg(mainPortText));
    if (!m_mainListener) {
        m_mainListener = std::make_unique<Listener>(quint16(*mainPort));
        attachHandlers(*m_mainListener);
    }
    m_mainListener->setPort(quint16(*mainPort));
    m_mainListener->startListening();
    // A build that fails half-way must not leave the main port open behind an "off" status.
    auto closeMainPort = qScopeGuard([this] { m_mainListener->stopListening(); });

    offersPending = false;
    m_driverCount = 0;
    DataModule& data = m_services.data;
    data.tranzGprsRizne.commitIfActive();
    const db::ResultSet records = data.tablGprsRizne.select(
        {QStringLiteral("SELECT GPRS_SET_KLIENT_PORT, GPRS_SET_KLIENT_POZ FROM GPRS_SET_KLIENT"),
         QStringLiteral("GROUP BY GPRS_SET_KLIENT_PORT, GPRS_SET_KLIENT_POZ")});
    const int count = records.size();
    m_driverListeners.resize(std::size_t(count + 1));
    m_slots.resize(count + 1);
    m_slots[0].port = *mainPort;
    for (int i = 1; i <= count; ++i) {
        const db::Row& record = records.at(i - 1);
        setUpDriverPort(i, record.at(0).toInt(), record.at(1).toInt());
    }
    m_driverCount = count;
    data.tranzGprsRizne.commitIfActive();
    closeMainPort.dismiss();
}

void ConnectionService::setUpDriverPort(int k, int port, int callsign) {
    m_driverListeners[std::size_t(k)] = std::make_unique<Listener>(quint16(port));
    attachHandlers(*m_driverListeners[std::size_t(k)]);
    PortSlot& slot = m_slots[k];
    slot.port = port;
    slot.callsign = callsign;
    slot.reset();
    slot.driverName.clear();
}

int ConnectionService::addDriverPort(int port, int callsign) {
    const int k = m_driverCount + 1;
    m_driverListeners.resize(std::size_t(k + 1));
    m_slots.resize(k + 1);
    setUpDriverPort(k, port, callsign);
    m_driverCount = k;
    return k;
}

void ConnectionService::dropListeners() {
    if (m_mainListener) {
        m_mainListener->stopListening();
        m_mainListener->dropAllConnections();
    }
    for (auto& listener : m_driverListeners) {
        if (listener)
            listener->dropAllConnections();
    }
    m_driverListeners.clear();
    m_driverCount = 0;
}

int ConnectionService::firstListenerOnPort(int port) const {
    for (int k = 1; k <= m_driverCount; ++k) {
        if (driverListener(k).port() == port)
            return k;
    }
    return 0;
}

int ConnectionService::lastListenerOnPort(int port) const {
    for (int k = m_driverCount; k >= 1; --k) {
        if (driverListener(k).port() == port)
            return k;
    }
    return 0;
}

void ConnectionService::sendToSlot(int k, const QByteArray& bytes) {
    if (send(k, bytes))
        m_services.metrics.pushSent();
}

void ConnectionService::sendReply(int k, const QByteArray& bytes) {
    if (send(k, bytes))
        m_services.metrics.replySent();
}

bool ConnectionService::send(int k, const QByteArray& bytes) {
    Listener& listener = driverListener(k);
    for (int i = 0; i < listener.connectionCount(); ++i) {
        if (Connection* connection = listener.connection(i); connection->isOpen()) {
            connection->send(bytes);
            return true;
        }
    }
    return false;
}

int ConnectionService::boundTerminals() const {
    int bound = 0;
    for (int k = 1; k <= m_driverCount; ++k)
        bound += driverListener(k).connectionCount() > 0 ? 1 : 0;
    return bound;
}

void ConnectionService::onGetSocket(Connection*) {
    log(QStringLiteral("ПРОСЛУХОВУВАННЯ СЕРВЕРА > "));
}

void ConnectionService::onClientConnect(Connection* connection) {
    log(QStringLiteral("СПРОБА ПІДКЛЮЧЕННЯ ДО ПОРТА > ") + portText(connection));
}

void ConnectionService::onClientWrite(Connection* connection) {
    log(QStringLiteral("ServerSocket1ClientWrite > ") + portText(connection));
    log(QString(29, QLatin1Char(' ')));
}

void ConnectionService::onListen(quint16 port) {
    log(QStringLiteral("ДО СПИСКА ДОДАНИЙ ПОРТ > ") + QString::number(port));
}

void ConnectionService::onAccept(Connection* connection) {
    const int port = connection->localPort();
    const int k = lastListenerOnPort(port);
    log(QStringLiteral("ПОРТ ПІДКЛЮЧИВСЯ ДО СЕРВЕРА > ") + portText(connection));
    if (port == m_slots[0].port || k == 0)
        return;
    Listener& listener = driverListener(k);
    if (listener.connectionCount() <= 1)
        bindTerminal(k);
    const int count = listener.connectionCount();
    for (int i = 1; i < count; ++i) {
        listener.closeConnection(i);
        log(kWrongSecondConnection);
    }
    log(QStringLiteral("кіл. підк. = ") + QString::number(listener.connectionCount()));
}

void ConnectionService::closeIdleMainPortConnections() {
    if (!m_mainListener)
        return;
    // Collected first: each close runs its disconnect handling, and the list stays as it is until then.
    QList<Connection*> idle;
    for (int i = 0; i < m_mainListener->connectionCount(); ++i) {
        Connection* connection = m_mainListener->connection(i);
        if (connection->isOpen() && !connection->hasSentCompleteRequest() &&
            connection->sinceAccepted() >= m_mainPortIdleLimit)
            idle.append(connection);
    }
    for (Connection* connection : std::as_const(idle)) {
        log(QStringLiteral("ЗАКРИТО ПІДКЛЮЧЕННЯ БЕЗ ЗАПИТУ > ") + portText(connection));
        connection->close();
    }
}

void ConnectionService::bindTerminal(int k) {
    DataModule& data = m_services.data;
    PortSlot& slot = m_slots[k];

    // A terminal may come back to its port after an orderly close without a new login. The close took
    // the name the login had given the slot; without it the record would read "неактивний" while the
    // terminal is bound, and every request would run under an empty name (no messages, stand rows and
    // orders written nameless). The name is the record's, as the login took it.
    if (slot.driverName.isEmpty())
        slot.driverName = recordName(data, slot);
    setRecordActivity(data, slot.driverName, kActiveRecord);

    data.tranzRizne.commitIfActive();
    const QString model = lastCarModel(carOnAir(data, slot.callsign));
    if (!model.contains(DataModule::kConnectionMark))
        setCarModel(data, slot.callsign, DataModule::kConnectionMark + model);

    data.tranzRizne.commitIfActive();
    const db::ResultSet onAir = carOnAir(data, slot.callsign);
    const auto field = [&](const char* column) {
        return onAir.isEmpty() ? db::Field::null() : onAir.first()[QLatin1String(column)];
    };
    slot.refusalCount = 0;
    slot.standPosition = field("ZAD_AVTO_CHAS_ZAMOVL").toText();
    slot.orderNumber = field("ZAD_AVTO_NOMER_ZAMOVL").toInt();
    if (field("ZAD_AVTO_ZADIANIST").toInt() == 0)
        slot.orderTime = QDateTime::currentDateTime();
    slot.standName = field("ZAD_AVTO_VULICA").toText();

    if (slot.orderNumber != 0) {
        const db::ResultSet orders = data.rizne.select(
            {QStringLiteral("SELECT * FROM ZAMOVLENNIA"), QStringLiteral("WHERE (ZAMOVL_NUMBER = ?)")},
            {slot.orderNumber});
        if (orders.isEmpty())
            throw db::DbError(QStringLiteral("Замовлення № %1 не знайдено").arg(slot.orderNumber));
        loadHeldOrder(slot, orders.first());
    }

    try {
        data.rizne.execute({QStringLiteral("INSERT INTO REFLESH_DANI_VODIY_GPRS"),
                            QStringLiteral("(REFLESH_VODIY_POZ, REFLESH_VODIY_NZ, REFLESH_VODIY_PORT)"),
                            QStringLiteral("VALUES (?, ?, ?)")},
                           {slot.callsign, slot.orderNumber, k});
    } catch (const db::DbError&) {
        // Without its offer row the terminal could never be given an order: it has to connect afresh.
        driverListener(k).closeConnection(0);
    }
    slot.currentMenu.clear();
}

void ConnectionService::onClientRead(Connection* connection, const QByteArray& chunk) {
    m_services.counters.addIncoming(chunk.size());
    frameChunk(chunk, connection->requestBuffer(), [this, connection](const QByteArray& request) {
        connection->noteCompleteRequest();
        if (!isKeepAlive(request))
            executeOnSlotsOfPort(connection->localPort(), request);
        // A handler that closed this very connection ends its stream: the rest goes with it.
        return connection->isOpen() ? AfterRequest::GoOn : AfterRequest::Stop;
    });
}

void ConnectionService::executeOnSlotsOfPort(int port, const QByteArray& request) {
    // Two records may share a port: the request runs once for every slot of the port.
    for (int s = 0; s <= m_driverCount; ++s) {
        if (m_slots[s].port != port)
            continue;
        m_currentRequest = fromWin1251(request);
        m_currentRequestPort = port;
        const auto done = qScopeGuard([this] {
            m_currentRequest.clear();
            m_currentRequestPort = -1;
        });
        VIKONANNYA_ZAPITA(m_services);
    }
}

void ConnectionService::onClientDisconnect(Connection* connection) {
    const int port = connection->localPort();
    log(QStringLiteral("ПОРТ ВІДКЛЮЧИВСЯ > ") + portText(connection));
    for (int k = 1; k <= m_driverCount; ++k) {
        if (driverListener(k).port() == port && driverListener(k).connectionCount() == 1) {
            m_slots[k].reset();
            releaseTerminalMarks(k);
        }
    }
}

void ConnectionService::releaseTerminalMarks(int k) {
    DataModule& data = m_services.data;
    PortSlot& slot = m_slots[k];

    setRecordActivity(data, slot.driverName, kInactiveRecord);
    slot.driverName.clear();

    data.tranzRizne.commitIfActive();
    const QString model = lastCarModel(carOnAir(data, slot.callsign));
    if (model.contains(DataModule::kConnectionMark))
        setCarModel(data, slot.callsign, DataModule::withoutConnectionMark(model));
    data.rizne.execute({QStringLiteral("delete from REFLESH_DANI_VODIY_GPRS"),
                        QStringLiteral("WHERE (REFLESH_VODIY_POZ = ?)")},
                       {slot.callsign});
    data.tranzRizne.commitIfActive();
}

void ConnectionService::onClientError(Connection* connection, int /*errorCode*/) {
    log(QStringLiteral("ПОМИЛКА ПОРТА > ") + portText(connection));
    const int k = firstListenerOnPort(connection->localPort());
    if (k == 0)
        return;
    if (m_services.settings.isOn(keys::ZBIY_SITKA))
        m_services.journal.writeJournal(m_slots[k].callsign, 0, kNetworkFailure);
    Listener& listener = driverListener(k);
    listener.closeAllConnections();
    listener.stopListening(); // the driver has to log in again
    m_slots[k].reset();
    releaseTerminalMarks(k);
}

} // namespace taxi::net
