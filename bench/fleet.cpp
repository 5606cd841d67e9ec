#include "bench/fleet.h"

#include "app/service.h"
#include "bench/run_until.h"

#include <cstdio>

namespace taxi::bench {

Fleet::Fleet(int drivers, const QMap<QString, QString>& settings, bool pressStart) {
    m_firstDriver = m_folder.drivers().size();
    m_folder.addFleet(drivers);
    QMap<QString, QString> lines{{QStringLiteral("SHLYAH_BAZA/SERVER"), QStringLiteral("localhost:")}};
    lines.insert(settings);
    m_folder.writeSettings(lines);
    m_folder.createSettingsDatabase();
    m_service = std::make_unique<test::RunningService>(m_folder, pressStart);
    QList<TerminalLogin> logins;
    for (int i = 0; i < drivers; ++i)
        logins.append({driver(i).port, driver(i).password.toLatin1()});
    m_terminals = std::make_unique<TerminalSwarm>(m_folder.mainPort(), logins);
}

Fleet::~Fleet() {
    m_terminals.reset(); // the terminals hang up before the service stops
}

bool Fleet::bind(int count) {
    m_terminals->bind(count);
    runUntil([&] { return m_terminals->bound() + m_terminals->failed() >= count; }, std::chrono::minutes(10));
    if (m_terminals->bound() >= count)
        return true;
    std::fprintf(stderr, "only %d of %d terminals were bound (%d failed); operator errors: %s\n",
                 m_terminals->bound(), count, m_terminals->failed(),
                 qPrintable(m_service->op().errors.join(QLatin1Char('\n'))));
    return false;
}

} // namespace taxi::bench
