#include "console/callsign_lists_dialog.h"

#include "console/console_parts.h"
#include "core/callsign_lists.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace taxi {

struct CallsignListsDialog::PageTexts {
    QString pageName;
    QString title;
    QString listName;
    QString fieldName;
    QString fieldGroup; // empty: the field stands without a group
    QString add;
    QString remove;
    QString clear;
    QString confirm;
    QStringList hints;
};

CallsignListsDialog::CallsignListsDialog(const ConsoleParts& parts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      m_parts(parts), m_notebook(new QStackedWidget(this)) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(kTitle);
    setModal(false);
    m_notebook->setObjectName(QStringLiteral("Notebook1"));
    CallsignLists& lists = parts.models.callsignLists;
    m_notebook->addWidget(page(lists.flowAccess, {QStringLiteral("DOSTUP_POTOK"),
                                                  QStringLiteral("СПИСОК  ПОЗИВНИХ"),
                                                  QStringLiteral("ListBox1"),
                                                  QStringLiteral("Edit1"),
                                                  QStringLiteral(" Добавити до списку позивного "),
                                                  QStringLiteral("Ok"),
                                                  QStringLiteral("Знищити вибраний"),
                                                  QStringLiteral("Очистити список"),
                                                  QStringLiteral("З А Т В Е Р Д И Т И     З М І Н И"),
                                                  {QStringLiteral("при помилковому знищенні закрийте вікно"),
                                                   QStringLiteral("і ще раз зайдіть через кнопку")}}));
    m_notebook->addWidget(page(lists.debtors, {QStringLiteral("BORZHNIKI"),
                                               QStringLiteral("Список боржників"),
                                               QStringLiteral("ListBox2"),
                                               QStringLiteral("Edit2"),
                                               QString(),
                                               QStringLiteral("Добавити позивний"),
                                               QStringLiteral("Знищити запис"),
                                               QStringLiteral("Очистити список"),
                                               QStringLiteral("Зберегти зміни"),
                                               {}}));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_notebook);
    // A fixed dialog border: the size its contents need, no more and no less.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* CallsignListsDialog::page(CallsignListPage& model, const PageTexts& texts) {
    auto* page = new QWidget(m_notebook);
    page->setObjectName(texts.pageName);

    auto* title = new QLabel(texts.title, page);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto* list = new QListWidget(page);
    list->setObjectName(texts.listName);
    const auto showEntries = [list, &model] {
        list->clear();
        list->addItems(model.entries());
    };
    connect(&model, &CallsignListPage::entriesChanged, list, showEntries);

    auto* field = new QLineEdit(page);
    field->setObjectName(texts.fieldName);
    auto* fieldRow = new QHBoxLayout;
    fieldRow->addWidget(new QLabel(QStringLiteral("ПОЗИВНИЙ"), page));
    fieldRow->addWidget(field, 1);
    auto* add = new QPushButton(texts.add, page);
    connect(add, &QPushButton::clicked, page, [&model, field] { model.add(field->text()); });
    fieldRow->addWidget(add);

    auto* remove = new QPushButton(texts.remove, page);
    connect(remove, &QPushButton::clicked, page, [&model, list] { model.remove(list->currentRow()); });
    auto* clear = new QPushButton(texts.clear, page);
    connect(clear, &QPushButton::clicked, page, [&model] { model.clear(); });
    auto* confirm = new QPushButton(texts.confirm, page);
    confirm->setObjectName(texts.pageName + QStringLiteral("_confirm"));
    connect(confirm, &QPushButton::clicked, this, [this, &model] {
        if (m_parts.commands.confirmCallsignList(model))
            close();
    });

    auto* controls = new QVBoxLayout;
    if (texts.fieldGroup.isEmpty()) {
        controls->addLayout(fieldRow);
    } else {
        auto* group = new QGroupBox(texts.fieldGroup, page);
        group->setLayout(fieldRow);
        controls->addWidget(group);
    }
    controls->addWidget(remove);
    controls->addWidget(clear);
    for (const QString& hint : texts.hints)
        controls->addWidget(new QLabel(hint, page));
    controls->addStretch();
    controls->addWidget(confirm);

    auto* body = new QHBoxLayout;
    body->addWidget(list);
    body->addLayout(controls);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(title);
    layout->addLayout(body);
    return page;
}

void CallsignListsDialog::openFlowAccess() {
    open(m_parts.models.callsignLists.flowAccess, 0);
}

void CallsignListsDialog::openDebtors() {
    open(m_parts.models.callsignLists.debtors, 1);
}

void CallsignListsDialog::open(CallsignListPage& model, int pageIndex) {
    model.open();
    m_notebook->setCurrentIndex(pageIndex);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

} // namespace taxi
