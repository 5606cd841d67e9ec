#include "app/gui_front.h"

#include "app/service.h"
#include "console/gui_operator.h"
#include "console/main_window.h"
#include "core/single_instance.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

namespace taxi {

namespace {
constexpr int kExitRefused = 1;
}

int runGuiFront(SingleInstance& instance, bool pressStart,
                const std::optional<MetricsEndpoint>& metricsEndpoint) {
    GuiOperator op;
    if (!instance.acquire()) {
        op.inform(SingleInstance::kSecondCopyRefused);
        return kExitRefused;
    }
    Service service(op);
    MetricsServer metrics(service.metrics);
    if (!metrics.serve(metricsEndpoint, op))
        return kExitRefused;
    MainWindow window(service.consoleParts());
    // The desktop's "open" action; the service does not wait for the editor.
    service.news.setEditorOpener(
        [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });

    // The program ends when the main window closes or the service says so, never because some other
    // window (the error window) happened to be the last one open.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &MainWindow::closedByOperator, &window,
                     [] { QCoreApplication::exit(ServiceControl::kExitNormal); });
    QObject::connect(&service, &Service::endRequested, &window, [&window](int exitStatus) {
        window.closeForEnd();
        QCoreApplication::exit(exitStatus);
    });

    window.show();
    // Start-up runs once the event loop has painted the window, so that its messages appear over it
    // and an end it requests reaches a running loop.
    QTimer::singleShot(0, &window, [&service, pressStart] {
        service.startUp();
        if (pressStart && service.control.state() != ServiceControl::State::Ended)
            service.pressStartStop();
    });
    return QApplication::exec();
}

} // namespace taxi
