#include "console/intermediate_page.h"

#include "console/console_parts.h"
#include "console/widget_style.h"
#include "info/news.h"
#include "orders/stand_table.h"
#include "push/order_flow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace taxi {

namespace {

// A list that shows the model's lines as they stand, refilled whenever the model changes.
template <typename Model>
QListWidget* listOf(const QString& name, Model& model, QStringList (*linesOf)(const Model&),
                    QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    const auto refill = [list, &model, linesOf] {
        list->clear();
        list->addItems(linesOf(model));
    };
    QObject::connect(&model, &Model::changed, list, refill);
    refill();
    return list;
}

QPushButton* wrappedButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(parent);
    // The captions are long: a label inside lets them wrap over two lines.
    auto* caption = new QLabel(text, button);
    caption->setWordWrap(true);
    caption->setAlignment(Qt::AlignCenter);
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(button);
    layout->addWidget(caption);
    button->setAccessibleName(text);
    button->setMinimumHeight(64);
    return button;
}

} // namespace

IntermediatePage::IntermediatePage(const ConsoleParts& parts, QWidget* parent)
    : QWidget(parent), m_pages(new QTabWidget(this)) {
    m_pages->setObjectName(QStringLiteral("PageControl2"));
    m_pages->addTab(standsPage(parts), kStandsCaption);
    m_pages->addTab(flowPage(parts), kFlowCaption);
    m_pages->addTab(newsPage(parts), kNewsCaption);

    struct PageButton {
        QString name;
        QStyle::StandardPixmap glyph;
        QString hint;
    };
    const PageButton pageButtons[] = {
        {QStringLiteral("SpeedButton4"), QStyle::SP_FileDialogListView, kStandsCaption.trimmed()},
        {QStringLiteral("SpeedButton5"), QStyle::SP_FileDialogDetailedView, kFlowCaption.trimmed()},
        {QStringLiteral("SpeedButton6"), QStyle::SP_FileDialogInfoView, QStringLiteral("Закладка новин")},
    };
    auto* buttons = new QVBoxLayout;
    for (int page = 0; page < 3; ++page) {
        auto* button = new QToolButton(this);
        button->setObjectName(pageButtons[page].name);
        button->setIcon(style()->standardIcon(pageButtons[page].glyph));
        button->setIconSize(QSize(32, 32));
        button->setToolTip(pageButtons[page].hint);
        connect(button, &QToolButton::clicked, m_pages, [this, page] { m_pages->setCurrentIndex(page); });
        buttons->addWidget(button);
    }
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_pages, 1);
}

QWidget* IntermediatePage::standsPage(const ConsoleParts& parts) {
    auto* page = new QWidget(m_pages);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(listOf<StandTable>(
        QStringLiteral("ListBox1"), parts.models.stands,
        [](const StandTable& stands) { return stands.entries(); }, page));
    return page;
}

QWidget* IntermediatePage::flowPage(const ConsoleParts& parts) {
    auto* page = new QWidget(m_pages);
    OrderFlow& flow = parts.models.orderFlow;
    auto* count = makeLabel(QStringLiteral("0"), QStringLiteral("Label39"), page);
    setTextColour(count, Qt::blue);
    auto* freeRides = makeLabel(QStringLiteral("0"), QStringLiteral("Label40"), page);
    setTextColour(freeRides, Qt::red);
    const auto showCounts = [count, freeRides, &flow] {
        count->setText(QString::number(flow.count()));
        freeRides->setText(QString::number(flow.freeRideCount()));
    };
    connect(&flow, &OrderFlow::changed, page, showCounts);
    showCounts();

    auto* header = new QHBoxLayout;
    header->addWidget(new QLabel(QStringLiteral("Кількість замовлень :"), page));
    header->addWidget(count);
    header->addSpacing(24);
    header->addWidget(new QLabel(QStringLiteral("Кількість ювілейок :"), page));
    header->addWidget(freeRides);
    header->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(header);
    layout->addWidget(listOf<OrderFlow>(
        QStringLiteral("ListBox4"), flow, [](const OrderFlow& f) { return f.lines(); }, page));
    return page;
}

QWidget* IntermediatePage::newsPage(const ConsoleParts& parts) {
    auto* page = new QWidget(m_pages);
    NewsText& news = parts.models.news;
    auto* memo = new QPlainTextEdit(page);
    memo->setObjectName(QStringLiteral("Memo3"));
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const auto showNews = [memo, &news] {
        memo->setPlainText(news.lines().join(QLatin1Char('\n')));
    };
    connect(&news, &NewsText::changed, memo, showNews);
    showNews();

    auto* open = wrappedButton(
        QStringLiteral("ВІДКРИТИ  ФАЙЛ  НОВИН  (після збереження змін новин обновіть данні новин)"), page);
    open->setObjectName(QStringLiteral("openNewsButton"));
    connect(open, &QPushButton::clicked, page, parts.commands.openNewsFile);
    auto* reload = wrappedButton(QStringLiteral("ОБНОВИТИ  ДАНІ  НОВИН"), page);
    reload->setObjectName(QStringLiteral("reloadNewsButton"));
    connect(reload, &QPushButton::clicked, page, parts.commands.reloadNews);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(open);
    buttons->addWidget(reload);
    buttons->addStretch();
    auto* buttonColumn = new QWidget(page);
    buttonColumn->setLayout(buttons);
    buttonColumn->setFixedWidth(180);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(buttonColumn);
    layout->addWidget(memo, 1);
    return page;
}

} // namespace taxi
