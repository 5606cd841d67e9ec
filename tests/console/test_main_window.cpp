#include "app/gui_front.h"
#include "app/service.h"
#include "console/error_window.h"
#include "console/gui_operator.h"
#include "console/main_window.h"
#include "core/date_time_text.h"
#include "core/single_instance.h"
#include "core/text_codec.h"
#include "support/scripted_operator.h"
#include "support/service_fixture.h"
#include "support/widget_lookup.h"
#include "support/working_folder.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <memory>

using namespace taxi;
using taxi::test::buttonCalled;
using taxi::test::child;

namespace {

const QString kStatusOff = QStringLiteral("РОЗДАЧИ НЕ ЗАДІЯНІ");
const QString kStatusOn = QStringLiteral("РОЗДАЧИ  ВКЛЮЧЕНІ");
const QString kCannotClose = QStringLiteral(
    "НЕМАЄ МОЖЛИВОСТІ ЗАКРИТИ ПРОГРАМУ - ВКЛЮЧЕНІ РОЗДАЧИ (потрібно спочатку обнулити роздачи)");
const QString kConfirmStop = QStringLiteral(
    "При закритті роздач пропадуть зєднання з водіями (при умові їх наявності). Закрити роздачі ????");
const QString kCreatingSettingsDatabase =
    QStringLiteral("Створення бази даних налаштувань зєднань TAXI_GPRS.FDB !!!");
const QString kSettingsDatabaseCreated = QStringLiteral(
    "База даних налаштувань зєднань TAXI_GPRS.FDB успішно створена. При потребі збережіть налаштування !!!");
const QString kNoConnection =
    QStringLiteral("Немає можливості запустити роздачі, так як немає зєднання з базою данних !!!");

QColor textColour(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

QList<ErrorWindow*> errorWindows() {
    QList<ErrorWindow*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<ErrorWindow*>(widget))
            found.append(window);
    }
    return found;
}

QString monitoringFileName(const QDateTime& moment) {
    QString stamp = operatorTimestamp(moment);
    stamp.replace(QLatin1Char(' '), QLatin1Char('_'));
    stamp.replace(QLatin1Char(':'), QLatin1Char('-'));
    return QStringLiteral("MONITORYNG_") + stamp + QStringLiteral(".txt");
}

MainWindow* shownMainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<MainWindow*>(widget);
        if (window && window->isVisible())
            return window;
    }
    return nullptr;
}

// Answers every modal box the front opens, noting its text and whether the main window was up behind
// it, and closes the main window once the expected number of boxes came.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(qsizetype boxesBeforeClosing = -1) : m_boxesBeforeClosing(boxesBeforeClosing) {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.append(box->text());
                overTheWindow.append(shownMainWindow() != nullptr);
                box->done(QMessageBox::Ok);
            } else if (texts.size() == m_boxesBeforeClosing) {
                if (MainWindow* window = shownMainWindow())
                    window->close();
            }
        });
        m_poll.start(10);
        // A front that never ends fails the test instead of hanging it.
        m_guard.setSingleShot(true);
        connect(&m_guard, &QTimer::timeout, this, [] { QCoreApplication::exit(99); });
        m_guard.start(60000);
    }

    QStringList texts;
    QList<bool> overTheWindow;

private:
    qsizetype m_boxesBeforeClosing;
    QTimer m_poll;
    QTimer m_guard;
};

} // namespace

class MainWindowTest : public QObject {
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

    void opensWithTheHeaderBandAndTheMonitoringPage() {
        MainWindow& window = *m_window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(window.windowTitle(),
                 QStringLiteral("Сервіс роздач зєднань для GPRS/JAVA терміналів водіїв програмного комплексу "
                                "\"Korvent - TAXI\""));
        QCOMPARE(window.size(), QSize(1000, 623));
        // Centred as a whole: the window system's frame may shift the inside by a pixel or two.
        const QPoint offCentre =
            window.frameGeometry().center() - window.screen()->availableGeometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 4,
                 qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));

        auto* pages = child<QTabWidget>(window, QStringLiteral("PageControl1"));
        QCOMPARE(pages->tabText(0), QStringLiteral("  ПРОЦЕС  ПІДКЛЮЧЕННЯ  "));

        auto* status = child<QLabel>(window, QStringLiteral("Label5"));
        QCOMPARE(status->text(), kStatusOff);
        QCOMPARE(textColour(status), QColor(Qt::blue));
        QCOMPARE(child<QToolButton>(window, QStringLiteral("SpeedButton1"))->toolTip(),
                 QStringLiteral("Відкриття портів для зєднання водіїв"));
        QCOMPARE(child<QLabel>(window, QStringLiteral("Label17"))->text(), QStringLiteral("0"));
        QCOMPARE(textColour(child<QLabel>(window, QStringLiteral("Label17"))), QColor(Qt::red));
        QCOMPARE(child<QLabel>(window, QStringLiteral("Label18"))->text(), QStringLiteral("0"));
        QCOMPARE(textColour(child<QLabel>(window, QStringLiteral("Label18"))), QColor(Qt::darkGreen));
        QCOMPARE(child<QLabel>(window, QStringLiteral("Label28"))->text(), QStringLiteral("не задано"));

        auto* memo = child<QPlainTextEdit>(window, QStringLiteral("Memo1"));
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->toPlainText(), QStringLiteral("МОНІТОРИНГ"));
        QVERIFY(memo->verticalScrollBar()->isVisible());

        const QString screenshots = qEnvironmentVariable("TAXI_GPRS_SCREENSHOT_DIR");
        if (!screenshots.isEmpty()) {
            m_service->log.append(QStringLiteral("Порт 5050 відкрито, водій 15 на зв'язку"));
            m_service->counters.addIncoming(1234);
            m_service->counters.addOutgoing(5678);
            QVERIFY(window.grab().save(QDir(screenshots).filePath(QStringLiteral("main_window.png"))));
        }
    }

    void countersFollowTheTraffic() {
        auto* incoming = child<QLabel>(*m_window, QStringLiteral("Label17"));
        auto* outgoing = child<QLabel>(*m_window, QStringLiteral("Label18"));
        m_service->counters.addIncoming(120);
        m_service->counters.addIncoming(3);
        m_service->counters.addOutgoing(4500000000LL);
        QCOMPARE(incoming->text(), QStringLiteral("123"));
        QCOMPARE(outgoing->text(), QStringLiteral("4500000000"));
        m_service->counters.reset();
        QCOMPARE(incoming->text(), QStringLiteral("0"));
        QCOMPARE(outgoing->text(), QStringLiteral("0"));
    }

    void memoFollowsTheLogAndItsClearButton() {
        auto* memo = child<QPlainTextEdit>(*m_window, QStringLiteral("Memo1"));
        m_service->log.append(QStringLiteral("Водій 15 увійшов"));
        m_service->log.append(QStringLiteral(" "));
        QCOMPARE(memo->toPlainText(), m_service->log.lines().join(QLatin1Char('\n')));

        buttonCalled(*m_window, QStringLiteral("Очистити екран ..."))->click();
        QVERIFY(m_service->log.lines().isEmpty());
        QCOMPARE(memo->toPlainText(), QString());

        // The first line after a clear starts the screen: no blank line above it.
        m_service->log.append(QStringLiteral("Водій 16 увійшов"));
        QCOMPARE(memo->toPlainText(), QStringLiteral("Водій 16 увійшов"));
    }

    void saveButtonWritesTheLogIntoTheWorkingFolder() {
        m_service->log.append(QStringLiteral("Водій 15 увійшов"));
        buttonCalled(*m_window, QStringLiteral("Зберегти моніторинг"))->click();

        const QStringList saved = QDir().entryList({QStringLiteral("MONITORYNG_*.txt")}, QDir::Files);
        QCOMPARE(saved.size(), 1);
        QFile file(saved.first());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), toWin1251(QStringLiteral("МОНІТОРИНГ\r\nВодій 15 увійшов\r\n")));
        QCOMPARE(child<QPlainTextEdit>(*m_window, QStringLiteral("Memo1"))->toPlainText(), QString());
        QVERIFY(m_operator->errors.isEmpty());
    }

    void failedSaveReachesTheOperatorAndKeepsTheLog() {
        // A folder in the way of the file name makes the write fail, even for root.
        const QDateTime now = QDateTime::currentDateTime();
        for (int second = 0; second < 3; ++second)
            QVERIFY(QDir().mkdir(monitoringFileName(now.addSecs(second))));
        m_service->log.append(QStringLiteral("Водій 15 увійшов"));

        buttonCalled(*m_window, QStringLiteral("Зберегти моніторинг"))->click();

        QCOMPARE(m_operator->errors.size(), 1);
        QCOMPARE(child<QPlainTextEdit>(*m_window, QStringLiteral("Memo1"))->toPlainText(),
                 QStringLiteral("МОНІТОРИНГ\nВодій 15 увійшов"));
    }

    void closingAsksTheService() {
        QSignalSpy closed(m_window.get(), &MainWindow::closedByOperator);
        m_window->show();
        QVERIFY(m_window->close());
        QCOMPARE(closed.size(), 1);
        QCOMPARE(m_service->control.state(), ServiceControl::State::Ended);
    }

    void closingForTheEndDoesNotAskAgain() {
        QSignalSpy closed(m_window.get(), &MainWindow::closedByOperator);
        m_window->show();
        m_window->closeForEnd();
        QVERIFY(!m_window->isVisible());
        QCOMPARE(closed.size(), 0);
        QCOMPARE(m_service->control.state(), ServiceControl::State::Starting);
    }

    // The whole way through the databases: the start button, the header while distributing, a refused
    // close, the confirmed stop and the close that then succeeds.
    void distributionShowsInTheHeaderAndHoldsTheWindowOpen() {
        if (!test::serverCredentials())
            QSKIP("no local Firebird server password");
        test::ServiceFolder folder;
        folder.writeSettings();
        folder.createSettingsDatabase();
        test::RunningService running(folder, false);
        QVERIFY2(running->data.bothConnected(), qPrintable(running.op().errors.join(QLatin1Char('\n'))));
        MainWindow window(running->consoleParts());
        window.show();
        auto* status = child<QLabel>(window, QStringLiteral("Label5"));
        auto* startStop = child<QToolButton>(window, QStringLiteral("SpeedButton1"));
        auto* pages = child<QTabWidget>(window, QStringLiteral("PageControl1"));
        const int settingsPage = pages->count() - 1;
        QCOMPARE(pages->tabText(settingsPage), QStringLiteral("  НАЛАШТУВАННЯ  ЗВЯЗКУ  "));
        QVERIFY(pages->isTabVisible(settingsPage));
        running->counters.addIncoming(77);

        startStop->click();
        QCOMPARE(status->text(), kStatusOn);
        // Settings change only while the distribution is off.
        QVERIFY(!pages->isTabVisible(settingsPage));
        QCOMPARE(textColour(status), QColor(Qt::red));
        QCOMPARE(child<QLabel>(window, QStringLiteral("Label17"))->text(), QStringLiteral("0"));

        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        QCOMPARE(running.op().informed, QStringList{kCannotClose});

        running.op().answers = {false};
        startStop->click();
        QCOMPARE(status->text(), kStatusOn);
        startStop->click();
        QCOMPARE(running.op().questions, (QStringList{kConfirmStop, kConfirmStop}));
        QCOMPARE(status->text(), kStatusOff);
        QCOMPARE(textColour(status), QColor(Qt::blue));
        QVERIFY(pages->isTabVisible(settingsPage));

        QVERIFY(window.close());
        QVERIFY(running.op().errors.isEmpty());
    }

private:
    std::unique_ptr<test::WorkingFolder> m_workingFolder;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<test::ScriptedOperator> m_operator;
    std::unique_ptr<Service> m_service;
    std::unique_ptr<MainWindow> m_window;
};

class ErrorDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(errorWindows().size(), 0); }

    void aBurstOfErrorsFillsOneWindow() {
        GuiOperator op;
        op.showError(QStringLiteral("помилка 1\nу двох рядках"));
        for (int i = 2; i <= 1000; ++i)
            op.showError(QStringLiteral("помилка %1").arg(i));

        const QList<ErrorWindow*> windows = errorWindows();
        QCOMPARE(windows.size(), 1);
        ErrorWindow* window = windows.first();
        QVERIFY(window->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(window->windowTitle().contains(QStringLiteral("1000")));
        const QTextDocument* entries = window->findChild<QPlainTextEdit*>()->document();
        QCOMPARE(entries->blockCount(), 1000);
        QVERIFY(entries->lastBlock().text().endsWith(QStringLiteral("   помилка 1000")));

        buttonCalled(*window, QStringLiteral("Очистити"))->click();
        QVERIFY(entries->isEmpty());
        QVERIFY(window->windowTitle().contains(QStringLiteral("(0)")));
    }

    void aLongRunningFloodKeepsTheNewest() {
        GuiOperator op;
        const int total = ErrorWindow::kKeptEntries + 5;
        for (int i = 1; i <= total; ++i)
            op.showError(QStringLiteral("помилка %1").arg(i));

        ErrorWindow* window = errorWindows().first();
        const QTextDocument* entries = window->findChild<QPlainTextEdit*>()->document();
        QCOMPARE(entries->blockCount(), ErrorWindow::kKeptEntries);
        QVERIFY(entries->firstBlock().text().endsWith(QStringLiteral("   помилка 6")));
        QVERIFY(window->windowTitle().contains(QString::number(total)));
    }

    void anErrorInsideAModalBoxDoesNotWait() {
        GuiOperator op;
        bool shownWhileBoxOpen = false;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            op.showError(QStringLiteral("помилка під час повідомлення"));
            shownWhileBoxOpen = box && errorWindows().size() == 1 && errorWindows().first()->isVisible();
            if (box)
                box->close();
        });
        op.inform(QStringLiteral("повідомлення"));
        QVERIFY(shownWhileBoxOpen);
    }
};

class GuiFrontTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        m_workingFolder = std::make_unique<test::WorkingFolder>(m_folder->path());
        // The single-instance lock of this test only, not that of a service running on this machine.
        qputenv("TMPDIR", m_folder->path().toLocal8Bit());
    }

    void cleanup() {
        qunsetenv("TMPDIR");
        m_workingFolder.reset();
        m_folder.reset();
    }

    void aSecondCopyIsRefusedBeforeTouchingAnything() {
        SingleInstance first;
        QVERIFY(first.acquire());
        SingleInstance second;
        BoxAnswerer answerer;

        QCOMPARE(runGuiFront(second, false), 1);
        QCOMPARE(answerer.texts, QStringList{SingleInstance::kSecondCopyRefused});
        QVERIFY(!QFile::exists(QStringLiteral("TAXI_GPRS.FDB")));
    }

    void startUpRunsOnceTheWindowIsShown_data() {
        QTest::addColumn<bool>("pressStart");
        QTest::addColumn<QStringList>("messages");
        const QStringList creation{kCreatingSettingsDatabase, kSettingsDatabaseCreated};
        QTest::newRow("start-up only") << false << creation;
        QTest::newRow("start pressed after it") << true << (creation + QStringList{kNoConnection});
    }

    void startUpRunsOnceTheWindowIsShown() {
        QFETCH(bool, pressStart);
        QFETCH(QStringList, messages);
        SingleInstance instance;
        BoxAnswerer answerer(messages.size());

        QCOMPARE(runGuiFront(instance, pressStart), ServiceControl::kExitNormal);
        QCOMPARE(answerer.texts, messages);
        QCOMPARE(answerer.overTheWindow, QList<bool>(messages.size(), true));
        QVERIFY(QFile::exists(QStringLiteral("TAXI_GPRS.FDB")));
    }

private:
    std::unique_ptr<test::WorkingFolder> m_workingFolder;
    std::unique_ptr<QTemporaryDir> m_folder;
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    int status = 0;
    {
        MainWindowTest test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        ErrorDisplayTest test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        GuiFrontTest test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}

#include "test_main_window.moc"
