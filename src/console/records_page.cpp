#include "console/records_page.h"

#include "net/connection_records.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

namespace taxi {

namespace {

constexpr int kCaptionHeight = 25;
const QString kBodyName = QStringLiteral("groupBody");
const QString kNotSet = QStringLiteral("не задано");
const QString kAutoHint = QStringLiteral("ПОРТ  ВОДІЯ  = ПОРТ  СЕРВЕРА  +   ПОЗИВНИЙ");

// A list that is filled afresh each time the operator opens it.
class RefillingList : public QComboBox {
public:
    RefillingList(const QString& name, bool editable, std::function<void()> refill, QWidget* parent)
        : QComboBox(parent), m_refill(std::move(refill)) {
        setObjectName(name);
        setEditable(editable);
    }

    void showPopup() override {
        m_refill();
        QComboBox::showPopup();
    }

private:
    std::function<void()> m_refill;
};

// The activity column stands out: larger blue text.
class ActivityDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->font.setPointSizeF(option->font.pointSizeF() + 2);
        option->palette.setColor(QPalette::Text, Qt::blue);
        option->palette.setColor(QPalette::HighlightedText, Qt::blue);
    }
};

QToolButton* toolButton(const QString& name, const QString& text, const QString& hint, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

// A group of the record panel: its caption line with the small close button, over its body.
QFrame* recordGroup(const QString& name, const QString& caption, QWidget* body,
                    const std::function<void()>& close, QWidget* parent) {
    auto* group = new QFrame(parent);
    group->setObjectName(name);
    group->setFrameShape(QFrame::StyledPanel);
    auto* header = new QWidget(group);
    header->setFixedHeight(kCaptionHeight);
    auto* title = new QLabel(caption, header);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* closeButton = new QToolButton(header);
    closeButton->setObjectName(name + QStringLiteral("Close"));
    closeButton->setText(QStringLiteral("x"));
    closeButton->setFixedSize(kCaptionHeight - 6, kCaptionHeight - 6);
    QObject::connect(closeButton, &QToolButton::clicked, group, close);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(4, 0, 2, 0);
    headerLayout->addWidget(title);
    headerLayout->addStretch();
    headerLayout->addWidget(closeButton);

    body->setParent(group);
    body->setObjectName(kBodyName);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(body, 1);
    return group;
}

} // namespace

RecordsPage::RecordsPage(net::ConnectionRecords& records, QWidget* parent)
    : QWidget(parent), m_records(records), m_grid(new QTableView(this)), m_panel(new QWidget(this)) {
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(&records.grid());
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->setWordWrap(false);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_grid->horizontalHeader()->setSectionResizeMode(net::RecordsGridModel::Name, QHeaderView::Stretch);
    m_grid->setItemDelegateForColumn(net::RecordsGridModel::Activity, new ActivityDelegate(m_grid));
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { m_records.setCurrentRow(current.row()); });
    connect(&records, &net::ConnectionRecords::currentRowChanged, this, &RecordsPage::followGrid);

    auto* newRecord = toolButton(QStringLiteral("newRecordButton"), QStringLiteral("Новий запис"),
                                 QStringLiteral("Створити новий запис ..."), this);
    auto* editRecord = toolButton(QStringLiteral("editRecordButton"), QStringLiteral("Редагувати"),
                                  QStringLiteral("Редагувати вибраний запис ..."), this);
    auto* deleteRecord = toolButton(QStringLiteral("deleteRecordButton"), QStringLiteral("Знищити"),
                                    QStringLiteral("Знищити вибраного клієнта ..."), this);
    auto* forceOff = toolButton(QStringLiteral("forceOffButton"), QStringLiteral("Зняти з ефіра"),
                                QStringLiteral("Зняти з ефіра вибраного клієнта ..."), this);
    auto* cleanUp = toolButton(
        QStringLiteral("cleanUpButton"), QStringLiteral("Очистка"),
        QStringLiteral("Очистка неактивних водіїв на позивних (водії які вже не відповідають позивним)"),
        this);
    connect(newRecord, &QToolButton::clicked, this, &RecordsPage::openNewRecord);
    connect(editRecord, &QToolButton::clicked, this, &RecordsPage::openEditRecord);
    connect(deleteRecord, &QToolButton::clicked, this, [this] {
        hidePanel();
        m_records.deleteCurrent();
    });
    connect(forceOff, &QToolButton::clicked, this, [this] {
        hidePanel();
        m_records.forceOffCurrent();
    });
    connect(cleanUp, &QToolButton::clicked, this, [this] {
        hidePanel();
        m_records.cleanUp();
    });
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(newRecord);
    buttons->addWidget(editRecord);
    buttons->addWidget(deleteRecord);
    buttons->addSpacing(24);
    buttons->addWidget(forceOff);
    buttons->addWidget(cleanUp);
    buttons->addStretch();

    m_panel->setObjectName(QStringLiteral("recordPanel"));
    m_panel->setFixedWidth(340);
    m_createGroup = buildCreateGroup();
    m_editGroup = buildEditGroup();
    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(m_createGroup, 1);
    panelLayout->addWidget(m_editGroup, 1);
    expand(m_createGroup, m_editGroup);
    m_panel->hide();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_panel);
    layout->addWidget(m_grid, 1);

    followGrid(records.currentRow());
}

QFrame* RecordsPage::buildCreateGroup() {
    auto* body = new QWidget;
    m_createCallsigns = new RefillingList(
        QStringLiteral("createCallsignList"), false,
        [this] {
            const QStringList callsigns = m_records.callsigns();
            m_createCallsigns->clear();
            m_createNames->clear();
            m_createCallsigns->addItems(callsigns);
            m_createCallsigns->setCurrentIndex(-1);
        },
        body);
    m_createNames = new RefillingList(
        QStringLiteral("createNameList"), false,
        [this] {
            const QStringList names = m_records.names(m_createCallsigns->currentText());
            m_createNames->clear();
            m_createNames->addItems(names);
            m_createNames->setCurrentIndex(-1);
        },
        body);
    m_createPassword = new QLineEdit(body);
    m_createPassword->setObjectName(QStringLiteral("createPasswordEdit"));
    m_createPorts = new RefillingList(
        QStringLiteral("createPortList"), false, [this] { fillPorts(*m_createPorts, m_records.freePorts()); },
        body);
    auto* create = new QPushButton(QStringLiteral("Створити новий запис"), body);
    create->setObjectName(QStringLiteral("createButton"));
    connect(create, &QPushButton::clicked, this, [this] {
        if (m_records.create(m_createCallsigns->currentText(), m_createNames->currentText(),
                             m_createPassword->text(), m_createPorts->currentText()))
            hidePanel();
    });

    layOut(body, m_createCallsigns, m_createNames, m_createPassword, m_createPorts,
           QStringLiteral("createAutoButton"), create);
    return recordGroup(
        QStringLiteral("createGroup"), QStringLiteral("  Створення нового запису ...  "), body,
        [this] { hidePanel(); }, m_panel);
}

QFrame* RecordsPage::buildEditGroup() {
    auto* body = new QWidget;
    m_editCallsign = new QLabel(kNotSet, body);
    m_editCallsign->setObjectName(QStringLiteral("editCallsignLabel"));
    m_editName = new QLabel(kNotSet, body);
    m_editName->setObjectName(QStringLiteral("editNameLabel"));
    m_editPassword = new QLineEdit(body);
    m_editPassword->setObjectName(QStringLiteral("editPasswordEdit"));
    m_editPorts = new RefillingList(
        QStringLiteral("editPortList"), true, [this] { fillPorts(*m_editPorts, m_records.freePorts()); },
        body);
    auto* edit = new QPushButton(QStringLiteral("Редагувати вибраний запис"), body);
    edit->setObjectName(QStringLiteral("editButton"));
    connect(edit, &QPushButton::clicked, this,
            [this] { m_records.edit(m_editPassword->text(), m_editPorts->currentText()); });

    layOut(body, m_editCallsign, m_editName, m_editPassword, m_editPorts, QStringLiteral("editAutoButton"),
           edit);
    return recordGroup(
        QStringLiteral("editGroup"), QStringLiteral("  Редагування вибраного запису ...  "), body,
        [this] { hidePanel(); }, m_panel);
}

void RecordsPage::layOut(QWidget* body, QWidget* callsign, QWidget* name, QWidget* password, QComboBox* ports,
                         const QString& autoName, QPushButton* action) {
    auto* autoPort = new QPushButton(QStringLiteral("Auto ..."), body);
    autoPort->setObjectName(autoName);
    autoPort->setToolTip(kAutoHint);
    connect(autoPort, &QPushButton::clicked, this,
            [this, ports] { fillPorts(*ports, m_records.autoPort()); });
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(ports, 1);
    portRow->addWidget(autoPort);

    auto* form = new QFormLayout(body);
    form->addRow(QStringLiteral("ПОЗИВНИЙ :"), callsign);
    form->addRow(QStringLiteral("ФІО  ВОДІЯ"), name);
    form->addRow(QStringLiteral("ПАРОЛЬ :"), password);
    form->addRow(QStringLiteral("ПОРТ :"), portRow);
    form->addRow(action);
}

void RecordsPage::openNewRecord() {
    m_createCallsigns->clear();
    m_createNames->clear();
    m_createPassword->clear();
    m_createPorts->clear();
    expand(m_createGroup, m_editGroup);
    m_panel->show();
}

void RecordsPage::openEditRecord() {
    if (m_records.rowCount() == 0)
        return;
    showCurrentInEditGroup();
    expand(m_editGroup, m_createGroup);
    m_panel->show();
}

void RecordsPage::hidePanel() {
    m_panel->hide();
}

void RecordsPage::expand(QFrame* group, QFrame* collapsed) {
    collapsed->findChild<QWidget*>(kBodyName, Qt::FindDirectChildrenOnly)->hide();
    collapsed->setFixedHeight(kCaptionHeight);
    group->findChild<QWidget*>(kBodyName, Qt::FindDirectChildrenOnly)->show();
    group->setMinimumHeight(0);
    group->setMaximumHeight(QWIDGETSIZE_MAX);
}

void RecordsPage::followGrid(int row) {
    if (row >= 0 && m_grid->currentIndex().row() != row)
        m_grid->setCurrentIndex(m_records.grid().index(row, 0));
    showCurrentInEditGroup();
}

void RecordsPage::showCurrentInEditGroup() {
    const std::optional<net::ConnectionRecord> record = m_records.currentRecord();
    if (!record)
        return;
    m_editCallsign->setText(QString::number(record->callsign));
    m_editName->setText(record->name);
    m_editPassword->setText(record->password);
    fillPorts(*m_editPorts, {{record->port}, 0});
}

void RecordsPage::fillPorts(QComboBox& list, const net::PortList& ports) {
    list.clear();
    for (const int port : ports.ports)
        list.addItem(QString::number(port));
    list.setCurrentIndex(ports.selected);
}

} // namespace taxi
