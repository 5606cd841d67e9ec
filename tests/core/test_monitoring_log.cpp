#include "core/monitoring_log.h"
#include "core/text_codec.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace taxi;

namespace {

// 5 March 2010, 9:07:15: an hour written without its leading zero.
const QDateTime kMorning(QDate(2010, 3, 5), QTime(9, 7, 15));
const QString kMorningFile = QStringLiteral("MONITORYNG_05.03.2010_9-07-15.txt");
const QString kMorningMark = QStringLiteral("*** [ 05.03.2010 9:07:15 ] ****************************");

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void fillTo(MonitoringLog& log, qsizetype lines) {
    while (log.lines().size() < lines)
        log.append(QStringLiteral("рядок %1").arg(log.lines().size()));
}

} // namespace

class MonitoringLogTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
    }

    void startsWithItsTitleWhichClearRemoves() {
        MonitoringLog log;
        QCOMPARE(log.lines(), QStringList{QStringLiteral("МОНІТОРИНГ")});

        QSignalSpy appended(&log, &MonitoringLog::appended);
        QSignalSpy cleared(&log, &MonitoringLog::cleared);
        log.append(QStringLiteral("ПОРТ 5050 ВІДКРИТО"));
        QCOMPARE(appended.size(), 1);
        QCOMPARE(appended[0][0].toString(), QStringLiteral("ПОРТ 5050 ВІДКРИТО"));

        log.clear();
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(cleared.size(), 1);
    }

    void saveWritesTheFileAndClears() {
        MonitoringLog log;
        log.append(QStringLiteral("Водій 15 увійшов"));
        log.append(QString());
        QSignalSpy cleared(&log, &MonitoringLog::cleared);

        const std::optional<QString> error = log.save(folder(), kMorning);
        QVERIFY2(!error, qPrintable(error.value_or(QString())));

        QCOMPARE(savedFiles(), QStringList{kMorningFile});
        QCOMPARE(readFile(filePath(kMorningFile)),
                 toWin1251(QStringLiteral("МОНІТОРИНГ\r\nВодій 15 увійшов\r\n\r\n")));
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(cleared.size(), 1);
    }

    void saveWithinTheSameSecondKeepsBoth() {
        MonitoringLog log;
        QVERIFY(!log.save(folder(), kMorning));
        log.append(QStringLiteral("друге"));
        QVERIFY(!log.save(folder(), kMorning.addMSecs(500)));
        log.append(QStringLiteral("третє"));
        QVERIFY(!log.save(folder(), kMorning.addMSecs(900)));

        const QString second = QStringLiteral("MONITORYNG_05.03.2010_9-07-15_2.txt");
        const QString third = QStringLiteral("MONITORYNG_05.03.2010_9-07-15_3.txt");
        QCOMPARE(savedFiles(), (QStringList{kMorningFile, second, third}));
        QCOMPARE(readFile(filePath(kMorningFile)), toWin1251(QStringLiteral("МОНІТОРИНГ\r\n")));
        QCOMPARE(readFile(filePath(second)), toWin1251(QStringLiteral("друге\r\n")));
        QCOMPARE(readFile(filePath(third)), toWin1251(QStringLiteral("третє\r\n")));
    }

    void failedSaveKeepsTheLogAndSaysWhy() {
        MonitoringLog log;
        log.append(QStringLiteral("важливий рядок"));
        const QStringList before = log.lines();
        QSignalSpy cleared(&log, &MonitoringLog::cleared);

        const std::optional<QString> error = log.save(unwritableFolder(), kMorning);
        QVERIFY(error.has_value());
        QVERIFY2(error->contains(kMorningFile), qPrintable(*error));
        QCOMPARE(log.lines(), before);
        QCOMPARE(cleared.size(), 0);
    }

    void timeMarkAppendsABlankAndTheTime() {
        MonitoringLog log;
        QVERIFY(!log.writeTimeMark(folder(), kMorning));
        QVERIFY(!log.writeTimeMark(folder(), kMorning.addSecs(60)));

        const QStringList expected{QStringLiteral("МОНІТОРИНГ"), QStringLiteral(" "), kMorningMark,
                                   QStringLiteral(" "),
                                   QStringLiteral("*** [ 05.03.2010 9:08:15 ] ****************************")};
        QCOMPARE(log.lines(), expected);
        QVERIFY(savedFiles().isEmpty());
    }

    void longLogIsSavedAtTheMark_data() {
        QTest::addColumn<qsizetype>("linesBefore");
        QTest::addColumn<bool>("saved");

        QTest::newRow("one short of the limit") << qsizetype(9997) << false;
        QTest::newRow("reaches the limit") << qsizetype(9998) << true;
        QTest::newRow("beyond the limit") << qsizetype(12000) << true;
    }

    void longLogIsSavedAtTheMark() {
        QFETCH(qsizetype, linesBefore);
        QFETCH(bool, saved);
        MonitoringLog log;
        fillTo(log, linesBefore);
        // Below its greatest length, appending alone never writes the log away.
        QVERIFY(savedFiles().isEmpty());

        const std::optional<QString> error = log.writeTimeMark(folder(), kMorning);
        QVERIFY2(!error, qPrintable(error.value_or(QString())));

        const QString path = filePath(kMorningFile);
        QCOMPARE(QFile::exists(path), saved);
        if (saved) {
            QVERIFY(log.lines().isEmpty());
            const QByteArray bytes = readFile(path);
            QCOMPARE(bytes.count("\r\n"), linesBefore + 2);
            QVERIFY(bytes.endsWith(" \r\n" + toWin1251(kMorningMark) + "\r\n"));
        } else {
            QCOMPARE(log.lines().size(), linesBefore + 2);
            QCOMPARE(log.lines().last(), kMorningMark);
        }
    }

    void failedAutomaticSaveIsReportedAndKeepsTheLog() {
        MonitoringLog log;
        fillTo(log, 9998);
        QVERIFY(log.writeTimeMark(unwritableFolder(), kMorning).has_value());
        QCOMPARE(log.lines().size(), 10000);

        // The next mark tries again.
        QVERIFY(!log.writeTimeMark(folder(), kMorning.addSecs(60)));
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(readFile(filePath(QStringLiteral("MONITORYNG_05.03.2010_9-08-15.txt"))).count("\r\n"),
                 10002);
    }

    // A flood of lines between two marks, or with the tick held up, is written away as it comes.
    void floodIsWrittenAwayWithoutTheMark() {
        MonitoringLog log(folder());
        for (qsizetype i = 1; i < 2 * MonitoringLog::kMaxLines + 10; ++i)
            log.append(QStringLiteral("рядок %1").arg(i));

        QCOMPARE(log.lines().size(), 10);
        const QStringList files = savedFiles();
        QCOMPARE(files.size(), 2);
        for (const QString& file : files)
            QCOMPARE(readFile(filePath(file)).count("\r\n"), MonitoringLog::kMaxLines);
    }

    void floodThatCannotBeWrittenKeepsTheNewestLines() {
        MonitoringLog log(unwritableFolder());
        QSignalSpy failed(&log, &MonitoringLog::automaticSaveFailed);
        fillTo(log, MonitoringLog::kMaxLines - 1);
        QVERIFY(failed.isEmpty());
        log.append(QStringLiteral("останній"));

        QCOMPARE(failed.size(), 1);
        QCOMPARE(log.lines().size(), MonitoringLog::kAutomaticSaveLines);
        QCOMPARE(log.lines().last(), QStringLiteral("останній"));
        QCOMPARE(
            log.lines().first(),
            QStringLiteral("рядок %1").arg(MonitoringLog::kMaxLines - MonitoringLog::kAutomaticSaveLines));
    }

private:
    QString folder() const { return m_folder->path(); }
    QString filePath(const QString& name) const { return m_folder->filePath(name); }
    QStringList savedFiles() const { return QDir(folder()).entryList(QDir::Files); }

    // A folder below a regular file cannot be written, not even by root.
    QString unwritableFolder() const {
        QFile plain(filePath(QStringLiteral("plain")));
        if (!plain.open(QIODevice::WriteOnly))
            qFatal("cannot create %s", qPrintable(plain.fileName()));
        return plain.fileName() + QStringLiteral("/logs");
    }

    std::unique_ptr<QTemporaryDir> m_folder; // fresh for every test
};

QTEST_GUILESS_MAIN(MonitoringLogTest)
#include "test_monitoring_log.moc"
