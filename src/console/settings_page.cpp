#include "console/settings_page.h"

#include "console/console_parts.h"
#include "core/setting_definitions.h"
#include "core/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace taxi {

namespace {

struct ControlOfKey {
    QString objectName;
    QString caption;
};

// Every key's control on the page: its name and its caption.
const QHash<QString, ControlOfKey>& controlsOfKeys() {
    static const QHash<QString, ControlOfKey> controls{
        {keys::PATH_BAZA, {QStringLiteral("Label21"), QStringLiteral("ШЛЯХ  БАЗИ ДИСПЕТЧЕРІВ :")}},
        {keys::NAME_BAZA, {QStringLiteral("Label22"), QStringLiteral("НАЗВА  БАЗИ  ДИСПЕТЧЕРІВ :")}},
        {keys::SERVER, {QStringLiteral("Label23"), QStringLiteral("СЕРВЕР БАЗИ ДИСПЕТЧЕРІВ :")}},
        {keys::LOGIN, {QStringLiteral("Label44"), QStringLiteral("ЛОГІН  СЕРВЕРА :")}},
        {keys::PASS, {QStringLiteral("Label43"), QStringLiteral("ПАРОЛЬ  СЕРВЕРА :")}},
        {keys::PORT_SERVER, {QStringLiteral("Edit2"), QStringLiteral("Порт сервера")}},
        {keys::CHAS_ZN_SEK,
         {QStringLiteral("Edit4"),
          QStringLiteral("Час зняття замовлення з водія  (якщо не підтвердив) СЕК. :")}},
        {keys::NAME_STOYANKA, {QStringLiteral("Edit5"), QStringLiteral("СТАТУС СТОЯНОК :")}},
        {keys::FILE_NEWS, {QStringLiteral("Edit6"), QStringLiteral("НАЗВА  ФАЙЛУ  НОВИН  : ")}},
        {keys::DOSTUP_POTOK_ZAKAZ,
         {QStringLiteral("CheckBox1"), QStringLiteral("Доступ до потоку замовлень")}},
        {keys::YUVILEYKA_VIKLIK,
         {QStringLiteral("Edit7"), QStringLiteral("Безкоштовка поїздка після виклику :")}},
        {keys::PORT_DIRECTOR, {QStringLiteral("Edit8"), QStringLiteral("Порт директора")}},
        {keys::POKAZ_YUVILEYKA,
         {QStringLiteral("CheckBox2"), QStringLiteral("Показ в списку потоку замовлень ПОЗНАЧКУ ЮВІЛЕЙКИ")}},
        {keys::POKAZ_KOD_KLIENTA,
         {QStringLiteral("CheckBox4"), QStringLiteral("Показ в списку потоку замовлень КОДА КЛІЄНТА")}},
        {keys::POKAZ_DODAT_DANIH,
         {QStringLiteral("CheckBox5"),
          QStringLiteral("Показ в списку потоку замовлень ДОДАТКОВИХ ДАНИХ ЗАМОВЛЕННЯ")}},
        {keys::DODAT_DO_POTOK, {QStringLiteral("Label10"), QString()}},
        {keys::DODAT_DO_BORG, {QStringLiteral("Label11"), QString()}},
        {keys::BORG_ZA_VIDMOVU,
         {QStringLiteral("CheckBox31"),
          QStringLiteral("Добавлення в список боржників (непускати в ефір) при  >")}},
        {keys::MAX_KIL_VIDMOV, {QStringLiteral("Edit14"), QString()}},
        {keys::DOST_OPITUVANNYA,
         {QStringLiteral("CheckBox32"), QStringLiteral("Доступ до функції опитування водіїв")}},
        {keys::POKAZ_DODAT_KUDA,
         {QStringLiteral("CheckBox28"),
          QStringLiteral("Показ в списку потоку замовлень ДАНІ КУДИ ПОЇЗДКА (якщо вони задані)")}},
        {keys::POKAZ_CINA_POZRAH,
         {QStringLiteral("CheckBox33"),
          QStringLiteral("Показ в списку потоку замовлень РОЗРАХУНКОВУ СУМУ ПОЇЗДКИ")}},
        {keys::MAX_CIL_POSTANOV_STOYANK,
         {QStringLiteral("Edit3"),
          QStringLiteral("Можливість постановки водія на декілька стоянок, (кільк.)")}},
        {keys::OBMIN_POVID_MIZH_VODIYAMI,
         {QStringLiteral("CheckBox35"), QStringLiteral("Можливість обміну повідомленнями між водіями")}},
        {keys::OPEN_U_POTIK_YUVILEY,
         {QStringLiteral("CheckBox34"),
          QStringLiteral("У  ПОТОЦІ  ЗАМОВЛЕНЬ  НЕ  ПОКАЗУВАТИ  ЮВІЛЕЙНІ  ЗАМОВЛЕННЯ")}},
        {keys::OPEN_ZAM_FOR_REESTROVANIM,
         {QStringLiteral("CheckBox25"),
          QStringLiteral("ДАВАТИ ЗАМОВЛЕННЯ ТІЛЬКИ ВОДІЯМ ЗАРЕЄСТРОВАНИМ НА СТОЯНЦІ")}},
        {keys::OPEN_ZAM_PERSHIY_LIST,
         {QStringLiteral("CheckBox26"),
          QStringLiteral("ДОЗВІЛ БРАТИ ЗАМОВЛЕННЯ ТІЛЬКИ ПЕРШОМУ В ЧЕРЗІ ВОДІЄВІ")}},
        {keys::LIST_READ_ONLY,
         {QStringLiteral("CheckBox27"), QStringLiteral("ДОЗВІЛ  ТІЛЬКИ  ПЕРЕГЛЯДУ  ПОТОКУ  ЗАМОВЛЕНЬ")}},
        {keys::OPEN_ZAM_LIMIT_YUVILEYKA,
         {QStringLiteral("CheckBox29"),
          QStringLiteral(
              "ДОЗВІЛ БРАТИ ЗАМОВЛЕННЯ ТІЛЬКИ ВОДІЄВІ У ЯКОГО НЕ ЗАКІНЧИВСЯ ЧАС ЛІМІТУ ЮВІЛЕЙКИ")}},
        {keys::OPEN_CHAS_POPERED_ZAM,
         {QStringLiteral("CheckBox30"), QStringLiteral("ЧАС ЗА ЯКИЙ ПОКАЗУВАТИ ПОПЕРЕДНІ ЗАМОВЛЕННЯ, хв")}},
        {keys::CHAS_POPERED_ZAM, {QStringLiteral("Edit13"), QString()}},
        {keys::AUTO_OPEN_INET,
         {QStringLiteral("CheckBox3"), QStringLiteral("Автоматичне підключення до інтернета")}},
        {keys::ZAPIT_INYA_PASS, {QStringLiteral("CheckBox6"), QStringLiteral("Запитувати імя і пароль")}},
        {keys::NET_IMYA, {QStringLiteral("Edit9"), QStringLiteral("Імя зєднання")}},
        {keys::NET_PASS, {QStringLiteral("Edit10"), QStringLiteral("Пароль зєднання")}},
        {keys::NAME_ZEDNANNYA, {QStringLiteral("Edit11"), QStringLiteral("НАЗВА  ЗЄДНАННЯ :")}},
        {keys::POTRIBN_TIP_ZEDNANNYA,
         {QStringLiteral("ComboBox3"), QStringLiteral("Потрібний тип зєднання")}},
        {keys::VHID_V_SYSTEM, {QStringLiteral("CheckBox7"), QStringLiteral("Вхід в систему")}},
        {keys::VIHID_Z_SYSTEM, {QStringLiteral("CheckBox13"), QStringLiteral("Вихід з системи")}},
        {keys::ZAM_PRIYNATTYA, {QStringLiteral("CheckBox12"), QStringLiteral("Прийняття замовлення")}},
        {keys::ZAM_VIKONANNYA, {QStringLiteral("CheckBox11"), QStringLiteral("Виконання замовлення")}},
        {keys::ZAM_VIDMOVA, {QStringLiteral("CheckBox10"), QStringLiteral("Відмова від замовлення")}},
        {keys::KLIENT_TURBUVATY,
         {QStringLiteral("CheckBox9"), QStringLiteral("Прохання турбувати клієнтів")}},
        {keys::KLIENT_V_AVTO, {QStringLiteral("CheckBox8"), QStringLiteral("Водій з пасажирами")}},
        {keys::PIDSADKA, {QStringLiteral("CheckBox14"), QStringLiteral("Створення підсадки до водія")}},
        {keys::ZAM_ZAPIZNENNYA, {QStringLiteral("CheckBox16"), QStringLiteral("Запізнення на замовлення")}},
        {keys::TRIVOGA, {QStringLiteral("CheckBox15"), QStringLiteral("Тривога / звінок диспечеру")}},
        {keys::ZBIY_SITKA,
         {QStringLiteral("CheckBox17"),
          QStringLiteral("Збій в звязку / сітки  (прохання перевірити звязок з базою, модем і т.д.)")}},
        {keys::ZMINA_STOYANKA, {QStringLiteral("CheckBox18"), QStringLiteral("Зміна стоянки")}},
        {keys::VHID_V_NOVINI, {QStringLiteral("CheckBox19"), QStringLiteral("Вхід в новини")}},
        {keys::CREATE_ZVIT, {QStringLiteral("CheckBox20"), QStringLiteral("Створення звіту по клієнту")}},
        {keys::VHID_V_POTIK_ZAM, {QStringLiteral("CheckBox21"), QStringLiteral("Вхід в потік замовлення")}},
        {keys::ZAM_VID_DISPETCHERA, {QStringLiteral("CheckBox22"), QStringLiteral("Вхідне замовлення")}},
        {keys::ZAM_Z_POTOKU_ZAM,
         {QStringLiteral("CheckBox23"), QStringLiteral("Подача заявки на замовлення з потоку замовлень")}},
        {keys::MENU_STOYNKA,
         {QStringLiteral("CheckBox24"), QStringLiteral("Вхід в меню стоянки  /  обновлення меню стоянки")}},
    };
    return controls;
}

SettingKind kindOf(const QString& key) {
    for (const SettingDefinition& definition : settingDefinitions()) {
        if (definition.key == key)
            return definition.kind;
    }
    Q_UNREACHABLE();
}

// The keys that are only ever shown: the database's place and login come from the file as the dispatch
// complex prepared it, and the two lists change through their dialog.
bool isShownOnly(const QString& key) {
    static const QStringList shownOnly{keys::PATH_BAZA, keys::NAME_BAZA,      keys::SERVER,       keys::LOGIN,
                                       keys::PASS,      keys::DODAT_DO_POTOK, keys::DODAT_DO_BORG};
    return shownOnly.contains(key);
}

const QStringList kConnectionTypes{QStringLiteral("Modem"), QStringLiteral("LAN"), QStringLiteral("Proxy"),
                                   QStringLiteral("Modem Busy")};

// The control shows the key's value now and after every change of it, whoever made the change.
template <typename Show>
void showSetting(Settings& settings, const QString& key, QWidget* control, Show show) {
    QObject::connect(&settings, &Settings::changed, control, [show, key](const QString& changed) {
        if (changed == key)
            show();
    });
    show();
}

QWidget* checkBoxBoundTo(Settings& settings, const QString& key, const QString& caption, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    QObject::connect(box, &QCheckBox::toggled, box, [&settings, key](bool on) { settings.setOn(key, on); });
    showSetting(settings, key, box, [box, &settings, key] { box->setChecked(settings.isOn(key)); });
    return box;
}

QWidget* lineEditBoundTo(Settings& settings, const QString& key, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [&settings, key](const QString& text) { settings.setText(key, text); });
    showSetting(settings, key, edit, [edit, &settings, key] {
        // Setting the same text again would move the operator's cursor to the end.
        if (edit->text() != settings.text(key))
            edit->setText(settings.text(key));
    });
    return edit;
}

QWidget* comboBoxBoundTo(Settings& settings, const QString& key, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->addItems(kConnectionTypes);
    QObject::connect(combo, &QComboBox::activated, combo,
                     [&settings, key, combo] { settings.setText(key, combo->currentText()); });
    // A value the list does not know (typed into the file) shows as no choice, and stays until one is made.
    showSetting(settings, key, combo,
                [combo, &settings, key] { combo->setCurrentIndex(combo->findText(settings.text(key))); });
    return combo;
}

QWidget* labelBoundTo(Settings& settings, const QString& key, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    showSetting(settings, key, label, [label, &settings, key] {
        // The database password is for the complex's administrator, not for whoever passes the screen.
        const QString text = settings.text(key);
        label->setText(key == keys::PASS ? QString(text.size(), QLatin1Char('*')) : text);
    });
    return label;
}

} // namespace

SettingsPage::SettingsPage(const ConsoleParts& parts, QWidget* parent)
    : QWidget(parent), m_parts(parts), m_settings(parts.models.settings) {
    auto* column = new QWidget;
    auto* groups = new QVBoxLayout(column);
    groups->addWidget(group(QStringLiteral("  Головні налаштування  ...  "),
                            {keys::PORT_SERVER, keys::PORT_DIRECTOR, keys::CHAS_ZN_SEK, keys::NAME_STOYANKA,
                             keys::FILE_NEWS, keys::YUVILEYKA_VIKLIK, keys::MAX_CIL_POSTANOV_STOYANK,
                             keys::OBMIN_POVID_MIZH_VODIYAMI, keys::DOST_OPITUVANNYA}));
    groups->addWidget(group(QStringLiteral("  Налаштування інтернета / модема  ...  "),
                            {keys::AUTO_OPEN_INET, keys::NAME_ZEDNANNYA, keys::POTRIBN_TIP_ZEDNANNYA,
                             keys::ZAPIT_INYA_PASS, keys::NET_IMYA, keys::NET_PASS}));
    QList<QString> journalKeys;
    for (const SettingDefinition& definition : settingDefinitions()) {
        if (definition.section == sections::SET_DYI_VODIY)
            journalKeys.append(definition.key);
    }
    groups->addWidget(
        group(QStringLiteral("  Налаштування журналу дій водіїв системи GPRS ...  "), journalKeys));
    groups->addWidget(flowLogicGroup());
    groups->addWidget(databaseGroup());
    groups->addStretch();

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ScrollBox1"));
    scroll->setWidget(column);
    scroll->setWidgetResizable(true);

    auto* save = new QToolButton(this);
    save->setObjectName(QStringLiteral("SpeedButton8"));
    save->setToolTip(QStringLiteral("Зберегти налаштування  ..."));
    save->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    save->setIconSize(QSize(32, 32));
    connect(save, &QToolButton::clicked, this, parts.commands.saveSettings);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(save);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(scroll, 1);

    // Taking orders only as the first in a queue makes sense only for drivers registered at a stand.
    QWidget* firstInQueue = controlOf(keys::OPEN_ZAM_PERSHIY_LIST);
    const auto enableFirstInQueue = [this, firstInQueue] {
        firstInQueue->setEnabled(m_settings.isOn(keys::OPEN_ZAM_FOR_REESTROVANIM));
    };
    connect(&m_settings, &Settings::changed, firstInQueue, [enableFirstInQueue](const QString& key) {
        if (key == keys::OPEN_ZAM_FOR_REESTROVANIM)
            enableFirstInQueue();
    });
    enableFirstInQueue();
}

QWidget* SettingsPage::bind(const QString& key, QWidget* parent) {
    const ControlOfKey& control = controlsOfKeys().value(key);
    QWidget* widget = nullptr;
    if (isShownOnly(key))
        widget = labelBoundTo(m_settings, key, parent);
    else if (kindOf(key) == SettingKind::Switch)
        widget = checkBoxBoundTo(m_settings, key, control.caption, parent);
    else if (key == keys::POTRIBN_TIP_ZEDNANNYA)
        widget = comboBoxBoundTo(m_settings, key, parent);
    else
        widget = lineEditBoundTo(m_settings, key, parent);
    if (key == keys::FILE_NEWS)
        static_cast<QLineEdit*>(widget)->setReadOnly(true);
    widget->setObjectName(control.objectName);
    m_controls.insert(key, widget);
    return widget;
}

QWidget* SettingsPage::group(const QString& caption, const QList<QString>& keys) {
    auto* box = new QGroupBox(caption);
    auto* form = new QFormLayout(box);
    for (const QString& key : keys) {
        QWidget* control = bind(key, box);
        if (qobject_cast<QCheckBox*>(control)) {
            form->addRow(control);
            continue;
        }
        QWidget* field = control;
        if (key == keys::NAME_STOYANKA) {
            auto* help = new QToolButton(box);
            help->setObjectName(QStringLiteral("standStatusHelp"));
            help->setText(QStringLiteral("?"));
            connect(help, &QToolButton::clicked, this, [this] { m_parts.commands.inform(kStandStatusHelp); });
            field = new QWidget(box);
            auto* row = new QHBoxLayout(field);
            row->setContentsMargins(0, 0, 0, 0);
            row->addWidget(control, 1);
            row->addWidget(help);
        } else if (key == keys::NET_PASS) {
            static_cast<QLineEdit*>(control)->setEchoMode(QLineEdit::Password);
        }
        form->addRow(controlsOfKeys().value(key).caption, field);
    }
    return box;
}

QWidget* SettingsPage::callsignListRow(const QString& buttonText, const QString& key,
                                       void (SettingsPage::*request)()) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* button = new QPushButton(buttonText, row);
    connect(button, &QPushButton::clicked, this, request);
    layout->addWidget(button);
    layout->addWidget(bind(key, row), 1);
    return row;
}

QWidget* SettingsPage::flowLogicGroup() {
    auto* box = new QGroupBox(QStringLiteral("  Налаштування логіки потоку замовлень ...  "));
    auto* layout = new QVBoxLayout(box);
    for (const QString& key :
         {keys::DOSTUP_POTOK_ZAKAZ, keys::POKAZ_YUVILEYKA, keys::POKAZ_KOD_KLIENTA, keys::POKAZ_DODAT_DANIH,
          keys::POKAZ_DODAT_KUDA, keys::POKAZ_CINA_POZRAH, keys::OPEN_U_POTIK_YUVILEY,
          keys::OPEN_ZAM_FOR_REESTROVANIM, keys::OPEN_ZAM_PERSHIY_LIST, keys::LIST_READ_ONLY,
          keys::OPEN_ZAM_LIMIT_YUVILEYKA})
        layout->addWidget(bind(key, box));

    auto* preOrders = new QHBoxLayout;
    preOrders->addWidget(bind(keys::OPEN_CHAS_POPERED_ZAM, box));
    auto* minutes = static_cast<QLineEdit*>(bind(keys::CHAS_POPERED_ZAM, box));
    // Whole minutes: a typed point or comma is ignored.
    minutes->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^.,]*")), minutes));
    minutes->setMaximumWidth(80);
    preOrders->addWidget(minutes);
    preOrders->addStretch();
    layout->addLayout(preOrders);

    layout->addWidget(callsignListRow(QStringLiteral("Додатково  до  потоку"), keys::DODAT_DO_POTOK,
                                      &SettingsPage::flowAccessListRequested));
    layout->addWidget(callsignListRow(QStringLiteral("Борги (непускати в ефір)"), keys::DODAT_DO_BORG,
                                      &SettingsPage::debtorListRequested));

    auto* penalties = new QGroupBox(QStringLiteral("  Штрафні  санкції  водіям  ... "), box);
    auto* penaltyRow = new QHBoxLayout(penalties);
    penaltyRow->addWidget(bind(keys::BORG_ZA_VIDMOVU, penalties));
    auto* refusals = bind(keys::MAX_KIL_VIDMOV, penalties);
    refusals->setMaximumWidth(80);
    penaltyRow->addWidget(refusals);
    penaltyRow->addWidget(new QLabel(QStringLiteral("відмов під час ефіру"), penalties));
    penaltyRow->addStretch();
    layout->addWidget(penalties);
    return box;
}

QWidget* SettingsPage::databaseGroup() {
    auto* box = group(QStringLiteral("Дані бази даних ...  "),
                      {keys::PATH_BAZA, keys::NAME_BAZA, keys::SERVER, keys::LOGIN, keys::PASS});
    box->setObjectName(QStringLiteral("databaseGroup"));
    box->hide();
    return box;
}

} // namespace taxi
