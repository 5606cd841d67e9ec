#include "app/gui_front.h"
#include "app/headless_front.h"
#include "app/metrics_server.h"
#include "app/open_files_limit.h"
#include "app/service.h"
#include "app/termination_signals.h"
#include "core/single_instance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct Options {
    bool headless = false;
    bool start = false;
    QString workdir;
    std::optional<taxi::MetricsEndpoint> metrics;
};

const char* const kDescription = R"(taxi-gprs: the connection service between taxi drivers' terminals and the
dispatchers' Firebird database, with its operator window.

The working folder holds SETSERVER.INI (the settings: where the dispatcher database is, the main port,
the rules), the service's own database TAXI_GPRS.FDB (created on the first start) and the saved monitoring
logs (MONITORYNG_*.txt).

Without --headless the operator's window opens. Headless, the monitoring log goes to standard output,
messages for the operator to standard error, questions are answered Yes, and SIGTERM or SIGINT stop the
distribution and end the program.

Exit status: 0 after a normal end; 1 when a second copy is refused or the working folder cannot be
entered; 2 when --start could not start the distribution; 3 when the dispatcher database was lost while
distributing.)";

// Options that only print: answered without a window, so they work on a server with no display.
bool onlyPrints(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"--help", "-h", "-?", "--help-all", "--version", "-v"}) {
            if (qstrcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

Options parseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.addHelpOption();
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information."));
    parser.addOption(version);
    const QCommandLineOption headless(QStringLiteral("headless"), QStringLiteral("Run without a window."));
    const QCommandLineOption start(QStringLiteral("start"),
                                   QStringLiteral("Press the start button once start-up is done."));
    const QCommandLineOption workdir(
        QStringLiteral("workdir"),
        QStringLiteral("Working folder (settings, databases, logs); default: the "
                       "program's folder."),
        QStringLiteral("DIR"));
    const QCommandLineOption metrics(
        QStringLiteral("metrics"),
        QStringLiteral("Serve the service's metrics for Prometheus at http://ADDRESS:PORT/metrics "
                       "(off by default; e.g. 127.0.0.1:9464)."),
        QStringLiteral("ADDRESS:PORT"));
    parser.addOptions({headless, start, workdir, metrics});
    parser.process(arguments);
    if (parser.isSet(version)) {
        std::printf("taxi-gprs %s (Qt %s)\n", TAXI_GPRS_VERSION, qVersion());
        std::exit(0);
    }
    Options options{parser.isSet(headless), parser.isSet(start), parser.value(workdir), std::nullopt};
    if (parser.isSet(metrics)) {
        options.metrics = taxi::MetricsEndpoint::parse(parser.value(metrics));
        if (!options.metrics) {
            std::fprintf(stderr,
                         "taxi-gprs: --metrics wants an IP address and a port, ADDRESS:PORT, not %s\n",
                         qPrintable(parser.value(metrics)));
            std::exit(1);
        }
    }
    return options;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool noWindow = onlyPrints(argc, argv);
    const bool headless = [&] {
        for (int i = 1; i < argc; ++i) {
            if (qstrcmp(argv[i], "--headless") == 0)
                return true;
        }
        return false;
    }();
    taxi::raiseOpenFilesLimit();
    if (headless)
        taxi::TerminationSignals::reserveForMainThread();
    std::unique_ptr<QCoreApplication> application = headless || noWindow
                                                        ? std::make_unique<QCoreApplication>(argc, argv)
                                                        : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(
        QStringLiteral("Сервіс роздач зєднань GPRS/JAVA \"Korvent - TAXI\" ver 2.4"));
    const Options options = parseOptions(QCoreApplication::arguments());
    const QString workdir =
        options.workdir.isEmpty() ? QCoreApplication::applicationDirPath() : options.workdir;
    if (!QDir::setCurrent(workdir)) {
        std::fprintf(stderr, "taxi-gprs: cannot enter the working folder %s\n", qPrintable(workdir));
        return 1;
    }

    taxi::SingleInstance instance;
    if (headless) {
        taxi::HeadlessOperator op;
        if (!instance.acquire()) {
            op.inform(taxi::SingleInstance::kSecondCopyRefused);
            return 1;
        }
        taxi::Service service(op);
        taxi::MetricsServer metrics(service.metrics);
        if (!metrics.serve(options.metrics, op))
            return 1;
        taxi::HeadlessFront front(service);
        return front.run(options.start);
    }
    return taxi::runGuiFront(instance, options.start, options.metrics);
}
