#include "console/monitoring_page.h"

#include "app/service.h"
#include "core/operator.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace taxi {

MonitoringPage::MonitoringPage(Service& service, QWidget* parent)
    : QWidget(parent), m_service(service), m_memo(new QPlainTextEdit(this)) {
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log writes itself away before it grows past this; when it cannot, the screen drops its oldest
    // lines with it.
    m_memo->setMaximumBlockCount(int(MonitoringLog::kMaxLines));
    m_memo->setPlainText(service.log.lines().join(QLatin1Char('\n')));
    connect(&service.log, &MonitoringLog::appended, m_memo, &QPlainTextEdit::appendPlainText);
    connect(&service.log, &MonitoringLog::cleared, m_memo, &QPlainTextEdit::clear);

    auto* clearButton = new QPushButton(QStringLiteral("Очистити екран ..."), this);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    connect(clearButton, &QPushButton::clicked, this,
            [this] { m_service.runAction([this] { m_service.log.clear(); }); });
    auto* saveButton = new QPushButton(QStringLiteral("Зберегти моніторинг"), this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    connect(saveButton, &QPushButton::clicked, this, [this] { m_service.runAction([this] { saveLog(); }); });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_memo, 1);
}

void MonitoringPage::saveLog() {
    // The working folder, as for the automatic save at the time mark.
    if (const auto error = m_service.log.save(QStringLiteral("."), QDateTime::currentDateTime()))
        m_service.services.op.showError(*error);
}

} // namespace taxi
