#include "console/main_window.h"

#include "console/callsign_lists_dialog.h"
#include "console/header_band.h"
#include "console/intermediate_page.h"
#include "console/monitoring_page.h"
#include "console/records_page.h"
#include "console/settings_page.h"
#include "core/service_control.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace taxi {

MainWindow::MainWindow(ConsoleParts parts, QWidget* parent)
    : QWidget(parent), m_parts(std::move(parts)), m_pages(new QTabWidget(this)),
      m_lists(new CallsignListsDialog(m_parts, this)) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(kTitle);

    m_pages->setObjectName(QStringLiteral("PageControl1"));
    // The pages in their fixed order; every page is a widget of its own over the service's models.
    m_pages->addTab(new MonitoringPage(m_parts, m_pages), MonitoringPage::kCaption);
    m_pages->addTab(new IntermediatePage(m_parts, m_pages), IntermediatePage::kCaption);
    m_pages->addTab(new RecordsPage(m_parts.models.records, m_pages), RecordsPage::kCaption);
    auto* settingsPage = new SettingsPage(m_parts, m_pages);
    m_settingsPage = m_pages->addTab(settingsPage, SettingsPage::kCaption);
    connect(settingsPage, &SettingsPage::flowAccessListRequested, m_lists,
            &CallsignListsDialog::openFlowAccess);
    connect(settingsPage, &SettingsPage::debtorListRequested, m_lists, &CallsignListsDialog::openDebtors);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new HeaderBand(m_parts, this));
    layout->addWidget(m_pages, 1);

    connect(&m_parts.models.control, &ServiceControl::stateChanged, this,
            &MainWindow::showSettingsPageWhileStopped);
    showSettingsPageWhileStopped();

    resize(kSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::showSettingsPageWhileStopped() {
    // Settings change only while no terminal depends on them.
    m_pages->setTabVisible(m_settingsPage, !m_parts.models.control.isDistributing());
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
    if (!m_parts.commands.requestClose()) {
        event->ignore();
        return;
    }
    m_lists->close();
    event->accept();
    emit closedByOperator();
}

} // namespace taxi
