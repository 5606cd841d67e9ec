#include "console/header_band.h"

#include "console/console_parts.h"
#include "console/widget_style.h"
#include "core/service_control.h"
#include "core/traffic_counters.h"
#include "push/internet_keeper.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

namespace taxi {

namespace {

// The product's logo: a double-click takes the operator to the product's web site.
class Logo : public QLabel {
public:
    explicit Logo(QWidget* parent) : QLabel(QStringLiteral("Korvent - TAXI"), parent) {
        setObjectName(QStringLiteral("Logo"));
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override {
        QDesktopServices::openUrl(QUrl(HeaderBand::kProductSite));
    }
};

} // namespace

HeaderBand::HeaderBand(const ConsoleParts& parts, QWidget* parent)
    : QFrame(parent), m_parts(parts), m_startStop(new QToolButton(this)),
      m_status(makeLabel(QString(), QStringLiteral("Label5"), this)),
      m_incoming(makeLabel(QString(), QStringLiteral("Label17"), this)),
      m_outgoing(makeLabel(QString(), QStringLiteral("Label18"), this)),
      m_internet(makeLabel(QString(), QStringLiteral("Label28"), this)) {
    setFrameShape(QFrame::StyledPanel);

    auto* logo = new Logo(this);
    logo->setToolTip(QStringLiteral("Перейти на сайт програми"));
    logo->setCursor(Qt::PointingHandCursor);
    enlargeBold(logo, 1.6);
    setTextColour(logo, QColor(0, 0, 128));

    m_startStop->setObjectName(QStringLiteral("SpeedButton1"));
    m_startStop->setToolTip(QStringLiteral("Відкриття портів для зєднання водіїв"));
    m_startStop->setIconSize(QSize(32, 32));
    connect(m_startStop, &QToolButton::clicked, this, [this] { m_parts.commands.pressStartStop(); });

    enlargeBold(m_status, 1.4);
    setTextColour(m_incoming, Qt::red);
    setTextColour(m_outgoing, Qt::darkGreen);

    auto* readings = new QGridLayout;
    readings->addWidget(new QLabel(QStringLiteral("Вхідний трафік, байт:"), this), 0, 0);
    readings->addWidget(m_incoming, 0, 1);
    readings->addWidget(new QLabel(QStringLiteral("Вихідний трафік, байт :"), this), 1, 0);
    readings->addWidget(m_outgoing, 1, 1);
    readings->addWidget(new QLabel(QStringLiteral("Реальне підключення інтернета :"), this), 2, 0);
    readings->addWidget(m_internet, 2, 1);
    readings->setColumnMinimumWidth(1, 120);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(logo);
    layout->addSpacing(24);
    layout->addWidget(m_startStop);
    layout->addSpacing(12);
    layout->addWidget(m_status);
    layout->addStretch();
    layout->addLayout(readings);

    const ConsoleModels& models = parts.models;
    connect(&models.control, &ServiceControl::stateChanged, this, &HeaderBand::showState);
    connect(&models.counters, &TrafficCounters::changed, this, &HeaderBand::showCounters);
    connect(&models.keeper, &InternetKeeper::connectionTextChanged, this,
            [this] { m_internet->setText(m_parts.models.keeper.connectionText()); });
    showState();
    showCounters();
    m_internet->setText(models.keeper.connectionText());
}

void HeaderBand::showState() {
    const ServiceControl& control = m_parts.models.control;
    const bool on = control.isDistributing();
    m_status->setText(control.statusText());
    setTextColour(m_status, on ? Qt::red : Qt::blue);
    // The button shows what pressing it will do.
    m_startStop->setIcon(style()->standardIcon(on ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
}

void HeaderBand::showCounters() {
    const TrafficCounters& counters = m_parts.models.counters;
    m_incoming->setText(QString::number(counters.incoming()));
    m_outgoing->setText(QString::number(counters.outgoing()));
}

} // namespace taxi
