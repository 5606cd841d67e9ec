#include "console/main_window.h"

#include "app/service.h"
#include "console/header_band.h"
#include "console/monitoring_page.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace taxi {

MainWindow::MainWindow(Service& service, QWidget* parent) : QWidget(parent), m_service(service) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(kTitle);

    auto* pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl1"));
    // The pages in their fixed order; every page is a widget of its own over the service's models.
    pages->addTab(new MonitoringPage(service, pages), MonitoringPage::kCaption);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new HeaderBand(service, this));
    layout->addWidget(pages, 1);

    resize(kSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::closeForEnd() {
    m_ending = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_ending) {
        event->accept();
        return;
    }
    if (!m_service.requestClose()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closedByOperator();
}

} // namespace taxi
