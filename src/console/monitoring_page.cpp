#include "console/monitoring_page.h"

#include "console/console_parts.h"
#include "core/monitoring_log.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace taxi {

MonitoringPage::MonitoringPage(const ConsoleParts& parts, QWidget* parent) : QWidget(parent) {
    const MonitoringLog& log = parts.models.log;
    auto* memo = new QPlainTextEdit(this);
    memo->setObjectName(QStringLiteral("Memo1"));
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log writes itself away before it grows past this; when it cannot, the screen drops its oldest
    // lines with it.
    memo->setMaximumBlockCount(int(MonitoringLog::kMaxLines));
    memo->setPlainText(log.lines().join(QLatin1Char('\n')));
    connect(&log, &MonitoringLog::appended, memo, &QPlainTextEdit::appendPlainText);
    connect(&log, &MonitoringLog::cleared, memo, &QPlainTextEdit::clear);

    auto* clearButton = new QPushButton(QStringLiteral("Очистити екран ..."), this);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    connect(clearButton, &QPushButton::clicked, this, parts.commands.clearMonitoring);
    auto* saveButton = new QPushButton(QStringLiteral("Зберегти моніторинг"), this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    connect(saveButton, &QPushButton::clicked, this, parts.commands.saveMonitoring);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(memo, 1);
}

} // namespace taxi
