#include "bench/statement_limit.h"

#include "core/data_module.h"
#include "core/journal.h"
#include "core/settings.h"
#include "net/port_slot.h"
#include "orders/status_snapshot.h"
#include "support/service_fixture.h"

#include <QElapsedTimer>

namespace taxi::bench {

StatementLimit measureStatementLimit(const QString& databaseName, const db::Credentials& credentials,
                                     const test::DemoDriver& driver, Preparing preparing,
                                     std::chrono::milliseconds duration, Workload workload) {
    Settings settings;
    DataModule data(settings);
    data.baza.attach(databaseName, credentials);
    if (preparing == Preparing::EachTime)
        data.baza.statements().setCapacity(0);
    Journal journal(data);
    net::PortSlot slot;
    slot.callsign = driver.callsign;
    slot.driverName = driver.name;

    StatementLimit limit;
    QElapsedTimer running;
    running.start();
    while (workload == Workload::Statement && running.elapsed() < duration.count()) {
        for (int i = 0; i < 100; ++i)
            unreadMessages(data, slot);
        data.tranzRizne.commitIfActive();
        limit.requests += 100;
    }
    while (workload == Workload::Requests && running.elapsed() < duration.count()) {
        // "@PZ7@": the count runs in the general transaction, which the dispatch commits after it.
        unreadMessages(data, slot);
        data.tranzRizne.commitIfActive();
        // "@S@": the journal entry in the journal's own transaction.
        journal.writeJournal(slot.callsign, 0, QStringLiteral("Обновлення списка стоянок"));
        limit.requests += 2;
    }
    limit.seconds = double(running.elapsed()) / 1000;
    data.baza.detach();
    return limit;
}

} // namespace taxi::bench
