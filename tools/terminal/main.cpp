#include "terminal_session.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a driver's terminal: logs in on the main port, connects to the driver's own port, "
        "sends the requests given (or typed at the prompt) and prints every reply."));
    parser.addHelpOption();
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Service address."),
                                  QStringLiteral("HOST"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption mainPort(QStringLiteral("main-port"), QStringLiteral("The service's main port."),
                                      QStringLiteral("PORT"));
    const QCommandLineOption driverPort(QStringLiteral("port"), QStringLiteral("The driver's own port."),
                                        QStringLiteral("PORT"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("The driver's password."),
                                      QStringLiteral("PASSWORD"));
    const QCommandLineOption wait(QStringLiteral("wait"), QStringLiteral("Quiet time that ends a reply, ms."),
                                  QStringLiteral("MS"), QStringLiteral("1500"));
    parser.addOptions({host, mainPort, driverPort, password, wait});
    parser.addPositionalArgument(QStringLiteral("requests"),
                                 QStringLiteral("Requests such as @PZ7@ (none: prompt)."));
    parser.process(application);

    TerminalOptions options;
    options.host = parser.value(host);
    options.mainPort = quint16(parser.value(mainPort).toUInt());
    options.driverPort = quint16(parser.value(driverPort).toUInt());
    options.password = parser.value(password);
    options.replyWaitMs = parser.value(wait).toInt();
    if (options.mainPort == 0 || options.driverPort == 0) {
        std::fprintf(stderr, "taxi-gprs-terminal: --main-port and --port are required\n");
        return 64;
    }

    QTextStream out(stdout);
    TerminalSession session(options, out);
    if (!session.logIn())
        return 3;
    if (!session.connectDriverPort())
        return 2;
    const QStringList requests = parser.positionalArguments();
    if (!requests.isEmpty()) {
        for (const QString& request : requests)
            session.send(request);
    } else {
        // A prompt only for a person at a terminal, not for requests piped in by a script.
        const bool interactive = ::isatty(STDIN_FILENO) != 0;
        const auto prompt = [&] {
            if (interactive)
                out << "> " << Qt::flush;
        };
        QTextStream in(stdin);
        QString line;
        prompt();
        while (in.readLineInto(&line)) {
            if (!line.trimmed().isEmpty())
                session.send(line.trimmed());
            prompt();
        }
    }
    session.close();
    return 0;
}
