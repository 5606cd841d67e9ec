#pragma once

#include <QHostAddress>
#include <QThread>
#include <atomic>

namespace taxi::test {

class ProxyWorker;

// A TCP relay on a loopback port of its own towards a local server, run on a thread of its own so
// that it keeps relaying while the test blocks in a client call. Cutting it plays a server gone
// away or a pulled network: every relayed connection is dropped and no new one is accepted.
class LoopbackProxy {
public:
    explicit LoopbackProxy(quint16 targetPort);
    ~LoopbackProxy();
    LoopbackProxy(const LoopbackProxy&) = delete;
    LoopbackProxy& operator=(const LoopbackProxy&) = delete;

    quint16 port() const { return m_port; }
    void cut();

private:
    QThread m_thread;
    ProxyWorker* m_worker = nullptr;
    quint16 m_port = 0;
};

// The local Firebird server's port, and a database name through a relay of that server.
constexpr quint16 kFirebirdServerPort = 3050;
QString databaseNameThrough(const LoopbackProxy& proxy, const QString& path);

} // namespace taxi::test
