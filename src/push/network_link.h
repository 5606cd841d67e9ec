#pragma once

#include <QString>
#include <memory>

namespace taxi {

// What the internet keeper asks of the operating system: what kind of internet connection the computer
// has, and to start dialling a configured connection. Windows answers with its own connected-state query
// and dial-up tool; elsewhere the platform's network manager does.
class NetworkLink {
public:
    // Kinds of connection as the connected-state query reports them; several may be set at once.
    enum Flag { Modem = 1, Lan = 2, Proxy = 4, ModemBusy = 8 };

    struct State {
        bool connected = false;
        int flags = 0;
    };

    struct DialRequest {
        QString entryName;            // NAME_ZEDNANNYA
        bool withCredentials = false; // ZAPIT_INYA_PASS
        QString userName;             // NET_IMYA
        QString password;             // NET_PASS: never on a command line or in a log
    };

    virtual ~NetworkLink() = default;

    virtual State connectedState() = 0;
    // Starts dialling and returns at once; the outcome shows in a later connectedState().
    virtual void dial(const DialRequest& request) = 0;
};

// The link of the platform the service runs on.
std::unique_ptr<NetworkLink> makeNetworkLink();

} // namespace taxi
