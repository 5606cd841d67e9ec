// The window's pages over the service's models: the settings page bound to the settings and the file, the
// intermediate data page, and the callsign lists dialog.
#include "app/service.h"
#include "console/main_window.h"
#include "console/settings_page.h"
#include "core/ini_file.h"
#include "core/setting_definitions.h"
#include "core/text_codec.h"
#include "support/scripted_operator.h"
#include "support/service_fixture.h"
#include "support/widget_lookup.h"
#include "support/working_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace taxi;
using taxi::test::buttonCalled;
using taxi::test::child;

namespace {

QStringList itemsOf(const QListWidget* list) {
    QStringList items;
    for (int row = 0; row < list->count(); ++row)
        items.append(list->item(row)->text());
    return items;
}

QMap<QString, QString> fileKeys(const QString& section) {
    QFile file(QStringLiteral("SETSERVER.INI"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, QString> values;
    QString current;
    for (const QString& line : fromWin1251(file.readAll()).split(QStringLiteral("\r\n"))) {
        if (line.startsWith(QLatin1Char('[')))
            current = line.mid(1, line.size() - 2);
        else if (current == section && line.contains(QLatin1Char('=')))
            values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return values;
}

QDialog* listsDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("TForm2"))
            return qobject_cast<QDialog*>(widget);
    }
    return nullptr;
}

} // namespace

class ConsolePagesTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        m_workingFolder = std::make_unique<test::WorkingFolder>(m_folder->path());
        m_operator = std::make_unique<test::ScriptedOperator>();
        m_service = std::make_unique<Service>(*m_operator);
        m_window = std::make_unique<MainWindow>(m_service->consoleParts());
    }

    void cleanup() {
        m_window.reset();
        m_service.reset();
        m_operator.reset();
        m_workingFolder.reset();
        m_folder.reset();
    }

    void pagesStandInTheirOrder() {
        auto* pages = child<QTabWidget>(*m_window, QStringLiteral("PageControl1"));
        QStringList captions;
        for (int page = 0; page < pages->count(); ++page)
            captions.append(pages->tabText(page));
        QCOMPARE(captions,
                 (QStringList{QStringLiteral("  ПРОЦЕС  ПІДКЛЮЧЕННЯ  "), QStringLiteral("  ПРОМІЖНІ  ДАНІ  "),
                              QStringLiteral("  НАСТРОЙКИ  КЛІЄНТІВ  "),
                              QStringLiteral("  НАЛАШТУВАННЯ  ЗВЯЗКУ  ")}));
        auto* inner = child<QTabWidget>(*m_window, QStringLiteral("PageControl2"));
        QCOMPARE(inner->tabText(2), QStringLiteral(" НОВИНИ  ...  "));
        // The page buttons to the left of the inner pages select them.
        child<QToolButton>(*m_window, QStringLiteral("SpeedButton6"))->click();
        QCOMPARE(inner->currentIndex(), 2);
        child<QToolButton>(*m_window, QStringLiteral("SpeedButton4"))->click();
        QCOMPARE(inner->currentIndex(), 0);
    }

    // Every control of the page changes its setting at once and the save button writes it: the whole
    // table through the widgets, then the file read back into fresh settings.
    void settingsPageRoundTripsEveryControl() {
        const SettingsPage* settingsPage = m_window->findChild<SettingsPage*>();
        QHash<QString, QString> expected;
        for (const SettingDefinition& definition : settingDefinitions()) {
            QWidget* control = settingsPage->controlOf(definition.key);
            QVERIFY2(control, qPrintable(definition.key));
            if (!definition.saved || definition.key == keys::FILE_NEWS)
                continue;
            if (auto* box = qobject_cast<QCheckBox*>(control)) {
                if (!box->isEnabled())
                    child<QCheckBox>(*m_window, QStringLiteral("CheckBox25"))->click();
                box->click();
                expected.insert(definition.key, definition.defaultValue == QStringLiteral("1")
                                                    ? QStringLiteral("0")
                                                    : QStringLiteral("1"));
            } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
                combo->setCurrentIndex(combo->findText(QStringLiteral("Modem Busy")));
                emit combo->activated(combo->currentIndex());
                expected.insert(definition.key, QStringLiteral("Modem Busy"));
            } else {
                auto* edit = qobject_cast<QLineEdit*>(control);
                QVERIFY2(edit && !edit->isReadOnly(), qPrintable(definition.key));
                edit->selectAll();
                const QString typed = definition.kind == SettingKind::Number ? QStringLiteral("4321")
                                                                             : QStringLiteral("dial-up 2");
                QTest::keyClicks(edit, typed);
                expected.insert(definition.key, typed);
            }
            // In force at once, before any save.
            QCOMPARE(m_service->settings.text(definition.key), expected.value(definition.key));
        }
        QVERIFY(!QFile::exists(QStringLiteral("SETSERVER.INI")));

        m_operator->answers = {false};
        child<QToolButton>(*m_window, QStringLiteral("SpeedButton8"))->click();
        QVERIFY(!QFile::exists(QStringLiteral("SETSERVER.INI")));
        child<QToolButton>(*m_window, QStringLiteral("SpeedButton8"))->click();
        QCOMPARE(m_operator->questions, (QStringList{QStringLiteral("Зберегти настройки ?"),
                                                     QStringLiteral("Зберегти настройки ?")}));

        Settings reread;
        reread.load(QStringLiteral("SETSERVER.INI"));
        for (auto value = expected.cbegin(); value != expected.cend(); ++value)
            QCOMPARE(reread.text(value.key()), value.value());
        QVERIFY(!fileKeys(sections::GPRS_TAXI).contains(keys::DODAT_DO_POTOK));
        QVERIFY(fileKeys(sections::SHLYAH_BAZA).isEmpty());
        QVERIFY(m_operator->errors.isEmpty());
    }

    // The other way: settings loaded from the file show in their controls, the hidden ones too.
    void controlsShowTheLoadedSettings() {
        QFile file(QStringLiteral("SETSERVER.INI"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            toWin1251(QStringLiteral("[SHLYAH_BAZA]\r\nPATH_BAZA=/srv/taxi\r\n[SET_SERV]\r\nPASS=секрет\r\n"
                                     "[GPRS_TAXI]\r\nPORT_SERVER=5050\r\nFILE_NEWS=NEWS.TXT\r\n"
                                     "DODAT_DO_BORG=[15][7]\r\n[SET_POTOK]\r\nLIST_READ_ONLY=0\r\n"
                                     "OPEN_ZAM_FOR_REESTROVANIM=1\r\n[SET_INET]\r\n"
                                     "POTRIBN_TIP_ZEDNANNYA=LAN\r\n")));
        file.close();
        auto* firstInQueue = child<QCheckBox>(*m_window, QStringLiteral("CheckBox26"));
        QVERIFY(!firstInQueue->isEnabled());

        m_service->settings.load(QStringLiteral("SETSERVER.INI"));

        QCOMPARE(child<QLineEdit>(*m_window, QStringLiteral("Edit2"))->text(), QStringLiteral("5050"));
        QCOMPARE(child<QLineEdit>(*m_window, QStringLiteral("Edit6"))->text(), QStringLiteral("NEWS.TXT"));
        QVERIFY(child<QLineEdit>(*m_window, QStringLiteral("Edit6"))->isReadOnly());
        QVERIFY(!child<QCheckBox>(*m_window, QStringLiteral("CheckBox27"))->isChecked());
        QCOMPARE(child<QComboBox>(*m_window, QStringLiteral("ComboBox3"))->currentText(),
                 QStringLiteral("LAN"));
        QCOMPARE(child<QLabel>(*m_window, QStringLiteral("Label11"))->text(), QStringLiteral("[15][7]"));
        QCOMPARE(child<QLabel>(*m_window, QStringLiteral("Label10"))->text(), QStringLiteral("[0]"));
        QCOMPARE(child<QLabel>(*m_window, QStringLiteral("Label21"))->text(), QStringLiteral("/srv/taxi"));
        QCOMPARE(child<QLabel>(*m_window, QStringLiteral("Label43"))->text(), QStringLiteral("******"));
        QVERIFY(!child<QWidget>(*m_window, QStringLiteral("databaseGroup"))->isVisibleTo(m_window.get()));
        // "First in queue" follows "registered at a stand", also when the settings are loaded.
        QVERIFY(firstInQueue->isEnabled());
        child<QCheckBox>(*m_window, QStringLiteral("CheckBox25"))->click();
        QVERIFY(!firstInQueue->isEnabled());
    }

    void minutesFieldIgnoresPointsAndCommas() {
        auto* minutes = child<QLineEdit>(*m_window, QStringLiteral("Edit13"));
        minutes->clear();
        QTest::keyClicks(minutes, QStringLiteral("1.5,0"));
        QCOMPARE(minutes->text(), QStringLiteral("150"));
        QCOMPARE(m_service->settings.text(keys::CHAS_POPERED_ZAM), QStringLiteral("150"));
    }

    void standStatusHelpExplainsTheValue() {
        child<QToolButton>(*m_window, QStringLiteral("standStatusHelp"))->click();
        QCOMPARE(
            m_operator->informed,
            QStringList{QStringLiteral("У випадку роботи комплексу без інтегрованої карти потрібно виставити "
                                       "значення СТОЯНКА, інакше ту назву яку ви вказали на статус точок "
                                       "стоянок позначених на карті")});
    }

    void intermediatePagesFollowTheirModels() {
        m_service->stands.replace(
            {QStringLiteral("[]{}"), QStringLiteral("[2]Вокзал {15,7}"), QStringLiteral("Лікарня")});
        QCOMPARE(itemsOf(child<QListWidget>(*m_window, QStringLiteral("ListBox1"))),
                 m_service->stands.entries());

        m_service->orderFlow.replace(
            {QStringLiteral("101"), QStringLiteral("102")},
            {QStringLiteral("10:30 Шевченка 5"), QStringLiteral("10:45 Франка 1 (Ю)")}, 1);
        QCOMPARE(child<QLabel>(*m_window, QStringLiteral("Label39"))->text(), QStringLiteral("2"));
        QCOMPARE(child<QLabel>(*m_window, QStringLiteral("Label40"))->text(), QStringLiteral("1"));
        QCOMPARE(itemsOf(child<QListWidget>(*m_window, QStringLiteral("ListBox4"))),
                 m_service->orderFlow.lines());
        m_service->orderFlow.replace({}, {}, 0);
        QCOMPARE(child<QLabel>(*m_window, QStringLiteral("Label39"))->text(), QStringLiteral("0"));
        QCOMPARE(child<QListWidget>(*m_window, QStringLiteral("ListBox4"))->count(), 0);

        // The news page's reload button reads NEWS.TXT of the working folder.
        QFile news(QStringLiteral("NEWS.TXT"));
        QVERIFY(news.open(QIODevice::WriteOnly));
        news.write(toWin1251(QStringLiteral("Зміна тарифів\r\nз понеділка\r\n")));
        news.close();
        buttonCalled(*m_window, QStringLiteral("ОБНОВИТИ  ДАНІ  НОВИН"))->click();
        QCOMPARE(child<QPlainTextEdit>(*m_window, QStringLiteral("Memo3"))->toPlainText(),
                 QStringLiteral("Зміна тарифів\nз понеділка"));
        QVERIFY(m_operator->errors.isEmpty());
    }

    // Each list's button opens its page of the dialog, filled from the list; confirmed edits become the list
    // and reach the file under that list's key alone.
    void listsDialogEditsEachList_data() {
        QTest::addColumn<QString>("openButton");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("addButton");
        QTest::addColumn<QString>("confirmButton");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("otherKey");
        QTest::newRow("flow access") << "Додатково  до  потоку"
                                     << "ListBox1"
                                     << "Edit1"
                                     << "Ok"
                                     << "DOSTUP_POTOK_confirm"
                                     << "Label10" << keys::DODAT_DO_POTOK << keys::DODAT_DO_BORG;
        QTest::newRow("debtors") << "Борги (непускати в ефір)"
                                 << "ListBox2"
                                 << "Edit2"
                                 << "Добавити позивний"
                                 << "BORZHNIKI_confirm"
                                 << "Label11" << keys::DODAT_DO_BORG << keys::DODAT_DO_POTOK;
    }

    void listsDialogEditsEachList() {
        QFETCH(QString, openButton);
        QFETCH(QString, list);
        QFETCH(QString, field);
        QFETCH(QString, addButton);
        QFETCH(QString, confirmButton);
        QFETCH(QString, label);
        QFETCH(QString, key);
        QFETCH(QString, otherKey);
        m_service->settings.setText(key, QStringLiteral("[25][100]"));
        m_window->show();

        buttonCalled(*m_window, openButton)->click();
        QDialog* dialog = listsDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Додаткові налаштувння потоку"));
        auto* entries = child<QListWidget>(*dialog, list);
        QVERIFY(entries->isVisible());
        QCOMPARE(itemsOf(entries), (QStringList{QStringLiteral("100"), QStringLiteral("25")}));

        QTest::keyClicks(child<QLineEdit>(*dialog, field), QStringLiteral("7"));
        buttonCalled(*dialog, addButton)->click();
        entries->setCurrentRow(0);
        buttonCalled(*dialog, entries == child<QListWidget>(*dialog, QStringLiteral("ListBox1"))
                                  ? QStringLiteral("Знищити вибраний")
                                  : QStringLiteral("Знищити запис"))
            ->click();
        QCOMPARE(itemsOf(entries), (QStringList{QStringLiteral("25"), QStringLiteral("7")}));
        // Nothing is in force before the confirmation.
        QCOMPARE(child<QLabel>(*m_window, label)->text(), QStringLiteral("[25][100]"));

        child<QPushButton>(*dialog, confirmButton)->click();
        QCOMPARE(m_operator->questions, QStringList{QStringLiteral("Зберегти додаткові настройки ?")});
        QVERIFY(!dialog->isVisible());
        QCOMPARE(child<QLabel>(*m_window, label)->text(), QStringLiteral("[25][7]"));
        const QMap<QString, QString> saved = fileKeys(sections::GPRS_TAXI);
        QCOMPARE(saved.value(key), QStringLiteral("[25][7]"));
        QVERIFY(!saved.contains(otherKey));
    }

    // Not a check: pictures of every page for the operator's guide, taken when a folder is named for them,
    // over a service with the test databases so that the records page has its rows.
    void screenshotsOfEveryPage() {
        const QString folder = qEnvironmentVariable("TAXI_GPRS_SCREENSHOT_DIR");
        if (folder.isEmpty())
            QSKIP("TAXI_GPRS_SCREENSHOT_DIR names no folder");
        test::ServiceFolder databases;
        databases.writeSettings();
        databases.createSettingsDatabase();
        test::RunningService running(databases, false);
        Service& service = *running;
        service.log.append(QStringLiteral("Порт 5050 відкрито, водій 15 на зв'язку"));
        service.counters.addIncoming(1234);
        service.counters.addOutgoing(5678);
        service.stands.replace(
            {QStringLiteral("[]{}"), QStringLiteral("[2]Вокзал {15,7}"), QStringLiteral("Лікарня")});
        service.orderFlow.replace({QStringLiteral("101"), QStringLiteral("102")},
                                  {QStringLiteral("10:30 Шевченка 5"), QStringLiteral("10:45 Франка 1 (Ю)")},
                                  1);
        MainWindow window(service.consoleParts());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* pages = child<QTabWidget>(window, QStringLiteral("PageControl1"));
        auto* inner = child<QTabWidget>(window, QStringLiteral("PageControl2"));
        const auto save = [&](QWidget* widget, const QString& name) {
            QTest::qWait(50);
            QVERIFY(widget->grab().save(QDir(folder).filePath(name)));
        };
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            if (page == 1) {
                for (int innerPage = 0; innerPage < inner->count(); ++innerPage) {
                    inner->setCurrentIndex(innerPage);
                    save(&window, QStringLiteral("console-page-%1-%2.png").arg(page + 1).arg(innerPage + 1));
                }
                continue;
            }
            save(&window, QStringLiteral("console-page-%1.png").arg(page + 1));
        }
        buttonCalled(window, QStringLiteral("Борги (непускати в ефір)"))->click();
        save(listsDialog(), QStringLiteral("console-lists-dialog.png"));
        listsDialog()->close();
    }

private:
    std::unique_ptr<test::WorkingFolder> m_workingFolder;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<test::ScriptedOperator> m_operator;
    std::unique_ptr<Service> m_service;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(ConsolePagesTest)
#include "test_console_pages.moc"
