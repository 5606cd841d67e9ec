#include "core/db/attachment.h"
#include "core/db/db_error.h"
#include "core/db/event_listener.h"
#include "core/db/query.h"
#include "core/db/transaction.h"
#include "support/loopback_proxy.h"
#include "support/test_databases.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace taxi;
using namespace taxi::db;

namespace {

QString createStatement(const QString& name, const Credentials& credentials) {
    return QStringLiteral(
               "CREATE DATABASE '%1' USER '%2' PASSWORD '%3' PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1251")
        .arg(name, credentials.user, credentials.password);
}

} // namespace

class FirebirdLayerTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(m_folder.isValid());
        m_db.statements().setCapacity(StatementCache::kDefaultCapacity);
        m_path = m_folder.filePath(QStringLiteral("layer%1.fdb").arg(++m_counter));
        m_db.create(m_path, createStatement(m_path, test::embeddedCredentials()),
                    test::embeddedCredentials());
        Transaction ddl(m_db);
        Query(ddl).execute(
            {QStringLiteral("CREATE TABLE T (ID INTEGER, NAME VARCHAR(40), NOTE VARCHAR(20), "),
             QStringLiteral(" WHEN_D DATE, WHEN_T TIME, WHEN_TS TIMESTAMP, AMOUNT NUMERIC(15,2), "),
             QStringLiteral(" CODE CHAR(6), MEMO BLOB SUB_TYPE TEXT)")});
    }

    void cleanup() { m_db.detach(); }

    void textAndNullRoundTripThroughParameters_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("cyrillic") << QStringLiteral("Петренко Іван Їжакович");
        QTest::newRow("quotes") << QStringLiteral("O'Brien'); DELETE FROM T; --");
        QTest::newRow("empty") << QString();
    }
    void textAndNullRoundTripThroughParameters() {
        QFETCH(QString, name);
        Transaction transaction(m_db);
        Query query(transaction);
        query.execute({QStringLiteral("INSERT INTO T (ID, NAME, NOTE) VALUES (?, ?, ?)")},
                      {1, name, nullptr});
        query.execute({QStringLiteral("INSERT INTO T (ID, NAME) VALUES (?, ?)")},
                      {2, QStringLiteral("other")});
        const ResultSet rows = query.select(
            {QStringLiteral("SELECT ID, NAME, NOTE FROM T"), QStringLiteral("WHERE NAME = ?")}, {name});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first()[QStringLiteral("ID")].toInt(), 1);
        QCOMPARE(rows.first()[QStringLiteral("name")].toText(), name);
        QVERIFY(rows.first()[QStringLiteral("NOTE")].isNull());
        QCOMPARE(rows.first()[QStringLiteral("NOTE")].toText(), QString());
        QCOMPARE(query.select({QStringLiteral("SELECT COUNT(*) FROM T")}).first().at(0).toInt(), 2);
    }

    void valuesReadAsTextAndNumbers() {
        Transaction transaction(m_db);
        Query query(transaction);
        query.execute({QStringLiteral("INSERT INTO T (ID, NAME, WHEN_D, WHEN_T, WHEN_TS, AMOUNT, CODE, MEMO) "
                                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")},
                      {7, QStringLiteral(" 0042 "), QStringLiteral("05.03.2010"), QStringLiteral("09:07:05"),
                       QDateTime(QDate(2010, 3, 5), QTime(9, 7, 5)), QStringLiteral("12.5"),
                       QStringLiteral("ab"), QStringLiteral("довгий текст")});
        const Row row = query.select({QStringLiteral("SELECT * FROM T")}).first();
        QCOMPARE(row[QStringLiteral("WHEN_D")].toText(), QStringLiteral("05.03.2010"));
        QCOMPARE(row[QStringLiteral("WHEN_T")].toText(), QStringLiteral("09:07:05"));
        QCOMPARE(row[QStringLiteral("WHEN_TS")].toText(), QStringLiteral("05.03.2010 09:07:05"));
        QCOMPARE(row[QStringLiteral("AMOUNT")].toText(), QStringLiteral("12.50"));
        QCOMPARE(row[QStringLiteral("CODE")].toText(), QStringLiteral("ab")); // CHAR padding dropped
        QCOMPARE(row[QStringLiteral("MEMO")].toText(), QStringLiteral("довгий текст"));
        QCOMPARE(row[QStringLiteral("NAME")].toInt(), 42);
        QCOMPARE(row[QStringLiteral("ID")].toText(), QStringLiteral("7"));
        QVERIFY_THROWS_EXCEPTION(DbError, row[QStringLiteral("CODE")].toInt());
        QVERIFY_THROWS_EXCEPTION(DbError, row[QStringLiteral("NO_SUCH_COLUMN")]);
    }

    void quotedValueNeverChangesTheStatement() {
        Transaction transaction(m_db);
        Query query(transaction);
        query.execute({QStringLiteral("INSERT INTO T (ID, NAME) VALUES (1, 'keep')")});
        const QString attack = QStringLiteral("x' OR '1'='1");
        QVERIFY(query.select({QStringLiteral("SELECT * FROM T WHERE NAME = ?")}, {attack}).isEmpty());
        query.execute({QStringLiteral("UPDATE T SET NOTE = 'hit' WHERE NAME = ?")}, {attack});
        const ResultSet rows = query.select({QStringLiteral("SELECT NAME, NOTE FROM T")});
        QCOMPARE(rows.size(), 1);
        QVERIFY(rows.first()[QStringLiteral("NOTE")].isNull());
        // A number parameter that is not a number is refused by the server, not spliced.
        QVERIFY_THROWS_EXCEPTION(DbError, query.execute({QStringLiteral("DELETE FROM T WHERE ID = ?")},
                                                        {QStringLiteral("1 OR 1=1")}));
    }

    // A text longer than the column it is compared with equals nothing there; one that was to be stored
    // is refused rather than cut.
    void overlongTextMatchesNothingAndIsNeverStored() {
        Transaction transaction(m_db);
        Query query(transaction);
        const QString fits(20, QLatin1Char('n'));
        query.execute({QStringLiteral("INSERT INTO T (ID, NOTE, CODE) VALUES (1, ?, 'abc')")}, {fits});
        const QString overlong = fits + QLatin1Char('n');
        QVERIFY(query.select({QStringLiteral("SELECT * FROM T WHERE NOTE = ?")}, {overlong}).isEmpty());
        QCOMPARE(
            query.select({QStringLiteral("SELECT ID FROM T WHERE NOTE = ?")}, {fits + QStringLiteral("   ")})
                .size(),
            1); // blanks at the end are no length
        QVERIFY(query
                    .select({QStringLiteral("SELECT * FROM T WHERE CODE = ?")},
                            {QString(40000, QLatin1Char('c'))})
                    .isEmpty());
        query.execute({QStringLiteral("DELETE FROM T WHERE NOTE = ?")}, {overlong});
        QVERIFY_THROWS_EXCEPTION(
            DbError, query.execute({QStringLiteral("UPDATE T SET NOTE = ? WHERE ID = 1")}, {overlong}));
        QVERIFY_THROWS_EXCEPTION(
            DbError, query.execute({QStringLiteral("INSERT INTO T (ID, NOTE) VALUES (2, ?)")}, {overlong}));
        const ResultSet rows = query.select({QStringLiteral("SELECT NOTE FROM T")});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().at(0).toText(), fits);
    }

    void transactionsSeeEachOthersWritesOnlyAfterCommit() {
        Transaction writer(m_db);
        Transaction reader(m_db);
        Query(writer).execute({QStringLiteral("INSERT INTO T (ID) VALUES (1)")});
        const auto count = [&] {
            reader.commitIfActive(); // a snapshot sees what was committed before it started
            return Query(reader).select({QStringLiteral("SELECT COUNT(*) FROM T")}).first().at(0).toInt();
        };
        QCOMPARE(count(), 0);
        QVERIFY(writer.isActive());
        writer.commitIfActive();
        QVERIFY(!writer.isActive());
        QCOMPARE(count(), 1);
        writer.commitIfActive(); // nothing to do, no error
    }

    void failedStatementKeepsTheTransactionUsable() {
        Transaction transaction(m_db);
        Query query(transaction);
        query.execute({QStringLiteral("INSERT INTO T (ID) VALUES (1)")});
        QVERIFY_THROWS_EXCEPTION(DbError, query.execute({QStringLiteral("INSERT INTO NO_TABLE VALUES (1)")}));
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 query.execute({QStringLiteral("INSERT INTO T (ID) VALUES (?)")}, {}));
        transaction.commitIfActive();
        Transaction other(m_db);
        QCOMPARE(Query(other).select({QStringLiteral("SELECT ID FROM T")}).size(), 1);
    }

    // A text used again runs the statement prepared by its first use, whatever the values; DDL is not kept.
    void sameTextIsPreparedOnce() {
        QCOMPARE(m_db.statements().size(), 0); // the table made by init()
        Transaction transaction(m_db);
        Query query(transaction);
        const QString insert = QStringLiteral("INSERT INTO T (ID, NAME) VALUES (?, ?) /* once */");
        for (int id = 1; id <= 5; ++id)
            query.execute({insert}, {id, QStringLiteral("n%1").arg(id)});
        const QStringList byId{QStringLiteral("SELECT NAME FROM T"),
                               QStringLiteral("WHERE ID = ? /* by id */")};
        for (int id = 1; id <= 5; ++id)
            QCOMPARE(query.select(byId, {id}).first().at(0).toText(), QStringLiteral("n%1").arg(id));
        QCOMPARE(preparedOnServer(QStringLiteral("/* once */")), 1);
        QCOMPARE(preparedOnServer(QStringLiteral("/* by id */")), 1);

        // Without a capacity every use prepares and lets go, as the layer did before it kept statements.
        m_db.statements().setCapacity(0);
        QCOMPARE(m_db.statements().size(), 0);
        QCOMPARE(preparedOnServer(QStringLiteral("/* once */")), 0);
        query.execute({insert}, {6, QStringLiteral("n6")});
        QCOMPARE(query.select(byId, {6}).size(), 1);
        QCOMPARE(m_db.statements().size(), 0);
    }

    // The connection keeps a bounded number of statements: the one used longest ago makes room.
    void leastRecentlyUsedStatementMakesRoom() {
        m_db.statements().setCapacity(3);
        Transaction transaction(m_db);
        Query query(transaction);
        for (const char* mark : {"a", "b", "a", "c"})
            query.select({QStringLiteral("SELECT COUNT(*) FROM T /* %1 */").arg(QLatin1String(mark))});
        // The count of the monitoring tables is the fourth statement: b, used longest ago, makes room.
        QCOMPARE(preparedOnServer(QStringLiteral("/* b */")), 0);
        QCOMPARE(preparedOnServer(QStringLiteral("/* a */")), 1);
        QCOMPARE(preparedOnServer(QStringLiteral("/* c */")), 1);
        QCOMPARE(m_db.statements().size(), 3);
    }

    // A kept statement runs in whichever transaction uses it: one transaction's end is not another's.
    void keptStatementRunsInEveryTransaction() {
        const QStringList insert{QStringLiteral("INSERT INTO T (ID) VALUES (?) /* each */")};
        Transaction undone(m_db);
        Transaction kept(m_db);
        Query(undone).execute(insert, {1});
        Query(kept).execute(insert, {2});
        undone.rollbackIfActive();
        Query(kept).execute(insert, {3});
        kept.commitIfActive();
        Query(undone).execute(insert, {4});
        undone.commitIfActive();
        Transaction reader(m_db);
        const ResultSet rows = Query(reader).select({QStringLiteral("SELECT ID FROM T ORDER BY ID")});
        QStringList ids;
        for (const Row& row : rows.rows())
            ids.append(row.at(0).toText());
        QCOMPARE(ids, QStringList({QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}));
        QCOMPARE(preparedOnServer(QStringLiteral("/* each */")), 1);
    }

    void reconnectPreparesAfresh() {
        const QStringList count{QStringLiteral("SELECT COUNT(*) FROM T /* again */")};
        {
            Transaction transaction(m_db);
            QCOMPARE(Query(transaction).select(count).first().at(0).toInt(), 0);
        }
        QCOMPARE(preparedOnServer(QStringLiteral("/* again */")), 1);
        m_db.detach();
        QCOMPARE(m_db.statements().size(), 0);
        m_db.attach(m_path, test::embeddedCredentials());
        QCOMPARE(preparedOnServer(QStringLiteral("/* again */")), 0);
        Transaction transaction(m_db);
        QCOMPARE(Query(transaction).select(count).first().at(0).toInt(), 0);
        QCOMPARE(preparedOnServer(QStringLiteral("/* again */")), 1);
    }

    // A statement that failed is not kept in a state that fails again: the next use with good values runs.
    void failedStatementIsPreparedAfresh_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("failingValue");
        QTest::addColumn<QString>("mend"); // what makes the statement itself right, if anything must
        QTest::newRow("refused by the prepare")
            << QStringLiteral("INSERT INTO U (ID) VALUES (?)") << QStringLiteral("8")
            << QStringLiteral("CREATE TABLE U (ID INTEGER)");
        QTest::newRow("value refused by the server")
            << QStringLiteral("INSERT INTO T (ID) VALUES (?)") << QStringLiteral("not a number") << QString();
        QTest::newRow("run fails in the engine")
            << QStringLiteral("INSERT INTO T (ID) VALUES (16 / (? - 8))") << QStringLiteral("8") << QString();
    }
    void failedStatementIsPreparedAfresh() {
        QFETCH(QString, statement);
        QFETCH(QString, failingValue);
        QFETCH(QString, mend);
        Transaction transaction(m_db);
        Query query(transaction);
        QVERIFY_THROWS_EXCEPTION(DbError, query.execute({statement}, {failingValue}));
        if (!mend.isEmpty()) {
            transaction.rollbackIfActive(); // the mend is seen by transactions that start after it
            Transaction ddl(m_db);
            Query(ddl).execute({mend});
        }
        query.execute({statement}, {QStringLiteral("10")});
        query.execute({statement}, {QStringLiteral("10")});
        QCOMPARE(preparedOnServer(statement), 1);
    }

    void eventFromAnotherAttachmentArrivesOnceOnTheMainThread() {
        EventListener listener;
        listener.registerEvents(m_db, {QStringLiteral("EV_A"), QStringLiteral("EV_B")});
        QSignalSpy spy(&listener, &EventListener::fired);
        QThread* deliveredOn = nullptr;
        connect(&listener, &EventListener::fired, this, [&] { deliveredOn = QThread::currentThread(); });
        QTest::qWait(200); // the first alert of a registration only reports the counts

        Attachment other;
        other.attach(m_path, test::embeddedCredentials());
        Transaction transaction(other);
        const auto post = [&](const char* name) {
            Query(transaction)
                .execute(
                    {QStringLiteral("EXECUTE BLOCK AS BEGIN POST_EVENT '%1'; END").arg(QLatin1String(name))});
        };
        post("EV_A");
        post("EV_A");
        post("EV_A");
        transaction.commitIfActive(); // events are posted at commit
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("EV_A"));
        QCOMPARE(deliveredOn, QThread::currentThread());
        QTest::qWait(300);
        QCOMPARE(spy.size(), 1);

        post("EV_B");
        transaction.commitIfActive();
        QTRY_COMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("EV_B"));

        listener.cancel();
        post("EV_A");
        transaction.commitIfActive();
        QTest::qWait(300);
        QCOMPARE(spy.size(), 2);
        other.detach();
    }

    void serverCreationProbeAndLoss() {
        const std::optional<Credentials> credentials = test::serverCredentials();
        if (!credentials)
            QSKIP("no local Firebird server password");
        test::TestDatabases databases;
        test::LoopbackProxy network(test::kFirebirdServerPort);
        const QString name =
            test::databaseNameThrough(network, databases.folder() + QStringLiteral("/server.fdb"));

        Attachment refused;
        Credentials wrong = *credentials;
        wrong.password += QStringLiteral("-wrong");
        try {
            refused.create(name, createStatement(name, wrong), wrong);
            QFAIL("a wrong password created a database");
        } catch (const DbError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("login"), Qt::CaseInsensitive),
                     qPrintable(error.message()));
        }
        QVERIFY(!refused.isAttached());

        Attachment attachment;
        attachment.create(name, createStatement(name, *credentials), *credentials);
        QVERIFY(attachment.isAttached());
        QVERIFY(attachment.probe());
        Transaction transaction(attachment);
        Query(transaction).execute({QStringLiteral("CREATE TABLE T (ID INTEGER)")});
        transaction.commitIfActive();
        const QStringList insert{QStringLiteral("INSERT INTO T (ID) VALUES (?)")};
        Query(transaction).execute(insert, {1});
        QCOMPARE(attachment.statements().size(), 1);

        network.cut();
        QVERIFY(!attachment.probe());
        attachment.abandon();
        QVERIFY(!attachment.isAttached());
        QVERIFY(!transaction.isActive());
        QCOMPARE(attachment.statements().size(), 0);
        QVERIFY_THROWS_EXCEPTION(DbError, Query(transaction).execute({QStringLiteral("DELETE FROM T")}));

        // Back on the server, the statements of the lost connection are not the new one's.
        attachment.attach(QStringLiteral("localhost:") + databases.folder() + QStringLiteral("/server.fdb"),
                          *credentials);
        Query(transaction).execute(insert, {2});
        transaction.commitIfActive();
        QCOMPARE(Query(transaction).select({QStringLiteral("SELECT ID FROM T")}).size(), 1);
        attachment.detach();
    }

private:
    // How many statements the server keeps prepared for the layer's connection whose text holds the part.
    int preparedOnServer(const QString& part) {
        Transaction transaction(m_db); // a snapshot of the monitoring tables of its own
        return Query(transaction)
            .select({QStringLiteral("SELECT COUNT(*) FROM MON$STATEMENTS"),
                     QStringLiteral(
                         "WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION AND MON$SQL_TEXT CONTAINING ?")},
                    {part})
            .first()
            .at(0)
            .toInt();
    }

    QTemporaryDir m_folder;
    int m_counter = 0;
    QString m_path;
    Attachment m_db;
};

QTEST_GUILESS_MAIN(FirebirdLayerTest)
#include "test_firebird_layer.moc"
