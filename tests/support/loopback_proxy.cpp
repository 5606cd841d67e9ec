#include "support/loopback_proxy.h"

#include <QMetaObject>
#include <QTcpServer>
#include <QTcpSocket>

namespace taxi::test {

class ProxyWorker : public QObject {
public:
    explicit ProxyWorker(quint16 targetPort) : m_targetPort(targetPort) {}

    quint16 listen() {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &ProxyWorker::relayNewConnections);
        m_server->listen(QHostAddress::LocalHost, 0);
        return m_server->serverPort();
    }

    void cut() {
        m_server->close();
        for (QTcpSocket* socket : findChildren<QTcpSocket*>())
            socket->abort();
    }

private:
    void relayNewConnections() {
        while (QTcpSocket* client = m_server->nextPendingConnection()) {
            client->setParent(this);
            auto* upstream = new QTcpSocket(this);
            // A relay must not hold small packets back: the database's request-and-answer exchanges would
            // each wait for a delayed acknowledgement.
            client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connect(upstream, &QTcpSocket::connected, upstream,
                    [upstream] { upstream->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
            const auto pipe = [](QTcpSocket* from, QTcpSocket* to) {
                connect(from, &QTcpSocket::readyRead, to, [from, to] { to->write(from->readAll()); });
                connect(from, &QTcpSocket::disconnected, to, [to] { to->disconnectFromHost(); });
            };
            pipe(client, upstream);
            pipe(upstream, client);
            connect(upstream, &QTcpSocket::connected, upstream, [client, upstream] {
                if (client->bytesAvailable())
                    upstream->write(client->readAll());
            });
            upstream->connectToHost(QHostAddress::LocalHost, m_targetPort);
        }
    }

    quint16 m_targetPort;
    QTcpServer* m_server = nullptr;
};

LoopbackProxy::LoopbackProxy(quint16 targetPort) {
    m_worker = new ProxyWorker(targetPort);
    m_worker->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
}

LoopbackProxy::~LoopbackProxy() {
    QMetaObject::invokeMethod(
        m_worker, [this] { delete m_worker; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void LoopbackProxy::cut() {
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->cut(); }, Qt::BlockingQueuedConnection);
}

QString databaseNameThrough(const LoopbackProxy& proxy, const QString& path) {
    return QStringLiteral("127.0.0.1/%1:%2").arg(proxy.port()).arg(path);
}

} // namespace taxi::test
