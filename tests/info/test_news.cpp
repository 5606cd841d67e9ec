#include "app/service.h"
#include "core/settings.h"
#include "core/text_codec.h"
#include "info/news.h"
#include "support/driver_session.h"
#include "support/working_folder.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const int kDriver = 11;

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

Q_DECLARE_METATYPE(std::optional<QByteArray>)

// The news: the file's lines as the service loads them, and what a terminal gets of them.
class NewsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_startUpFolder;
    std::unique_ptr<DriverSession> m_session;
    FakeTerminal m_phone;

    QByteArray askForNews() {
        const int before = int(m_phone.received().count('@'));
        m_phone.send("@NEWS@");
        if (!m_phone.waitForReplies(before + 1))
            return {};
        return m_phone.received().mid(m_phone.received().lastIndexOf('@', -2) + 1);
    }

    // NEWS.TXT in the service's working folder, or none; then the operator's reload.
    void publish(const std::optional<QByteArray>& content) {
        const QString path = QDir(m_session->folder().path()).filePath(NewsText::kFileName);
        QFile::remove(path);
        if (content)
            writeFile(path, *content);
        m_session->service().reloadNews();
    }

private slots:
    void initTestCase() {
        // FILE_NEWS names the start-up file; the buttons work with NEWS.TXT.
        const QString startUpFile = m_startUpFolder.filePath(QStringLiteral("news-at-start.txt"));
        writeFile(startUpFile, toWin1251(QStringLiteral("Ранкова новина\r\n")));
        m_session = std::make_unique<DriverSession>();
        QVERIFY(
            m_session->start(QMap<QString, QString>{{QStringLiteral("GPRS_TAXI/FILE_NEWS"), startUpFile}}));
        QVERIFY(m_session->bind(m_phone, kDriver));
    }
    void cleanupTestCase() { m_session.reset(); }

    // The news does not depend on the stand table: a map that cannot be read is reported, the news loads.
    void loadedWhenTheStandTableFails() {
        ServiceFolder folder;
        folder.writeSettings({{QStringLiteral("GPRS_TAXI/FILE_NEWS"),
                               m_startUpFolder.filePath(QStringLiteral("news-at-start.txt"))}});
        folder.createSettingsDatabase();
        folder.dispatcherExecute({QStringLiteral("ALTER TABLE KARTA_MISTA DROP KOORD_KART_MISTA_PIDPIS")});
        RunningService service(folder, false);
        QCOMPARE(service->news.lines(), QStringList{QStringLiteral("Ранкова новина")});
        QCOMPARE(service.op().errors.size(), 1);
    }

    void loadedAtStartUp() {
        QCOMPARE(askForNews(), "<DataNews><#1>" + encoded(QStringLiteral("Ранкова новина")) +
                                   "</#1><Kil>1</Kil></DataNews>@");
    }

    void terminalsGetTheLoadedLines_data() {
        QTest::addColumn<std::optional<QByteArray>>("file");
        QTest::addColumn<QByteArray>("reply");

        const QByteArray a = encoded(QStringLiteral("Нова стоянка біля вокзалу"));
        const QByteArray b = encoded(QStringLiteral("Тариф 'Нічний' з 22:00"));
        QTest::newRow("no file") << std::optional<QByteArray>()
                                 << "<DataNews><#1>" + encoded(QStringLiteral("НОВИН НЕ МАЄ")) +
                                        "</#1><Kil>1</Kil></DataNews>@";
        QTest::newRow("empty file") << std::optional<QByteArray>(QByteArray())
                                    << QByteArray("<DataNews><Kil>0</Kil></DataNews>@");
        // An empty line keeps its place: the items after it skip its number.
        QTest::newRow("empty lines keep their numbers")
            << std::optional<QByteArray>(toWin1251(
                   QStringLiteral("Нова стоянка біля вокзалу\r\n\r\n\r\nТариф 'Нічний' з 22:00\r\n")))
            << "<DataNews><#1>" + a + "</#1><#4>" + b + "</#4><Kil>2</Kil></DataNews>@";
        QTest::newRow("a line of blanks is an item")
            << std::optional<QByteArray>(toWin1251(QStringLiteral("  \nТариф 'Нічний' з 22:00")))
            << "<DataNews><#1>" + encoded(QStringLiteral("  ")) + "</#1><#2>" + b +
                   "</#2><Kil>2</Kil></DataNews>@";
        QTest::newRow("leading empty line")
            << std::optional<QByteArray>(toWin1251(QStringLiteral("\rНова стоянка біля вокзалу")))
            << "<DataNews><#2>" + a + "</#2><Kil>1</Kil></DataNews>@";
    }
    void terminalsGetTheLoadedLines() {
        QFETCH(std::optional<QByteArray>, file);
        QFETCH(QByteArray, reply);
        publish(file);
        QCOMPARE(askForNews(), reply);
    }

    // The file changed in the editor reaches nobody until the operator reloads.
    void editedFileWaitsForReload() {
        publish(toWin1251(QStringLiteral("Стара")));
        writeFile(QDir(m_session->folder().path()).filePath(NewsText::kFileName),
                  toWin1251(QStringLiteral("Нова")));
        QCOMPARE(askForNews(),
                 "<DataNews><#1>" + encoded(QStringLiteral("Стара")) + "</#1><Kil>1</Kil></DataNews>@");
        m_session->service().reloadNews();
        QCOMPARE(askForNews(),
                 "<DataNews><#1>" + encoded(QStringLiteral("Нова")) + "</#1><Kil>1</Kil></DataNews>@");
    }

    void journalAndLog_data() {
        QTest::addColumn<bool>("journalSwitch");
        QTest::addColumn<QStringList>("journal");
        QTest::newRow("switch on") << true << QStringList{QStringLiteral("Перегляд новин #0")};
        QTest::newRow("switch off") << false << QStringList();
    }
    void journalAndLog() {
        QFETCH(bool, journalSwitch);
        QFETCH(QStringList, journal);
        m_session->service().settings.setOn(keys::VHID_V_NOVINI, journalSwitch);
        const QStringList before = m_session->journal(kDriver);
        const int logBefore = int(m_session->service().log.lines().size());
        QVERIFY(!askForNews().isEmpty());
        QCOMPARE(m_session->journal(kDriver).mid(before.size()), journal);
        QCOMPARE(m_session->service().log.lines().mid(logBefore).filter(QStringLiteral("№")),
                 QStringList{QStringLiteral("Запит на новини водій № 11")});
    }

    // The model on its own, in a folder of its own.
    void fileOperations() {
        QTemporaryDir folder;
        const WorkingFolder inFolder(folder.path());
        NewsText news;
        QStringList opened;
        news.setEditorOpener([&](const QString& path) { opened.append(path); });
        QSignalSpy changes(&news, &NewsText::changed);
        const QStringList placeholder{NewsText::kPlaceholder};

        // Opening a missing file makes it from the placeholder, in the news file's code page.
        QVERIFY(!news.openFile());
        QCOMPARE(news.lines(), placeholder);
        QCOMPARE(opened, QStringList{QDir(folder.path()).filePath(QStringLiteral("NEWS.TXT"))});
        QFile made(QStringLiteral("NEWS.TXT"));
        QVERIFY(made.open(QIODevice::ReadOnly));
        QCOMPARE(made.readAll(), toWin1251(QStringLiteral("НОВИН НЕ МАЄ\r\n")));

        // An existing file is opened as it is; the news waits for the reload.
        writeFile(QStringLiteral("NEWS.TXT"), toWin1251(QStringLiteral("Перша\r\nДруга")));
        QVERIFY(!news.openFile());
        QCOMPARE(news.lines(), placeholder);
        QVERIFY(!news.reload());
        QCOMPARE(news.lines(), (QStringList{QStringLiteral("Перша"), QStringLiteral("Друга")}));

        // At start-up only FILE_NEWS counts, even with NEWS.TXT at hand.
        QVERIFY(!news.OPEN_LIST_NEWS(QString()));
        QCOMPARE(news.lines(), placeholder);
        QVERIFY(!news.OPEN_LIST_NEWS(QStringLiteral("missing.txt")));
        QCOMPARE(news.lines(), placeholder);
        QVERIFY(!news.OPEN_LIST_NEWS(QStringLiteral("NEWS.TXT")));
        QCOMPARE(news.lines().size(), 2);

        // A file that is there but cannot be read is the operator's problem, not an empty placeholder.
        QVERIFY(QDir().mkdir(QStringLiteral("unreadable.txt")));
        QVERIFY(news.OPEN_LIST_NEWS(QStringLiteral("unreadable.txt")).has_value());
        QCOMPARE(news.lines(), QStringList());
        QCOMPARE(changes.size(), 6); // each load and each made file
    }
};

QTEST_GUILESS_MAIN(NewsTest)
#include "test_news.moc"
