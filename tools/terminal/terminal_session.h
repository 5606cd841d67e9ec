#pragma once

#include <QByteArray>
#include <QString>
#include <QTcpSocket>
#include <QTextStream>

struct TerminalOptions {
    QString host = QStringLiteral("127.0.0.1");
    quint16 mainPort = 0;
    quint16 driverPort = 0;
    QString password;
    int connectTimeoutMs = 5000;
    int replyWaitMs = 1500;
};

// One terminal: the login on the main port, then the driver's own port, requests out and replies in.
class TerminalSession {
public:
    TerminalSession(const TerminalOptions& options, QTextStream& out) : m_options(options), m_out(out) {}

    bool logIn();
    bool connectDriverPort();
    // Sends one request and prints whatever arrives until the service has been quiet for a while.
    void send(const QString& request);
    void close();

private:
    void printRepliesFor(int quietMs);

    TerminalOptions m_options;
    QTextStream& m_out;
    QTcpSocket m_driverSocket;
    QByteArray m_pending;
};
