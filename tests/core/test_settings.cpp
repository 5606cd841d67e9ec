#include "app/service.h"
#include "core/settings.h"
#include "core/text_codec.h"
#include "support/scripted_operator.h"
#include "support/working_folder.h"

#include <QDir>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace taxi;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The file's lines, each with its own line end.
QList<QByteArray> splitLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        lines.append(bytes.mid(start, end - start));
        start = end;
    }
    return lines;
}

// Lines naming the key, however it is spelled.
qsizetype countKeyLines(const QList<QByteArray>& lines, const QString& key) {
    qsizetype count = 0;
    for (const QByteArray& line : lines) {
        const QByteArray name = line.left(line.indexOf('=')).trimmed();
        if (line.contains('=') && QString::fromLatin1(name).compare(key, Qt::CaseInsensitive) == 0)
            ++count;
    }
    return count;
}

bool isSubsequence(const QList<QByteArray>& part, const QList<QByteArray>& whole) {
    qsizetype next = 0;
    for (const QByteArray& line : whole) {
        if (next < part.size() && line == part[next])
            ++next;
    }
    return next == part.size();
}

// Keys the settings page never writes: the database location and login, and the flow-lists dialog's lists.
const QStringList kNeverSaved{keys::PATH_BAZA, keys::NAME_BAZA,      keys::SERVER,       keys::LOGIN,
                              keys::PASS,      keys::DODAT_DO_POTOK, keys::DODAT_DO_BORG};

} // namespace

// A save that failed shows why.
#define VERIFY_SAVED(call)                                                                                   \
    do {                                                                                                     \
        const std::optional<QString> error = (call);                                                         \
        QVERIFY2(!error, qPrintable(error.value_or(QString())));                                             \
    } while (false)

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(m_folder.isValid());
        m_path = m_folder.filePath(QStringLiteral("SETSERVER%1.INI").arg(++m_counter));
    }

    void missingFileGivesEveryDefault() {
        Settings settings;
        settings.setText(keys::PORT_SERVER, QStringLiteral("5050"));
        settings.setOn(keys::LIST_READ_ONLY, false);
        settings.setOn(keys::PIDSADKA, true);
        settings.load(m_path);

        QCOMPARE(settings.text(keys::PORT_SERVER), QStringLiteral("0"));
        QCOMPARE(settings.number(keys::PORT_SERVER).value_or(-1), 0);
        QCOMPARE(settings.text(keys::CHAS_POPERED_ZAM), QStringLiteral("20"));
        QCOMPARE(settings.text(keys::MAX_KIL_VIDMOV), QStringLiteral("10"));
        QCOMPARE(settings.text(keys::YUVILEYKA_VIKLIK), QStringLiteral("7"));
        QCOMPARE(settings.text(keys::DODAT_DO_POTOK), QStringLiteral("[0]"));
        QCOMPARE(settings.text(keys::DODAT_DO_BORG), QStringLiteral("[0]"));
        QCOMPARE(settings.text(keys::PATH_BAZA), QString());

        const QStringList offInJournal{keys::VHID_V_SYSTEM, keys::VIHID_Z_SYSTEM, keys::PIDSADKA};
        for (const SettingDefinition& definition : settingDefinitions()) {
            if (definition.kind != SettingKind::Switch)
                continue;
            const bool expected =
                definition.key == keys::LIST_READ_ONLY ||
                (definition.section == sections::SET_DYI_VODIY && !offInJournal.contains(definition.key));
            QVERIFY2(settings.isOn(definition.key) == expected, qPrintable(definition.key));
            QCOMPARE(settings.text(definition.key), expected ? QStringLiteral("1") : QStringLiteral("0"));
        }
    }

    void switchFromFile_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("offByDefault"); // POKAZ_YUVILEYKA
        QTest::addColumn<bool>("onByDefault");  // LIST_READ_ONLY

        QTest::newRow("one") << QByteArray("1") << true << true;
        QTest::newRow("any non-zero") << QByteArray("2") << true << true;
        QTest::newRow("negative") << QByteArray("-1") << true << true;
        QTest::newRow("hexadecimal") << QByteArray("0x1F") << true << true;
        QTest::newRow("zero") << QByteArray("0") << false << false;
        QTest::newRow("hexadecimal zero") << QByteArray("0x0") << false << false;
        QTest::newRow("blanks around") << QByteArray("  0  ") << false << false;
        QTest::newRow("not an integer") << QByteArray("abc") << false << true;
        QTest::newRow("empty") << QByteArray("") << false << true;
        QTest::newRow("fraction") << QByteArray("1.5") << false << true;
        QTest::newRow("prefix only") << QByteArray("0x") << false << true;
    }

    void switchFromFile() {
        QFETCH(QByteArray, value);
        QFETCH(bool, offByDefault);
        QFETCH(bool, onByDefault);
        writeFile(m_path, "[GPRS_TAXI]\r\nPOKAZ_YUVILEYKA=" + value +
                              "\r\n[SET_POTOK]\r\nLIST_READ_ONLY=" + value + "\r\n");
        Settings settings;
        settings.load(m_path);
        QCOMPARE(settings.isOn(keys::POKAZ_YUVILEYKA), offByDefault);
        QCOMPARE(settings.isOn(keys::LIST_READ_ONLY), onByDefault);
    }

    void textFromFile_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");

        QTest::newRow("as it stands") << QStringLiteral("СТОЯНКА") << QStringLiteral("СТОЯНКА");
        QTest::newRow("blanks around")
            << QStringLiteral("  ТОЧКА  ЗБОРУ  ") << QStringLiteral("ТОЧКА  ЗБОРУ");
        QTest::newRow("quoted") << QStringLiteral("\" quoted \"") << QStringLiteral(" quoted ");
        QTest::newRow("equals sign inside") << QStringLiteral("a=b") << QStringLiteral("a=b");
        QTest::newRow("longest read") << QString(3000, QLatin1Char('x')) << QString(2047, QLatin1Char('x'));
    }

    void textFromFile() {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        writeFile(m_path,
                  toWin1251(QStringLiteral("[GPRS_TAXI]\r\nNAME_STOYANKA=") + line + QStringLiteral("\r\n")));
        Settings settings;
        settings.load(m_path);
        QCOMPARE(settings.text(keys::NAME_STOYANKA), expected);
    }

    void numberIsReadWhereUsed_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");

        QTest::newRow("decimal") << QStringLiteral("5050") << true << 5050;
        QTest::newRow("blanks around") << QStringLiteral(" 7 ") << true << 7;
        QTest::newRow("negative") << QStringLiteral("-5") << true << -5;
        QTest::newRow("letters") << QStringLiteral("abc") << false << 0;
        QTest::newRow("trailing letters") << QStringLiteral("12abc") << false << 0;
        QTest::newRow("empty") << QString() << false << 0;
        QTest::newRow("beyond 32 bits") << QStringLiteral("2147483648") << false << 0;
    }

    void numberIsReadWhereUsed() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        writeFile(m_path, "[GPRS_TAXI]\r\nPORT_SERVER=" + toWin1251(text) + "\r\n");
        Settings settings;
        settings.load(m_path);
        QCOMPARE(settings.text(keys::PORT_SERVER), text.trimmed());
        QCOMPARE(settings.number(keys::PORT_SERVER).has_value(), valid);
        if (valid)
            QCOMPARE(*settings.number(keys::PORT_SERVER), value);
    }

    void cyrillicRoundTripsThroughTheFile() {
        const QByteArray stand = toWin1251(QStringLiteral("NAME_STOYANKA=СТОЯНКА\r\n"));
        writeFile(m_path, "[GPRS_TAXI]\r\n" + stand);
        Settings settings;
        settings.load(m_path);
        QCOMPARE(settings.text(keys::NAME_STOYANKA), QStringLiteral("СТОЯНКА"));

        const QString name = QStringLiteral("Київстар ґ є ї");
        settings.setText(keys::NAME_ZEDNANNYA, name);
        VERIFY_SAVED(settings.save(m_path));

        const QByteArray bytes = readFile(m_path);
        QVERIFY(bytes.contains(stand));
        QVERIFY(bytes.contains(toWin1251(QStringLiteral("NAME_ZEDNANNYA=") + name + QStringLiteral("\r\n"))));
        Settings reread;
        reread.load(m_path);
        QCOMPARE(reread.text(keys::NAME_ZEDNANNYA), name);
    }

    void saveKeepsEveryForeignLine() {
        const QList<QByteArray> input{
            "; SETSERVER.INI of the dispatch complex\r\n",
            "[SHLYAH_BAZA]\r\n",
            "PATH_BAZA=C:\\TAXI\\BASE\\\r\n",
            "NAME_BAZA = TAXI.GDB\r\n",
            "SERVER=192.168.0.1:\r\n",
            "\r\n",
            "[SET_SERV]\r\n",
            "LOGIN=SYSDBA\r\n",
            "PASS=masterkey\r\n",
            "\r\n",
            "[GPRS_TAXI]\r\n",
            "port_server = 5050\r\n",
            "; the lists belong to the flow-lists dialog\r\n",
            "DODAT_DO_POTOK=[12][15]\r\n",
            "dodat_do_borg = [7]\n",
            "UNKNOWN_KEY=keep me\r\n",
            "\r\n",
            "[ZVIT]\r\n",
            "DAY=5\r\n",
            "[SET_POTOK]\r\n",
            "[SET_INET]\r\n",
            toWin1251(QStringLiteral("NAME_ZEDNANNYA=Київстар\r\n")),
            "[SET_DYI_VODIY]\r\n",
            "PIDSADKA=1\r\n",
            "; no line end after this comment",
        };
        writeFile(m_path, input.join());
        Settings settings;
        settings.load(m_path);
        settings.setText(keys::PORT_SERVER, QStringLiteral("6060"));
        settings.setText(keys::PATH_BAZA, QStringLiteral("D:\\ELSEWHERE\\"));
        settings.setText(keys::DODAT_DO_POTOK, QStringLiteral("[99]"));
        VERIFY_SAVED(settings.save(m_path));

        const QList<QByteArray> output = splitLines(readFile(m_path));
        QList<QByteArray> foreign = input;
        foreign.removeOne("port_server = 5050\r\n");
        QVERIFY(isSubsequence(foreign, output));
        QVERIFY(output.endsWith("; no line end after this comment"));

        // Rewritten in place; the keys the file lacked go after the section's last key.
        QCOMPARE(output[input.indexOf("port_server = 5050\r\n")], QByteArray("PORT_SERVER=6060\r\n"));
        QCOMPARE(output[output.indexOf("UNKNOWN_KEY=keep me\r\n") + 1], QByteArray("CHAS_ZN_SEK=0\r\n"));
        QCOMPARE(output[output.indexOf("[SET_POTOK]\r\n") + 1], QByteArray("OPEN_U_POTIK_YUVILEY=0\r\n"));
        QCOMPARE(output.count("[GPRS_TAXI]\r\n") + output.count("[SET_POTOK]\r\n"), 2);
        // Every key once: the ones the page saves added or rewritten, the others left as they were.
        for (const SettingDefinition& definition : settingDefinitions())
            QVERIFY2(countKeyLines(output, definition.key) == 1, qPrintable(definition.key));
    }

    void freshFileHoldsSavedKeysSectionBySection() {
        Settings settings;
        settings.setOn(keys::PIDSADKA, true);
        settings.setOn(keys::LIST_READ_ONLY, false);
        settings.setText(keys::PATH_BAZA, QStringLiteral("C:\\TAXI\\"));
        settings.setText(keys::DODAT_DO_BORG, QStringLiteral("[7]"));
        VERIFY_SAVED(settings.save(m_path));

        const QList<QByteArray> output = splitLines(readFile(m_path));
        QList<QByteArray> expected;
        for (const QString& section :
             {sections::GPRS_TAXI, sections::SET_POTOK, sections::SET_INET, sections::SET_DYI_VODIY}) {
            expected.append("[" + section.toLatin1() + "]\r\n");
            for (const SettingDefinition& definition : settingDefinitions()) {
                if (definition.section == section && !kNeverSaved.contains(definition.key))
                    expected.append(
                        toWin1251(definition.key + QLatin1Char('=') + settings.text(definition.key)) +
                        "\r\n");
            }
        }
        QCOMPARE(output, expected);
        QVERIFY(output.contains("PIDSADKA=1\r\n"));
        QVERIFY(output.contains("LIST_READ_ONLY=0\r\n"));
        QVERIFY(output.contains("ZAM_PRIYNATTYA=1\r\n"));
    }

    void namesMatchWithoutCase() {
        writeFile(m_path,
                  "[gprs_Taxi]\r\nPort_Server=7000\r\n[ set_potok ]\r\nlist_read_only=0\r\nFOREIGN=x");
        Settings settings;
        settings.load(m_path);
        QCOMPARE(settings.text(keys::PORT_SERVER), QStringLiteral("7000"));
        QVERIFY(!settings.isOn(keys::LIST_READ_ONLY));

        VERIFY_SAVED(settings.save(m_path));
        const QList<QByteArray> output = splitLines(readFile(m_path));
        QCOMPARE(output.mid(0, 2), (QList<QByteArray>{"[gprs_Taxi]\r\n", "PORT_SERVER=7000\r\n"}));
        QCOMPARE(output.count("[ set_potok ]\r\n"), 1);
        QCOMPARE(output.count("LIST_READ_ONLY=0\r\n"), 1);
        // The file's last line gains the line end it lacked when keys follow it.
        QCOMPARE(output.count("FOREIGN=x\r\n"), 1);
        QVERIFY(output.indexOf("[SET_INET]\r\n") < output.indexOf("[SET_DYI_VODIY]\r\n"));
        for (const QByteArray& line : output)
            QVERIFY2(line.endsWith("\r\n"), line.constData());
    }

    void changeIsSeenAndSignalled() {
        Settings settings;
        QSignalSpy changed(&settings, &Settings::changed);

        settings.setText(keys::PORT_SERVER, QStringLiteral("5050"));
        settings.setText(keys::PORT_SERVER, QStringLiteral("5050"));
        settings.setOn(keys::LIST_READ_ONLY, false);
        settings.setOn(keys::LIST_READ_ONLY, false);
        QCOMPARE(settings.number(keys::PORT_SERVER).value_or(-1), 5050);
        QVERIFY(!settings.isOn(keys::LIST_READ_ONLY));
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed[0][0].toString(), keys::PORT_SERVER);
        QCOMPARE(changed[1][0].toString(), keys::LIST_READ_ONLY);

        // Loading tells the page about the keys whose value it changed, and only those.
        writeFile(m_path, "[GPRS_TAXI]\r\nPORT_SERVER=5050\r\nCHAS_ZN_SEK=30\r\n");
        changed.clear();
        settings.load(m_path);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed[0][0].toString(), keys::CHAS_ZN_SEK);
        QCOMPARE(changed[1][0].toString(), keys::LIST_READ_ONLY);
    }

    void saveKeysWritesOnlyThoseKeys() {
        writeFile(m_path, "[GPRS_TAXI]\r\nDODAT_DO_POTOK=[1]\r\n");
        Settings settings;
        settings.load(m_path);
        settings.setText(keys::DODAT_DO_POTOK, QStringLiteral("[1][2]"));
        settings.setText(keys::DODAT_DO_BORG, QStringLiteral("[9]"));
        settings.setText(keys::PORT_SERVER, QStringLiteral("5050"));

        VERIFY_SAVED(
            settings.saveKeys(m_path, sections::GPRS_TAXI, {keys::DODAT_DO_POTOK, keys::DODAT_DO_BORG}));
        QCOMPARE(readFile(m_path),
                 QByteArray("[GPRS_TAXI]\r\nDODAT_DO_POTOK=[1][2]\r\nDODAT_DO_BORG=[9]\r\n"));
    }

    void saveReportsFailure() {
        // A path below a regular file cannot be created, not even by root.
        writeFile(m_path, "[GPRS_TAXI]\r\n");
        const std::optional<QString> error = Settings().save(m_path + QStringLiteral("/SETSERVER.INI"));
        QVERIFY(error.has_value());
        QVERIFY2(error->contains(QStringLiteral("SETSERVER.INI")), qPrintable(*error));
    }

    void saveButtonAsksBeforeWriting() {
        const test::WorkingFolder inFolder(m_folder.path());
        QFile::remove(QStringLiteral("SETSERVER.INI"));
        test::ScriptedOperator op;
        op.answers = {false, true};
        Service service(op);
        service.settings.setText(keys::PORT_SERVER, QStringLiteral("30000"));
        service.saveSettings();
        QCOMPARE(op.questions, QStringList{QStringLiteral("Зберегти настройки ?")});
        QVERIFY(!QFile::exists(QStringLiteral("SETSERVER.INI")));
        service.saveSettings();
        Settings saved;
        saved.load(QStringLiteral("SETSERVER.INI"));
        QCOMPARE(saved.text(keys::PORT_SERVER), QStringLiteral("30000"));
        QVERIFY(op.errors.isEmpty());
    }

private:
    QTemporaryDir m_folder;
    QString m_path;
    int m_counter = 0;
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "test_settings.moc"
