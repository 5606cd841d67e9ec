#include "core/date_time_text.h"
#include "core/journal.h"
#include "data_module_folder.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

// writeJournal against the dispatcher database on the local server, reached through a relay.
class JournalTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DataModuleFolder> m_fixture;

    db::ResultSet entries() {
        return m_fixture->folder.dispatcherSelect(
            {QStringLiteral("SELECT DYA_VODIY_GPRS_NP, DYA_VODIY_GPRS_DATATIME, DYA_VODIY_GPRS_POZ, "
                            "DYA_VODIY_GPRS_DYA, DYA_VODIY_GPRS_NZ FROM DYA_VODIY_GPRS ORDER BY 1")});
    }

private slots:
    void init() {
        m_fixture = std::make_unique<DataModuleFolder>();
        m_fixture->attachDispatcher();
    }
    void cleanup() { m_fixture.reset(); }

    void entriesAreNumberedAndStampedWithTheMoment() {
        Journal journal(m_fixture->data);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        journal.writeJournal(11, 0, QStringLiteral("Вхід в систему"));
        journal.writeJournal(12, 1042, QStringLiteral("Прийняття замовлення"));
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);

        const db::ResultSet rows = entries();
        QCOMPARE(rows.size(), 2);
        const QList<std::tuple<int, int, QString, int>> expected{
            {1, 11, QStringLiteral("Вхід в систему"), 0},
            {2, 12, QStringLiteral("Прийняття замовлення"), 1042}};
        for (int i = 0; i < rows.size(); ++i) {
            const auto& [number, callsign, action, order] = expected.at(i);
            const db::Row& row = rows.at(i);
            QCOMPARE(row.at(0).toInt(), number);
            const std::optional<QDateTime> written = parseTimestamp(row.at(1).toText());
            QVERIFY2(written && *written >= before && *written <= after, qPrintable(row.at(1).toText()));
            QCOMPARE(row.at(2).toInt(), callsign);
            QCOMPARE(row.at(3).toText(), action);
            QCOMPARE(row.at(4).toInt(), order);
        }
    }

    void actionTextIsStoredCutToFiftyCharacters_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("stored");
        QTest::newRow("longer") << QStringLiteral("Добавлення водія у боржники. Перевищення ліміту відмов.")
                                << QStringLiteral("Добавлення водія у боржники. Перевищення ліміту ві");
        QTest::newRow("exactly fifty")
            << QStringLiteral("Подача заявки на замовлення з меню потік замовлень")
            << QStringLiteral("Подача заявки на замовлення з меню потік замовлень");
        QTest::newRow("apostrophes") << QStringLiteral("ПОВІДОМЛЕННЯ : п'ять хвилин'); DELETE FROM VODII; --")
                                     << QStringLiteral("ПОВІДОМЛЕННЯ : п'ять хвилин'); DELETE FROM VODII; ");
    }
    void actionTextIsStoredCutToFiftyCharacters() {
        QFETCH(QString, action);
        Journal(m_fixture->data).writeJournal(13, 0, action);
        const db::ResultSet rows = entries();
        QCOMPARE(rows.size(), 1);
        QTEST(rows.first().at(3).toText(), "stored");
        QVERIFY(m_fixture->dispatcherNumber(QStringLiteral("SELECT COUNT(*) FROM VODII")) > 0);
    }

    void unreachableDatabaseLosesTheEntryQuietly_data() {
        QTest::addColumn<bool>("networkCut");
        QTest::newRow("network cut") << true;
        QTest::newRow("detached") << false;
    }
    void unreachableDatabaseLosesTheEntryQuietly() {
        QFETCH(bool, networkCut);
        Journal journal(m_fixture->data);
        if (networkCut)
            m_fixture->folder.network().cut();
        else
            m_fixture->data.baza.detach();
        journal.writeJournal(14, 0, QStringLiteral("ТРИВОГА ВІД ВОДІЯ"));
        QCOMPARE(entries().size(), 0);
        if (networkCut)
            return;
        // Nothing of the failed attempt stands in the way of the next entry.
        m_fixture->attachDispatcher();
        journal.writeJournal(14, 0, QStringLiteral("ТРИВОГА ВІД ВОДІЯ"));
        QCOMPARE(entries().size(), 1);
    }

    void entryNeverCommitsTheCommandsUnfinishedWork() {
        DataModule& data = m_fixture->data;
        data.rizne.execute({QStringLiteral("INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY) VALUES (15)")});
        Journal(data).writeJournal(15, 0, QStringLiteral("Зміна стоянки на [ВОКЗАЛ]"));
        const QString cars = QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO");
        QCOMPARE(entries().size(), 1);
        QCOMPARE(m_fixture->dispatcherNumber(cars), 0);
        data.tranzRizne.commitIfActive();
        QCOMPARE(m_fixture->dispatcherNumber(cars), 1);
    }
};

QTEST_GUILESS_MAIN(JournalTest)
#include "test_journal.moc"
