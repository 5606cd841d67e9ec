#pragma once

#include "bench/terminal_swarm.h"
#include "support/service_fixture.h"

#include <QMap>
#include <memory>

namespace taxi {
class Service;
}

namespace taxi::bench {

// A city of terminal drivers beside the demo city's, the whole service running on it in this process with
// the dispatcher database on the local server, reached directly as the operators run it, and the drivers'
// terminals ready to log in.
class Fleet {
public:
    // Settings as ServiceFolder::writeSettings takes them. The distribution is started unless told not to.
    explicit Fleet(int drivers, const QMap<QString, QString>& settings = {}, bool pressStart = true);
    ~Fleet();

    test::ServiceFolder& folder() { return m_folder; }
    Service& service() { return **m_service; }
    TerminalSwarm& terminals() { return *m_terminals; }
    // The fleet's driver i (from 0), whose terminal is the swarm's terminal i.
    const test::DemoDriver& driver(int i) const { return m_folder.drivers().at(m_firstDriver + i); }

    // Binds the first `count` terminals; false, with a line on stderr, when some could not be bound.
    bool bind(int count);

private:
    test::ServiceFolder m_folder;
    qsizetype m_firstDriver = 0;
    std::unique_ptr<test::RunningService> m_service;
    std::unique_ptr<TerminalSwarm> m_terminals;
};

} // namespace taxi::bench
