// Push latency: from a dispatcher's commit of an offer to the terminal's "<Action>RefleshDataZam</Action>@",
// with many terminals connected.
//
// Runs the whole service in this process on a fleet of drivers and binds their terminals, each in the main
// menu. Another connection, on a thread of its own, then does what a dispatcher's program does to give an
// order to a terminal driver, one driver after the other: the order comes in (a commit), then the order
// and the driver's row name each other (a commit), then the driver's offer row is marked (the timed
// commit), whose event brings the offer to the terminal. The latency runs from the moment that commit is
// done (the database posts the event as it commits) to the notice's arrival; the commit's own time, the
// database's writing, is printed apart. The events of the commit before it are part of what the service
// has to do.
//
//   push_latency [--terminals N] [--offers K] [--smoke] [--check]
//
// --check exits 1 when the 99th percentile is kLongestP99 or more; a run that could not be made, or an
// offer that never reached its terminal, exits 2.

#include "bench/bench_arguments.h"
#include "bench/fleet.h"
#include "bench/latency_summary.h"
#include "bench/run_until.h"
#include "core/db/query.h"
#include "core/db/transaction.h"

#include <QRandomGenerator>
#include <cstdio>

using namespace taxi;
using namespace taxi::bench;
using namespace std::chrono_literals;

namespace {

constexpr double kLongestP99Ms = 20;
constexpr int kFirstOrder = 50001;
constexpr int kOpenOrders = 20;
constexpr auto kOfferLimit = 10s;

struct Offers {
    std::vector<qint64> latenciesUs;
    std::vector<qint64> commitsUs;
    int lost = 0;
};

// A pause of a dispatcher between two steps: offers come one by one, not in bursts that one offer pass
// would deliver together.
void pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50 + QRandomGenerator::global()->bounded(100)));
}

// The dispatcher's side, on a connection of its own: takes in an order, gives it to the fleet's next driver
// and marks his offer row; meanwhile the order given kOpenOrders offers before is done, so that the order
// flow keeps its usual length.
Offers giveOrders(Fleet& fleet, int offers, int terminals) {
    db::Attachment dispatcher;
    dispatcher.attach(fleet.folder().dispatcherDatabaseName(), fleet.folder().credentials());
    db::Transaction transaction(dispatcher);
    db::Query query(transaction);
    Offers result;
    for (int i = 0; i < offers; ++i) {
        const int terminal = i % terminals;
        const test::DemoDriver& driver = fleet.driver(terminal);
        const int order = kFirstOrder + i;
        query.execute(
            {QStringLiteral("INSERT INTO ZAMOVLENNIA (ZAMOVL_NUMBER, ZAMOVL_NOMER_KLIENT, "
                            "ZAMOVL_POCHAT_PUNKT, ZAMOVL_PUNKT_PRIZHACH, ZAMOVL_PRIYOM_ZAMOVL, "
                            "ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA, ZAMOVL_STATUS_ZAMOVL, "
                            "ZAMOVL_PRICHINA_DELETE) VALUES (?, 0, ?, 'Вокзал', 'Оксана', CURRENT_DATE, "
                            "CURRENT_TIME, 0, '() тариф:[Місто]')")},
            {order, QStringLiteral("вул. Соборна, %1").arg(i + 1)});
        transaction.commitIfActive();
        pause();

        query.execute({QStringLiteral("UPDATE ZAMOVLENNIA SET ZAMOVL_POZIVNIY = ?, ZAMOVL_FIO_TAXI = ?, "
                                      "ZAMOVL_ROZDACHA_ZAMOVL = 'Оксана', ZAMOVL_CHAS_PRIYOM_VODIY = '5 хв' "
                                      "WHERE ZAMOVL_NUMBER = ?")},
                      {driver.callsign, driver.name, order});
        query.execute(
            {QStringLiteral("UPDATE ZADIANI_AVTO SET ZAD_AVTO_ZADIANIST = 1, ZAD_AVTO_NOMER_ZAMOVL = ? "
                            "WHERE ZAD_AVTO_POZIVNIY = ?")},
            {order, driver.callsign});
        query.execute(
            {QStringLiteral("UPDATE ZAMOVLENNIA SET ZAMOVL_STATUS_ZAMOVL = 1 WHERE ZAMOVL_NUMBER = ?")},
            {order - kOpenOrders});
        transaction.commitIfActive();
        query.execute({QStringLiteral("UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_ZAMOV = '+', "
                                      "REFLESH_VODIY_NZ = ?, REFLESH_VODIY_DATETIME = LOCALTIMESTAMP "
                                      "WHERE REFLESH_VODIY_POZ = ?")},
                      {order, driver.callsign});
        const Clock::time_point before = fleet.terminals().lastOffer(terminal);
        const Clock::time_point committing = Clock::now();
        transaction.commitIfActive();
        const Clock::time_point committed = Clock::now();
        result.commitsUs.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(committed - committing).count());
        while (fleet.terminals().lastOffer(terminal) == before && Clock::now() - committed < kOfferLimit)
            std::this_thread::sleep_for(100us);
        const Clock::time_point arrived = fleet.terminals().lastOffer(terminal);
        if (arrived == before)
            ++result.lost;
        else
            result.latenciesUs.push_back(std::max<qint64>(
                0, std::chrono::duration_cast<std::chrono::microseconds>(arrived - committed).count()));
        pause();
    }
    dispatcher.detach();
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    return benchMain(argc, argv, "push_latency", [](const BenchArguments& arguments) {
        const bool smoke = arguments.smoke();
        const int terminals = arguments.number(QStringLiteral("--terminals"), smoke ? 50 : 1000);
        const int offers = arguments.number(QStringLiteral("--offers"), smoke ? 20 : 200);

        // A driver accepts well within the time for confirming, and no time-out withdraws an offer.
        Fleet fleet(terminals, {{QStringLiteral("GPRS_TAXI/CHAS_ZN_SEK"), QStringLiteral("60")}});
        if (!fleet.bind(terminals))
            return 2;
        fleet.terminals().answerOffers("@PZ7@@PRZ@");
        std::printf("terminals %d: bound\n", terminals);
        Offers result = runBeside([&] { return giveOrders(fleet, offers, terminals); });

        const LatencySummary push = LatencySummary::of(std::move(result.latenciesUs));
        std::printf("push latency with %d terminals: %s, %d lost\n", terminals, qPrintable(push.text()),
                    result.lost);
        std::printf("the dispatcher's commit itself: %s\n",
                    qPrintable(LatencySummary::of(std::move(result.commitsUs)).text()));
        if (result.lost > 0 || push.count == 0)
            return 2;
        if (!arguments.check() || push.p99Ms < kLongestP99Ms)
            return 0;
        std::printf("FAILED: the 99th percentile is %.2f ms, not under %.0f ms\n", push.p99Ms, kLongestP99Ms);
        return 1;
    });
}
