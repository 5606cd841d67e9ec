#include "terminal_session.h"

#include "reply_printer.h"

#include <QDeadlineTimer>
#include <QThread>

bool TerminalSession::logIn() {
    QTcpSocket mainSocket;
    mainSocket.connectToHost(m_options.host, m_options.mainPort);
    if (!mainSocket.waitForConnected(m_options.connectTimeoutMs)) {
        m_out << "main port " << m_options.mainPort << ": " << mainSocket.errorString() << Qt::endl;
        return false;
    }
    const QString login = QStringLiteral("@OC(%1)[%2]@").arg(m_options.driverPort).arg(m_options.password);
    m_out << ">> " << login << "   (main port " << m_options.mainPort << ")" << Qt::endl;
    mainSocket.write(login.toLatin1());
    mainSocket.waitForBytesWritten(m_options.connectTimeoutMs);
    // The service answers a login with nothing: give it a moment to read it before we hang up.
    mainSocket.waitForReadyRead(300);
    mainSocket.disconnectFromHost();
    return true;
}

bool TerminalSession::connectDriverPort() {
    const QDeadlineTimer deadline(m_options.connectTimeoutMs);
    while (!deadline.hasExpired()) {
        m_driverSocket.connectToHost(m_options.host, m_options.driverPort);
        if (m_driverSocket.waitForConnected(500)) {
            m_out << "connected to driver port " << m_options.driverPort << Qt::endl;
            return true;
        }
        m_driverSocket.abort();
        QThread::msleep(200);
    }
    m_out << "driver port " << m_options.driverPort << " did not open" << Qt::endl;
    return false;
}

void TerminalSession::send(const QString& request) {
    m_out << ">> " << request << Qt::endl;
    m_driverSocket.write(request.toLatin1());
    m_driverSocket.waitForBytesWritten(m_options.connectTimeoutMs);
    printRepliesFor(m_options.replyWaitMs);
}

void TerminalSession::printRepliesFor(int quietMs) {
    while (m_driverSocket.state() == QAbstractSocket::ConnectedState &&
           m_driverSocket.waitForReadyRead(quietMs)) {
        m_pending += m_driverSocket.readAll();
        qsizetype end;
        while ((end = m_pending.indexOf('@')) >= 0) {
            const QByteArray reply = m_pending.left(end);
            m_pending.remove(0, end + 1);
            m_out << "<< " << QString::fromLatin1(reply) << "@" << Qt::endl
                  << readableReply(reply) << Qt::flush;
        }
    }
    if (m_driverSocket.state() != QAbstractSocket::ConnectedState)
        m_out << "the service closed the connection" << Qt::endl;
}

void TerminalSession::close() {
    if (m_driverSocket.state() == QAbstractSocket::ConnectedState) {
        m_driverSocket.disconnectFromHost();
        if (m_driverSocket.state() != QAbstractSocket::UnconnectedState)
            m_driverSocket.waitForDisconnected(1000);
    }
}
