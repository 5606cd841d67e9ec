#include "push/nmcli_network_link.h"

#include <QProcess>

namespace taxi {

namespace {

const QStringList kModemDeviceTypes{QStringLiteral("modem"), QStringLiteral("gsm"),  QStringLiteral("cdma"),
                                    QStringLiteral("bt"),    QStringLiteral("adsl"), QStringLiteral("ppp")};
const QStringList kDialUpSettings{QStringLiteral("gsm"), QStringLiteral("cdma"), QStringLiteral("pppoe")};

} // namespace

std::unique_ptr<NetworkLink> makeNetworkLink() {
    return std::make_unique<NmcliNetworkLink>();
}

NetworkLink::State NmcliNetworkLink::stateOfDevices(const QByteArray& deviceLines) {
    State state;
    for (const QByteArray& line : deviceLines.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString type = text.left(colon);
        // "connected", and "connected (externally)" for a connection made outside NetworkManager.
        if (type == QStringLiteral("loopback") ||
            !text.mid(colon + 1).startsWith(QStringLiteral("connected")))
            continue;
        state.connected = true;
        state.flags |= kModemDeviceTypes.contains(type) ? Modem : Lan;
    }
    return state;
}

NetworkLink::State NmcliNetworkLink::connectedState() {
    QProcess nmcli;
    nmcli.start(kProgram, {QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("TYPE,STATE"),
                           QStringLiteral("device"), QStringLiteral("status")});
    nmcli.closeWriteChannel();
    if (!nmcli.waitForFinished(kQueryTimeoutMs) || nmcli.exitStatus() != QProcess::NormalExit) {
        nmcli.kill();
        nmcli.waitForFinished();
        return {};
    }
    return stateOfDevices(nmcli.readAllStandardOutput());
}

QStringList NmcliNetworkLink::dialArguments(const DialRequest& request) {
    QStringList arguments{QStringLiteral("connection"), QStringLiteral("up"), QStringLiteral("id"),
                          request.entryName};
    if (request.withCredentials)
        arguments << QStringLiteral("passwd-file") << QStringLiteral("/dev/stdin");
    return arguments;
}

QByteArray NmcliNetworkLink::passwordLines(const DialRequest& request) {
    QByteArray lines;
    for (const QString& setting : kDialUpSettings)
        lines += (setting + QStringLiteral(".password:") + request.password + QLatin1Char('\n')).toUtf8();
    return lines;
}

void NmcliNetworkLink::dial(const DialRequest& request) {
    auto* nmcli = new QProcess(this);
    nmcli->setStandardOutputFile(QProcess::nullDevice());
    nmcli->setStandardErrorFile(QProcess::nullDevice());
    connect(nmcli, &QProcess::finished, nmcli, &QObject::deleteLater);
    connect(nmcli, &QProcess::errorOccurred, nmcli, [nmcli](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            nmcli->deleteLater();
    });
    nmcli->start(kProgram, dialArguments(request));
    if (request.withCredentials)
        nmcli->write(passwordLines(request));
    nmcli->closeWriteChannel();
}

} // namespace taxi
