#include "console/error_window.h"

#include "core/date_time_text.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace taxi {

ErrorWindow::ErrorWindow(QWidget* parent) : QWidget(parent, Qt::Window), m_entries(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("ErrorWindow"));
    resize(640, 320);
    // One block per error: appending stays cheap however many came, and the oldest fall off by themselves.
    m_entries->setReadOnly(true);
    m_entries->setMaximumBlockCount(kKeptEntries);

    auto* clearButton = new QPushButton(QStringLiteral("Очистити"), this);
    auto* closeButton = new QPushButton(QStringLiteral("Закрити"), this);
    connect(clearButton, &QPushButton::clicked, this, &ErrorWindow::clearEntries);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clearButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_entries);
    layout->addLayout(buttons);
    updateTitle();
}

void ErrorWindow::add(const QString& message, const QDateTime& when) {
    ++m_received;
    QString entry = operatorTimestamp(when) + QStringLiteral("   ") + message;
    // A message of several lines stays one entry.
    entry.replace(QLatin1Char('\n'), QChar::LineSeparator);
    m_entries->appendPlainText(entry);
    updateTitle();
    // Shown at once, never exec'd: the reporting handler goes on, even inside a modal box. A burst of
    // errors asks the window system to raise the window once.
    show();
    if (!m_raisePending) {
        m_raisePending = true;
        QTimer::singleShot(0, this, [this] {
            m_raisePending = false;
            raise();
        });
    }
}

void ErrorWindow::clearEntries() {
    m_entries->clear();
    m_received = 0;
    updateTitle();
}

void ErrorWindow::updateTitle() {
    setWindowTitle(QStringLiteral("Помилки (%1)").arg(m_received));
}

} // namespace taxi
