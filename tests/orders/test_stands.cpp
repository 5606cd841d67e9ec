#include "app/service.h"
#include "net/listener.h"
#include "support/driver_session.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const QString kStand = QStringLiteral("СТОЯНКА");
const QByteArray kUpdateParking = "<Action>UpdateParking</Action>@";

QByteArray standTableReply(const QStringList& entries, const QString& maxStands) {
    QByteArray reply = "<DataOnParking><Kil>" + QByteArray::number(entries.size()) + "</Kil>";
    for (int i = 1; i <= entries.size(); ++i)
        reply += "<#" + QByteArray::number(i) + ">" + encoded(entries.at(i - 1)) + "</#" +
                 QByteArray::number(i) + ">";
    return reply + "<MaxKilSt>" + maxStands.toUtf8() + "</MaxKilSt></DataOnParking>@";
}

} // namespace

// The stand table and the registration at stands, through terminals and the demo city's database.
class StandsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;

    // The stand table as the demo city has it when the terminals ask: the pool, then the stands.
    [[nodiscard]] bool startWithDriversOnAir(const QList<OnAir>& rows, const IniLines& settings = {}) {
        m_session = std::make_unique<DriverSession>();
        for (const OnAir& row : rows)
            m_session->putOnAir(row);
        return m_session->start(settings);
    }

    // Requests run in order: once the stand table comes back, everything sent before it has run.
    void sendAndWaitForTable(FakeTerminal& phone, const QByteArray& request) {
        const int before = int(phone.received().count('@'));
        phone.send(request + "@S@");
        QVERIFY(phone.waitForReplies(before + 1));
    }

private slots:
    void cleanup() { m_session.reset(); }

    void standTableIsSentAsBuiltAtStartUp_data() {
        QTest::addColumn<IniLines>("settings");
        QTest::addColumn<QList<OnAir>>("onAir");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("maxStands");
        QTest::addColumn<QStringList>("journal");

        QTest::newRow("no map point has the stand status")
            << IniLines{{QStringLiteral("SET_DYI_VODIY/MENU_STOYNKA"), QStringLiteral("0")}}
            << QList<OnAir>{{12, kStation, QStringLiteral("0001")}} << QStringList{kPool}
            << QStringLiteral("1") << QStringList{};
        QTest::newRow("free drivers queue at a stand")
            << IniLines{{QStringLiteral("GPRS_TAXI/NAME_STOYANKA"), kStand},
                        {QStringLiteral("GPRS_TAXI/MAX_CIL_POSTANOV_STOYANK"), QStringLiteral("3")},
                        {QStringLiteral("SET_DYI_VODIY/MENU_STOYNKA"), QStringLiteral("1")}}
            << QList<OnAir>{{12, kStation, QStringLiteral("0003")},
                            {7, kStation, QStringLiteral("0002"), 0, true},
                            {13, kHospital, QStringLiteral("0001"), 1044}, // busy: not in the queue
                            {14, kPool, QStringLiteral("0001")}}
            << QStringList{kPool, QStringLiteral("Автостанція"), QStringLiteral("[2]Вокзал {7+,12}"),
                           kHospital, QStringLiteral("Центральний ринок")}
            << QStringLiteral("3") << QStringList{QStringLiteral("Обновлення списка стоянок #0")};
    }
    void standTableIsSentAsBuiltAtStartUp() {
        QFETCH(IniLines, settings);
        QFETCH(QList<OnAir>, onAir);
        QFETCH(QStringList, entries);
        QFETCH(QString, maxStands);
        QFETCH(QStringList, journal);
        QVERIFY(startWithDriversOnAir(onAir, settings));
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 11));
        const QStringList journalBefore = m_session->journal(11);

        phone.send("@S@");
        QVERIFY(phone.waitForReplies(1));
        QCOMPARE(phone.receivedAfterQuiet(100), standTableReply(entries, maxStands));
        QVERIFY(m_session->logContains(QStringLiteral("Запит на стоянку водій № 11")));
        QCOMPARE(m_session->journal(11).mid(journalBefore.size()), journal);
    }

    void registration_data() {
        QTest::addColumn<QList<OnAir>>("before");
        QTest::addColumn<QByteArray>("selection");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("standName");
        QTest::addColumn<QString>("standPosition");

        // Table: 0 pool, 1 Автостанція, 2 Вокзал, 3 Лікарня, 4 Центральний ринок. Вокзал's queue ends at
        // 0004 and the pool's at 0002 before driver 11's own rows.
        const OnAir inPool{11, kPool, QStringLiteral("0001")};
        const OnAir atStation{11, kStation, QStringLiteral("0005")};
        const OnAir atHospital{11, kHospital, QStringLiteral("0001")};
        QTest::newRow("pool from two stands")
            << QList<OnAir>{atStation, atHospital} << QByteArray("<0>")
            << QStringList{QStringLiteral("[]{} 0003")} << kPool << QStringLiteral("0003");
        QTest::newRow("pool after another group")
            << QList<OnAir>{atStation, atHospital} << QByteArray("<1><0>")
            << QStringList{QStringLiteral("[]{} 0003")} << kPool << QStringLiteral("0003");
        QTest::newRow("staying put") << QList<OnAir>{atStation} << QByteArray("<2>")
                                     << QStringList{QStringLiteral("Вокзал 0005")} << kStation << QString();
        QTest::newRow("joining two stands from the pool")
            << QList<OnAir>{inPool} << QByteArray("<3><2>")
            << QStringList{QStringLiteral("Вокзал 0005"), QStringLiteral("Лікарня 0001")} << kStation
            << QStringLiteral("0005");
        QTest::newRow("leaving one of two")
            << QList<OnAir>{atStation, atHospital} << QByteArray("<3>")
            << QStringList{QStringLiteral("Лікарня 0001")} << kHospital << QString();
        QTest::newRow("a stand named twice gives one place")
            << QList<OnAir>{inPool} << QByteArray("<3><3>") << QStringList{QStringLiteral("Лікарня 0001")}
            << kHospital << QStringLiteral("0001");
        QTest::newRow("holding an order")
            << QList<OnAir>{{11, kStation, QStringLiteral("0005"), 1044}} << QByteArray("<3>")
            << QStringList{QStringLiteral("Вокзал 0005")} << QString() << QString();
    }
    void registration() {
        QFETCH(QList<OnAir>, before);
        QFETCH(QByteArray, selection);
        QFETCH(QStringList, after);
        QFETCH(QString, standName);
        QFETCH(QString, standPosition);
        QList<OnAir> onAir{{12, kStation, QStringLiteral("0004")}, {13, kPool, QStringLiteral("0002")}};
        onAir.append(before);
        QVERIFY(startWithDriversOnAir(onAir,
                                      {{QStringLiteral("GPRS_TAXI/NAME_STOYANKA"), kStand},
                                       {QStringLiteral("SET_DYI_VODIY/MENU_STOYNKA"), QStringLiteral("0")}}));
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 11));
        const QStringList journalBefore = m_session->journal(11);

        sendAndWaitForTable(phone, "@inSTOYNKA[" + selection + "]@");
        QCOMPARE(m_session->rowsOf(11), after);
        QCOMPARE(m_session->slotOf(11).standName, standName);
        QCOMPARE(m_session->slotOf(11).standPosition, standPosition);
        QVERIFY(m_session->op().errors.isEmpty());
        // Every row that is left is reported, and the new ones carry the driver's car along.
        QStringList reported;
        for (const QString& row : after) {
            const QString stand = row.section(QLatin1Char(' '), 0, -2);
            reported.append(QStringLiteral("Зміна стоянки на [%1] #0").arg(stand));
            QVERIFY(m_session->logContains(
                QStringLiteral("Реєстрація на стоянці  [%1]   водія  № 11").arg(stand)));
        }
        QStringList journal = m_session->journal(11).mid(journalBefore.size());
        journal.sort();
        QCOMPARE(journal, reported);
        QCOMPARE(
            m_session->folder().dispatcherNumber(
                QStringLiteral("SELECT COUNT(*) FROM ZADIANI_AVTO WHERE ZAD_AVTO_POZIVNIY = 11 AND "
                               "ZAD_AVTO_MARKA_AVTO = '{GPRS}Деу Ланос' AND ZAD_AVTO_KIL_PASAGHIR = 4 AND "
                               "ZAD_AVTO_VAGA = 400 AND ZAD_AVTO_FIO_VODIY = ?"),
                {m_session->folder().driver(11).name}),
            after.size());
        // Other drivers keep their places.
        QCOMPARE(m_session->rowsOf(12), QStringList{QStringLiteral("Вокзал 0004")});
    }

    void badRegistrationsWriteNothingAndServiceGoesOn_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("index beyond the table") << QByteArray("@inSTOYNKA[<9>]@");
        QTest::newRow("negative index") << QByteArray("@inSTOYNKA[<-1>]@");
        QTest::newRow("index not a number") << QByteArray("@inSTOYNKA[<x>]@");
        QTest::newRow("good group before a bad one") << QByteArray("@inSTOYNKA[<3><abc>]@");
        QTest::newRow("no group") << QByteArray("@inSTOYNKA[]@");
        QTest::newRow("no closing bracket") << QByteArray("@inSTOYNKA[<3>@");
    }
    void badRegistrationsWriteNothingAndServiceGoesOn() {
        QFETCH(QByteArray, request);
        QVERIFY(startWithDriversOnAir(
            {{11, kStation, QStringLiteral("0005")}, {12, kPool, QStringLiteral("0001")}},
            {{QStringLiteral("GPRS_TAXI/NAME_STOYANKA"), kStand}}));
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 11));
        FakeTerminal other;
        QVERIFY(m_session->bind(other, 12));

        // A failed request ends the read it came in; the terminal's next one is served.
        phone.send(request);
        QTRY_COMPARE(m_session->op().errors.size(), 1);
        sendAndWaitForTable(phone, QByteArray());
        QCOMPARE(m_session->rowsOf(11), QStringList{QStringLiteral("Вокзал 0005")});
        QCOMPARE(m_session->slotOf(11).standName, kStation);
        sendAndWaitForTable(other, "@inSTOYNKA[<2>]@");
        QCOMPARE(m_session->rowsOf(12), QStringList{QStringLiteral("Вокзал 0006")});
        QCOMPARE(m_session->op().errors.size(), 1);

        // The main port answers none of these.
        FakeTerminal main;
        QVERIFY(main.connectTo(m_session->folder().mainPort()));
        main.send("@S@@PZ7@@MENUMAIN@@inSTOYNKA[<0>]@");
        QCOMPARE(main.receivedAfterQuiet(), QByteArray());
        QCOMPARE(m_session->rowsOf(12), QStringList{QStringLiteral("Вокзал 0006")});
    }

    void driverOffTheAirTakesNoStand() {
        QVERIFY(startWithDriversOnAir({{11, kStation, QStringLiteral("0005")}},
                                      {{QStringLiteral("GPRS_TAXI/NAME_STOYANKA"), kStand}}));
        FakeTerminal phone;
        QVERIFY(m_session->bind(phone, 11));
        phone.send("@EXIT@");
        QTRY_COMPARE(m_session->rowsOf(11), QStringList{});

        // Without a row there is no car to put at the stand.
        phone.send("@inSTOYNKA[<3>]@");
        QTRY_COMPARE(m_session->op().errors.size(), 1);
        QCOMPARE(m_session->rowsOf(11), QStringList{});
    }

    void queueChangeIsPushedOnlyToDriversOnTheMainScreenAtThatStand() {
        QVERIFY(startWithDriversOnAir({{11, kStation, QStringLiteral("0001")},
                                       {12, kStation, QStringLiteral("0002")},
                                       {13, kHospital, QStringLiteral("0001")},
                                       {14, kPool, QStringLiteral("0001")},
                                       {15, kStation, QStringLiteral("0003")},
                                       {16, kStation, QStringLiteral("0004")}},
                                      {{QStringLiteral("GPRS_TAXI/NAME_STOYANKA"), kStand}}));
        const QList<std::pair<int, QByteArray>> menus{{11, "@MENUMAIN@"}, {12, "@MENUSTOYANKI@"},
                                                      {13, "@MENUMAIN@"}, {14, "@MENUMAIN@"},
                                                      {15, QByteArray()}, {16, "@MENUMAIN@"}};
        std::map<int, FakeTerminal> phones;
        for (const auto& [callsign, menu] : menus) {
            QVERIFY(m_session->bind(phones[callsign], callsign));
            sendAndWaitForTable(phones[callsign], menu);
        }
        // A port that no longer listens belongs to a driver who has to log in again.
        m_session->listenerOf(16).stopListening();
        std::map<int, qsizetype> seen;
        for (auto& [callsign, phone] : phones)
            seen[callsign] = phone.received().size();
        // What each terminal got since the last look; terminals that got nothing are left out.
        const auto pushes = [&] {
            phones.begin()->second.receivedAfterQuiet(); // time for the bytes to arrive everywhere
            QMap<int, QByteArray> pushed;
            for (auto& [callsign, phone] : phones) {
                const QByteArray received = phone.received();
                if (received.size() > seen[callsign])
                    pushed[callsign] = received.mid(seen[callsign]);
                seen[callsign] = received.size();
            }
            return pushed;
        };

        // Вокзал's queue grows and the pool's too; Лікарня stays as it was.
        m_session->folder().dispatcherExecute({QStringLiteral(
            "INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL) VALUES (7, "
            "'Вокзал', '0009')")});
        m_session->folder().dispatcherExecute({QStringLiteral(
            "INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL) VALUES (8, "
            "'[]{}', '0002')")});
        m_session->refreshStands();
        QCOMPARE(pushes(), (QMap<int, QByteArray>{{11, kUpdateParking}}));
        m_session->refreshStands(); // nothing changed since
        QCOMPARE(pushes(), (QMap<int, QByteArray>{}));
    }
};

QTEST_GUILESS_MAIN(StandsTest)
#include "test_stands.moc"
