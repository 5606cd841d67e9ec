#include "console/header_band.h"

#include "app/service.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace taxi {

namespace {

QLabel* makeLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void enlargeBold(QWidget* widget, qreal scale) {
    QFont font = widget->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * scale);
    widget->setFont(font);
}

} // namespace

HeaderBand::HeaderBand(Service& service, QWidget* parent)
    : QFrame(parent), m_service(service), m_startStop(new QToolButton(this)),
      m_status(makeLabel(QString(), QStringLiteral("Label5"), this)),
      m_incoming(makeLabel(QString(), QStringLiteral("Label17"), this)),
      m_outgoing(makeLabel(QString(), QStringLiteral("Label18"), this)) {
    setFrameShape(QFrame::StyledPanel);

    auto* logo = makeLabel(QStringLiteral("Korvent - TAXI"), QStringLiteral("Logo"), this);
    logo->setToolTip(QStringLiteral("Перейти на сайт програми"));
    logo->setCursor(Qt::PointingHandCursor);
    enlargeBold(logo, 1.6);
    setTextColour(logo, QColor(0, 0, 128));

    m_startStop->setObjectName(QStringLiteral("SpeedButton1"));
    m_startStop->setToolTip(QStringLiteral("Відкриття портів для зєднання водіїв"));
    m_startStop->setIconSize(QSize(32, 32));
    connect(m_startStop, &QToolButton::clicked, this, [this] { m_service.pressStartStop(); });

    enlargeBold(m_status, 1.4);
    setTextColour(m_incoming, Qt::red);
    setTextColour(m_outgoing, Qt::darkGreen);

    auto* readings = new QGridLayout;
    readings->addWidget(new QLabel(QStringLiteral("Вхідний трафік, байт:"), this), 0, 0);
    readings->addWidget(m_incoming, 0, 1);
    readings->addWidget(new QLabel(QStringLiteral("Вихідний трафік, байт :"), this), 1, 0);
    readings->addWidget(m_outgoing, 1, 1);
    readings->addWidget(new QLabel(QStringLiteral("Реальне підключення інтернета :"), this), 2, 0);
    readings->addWidget(makeLabel(QStringLiteral("не задано"), QStringLiteral("Label28"), this), 2, 1);
    readings->setColumnMinimumWidth(1, 120);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(logo);
    layout->addSpacing(24);
    layout->addWidget(m_startStop);
    layout->addSpacing(12);
    layout->addWidget(m_status);
    layout->addStretch();
    layout->addLayout(readings);

    connect(&service.control, &ServiceControl::stateChanged, this, &HeaderBand::showState);
    connect(&service.counters, &TrafficCounters::changed, this, &HeaderBand::showCounters);
    showState();
    showCounters();
}

void HeaderBand::showState() {
    const bool on = m_service.control.isDistributing();
    m_status->setText(m_service.control.statusText());
    setTextColour(m_status, on ? Qt::red : Qt::blue);
    // The button shows what pressing it will do.
    m_startStop->setIcon(style()->standardIcon(on ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
}

void HeaderBand::showCounters() {
    m_incoming->setText(QString::number(m_service.counters.incoming()));
    m_outgoing->setText(QString::number(m_service.counters.outgoing()));
}

} // namespace taxi
