#pragma once

#include "net/command.h"
#include "net/port_slot.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace taxi {
class DataModule;
struct Services;
} // namespace taxi

namespace taxi::net {

class Connection;
class Listener;

// The activity of a driver's connection record, as the dispatchers see it.
inline const QString kActiveRecord = QStringLiteral("АКТИВНИЙ");
inline const QString kInactiveRecord = QStringLiteral("неактивний");
// Writes the activity of every record of the driver's name, committed at once for the dispatchers to see.
void setRecordActivity(DataModule& data, const QString& driverName, const QString& activity);

// The port slots, the main port ServerSocket1 and the driver listeners, and the handling of every
// socket event on them: binding a terminal to its slot, framing what it sends into requests and
// letting it go again.
class ConnectionService : public QObject {
    Q_OBJECT
public:
    // Terminals hang up after their login. A main-port connection that has sent no complete request in
    // this time is not a terminal, and is closed before such connections can use up the descriptors.
    static constexpr std::chrono::milliseconds kMainPortIdleLimit{30'000};

    // What the connection service asks of the subsystems above it.
    struct Hooks {
        // Gives a driver whose login was accepted his row on the air, when he has none.
        std::function<void(int callsign, const QString& driverName)> putOnAir;
    };

    // The commands are the terminal protocol's, in its fixed order.
    ConnectionService(Services& services, const CommandTable& commands, QObject* parent = nullptr);
    ~ConnectionService() override;

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    const Hooks& hooks() const { return m_hooks; }
    const CommandTable& commands() const { return m_commands; }

    // Builds the slots and listeners from the connection records and opens the main port.
    void CREATE_PORT();
    // A connection record made while the service runs: one more slot and listener at the end, set up as the
    // build sets them up and not listening until the driver logs in. Returns the new slot's index, N.
    int addDriverPort(int port, int callsign);
    // The listeners' part of the distribution's stop: every connection dropped without its
    // disconnect handling, every driver listener gone, N = 0.
    void dropListeners();

    int N() const { return m_driverCount; }
    PortSlot& slot(int index) { return m_slots[index]; }
    const PortSlotTable& slotTable() const { return m_slots; }
    Listener* mainListener() const { return m_mainListener.get(); }
    // Listener k serves slot k, for k from 1 to N.
    Listener& driverListener(int k) const { return *m_driverListeners.at(std::size_t(k)); }

    // The first, or the last, listener among 1..N on that port; 0 when none.
    int firstListenerOnPort(int port) const;
    int lastListenerOnPort(int port) const;
    // Sends a notice the terminal did not ask for on connection 0 of listener k, the oldest open
    // connection of the port.
    void sendToSlot(int k, const QByteArray& bytes);
    // Sends the reply to a request the same way.
    void sendReply(int k, const QByteArray& bytes);
    // The driver listeners with a terminal connected.
    int boundTerminals() const;

    // The request being executed and the port of the slot it came from; empty and -1 outside one.
    const QString& currentRequest() const { return m_currentRequest; }
    int currentRequestPort() const { return m_currentRequestPort; }

    bool offersPending = false;

    // For tests, which cannot wait half a minute.
    void setMainPortIdleLimit(std::chrono::milliseconds limit);

private:
    void attachHandlers(Listener& listener);
    void setUpDriverPort(int k, int port, int callsign);
    void onGetSocket(Connection* connection);
    void onClientConnect(Connection* connection);
    void onAccept(Connection* connection);
    void onClientWrite(Connection* connection);
    void onClientRead(Connection* connection, const QByteArray& chunk);
    void onClientDisconnect(Connection* connection);
    void onClientError(Connection* connection, int errorCode);
    void onListen(quint16 port);

    bool send(int k, const QByteArray& bytes);
    void bindTerminal(int k);
    void releaseTerminalMarks(int k);
    void closeIdleMainPortConnections();
    void executeOnSlotsOfPort(int port, const QByteArray& request);
    void log(const QString& line);

    Services& m_services;
    const CommandTable& m_commands;
    Hooks m_hooks;
    std::unique_ptr<Listener> m_mainListener;
    std::vector<std::unique_ptr<Listener>> m_driverListeners; // index 0 stays empty
    PortSlotTable m_slots;
    int m_driverCount = 0;
    QString m_currentRequest;
    int m_currentRequestPort = -1;
    std::chrono::milliseconds m_mainPortIdleLimit{};
    QTimer m_idleSweep;
};

} // namespace taxi::net
