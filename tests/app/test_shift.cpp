// One shift of the real program, told as a story: the headless service distributing over the demo city on
// the local database server, three drivers' terminals on real TCP connections, a dispatcher giving orders
// from another connection. Every reply is compared byte for byte (the clock's own texts by their form),
// and the dispatcher database's rows are read after every step.

#include "core/db/result_set.h"
#include "core/text_codec.h"
#include "support/driver_session.h"
#include "support/program.h"
#include "support/service_fixture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdlib>

using namespace taxi::test;

namespace {

// A driver's phone in the story, and how much of what it received the story has checked already.
struct Phone {
    int callsign;
    FakeTerminal terminal;
    qsizetype checked = 0;
};

QByteArray element(const QString& tag, const QByteArray& value) {
    return "<" + tag.toLatin1() + ">" + value + "</" + tag.toLatin1() + ">";
}

QByteArray numbered(const QString& prefix, int n, const QByteArray& value) {
    return element(prefix + QString::number(n), value);
}

const QByteArray kOfferChanged = "<Action>RefleshDataZam</Action>@";
const QByteArray kQueueChanged = "<Action>UpdateParking</Action>@";
const QByteArray kFlowChanged = "<Action>UpdatePoticZam</Action>@";
const QByteArray kNewMessage = "<Action>InsertPersonalMsg</Action>@";

// The slot's own clock (the moment of binding or of the last delivery without an order) stands in a
// snapshot as the operator's date-time form; the story checks its form and that it is of this shift.
const QByteArray kSlotClock = "<clock>";

QByteArray withSlotClock(const QByteArray& reply) {
    static const QRegularExpression dateZam(QStringLiteral("<DateZam>([^<]*)</DateZam>"));
    const QRegularExpressionMatch match = dateZam.match(QString::fromLatin1(reply));
    if (!match.hasMatch())
        return reply;
    const QDateTime moment = QDateTime::fromString(match.captured(1), QStringLiteral("dd.MM.yyyy h:mm:ss"));
    if (!moment.isValid() || std::abs(moment.secsTo(QDateTime::currentDateTime())) > 600)
        return reply;
    return QString::fromLatin1(reply)
        .replace(match.capturedStart(1), match.capturedLength(1), QString::fromLatin1(kSlotClock))
        .toLatin1();
}

} // namespace

class ShiftTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp;
    std::unique_ptr<ServiceFolder> m_folder;
    std::unique_ptr<Program> m_service;
    Phone m_kovalenko{11, {}};
    Phone m_shevchuk{12, {}};
    Phone m_bondarenko{13, {}};

    // --- terminals ---

    void logInAndBind(Phone& phone) {
        sendLogin(m_folder->mainPort(), m_folder->driver(phone.callsign).port, QStringLiteral("1111"));
        phone.checked = 0;
        QVERIFY2(phone.terminal.connectTo(m_folder->driver(phone.callsign).port, 20000),
                 m_service->transcript());
        QTRY_COMPARE_WITH_TIMEOUT(m_folder->offerRows(phone.callsign), 1, 20000);
    }

    // What arrived on the phone since the last check: exactly the bytes expected, nothing more.
    void expect(Phone& phone, const QByteArray& bytes) {
        if (QTest::currentTestFailed())
            return; // the story has gone wrong already: its first failure is the one to read
        const qsizetype wanted = phone.checked + bytes.size();
        QTRY_VERIFY_WITH_TIMEOUT(phone.terminal.received().size() >= wanted, 15000);
        const QByteArray got = phone.terminal.receivedAfterQuiet(150).mid(phone.checked);
        phone.checked += got.size();
        QCOMPARE(bytes.contains(kSlotClock) ? withSlotClock(got) : got, bytes);
    }

    void ask(Phone& phone, const QByteArray& request, const QByteArray& reply) {
        phone.terminal.send(request);
        expect(phone, reply);
    }

    // A request without a reply: the service has handled it once an outdated terminal's "@PZ3@" sent after
    // it is answered, and nothing else came meanwhile.
    void tell(Phone& phone, const QByteArray& request) {
        static const QByteArray updateNotice =
            "<DataClient><NumZam>-1</NumZam>" +
            element(QStringLiteral("DataStoyanka"),
                    encoded(QStringLiteral(
                        "УВАГА. ПОТРІБНО ОНОВИТИ ВЕРСІЮ ПРОГРАМИ. ОНОВИТИ Є МОЖЛИВІСТЬ ЧЕРЕЗ КНОПКУ "
                        "<Оновити версію> В ОПЦІЯХ ПРОГРАМИ (в тому меню де є видалити програму) "
                        "АБО ЗАКАЧАВШИ ПОНОВОМУ З САЙТА."))) +
            "</DataClient>@";
        ask(phone, request + "@PZ3@", updateNotice);
    }

    // --- the dispatcher database ---

    // The driver's rows on the air: "stand queue busy order" and the terminal's mark, in stand order.
    QStringList onAir(int callsign) {
        QStringList rows;
        for (const taxi::db::Row& row :
             m_folder
                 ->dispatcherSelect(
                     {QStringLiteral("SELECT ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL, ZAD_AVTO_ZADIANIST, "
                                     "ZAD_AVTO_NOMER_ZAMOVL, ZAD_AVTO_MARKA_AVTO FROM ZADIANI_AVTO "
                                     "WHERE ZAD_AVTO_POZIVNIY = ? ORDER BY ZAD_AVTO_VULICA")},
                     {callsign})
                 .rows()) {
            rows.append(
                QStringList{row.at(0).toText(), row.at(1).toText(), row.at(2).toText(), row.at(3).toText(),
                            row.at(4).toText().startsWith(QStringLiteral("{GPRS}")) ? QStringLiteral("{GPRS}")
                                                                                    : QStringLiteral("-")}
                    .join(QLatin1Char(' ')));
        }
        return rows;
    }

    // The driver's offer row: "mark order timed" ("-" for none), or empty without a row.
    QString offer(int callsign) {
        const taxi::db::ResultSet rows = m_folder->dispatcherSelect(
            {QStringLiteral("SELECT REFLESH_VODIY_ZAMOV, REFLESH_VODIY_NZ, REFLESH_VODIY_DATETIME FROM "
                            "REFLESH_DANI_VODIY_GPRS WHERE REFLESH_VODIY_POZ = ?")},
            {callsign});
        if (rows.rows().isEmpty())
            return {};
        const taxi::db::Row& row = rows.rows().first();
        return QStringLiteral("%1 %2 %3")
            .arg(row.at(0).isNull() ? QStringLiteral("-") : row.at(0).toText(), row.at(1).toText(),
                 row.at(2).isNull() ? QStringLiteral("-") : QStringLiteral("timed"));
    }

    // An order as "status callsign": the callsign "-" when nobody has it.
    QString orderState(int number) {
        const taxi::db::Row row =
            m_folder
                ->dispatcherSelect({QStringLiteral("SELECT ZAMOVL_STATUS_ZAMOVL, ZAMOVL_POZIVNIY "
                                                   "FROM ZAMOVLENNIA WHERE ZAMOVL_NUMBER = ?")},
                                   {number})
                .first();
        return row.at(0).toText() + QLatin1Char(' ') +
               (row.at(1).isNull() ? QStringLiteral("-") : row.at(1).toText());
    }

    int orderAt(const QString& startPoint) {
        return m_folder->dispatcherNumber(
            QStringLiteral("SELECT ZAMOVL_NUMBER FROM ZAMOVLENNIA WHERE ZAMOVL_POCHAT_PUNKT = ?"),
            {startPoint});
    }

    // A client's paid rides and free rides in hand.
    QString client(int number) {
        const taxi::db::Row row =
            m_folder
                ->dispatcherSelect(
                    {QStringLiteral("SELECT KLIENT_KIL_VIKLIK, KLIENT_KIL_FREE_VIKLIK FROM KLIENT "
                                    "WHERE KLIENT_NOMER = ?")},
                    {number})
                .first();
        return row.at(0).toText() + QLatin1Char('/') + row.at(1).toText();
    }

    QStringList journal(int callsign) {
        QStringList entries;
        for (const taxi::db::Row& row :
             m_folder
                 ->dispatcherSelect(
                     {QStringLiteral("SELECT DYA_VODIY_GPRS_DYA, DYA_VODIY_GPRS_NZ FROM DYA_VODIY_GPRS "
                                     "WHERE DYA_VODIY_GPRS_POZ = ? ORDER BY DYA_VODIY_GPRS_NP")},
                     {callsign})
                 .rows())
            entries.append(row.at(0).toText() + QStringLiteral(" #") + row.at(1).toText());
        return entries;
    }

    // What a dispatcher's program does to give an order to a driver: the order and the driver's rows name
    // each other, and the offer row is marked last, in a transaction of its own.
    void dispatcherOffers(int number, const Phone& phone) {
        const QString name = m_folder->driver(phone.callsign).name;
        m_folder->dispatcherExecute(
            {QStringLiteral("UPDATE ZAMOVLENNIA SET ZAMOVL_POZIVNIY = ?, ZAMOVL_FIO_TAXI = ?, "
                            "ZAMOVL_ROZDACHA_ZAMOVL = 'Оксана', ZAMOVL_CHAS_PRIYOM_VODIY = '5 хв' "
                            "WHERE ZAMOVL_NUMBER = ?")},
            {phone.callsign, name, number});
        m_folder->dispatcherExecute({QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_ZADIANIST = 1, "
                                                    "ZAD_AVTO_NOMER_ZAMOVL = ? WHERE ZAD_AVTO_POZIVNIY = ?")},
                                    {number, phone.callsign});
        m_folder->dispatcherExecute(
            {QStringLiteral(
                "UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_ZAMOV = '+', "
                "REFLESH_VODIY_DATETIME = LOCALTIMESTAMP, REFLESH_VODIY_NZ = ? WHERE REFLESH_VODIY_POZ = ?")},
            {number, phone.callsign});
    }

    // --- the terminal protocol's replies ---

    QByteArray standTable(const QStringList& entries) {
        QByteArray reply =
            "<DataOnParking>" + element(QStringLiteral("Kil"), QByteArray::number(entries.size()));
        for (int i = 0; i < entries.size(); ++i)
            reply += numbered(QStringLiteral("#"), i + 1, encoded(entries.at(i)));
        return reply + "<MaxKilSt>1</MaxKilSt></DataOnParking>@";
    }

    struct Snapshot {
        int order = 0;
        QString stand{};
        QString queueNumber{};
        QByteArray orderTime = kSlotClock;
        QString from{};
        QString to{};
        int client = 0;
        QString status{};
        QString extra{};
        int messages = 0;
        int flow = 0;
        int polls = 0;
    };

    QByteArray snapshot(const Snapshot& s) {
        return "<DataClient>" + element(QStringLiteral("NumZam"), QByteArray::number(s.order)) +
               element(QStringLiteral("DataStoyanka"), encoded(s.stand)) +
               element(QStringLiteral("NumNaStoyanci"), s.queueNumber.toLatin1()) +
               element(QStringLiteral("DateZam"), s.orderTime) +
               element(QStringLiteral("Zvidky"), encoded(s.from)) +
               element(QStringLiteral("Kudy"), encoded(s.to)) +
               element(QStringLiteral("KodClient"), QByteArray::number(s.client)) +
               element(QStringLiteral("Status"), s.status.toLatin1()) +
               element(QStringLiteral("Dod"), encoded(s.extra)) + element(QStringLiteral("DostZam"), "1") +
               element(QStringLiteral("KilMsg"), QByteArray::number(s.messages)) +
               element(QStringLiteral("KilZam"), QByteArray::number(s.flow)) +
               element(QStringLiteral("KilOpituvan"), QByteArray::number(s.polls)) + "</DataClient>@";
    }

    // The order's acceptance moment as the snapshot writes it.
    QByteArray orderTime(int number) {
        const taxi::db::Row row =
            m_folder
                ->dispatcherSelect(
                    {QStringLiteral("SELECT ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA FROM ZAMOVLENNIA "
                                    "WHERE ZAMOVL_NUMBER = ?")},
                    {number})
                .first();
        const QDateTime moment =
            QDateTime::fromString(row.at(0).toText() + QLatin1Char(' ') + row.at(1).toText(),
                                  QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        return moment.toString(QStringLiteral("dd.MM.yyyy h:mm:ss")).toLatin1();
    }

    // A flow line as the drivers see it: position, start point, and the moment the order is for.
    QString flowLine(int k, int number) {
        const taxi::db::Row row =
            m_folder
                ->dispatcherSelect(
                    {QStringLiteral("SELECT ZAMOVL_POCHAT_PUNKT, ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA "
                                    "FROM ZAMOVLENNIA WHERE ZAMOVL_NUMBER = ?")},
                    {number})
                .first();
        return QStringLiteral("%1. %2 /<%3 %4>/")
            .arg(k)
            .arg(row.at(0).toText(), row.at(1).toText(), row.at(2).toText());
    }

    QString messageLine(int n, const QString& author, int number) {
        const taxi::db::Row row =
            m_folder
                ->dispatcherSelect(
                    {QStringLiteral("SELECT MSG_FOR_VODIY_DCREATE, MSG_FOR_VODIY_TEXT FROM MSG_FOR_VODIY "
                                    "WHERE MSG_FOR_VODIY_NP = ?")},
                    {number})
                .first();
        return QStringLiteral("%1. [%2]<%3>  %4  ==============   ")
            .arg(n)
            .arg(row.at(0).toText(), author, row.at(1).toText());
    }

private slots:
    void initTestCase() {
        QVERIFY(m_temp.isValid());
        m_folder = std::make_unique<ServiceFolder>();
        const QString news = QDir(m_folder->path()).filePath(QStringLiteral("NEWS.TXT"));
        QFile newsFile(news);
        QVERIFY(newsFile.open(QIODevice::WriteOnly));
        newsFile.write(
            taxi::toWin1251(QStringLiteral("З понеділка діє новий тариф.\r\n\r\nНа вокзалі ремонт.\r\n")));
        newsFile.close();
        m_folder->writeSettings({{QStringLiteral("GPRS_TAXI/NAME_STOYANKA"), QStringLiteral("СТОЯНКА")},
                                 {QStringLiteral("GPRS_TAXI/CHAS_ZN_SEK"), QStringLiteral("3")},
                                 {QStringLiteral("GPRS_TAXI/FILE_NEWS"), news},
                                 {QStringLiteral("GPRS_TAXI/DOSTUP_POTOK_ZAKAZ"), QStringLiteral("1")},
                                 {QStringLiteral("GPRS_TAXI/DOST_OPITUVANNYA"), QStringLiteral("1")},
                                 {QStringLiteral("GPRS_TAXI/OBMIN_POVID_MIZH_VODIYAMI"), QStringLiteral("1")},
                                 {QStringLiteral("SET_POTOK/LIST_READ_ONLY"), QStringLiteral("0")},
                                 {QStringLiteral("SET_DYI_VODIY/VHID_V_SYSTEM"), QStringLiteral("1")},
                                 {QStringLiteral("SET_DYI_VODIY/VIHID_Z_SYSTEM"), QStringLiteral("1")},
                                 {QStringLiteral("SET_DYI_VODIY/PIDSADKA"), QStringLiteral("1")}});
        m_folder->createSettingsDatabase();
    }

    void cleanupTestCase() {
        m_service.reset();
        m_folder.reset();
    }

    void theShiftOpens() {
        m_service = std::make_unique<Program>(QStringLiteral("/src/app/taxi-gprs"), m_temp.path());
        QVERIFY(m_service->start({QStringLiteral("--headless"), QStringLiteral("--start"),
                                  QStringLiteral("--workdir"), m_folder->path()}));
        QVERIFY2(m_service->waitForOutputLine(
                     QStringLiteral("ДО СПИСКА ДОДАНИЙ ПОРТ > %1").arg(m_folder->mainPort())),
                 m_service->transcript());

        int queue = 0;
        for (Phone* phone : {&m_kovalenko, &m_shevchuk, &m_bondarenko}) {
            logInAndBind(*phone);
            QCOMPARE(onAir(phone->callsign),
                     QStringList{QStringLiteral("[]{} %1 0 0 {GPRS}").arg(++queue, 4, 10, QLatin1Char('0'))});
            QCOMPARE(offer(phone->callsign), QStringLiteral("- 0 -"));
            QCOMPARE(journal(phone->callsign), QStringList{QStringLiteral("Вхід в систему #0")});
            tell(*phone, "@MENUMAIN@");
        }
    }

    void driversTakeTheirStands() {
        const QStringList bare{QStringLiteral("[]{}"), QStringLiteral("Автостанція"),
                               QStringLiteral("Вокзал"), QStringLiteral("Лікарня"),
                               QStringLiteral("Центральний ринок")};
        ask(m_kovalenko, "@S@", standTable(bare));

        // Each registration changes the queue at the station: the drivers standing there and watching
        // their main screen are told, the driver in the pool is not.
        m_kovalenko.terminal.send("@inSTOYNKA[<2>]@");
        expect(m_kovalenko, kQueueChanged);
        QCOMPARE(onAir(11), QStringList{QStringLiteral("Вокзал 0001 0 0 {GPRS}")});
        m_shevchuk.terminal.send("@inSTOYNKA[<2>]@");
        expect(m_kovalenko, kQueueChanged);
        expect(m_shevchuk, kQueueChanged);
        QCOMPARE(onAir(12), QStringList{QStringLiteral("Вокзал 0002 0 0 {GPRS}")});

        QStringList table = bare;
        table[2] = QStringLiteral("[2]Вокзал {11,12+}"); // 12 drove a free ride lately
        ask(m_shevchuk, "@S@", standTable(table));
        ask(m_kovalenko, "@PZ7@",
            snapshot({.stand = QStringLiteral("Вокзал {11,12+}"),
                      .queueNumber = QStringLiteral("0001"),
                      .flow = 4,
                      .polls = 1}));
        ask(m_bondarenko, "@PZ7@",
            snapshot({.stand = QStringLiteral("[]{}"),
                      .queueNumber = QStringLiteral("0003"),
                      .flow = 4,
                      .polls = 1}));
        QCOMPARE(journal(11).mid(1), (QStringList{QStringLiteral("Обновлення списка стоянок #0"),
                                                  QStringLiteral("Зміна стоянки на [Вокзал] #0")}));
    }

    void anOfferIsAcceptedAndCompleted() {
        const int order = orderAt(QStringLiteral("вул. Соборна, 14"));
        tell(m_kovalenko, "@MENUZVIT@"); // off the main screen: no more queue notices for him
        dispatcherOffers(order, m_kovalenko);
        expect(m_kovalenko, kOfferChanged);
        expect(m_shevchuk, kQueueChanged); // 11 is busy: the station's queue is 12 alone
        // The delivery's clearing of the mark is committed by the next tick while an offer waits.
        QTRY_COMPARE_WITH_TIMEOUT(offer(11), QStringLiteral("- %1 timed").arg(order), 5000);
        ask(m_kovalenko, "@PZ7@",
            snapshot({.order = order,
                      .stand = QStringLiteral("[]{}"),
                      .queueNumber = QStringLiteral("0"),
                      .orderTime = orderTime(order),
                      .from = QStringLiteral("вул. Соборна, 14"),
                      .to = QStringLiteral("Вокзал"),
                      .client = 7,
                      .status = QStringLiteral("HI"),
                      .extra = QStringLiteral("ч.в.з.{5 хв} тар.[Місто] біля аптеки, чекати 5 хв"),
                      .flow = 3,
                      .polls = 1}));

        tell(m_kovalenko, "@PRZ@");
        QCOMPARE(offer(11), QStringLiteral("- %1 -").arg(order));
        QTest::qWait(4500); // past the confirmation time: an accepted order stays
        QCOMPARE(onAir(11), QStringList{QStringLiteral("Вокзал 0001 1 %1 {GPRS}").arg(order)});
        QCOMPARE(orderState(order), QStringLiteral("0 11"));

        const int carRides = m_folder->dispatcherNumber(
            QStringLiteral("SELECT TABL_AVTO_KILVIKLIK FROM DANI_AVTO WHERE TABL_AVTO_POZIVN = 11"));
        m_kovalenko.terminal.send("@ZKZ@");
        expect(m_kovalenko, kOfferChanged);
        expect(m_shevchuk, kQueueChanged); // 11 back at the end of the station's queue
        QCOMPARE(orderState(order), QStringLiteral("1 11"));
        QCOMPARE(onAir(11), QStringList{QStringLiteral("Вокзал 0003 0 0 {GPRS}")});
        QCOMPARE(client(1), QStringLiteral("0/1")); // the 7th paid ride earns client 7 a free one
        QCOMPARE(m_folder->dispatcherNumber(
                     QStringLiteral("SELECT TABL_AVTO_KILVIKLIK FROM DANI_AVTO WHERE TABL_AVTO_POZIVN = 11")),
                 carRides + 1);
        ask(m_kovalenko, "@PZ7@",
            snapshot({.stand = QStringLiteral("Вокзал {12+,11}"),
                      .queueNumber = QStringLiteral("0003"),
                      .status = QStringLiteral("X"),
                      .flow = 3,
                      .polls = 1}));
        QCOMPARE(offer(11), QStringLiteral("- 0 -")); // committed by the request
        QCOMPARE(journal(11).mid(3), (QStringList{QStringLiteral("Прийняття замовлення #%1").arg(order),
                                                  QStringLiteral("Виконання замовлення #%1").arg(order)}));
    }

    void aRefusedOfferGoesBackToTheFlow() {
        const int order = orderAt(QStringLiteral("Центральний ринок"));
        tell(m_shevchuk, "@MENUPOTIK@");
        dispatcherOffers(order, m_shevchuk);
        expect(m_shevchuk, kOfferChanged);
        m_shevchuk.terminal.send("@VDZ@");
        // The next tick takes the order back and tells the terminal that it holds none.
        expect(m_shevchuk, kOfferChanged);
        QCOMPARE(orderState(order), QStringLiteral("0 -"));
        QCOMPARE(onAir(12), QStringList{QStringLiteral("[]{} 0004 0 0 {GPRS}")});
        ask(m_shevchuk, "@PZ7@",
            snapshot({.stand = QStringLiteral("[]{}"),
                      .queueNumber = QStringLiteral("0004"),
                      .status = QStringLiteral("X"),
                      .flow = 3,
                      .polls = 1}));
        QCOMPARE(offer(12), QStringLiteral("- 0 -"));
        QCOMPARE(
            journal(12).mid(1),
            (QStringList{QStringLiteral("Зміна стоянки на [Вокзал] #0"),
                         QStringLiteral("Обновлення списка стоянок #0"),
                         QStringLiteral("Вхід в меню потік замовлень #0"),
                         QStringLiteral("Відмова від замовлення #%1").arg(order),
                         QStringLiteral("Непідтвердження замовлення - пропуск замовлення #%1").arg(order)}));
    }

    void anUnansweredOfferTimesOut() {
        const int order = orderAt(QStringLiteral("Лікарня"));
        dispatcherOffers(order, m_bondarenko);
        expect(m_bondarenko, kOfferChanged);
        QCOMPARE(onAir(13), QStringList{QStringLiteral("[]{} 0003 1 %1 {GPRS}").arg(order)});
        expect(m_bondarenko, kOfferChanged); // withdrawn after three seconds without an answer
        QCOMPARE(orderState(order), QStringLiteral("0 -"));
        QCOMPARE(onAir(13), QStringList{QStringLiteral("[]{} 0005 0 0 {GPRS}")});
        ask(m_bondarenko, "@PZ7@",
            snapshot({.stand = QStringLiteral("[]{}"),
                      .queueNumber = QStringLiteral("0005"),
                      .status = QStringLiteral("X"),
                      .flow = 3,
                      .polls = 1}));
        QCOMPARE(
            journal(13).mid(1),
            QStringList{QStringLiteral("Непідтвердження замовлення - пропуск замовлення #%1").arg(order)});
    }

    void driversTakeOrdersFromTheFlow() {
        const int market = orderAt(QStringLiteral("Центральний ринок"));
        const int hospital = orderAt(QStringLiteral("Лікарня"));
        const int later = orderAt(QStringLiteral("просп. Незалежності, 3"));
        const int done = orderAt(QStringLiteral("вул. Соборна, 14"));
        QByteArray flow = "<DataPotik><KilZam>3</KilZam>";
        const QList<int> numbers{market, hospital, later};
        for (int k = 1; k <= 3; ++k)
            flow += numbered(QStringLiteral("N"), k, QByteArray::number(numbers.at(k - 1)));
        for (int k = 1; k <= 3; ++k)
            flow += numbered(QStringLiteral("#"), k, encoded(flowLine(k, numbers.at(k - 1))));
        ask(m_shevchuk, "@LNZ@", flow + "</DataPotik>@");

        // An order someone has already is refused with a notice to fetch the flow again.
        ask(m_bondarenko, QStringLiteral("@VVZ[%1]@").arg(done).toLatin1(), kFlowChanged);
        QCOMPARE(orderState(done), QStringLiteral("1 11"));

        m_shevchuk.terminal.send(QStringLiteral("@VVZ[%1]@").arg(later).toLatin1());
        expect(m_shevchuk, kOfferChanged);
        QCOMPARE(orderState(later), QStringLiteral("0 12"));
        QCOMPARE(onAir(12).value(0).section(QLatin1Char(' '), 0, 0), QStringLiteral("Автостанція"));
        QCOMPARE(onAir(12).value(0).section(QLatin1Char(' '), 2), QStringLiteral("1 %1 {GPRS}").arg(later));
        QTRY_COMPARE_WITH_TIMEOUT(offer(12), QStringLiteral("- %1 timed").arg(later), 5000);
        tell(m_shevchuk, "@PRZ@");
        m_shevchuk.terminal.send("@ZKZ@");
        expect(m_shevchuk, kOfferChanged);
        QCOMPARE(orderState(later), QStringLiteral("1 12"));
        QCOMPARE(onAir(12), QStringList{QStringLiteral("Автостанція 0001 0 0 {GPRS}")});
        QCOMPARE(client(3), QStringLiteral("0/1"));
        QCOMPARE(
            journal(12).mid(6),
            (QStringList{QStringLiteral("Подача заявки на замовлення з меню потік замовлень #%1").arg(later),
                         QStringLiteral("Прийняття замовлення #%1").arg(later),
                         QStringLiteral("Виконання замовлення #%1").arg(later)}));
        QCOMPARE(
            journal(13).mid(2),
            QStringList{QStringLiteral("Подача заявки на замовлення з меню потік замовлень #%1").arg(done)});
    }

    void aPassengerIsPickedUp() {
        const int ordersBefore =
            m_folder->dispatcherNumber(QStringLiteral("SELECT COUNT(*) FROM ZAMOVLENNIA"));
        m_bondarenko.terminal.send("@PD(00007)@");
        expect(m_bondarenko, kOfferChanged);
        expect(m_shevchuk, kFlowChanged); // a new order row: whoever watches the flow is told
        QCOMPARE(m_folder->dispatcherNumber(QStringLiteral("SELECT COUNT(*) FROM ZAMOVLENNIA")),
                 ordersBefore + 1);
        QCOMPARE(m_folder->dispatcherNumber(
                     QStringLiteral("SELECT COUNT(*) FROM ZAMOVLENNIA WHERE ZAMOVL_PRIYOM_ZAMOVL = 'GPRS' "
                                    "AND ZAMOVL_POZIVNIY = 13 "
                                    "AND ZAMOVL_NOMER_KLIENT = 7 AND ZAMOVL_STATUS_ZAMOVL = 1 AND "
                                    "ZAMOVL_POCHAT_PUNKT = 'підсадка'")),
                 1);
        QCOMPARE(client(1), QStringLiteral("1/1"));
        QCOMPARE(onAir(13), QStringList{QStringLiteral("[]{} 0006 0 0 {GPRS}")});
        QCOMPARE(journal(13).mid(3), QStringList{QStringLiteral("Створення підсадки у водія #0")});
    }

    void driversExchangeMessages() {
        tell(m_kovalenko, "@MENUMAIN@");
        const QString admin = messageLine(1, QStringLiteral(" admin: Диспетчер Оксана"), 1);
        ask(m_kovalenko, "@OSOBPOV@", element(QStringLiteral("DataPersonalMsg"), encoded(admin)) + "@");

        const QString text = QStringLiteral("Біля вокзалу затор, об'їжджайте");
        m_bondarenko.terminal.send("@SKARGA(" + terminalText(QStringLiteral(".11")) + "~" +
                                   terminalText(text) + ")@");
        expect(m_kovalenko, kNewMessage);
        QCOMPARE(m_folder->dispatcherNumber(
                     QStringLiteral("SELECT COUNT(*) FROM MSG_FOR_VODIY WHERE MSG_FOR_VODIY_NP = 2 AND "
                                    "MSG_FOR_VODIY_STATUS = 'V' AND "
                                    "MSG_FOR_VODIY_POZ = 11 AND MSG_FOR_VODIY_AVTOR = 'Від позивного 13' AND "
                                    "MSG_FOR_VODIY_TEXT = ?"),
                     {text}),
                 1);
        const QString complaint = QStringLiteral("Клієнт не заплатив");
        tell(m_bondarenko, "@SKARGA(" + terminalText(complaint) + ")@");
        QCOMPARE(m_folder->dispatcherNumber(
                     QStringLiteral("SELECT COUNT(*) FROM SKARGA_VODYA WHERE SKARGA_VODYA_POZ = 13")),
                 2);

        const QString fromDriver = messageLine(2, QStringLiteral("Від позивного 13"), 2);
        ask(m_kovalenko, "@OSOBPOV@",
            element(QStringLiteral("DataPersonalMsg"), encoded(admin + fromDriver)) + "@");
        tell(m_kovalenko, "@OSOBPOVREADE@");
        QCOMPARE(m_folder->dispatcherNumber(
                     QStringLiteral("SELECT COUNT(*) FROM MSG_FOR_VODIY WHERE MSG_FOR_VODIY_POZ = 11 AND "
                                    "MSG_FOR_VODIY_DREADER IS NULL")),
                 0);
        ask(m_kovalenko, "@OSOBPOV@", element(QStringLiteral("DataPersonalMsg"), encoded(admin)) + "@");
        QCOMPARE(journal(11).mid(5), QStringList{QStringLiteral("Створення повідомлення для водія #0")});
        QCOMPARE(journal(13).mid(4),
                 QStringList{QStringLiteral("ПОВІДОМЛЕННЯ : ") + complaint + QStringLiteral(" #0")});
    }

    void aDriverAnswersThePoll() {
        ask(m_kovalenko, "@LISTOPITUVAN@",
            "<ListTableOpituvan>" +
                numbered(QStringLiteral("#"), 1,
                         encoded(QStringLiteral("Чи готові ви працювати в нічну зміну на вихідних?"))) +
                "<N1>1</N1><KilPitan>1</KilPitan></ListTableOpituvan>@");
        ask(m_kovalenko, "@PITAN[1]@",
            "<VidpovidTableOpituvan>" + numbered(QStringLiteral("#"), 1, encoded(QStringLiteral("Так"))) +
                numbered(QStringLiteral("#"), 2, encoded(QStringLiteral("Ні"))) +
                "<MyVidp>1</MyVidp><KilVidp>2</KilVidp></VidpovidTableOpituvan>@");
        tell(m_kovalenko, "@VidVid[(1){" + terminalText(QStringLiteral("Так")) + "}]@");
        QCOMPARE(
            m_folder->dispatcherNumber(QStringLiteral("SELECT COUNT(*) FROM OPITUVANNYA_VODIY WHERE "
                                                      "OP_STATUS = 'V' AND OP_MAIN_NUM = 1 AND OP_POZ = 11 "
                                                      "AND PO_FIO_VODIY = ? AND OP_TEXT_VID = ?"),
                                       {m_folder->driver(11).name, QStringLiteral("Так")}),
            1);
        ask(m_kovalenko, "@LISTOPITUVAN@", "<ListTableOpituvan><KilPitan>0</KilPitan></ListTableOpituvan>@");
    }

    void driversReadTheNewsAndTheDaysReport() {
        ask(m_shevchuk, "@NEWS@",
            "<DataNews>" +
                numbered(QStringLiteral("#"), 1, encoded(QStringLiteral("З понеділка діє новий тариф."))) +
                numbered(QStringLiteral("#"), 3, encoded(QStringLiteral("На вокзалі ремонт."))) +
                "<Kil>2</Kil></DataNews>@");
        const QByteArray today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")).toLatin1();
        ask(m_kovalenko, "@ZVIT@",
            "<ZVIT><Poz>11</Poz><NewDate>" + today +
                "</NewDate><KilNewZam>0</KilNewZam><KilSogodniYvil>0</KilSogodniYvil>"
                "<SpisActivVodya>11/12/13/</SpisActivVodya><KilActivVodya>3</KilActivVodya>"
                "<SpisActivGPRS>11/12/13/</SpisActivGPRS><KilActivGPRS>3</KilActivGPRS></ZVIT>@");
        QCOMPARE(journal(12).last(), QStringLiteral("Перегляд новин #0"));
        QCOMPARE(journal(11).last(), QStringLiteral("Створення звіта #0"));
    }

    void driversLeaveAndComeBack() {
        // An orderly close: the marks go, the driver stays on the air, his port waits for him.
        tell(m_bondarenko, "@CLOSE@");
        m_bondarenko.terminal.disconnect();
        QTRY_COMPARE_WITH_TIMEOUT(offer(13), QString(), 15000);
        QCOMPARE(onAir(13), QStringList{QStringLiteral("[]{} 0006 0 0 -")});
        m_bondarenko.checked = 0;
        QVERIFY(m_bondarenko.terminal.connectTo(m_folder->driver(13).port));
        QTRY_COMPARE_WITH_TIMEOUT(offer(13), QStringLiteral("- 0 -"), 15000);
        QCOMPARE(onAir(13), QStringList{QStringLiteral("[]{} 0006 0 0 {GPRS}")});

        // A lost network: the marks go and the port closes until the driver logs in again.
        m_shevchuk.terminal.reset();
        QTRY_COMPARE_WITH_TIMEOUT(offer(12), QString(), 15000);
        QCOMPARE(onAir(12), QStringList{QStringLiteral("Автостанція 0001 0 0 -")});
        FakeTerminal stranger;
        QVERIFY(!stranger.connectTo(m_folder->driver(12).port, 500));
        logInAndBind(m_shevchuk);
        QCOMPARE(onAir(12), QStringList{QStringLiteral("Автостанція 0001 0 0 {GPRS}")});

        // Off the air: the rows go and the station's queue with them (he still watches his main screen);
        // the connection stays.
        m_kovalenko.terminal.send("@EXIT@");
        expect(m_kovalenko, kQueueChanged);
        QCOMPARE(onAir(11), QStringList());
        QCOMPARE(offer(11), QStringLiteral("- 0 -"));

        QCOMPARE(journal(11).last(), QStringLiteral("Зняття з ефіра #0"));
        QCOMPARE(
            journal(12).mid(journal(12).size() - 2),
            (QStringList{QStringLiteral("ЗБІЙ У ЗВЯЗКУ / СІТЦІ #0"), QStringLiteral("Вхід в систему #0")}));
        QCOMPARE(journal(13).last(), QStringLiteral("Вихід з системи #0"));
    }

    void theShiftEndsCleanly() {
        m_service->signal(SIGTERM);
        QVERIFY2(m_service->waitForExit(10000), m_service->transcript());
        QCOMPARE(m_service->exitCode(), 0);
        QVERIFY2(!m_service->errors().contains(QStringLiteral("ERROR")), m_service->transcript());
        QCOMPARE(m_folder->offerRows(), 0);
        QCOMPARE(m_folder->markedCars(), 0);
        for (Phone* phone : {&m_kovalenko, &m_shevchuk, &m_bondarenko})
            QVERIFY(phone->terminal.waitForClosedByService());
        // The stop leaves the records' activity to the next start-up.
        const QMap<int, QString> activities = m_folder->recordActivities();
        QMap<int, QString> expected;
        for (const DemoDriver& driver : m_folder->drivers())
            expected.insert(driver.callsign, driver.callsign <= 13 ? QStringLiteral("АКТИВНИЙ")
                                                                   : QStringLiteral("неактивний"));
        QCOMPARE(activities, expected);
    }
};

QTEST_GUILESS_MAIN(ShiftTest)
#include "test_shift.moc"
