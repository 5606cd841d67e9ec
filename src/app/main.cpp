#include "app/headless_front.h"
#include "app/open_files_limit.h"
#include "app/service.h"
#include "app/termination_signals.h"
#include "core/single_instance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <memory>

#include "app/gui_front.h"

namespace {

struct Options {
    bool headless = false;
    bool start = false;
    QString workdir;
};

Options parseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("taxi-gprs: the drivers' terminals' connection service"));
    parser.addHelpOption();
    const QCommandLineOption headless(QStringLiteral("headless"), QStringLiteral("Run without a window."));
    const QCommandLineOption start(QStringLiteral("start"),
                                   QStringLiteral("Press the start button once start-up is done."));
    const QCommandLineOption workdir(
        QStringLiteral("workdir"),
        QStringLiteral("Working folder (settings, databases, logs); default: the "
                       "program's folder."),
        QStringLiteral("DIR"));
    parser.addOptions({headless, start, workdir});
    parser.process(arguments);
    return {parser.isSet(headless), parser.isSet(start), parser.value(workdir)};
}

} // namespace

int main(int argc, char* argv[]) {
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
    std::unique_ptr<QCoreApplication> application = headless ? std::make_unique<QCoreApplication>(argc, argv)
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
        taxi::HeadlessFront front(service);
        return front.run(options.start);
    }
    return taxi::runGuiFront(instance, options.start);
}
