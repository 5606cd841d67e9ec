#include "core/callsign_lists.h"
#include "core/ini_file.h"
#include "core/settings.h"
#include "support/scripted_operator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace taxi;

// The flow access and debtor lists: their text, the dialog's pages and what confirming writes.
class CallsignListsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    QString iniPath() const { return m_folder.filePath(QStringLiteral("SETSERVER.INI")); }

    std::optional<QString> fileValue(const QString& key) const {
        IniFile ini;
        ini.load(iniPath());
        return ini.value(sections::GPRS_TAXI, key);
    }

private slots:
    void init() { QFile::remove(iniPath()); }

    void membership_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("callsign");
        QTest::addColumn<bool>("listed");
        QTest::newRow("empty list") << QStringLiteral("[0]") << 12 << false;
        QTest::newRow("listed") << QStringLiteral("[12][7]") << 7 << true;
        QTest::newRow("brackets keep 12 apart from 112") << QStringLiteral("[112]") << 12 << false;
        QTest::newRow("appended to the empty list") << QStringLiteral("[0][15]") << 15 << true;
    }
    void membership() {
        QFETCH(QString, list);
        QFETCH(int, callsign);
        QFETCH(bool, listed);
        QCOMPARE(isOnCallsignList(list, callsign), listed);
    }

    void openingAPage_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty list") << QStringLiteral("[0]") << QStringList();
        QTest::newRow("sorted as text")
            << QStringLiteral("[25][7][100]")
            << QStringList{QStringLiteral("100"), QStringLiteral("25"), QStringLiteral("7")};
        // What the refusal limit makes of an empty debtor list: 15 counts as a debtor, the page opens empty.
        QTest::newRow("[0] among entries") << QStringLiteral("[0][15]") << QStringList();
        QTest::newRow("duplicates kept")
            << QStringLiteral("[5][5]") << QStringList{QStringLiteral("5"), QStringLiteral("5")};
        QTest::newRow("no text") << QString() << QStringList();
    }
    void openingAPage() {
        QFETCH(QString, text);
        QFETCH(QStringList, entries);
        Settings settings;
        settings.setText(keys::DODAT_DO_BORG, text);
        CallsignLists lists(settings);
        lists.debtors.open();
        QCOMPARE(lists.debtors.entries(), entries);
        QVERIFY(lists.flowAccess.entries().isEmpty());
    }

    void editing_data() {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("removeAt");
        QTest::addColumn<QString>("saved");
        QTest::newRow("added in text order") << QStringList{QStringLiteral("25"), QStringLiteral("100")} << -1
                                             << QStringLiteral("[100][25][7]");
        QTest::newRow("empty field and 0 are not added")
            << QStringList{QString(), QStringLiteral("0")} << -1 << QStringLiteral("[7]");
        QTest::newRow("two zeros and a blank before 0 are")
            << QStringList{QStringLiteral("00"), QStringLiteral(" 0")} << -1 << QStringLiteral("[ 0][00][7]");
        QTest::newRow("a duplicate is kept")
            << QStringList{QStringLiteral("7")} << -1 << QStringLiteral("[7][7]");
        QTest::newRow("brackets would break the text")
            << QStringList{QStringLiteral("1]2"), QStringLiteral("[3")} << -1 << QStringLiteral("[7]");
        QTest::newRow("selected entry deleted")
            << QStringList{QStringLiteral("8")} << 0 << QStringLiteral("[8]");
        QTest::newRow("nothing selected") << QStringList() << -1 << QStringLiteral("[7]");
        QTest::newRow("last entry deleted is saved as [0]") << QStringList() << 0 << QStringLiteral("[0]");
    }
    void editing() {
        QFETCH(QStringList, fields);
        QFETCH(int, removeAt);
        QFETCH(QString, saved);
        Settings settings;
        settings.setText(keys::DODAT_DO_POTOK, QStringLiteral("[7]"));
        CallsignLists lists(settings);
        lists.flowAccess.open();
        for (const QString& field : fields)
            lists.flowAccess.add(field);
        lists.flowAccess.remove(removeAt);
        test::ScriptedOperator op;
        QVERIFY(lists.flowAccess.confirm(op, iniPath()));
        QCOMPARE(settings.text(keys::DODAT_DO_POTOK), saved);
        QCOMPARE(fileValue(keys::DODAT_DO_POTOK), std::optional<QString>(saved));
    }

    // Confirming one page writes its own key and nothing else, neither in the file nor on the settings page.
    void confirmingSavesOnlyItsOwnList() {
        Settings settings;
        settings.setText(keys::DODAT_DO_POTOK, QStringLiteral("[3]"));
        settings.setText(keys::DODAT_DO_BORG, QStringLiteral("[0][15]"));
        settings.setText(keys::NAME_STOYANKA, QStringLiteral("unsaved"));
        CallsignLists lists(settings);
        lists.debtors.open();
        lists.debtors.add(QStringLiteral("9"));

        test::ScriptedOperator op;
        QVERIFY(lists.debtors.confirm(op, iniPath()));
        QCOMPARE(op.questions, QStringList{QStringLiteral("Зберегти додаткові настройки ?")});
        QCOMPARE(settings.text(keys::DODAT_DO_BORG), QStringLiteral("[9]"));
        QCOMPARE(settings.text(keys::DODAT_DO_POTOK), QStringLiteral("[3]"));
        QCOMPARE(fileValue(keys::DODAT_DO_BORG), std::optional<QString>(QStringLiteral("[9]")));
        QCOMPARE(fileValue(keys::DODAT_DO_POTOK), std::nullopt);
        QCOMPARE(fileValue(keys::NAME_STOYANKA), std::nullopt);
    }

    // On No the dialog stays open with its edits; the list and the file are untouched.
    void declinedConfirmationChangesNothing() {
        Settings settings;
        settings.setText(keys::DODAT_DO_BORG, QStringLiteral("[4]"));
        CallsignLists lists(settings);
        lists.debtors.open();
        lists.debtors.clear();
        test::ScriptedOperator op;
        op.answers = {false};
        QVERIFY(!lists.debtors.confirm(op, iniPath()));
        QVERIFY(lists.debtors.entries().isEmpty());
        QCOMPARE(settings.text(keys::DODAT_DO_BORG), QStringLiteral("[4]"));
        QVERIFY(!QFile::exists(iniPath()));
    }

    // The refusal limit lists a debtor at once without touching the file.
    void appendingListsAtOnce() {
        Settings settings;
        CallsignList debtors = CallsignList::debtors(settings);
        QVERIFY(!debtors.contains(15));
        debtors.append(15);
        QCOMPARE(settings.text(keys::DODAT_DO_BORG), QStringLiteral("[0][15]"));
        QVERIFY(debtors.contains(15));
        QVERIFY(!QFile::exists(iniPath()));
    }

    void aFailedSaveIsShown() {
        Settings settings;
        CallsignLists lists(settings);
        test::ScriptedOperator op;
        QVERIFY(lists.debtors.confirm(op, m_folder.filePath(QStringLiteral("missing/SETSERVER.INI"))));
        QCOMPARE(op.errors.size(), 1);
    }
};

QTEST_GUILESS_MAIN(CallsignListsTest)
#include "test_callsign_lists.moc"
