#include "app/service.h"
#include "core/db/db_error.h"
#include "core/db/query.h"
#include "core/db/transaction.h"
#include "net/port_slot.h"
#include "orders/stand_table_refresh.h"
#include "support/driver_session.h"

#include <QTest>

using namespace taxi;
using namespace taxi::test;

namespace {

const QByteArray kNewMessage = "<Action>InsertPersonalMsg</Action>@";
const QString kMessageJournal = QStringLiteral("Створення повідомлення для водія #0");

// A message of the office to a driver, as callsign and name.
struct Message {
    int callsign;
    QString name;
};

} // namespace

Q_DECLARE_METATYPE(QList<Message>)

// What the service does when the dispatchers' programs change their database: each reaction through the
// database's own events, with two drivers' terminals connected.
class EventReactionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DriverSession> m_session;
    FakeTerminal m_phone11;
    FakeTerminal m_phone12;
    QList<bool> m_flowReloads;

    ServiceFolder& folder() { return m_session->folder(); }
    QString nameOf(int callsign) { return folder().driver(callsign).name; }

    void showMenu(FakeTerminal& phone, const QByteArray& notice) {
        const qsizetype replies = phone.received().count('@');
        phone.send(notice + "@PZ7@");
        QVERIFY(phone.waitForReplies(int(replies) + 1));
    }

    // All the messages in one commit, so that their events reach the service as one delivery.
    void insertMessages(const QList<Message>& messages) {
        QStringList inputs;
        QStringList inserts;
        db::SqlParams params;
        for (int i = 0; i < messages.size(); ++i) {
            inputs.append(QStringLiteral("c%1 INTEGER = ?, f%1 VARCHAR(40) = ?").arg(i));
            inserts.append(
                QStringLiteral(
                    "INSERT INTO MSG_FOR_VODIY (MSG_FOR_VODIY_NP, MSG_FOR_VODIY_STATUS, MSG_FOR_VODIY_POZ, "
                    "MSG_FOR_VODIY_FIO, MSG_FOR_VODIY_TEXT) VALUES ((SELECT MAX(MSG_FOR_VODIY_NP) FROM "
                    "MSG_FOR_VODIY) + 1, 'A', :c%1, :f%1, 'Зайдіть у диспетчерську');")
                    .arg(i));
            params << messages.at(i).callsign << messages.at(i).name;
        }
        folder().dispatcherExecute({QStringLiteral("EXECUTE BLOCK (") + inputs.join(QStringLiteral(", ")) +
                                    QStringLiteral(") AS BEGIN ") + inserts.join(QLatin1Char(' ')) +
                                    QStringLiteral(" END")},
                                   params);
    }

    // The order flow is not the subject here: its reloads are only counted.
    void recordFlowReloads() {
        Service& service = m_session->service();
        service.reactions.setHooks({
            .refreshStands = [&service] { SPISOK_STOYANOK(service.services); },
            .reloadOrderFlow = [this](bool tellFlowViewers) { m_flowReloads.append(tellFlowViewers); },
        });
    }

    int notices(FakeTerminal& phone) { return int(phone.received().count(kNewMessage)); }
    int messageEntries(int callsign) { return int(m_session->journal(callsign).count(kMessageJournal)); }

private slots:
    void initTestCase() {
        m_session = std::make_unique<DriverSession>();
        QVERIFY(m_session->start(
            QMap<QString, QString>{{QStringLiteral("GPRS_TAXI/NAME_STOYANKA"), QStringLiteral("СТОЯНКА")}}));
        QVERIFY(m_session->bind(m_phone11, 11));
        QVERIFY(m_session->bind(m_phone12, 12));
        showMenu(m_phone12, "@MENUMAIN@");
        recordFlowReloads();
    }
    void cleanupTestCase() { m_session.reset(); }

    void personalMessageNotice_data() {
        QTest::addColumn<QList<Message>>("messages");
        QTest::addColumn<QByteArray>("menuOf11");
        QTest::addColumn<int>("noticesTo11");
        QTest::addColumn<int>("entriesOf11");
        QTest::addColumn<int>("entriesOf12");
        const QString name11 = QStringLiteral("Коваленко Петро Іванович");
        const QString name12 = QStringLiteral("Шевчук Андрій Миколайович");
        QTest::newRow("to a driver on the main screen")
            << QList<Message>{{11, name11}} << QByteArray("@MENUMAIN@") << 1 << 1 << 0;
        QTest::newRow("to a driver on another screen")
            << QList<Message>{{11, name11}} << QByteArray("@MENUPOTIK@") << 0 << 1 << 0;
        QTest::newRow("to another driver of the same callsign")
            << QList<Message>{{11, QStringLiteral("Лисенко Віктор Григорович")}} << QByteArray("@MENUMAIN@")
            << 0 << 0 << 0;
        QTest::newRow("to nobody") << QList<Message>{{0, name11}} << QByteArray("@MENUMAIN@") << 0 << 0 << 0;
        // The alert names no message: only the newest is announced.
        QTest::newRow("two at once") << QList<Message>{{12, name12}, {11, name11}} << QByteArray("@MENUMAIN@")
                                     << 1 << 1 << 0;
    }
    void personalMessageNotice() {
        QFETCH(QList<Message>, messages);
        QFETCH(QByteArray, menuOf11);
        QFETCH(int, noticesTo11);
        QFETCH(int, entriesOf11);
        QFETCH(int, entriesOf12);
        showMenu(m_phone11, menuOf11);
        const int noticesBefore11 = notices(m_phone11);
        const int noticesBefore12 = notices(m_phone12);
        const int entriesBefore11 = messageEntries(11);
        const int entriesBefore12 = messageEntries(12);

        insertMessages(messages);
        QTRY_COMPARE(notices(m_phone11) - noticesBefore11, noticesTo11);
        QTRY_COMPARE(messageEntries(11) - entriesBefore11, entriesOf11);
        // Whatever is still to come has come after a while.
        m_phone11.receivedAfterQuiet(500);
        QCOMPARE(notices(m_phone11) - noticesBefore11, noticesTo11);
        QCOMPARE(notices(m_phone12) - noticesBefore12, 0);
        QCOMPARE(messageEntries(11) - entriesBefore11, entriesOf11);
        QCOMPARE(messageEntries(12) - entriesBefore12, entriesOf12);
        QCOMPARE(m_session->op().errors, QStringList());
    }

    void orderChangesReloadTheFlow_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QList<bool>>("reloads");
        QTest::newRow("new order, its viewers told")
            << QStringLiteral(
                   "INSERT INTO ZAMOVLENNIA (ZAMOVL_NUMBER, ZAMOVL_POCHAT_PUNKT) VALUES (GEN_ID(GENIDZAMOVL, "
                   "1), 'Вокзал')")
            << QList<bool>{true};
        QTest::newRow("order changed, quietly")
            << QStringLiteral(
                   "UPDATE ZAMOVLENNIA SET ZAMOVL_PUNKT_PRIZHACH = 'Лікарня' WHERE ZAMOVL_NUMBER = 1045")
            << QList<bool>{false};
        QTest::newRow("order removed, quietly")
            << QStringLiteral("DELETE FROM ZAMOVLENNIA WHERE ZAMOVL_NUMBER = 1046") << QList<bool>{false};
    }
    void orderChangesReloadTheFlow() {
        QFETCH(QString, statement);
        QFETCH(QList<bool>, reloads);
        m_flowReloads.clear();
        folder().dispatcherExecute({statement});
        QTRY_COMPARE(m_flowReloads, reloads);
        m_phone11.receivedAfterQuiet(500);
        QCOMPARE(m_flowReloads, reloads);
    }

    void driversOnTheAirRebuildTheStandTable() {
        folder().dispatcherExecute(
            {QStringLiteral("INSERT INTO ZADIANI_AVTO (ZAD_AVTO_POZIVNIY, ZAD_AVTO_VULICA, "
                            "ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_ZADIANIST) VALUES (15, 'Автостанція', "
                            "'0001', 0)")});
        QTRY_VERIFY(m_session->service().stands.entries().contains(QStringLiteral("[1]Автостанція {15}")));
    }

    // Nobody waits for a reaction: its failure is not shown, and the next event of the kind is handled.
    void aFailedReactionIsSilent() {
        Service& service = m_session->service();
        service.reactions.setHooks({
            .refreshStands = {},
            .reloadOrderFlow =
                [this](bool tellFlowViewers) {
                    m_flowReloads.append(tellFlowViewers);
                    throw db::DbError(QStringLiteral("lock conflict on no wait transaction"));
                },
        });
        m_flowReloads.clear();
        const QString change = QStringLiteral(
            "UPDATE ZAMOVLENNIA SET ZAMOVL_SUMA_ROZRAHUNK = ZAMOVL_SUMA_ROZRAHUNK + 1 WHERE ZAMOVL_NUMBER = "
            "1045");
        folder().dispatcherExecute({change});
        QTRY_COMPARE(m_flowReloads.size(), 1);
        folder().dispatcherExecute({change});
        QTRY_COMPARE(m_flowReloads.size(), 2);
        QCOMPARE(m_session->op().errors, QStringList());
        recordFlowReloads();
    }

    void changedConnectionRecordsAreReadAgain() {
        DataModule& data = m_session->service().data;
        const int records = data.connectionRecords().size();
        // The service works in the session's folder, where TAXI_GPRS.FDB is.
        db::Attachment settingsDatabase;
        settingsDatabase.attach(DataModule::kSettingsDatabaseFile, folder().credentials());
        db::Transaction transaction(settingsDatabase);
        db::Query(transaction)
            .execute({QStringLiteral(
                "INSERT INTO GPRS_SET_KLIENT VALUES (16, 'Кравчук Богдан Олександрович', 39016, "
                "'неактивний', '2222')")});
        transaction.commitIfActive();
        QTRY_COMPARE(data.connectionRecords().size(), records + 1);
        settingsDatabase.detach();
    }

    // Opening the database again registers its events again: the dispatchers are still heard.
    void reconnectedDatabaseIsHeardAgain() {
        Service& service = m_session->service();
        service.runAction([&] { service.data.OPEN_BAZA_TAXI(); });
        showMenu(m_phone11, "@MENUMAIN@");
        const int before = notices(m_phone11);
        insertMessages({{11, nameOf(11)}});
        QTRY_COMPARE(notices(m_phone11), before + 1);
    }
};

QTEST_GUILESS_MAIN(EventReactionsTest)
#include "test_event_reactions.moc"
