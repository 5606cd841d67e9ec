#pragma once

#include "push/network_link.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

namespace taxi {

// The link through NetworkManager's command-line tool nmcli, found on the PATH. The connection's password
// reaches nmcli on its standard input, never on its command line, where every user of the computer could
// read it. A QObject so that it owns the dialling processes it starts.
class NmcliNetworkLink : public QObject, public NetworkLink {
public:
    static inline const QString kProgram = QStringLiteral("nmcli");
    // The query runs on the service's only thread: a tool that hangs must not hold up the tick.
    static constexpr int kQueryTimeoutMs = 3000;

    using QObject::QObject;

    // A connected network device of the modem kind sets Modem, any other (loopback aside) LAN.
    State connectedState() override;
    void dial(const DialRequest& request) override;

    static QStringList dialArguments(const DialRequest& request);
    // The lines of nmcli's password file: the password for each kind of dial-up connection. The user name is
    // part of the connection's profile in NetworkManager and cannot be given when it is brought up.
    static QByteArray passwordLines(const DialRequest& request);
    // "TYPE:STATE" lines of "nmcli -t -f TYPE,STATE device status".
    static State stateOfDevices(const QByteArray& deviceLines);
};

} // namespace taxi
