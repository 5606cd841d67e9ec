#pragma once

#include "support/fake_terminal.h"
#include "support/service_fixture.h"

#include <QMap>
#include <QMetaType>
#include <QStringList>
#include <memory>

namespace taxi::net {
struct PortSlot;
}

namespace taxi::test {

// Lines of SETSERVER.INI as "SECTION/KEY" → value.
using IniLines = QMap<QString, QString>;

// A driver's row on the air as the dispatchers' programs would leave it.
struct OnAir {
    int callsign = 0;
    QString stand;
    QString queueNumber;
    int order = 0;             // held order; the row is then busy
    bool freeRideMark = false; // ZAD_AVTO_YUVILEYKA set
};

// The whole service over the demo city, with rows on the air put in place before it starts, and
// terminals bound to the drivers' ports.
class DriversOnStands {
public:
    DriversOnStands();
    ~DriversOnStands();

    ServiceFolder& folder() { return *m_folder; }
    Service& service() { return **m_service; }
    ScriptedOperator& op() { return m_service->op(); }

    // Before start(): a row on the air, taken in by the stand table the start-up builds.
    void putOnAir(const OnAir& row);
    void start(const IniLines& settings = {});

    // Logs the driver in and connects his terminal to his own port (QVERIFY inside).
    void bind(FakeTerminal& phone, int callsign);
    net::PortSlot& slotOf(int callsign);
    // The stand table rebuilt as the database's event about the drivers' rows would have it.
    void refreshStands();

    // The driver's rows as "stand queueNumber", sorted.
    QStringList rowsOf(int callsign);
    QStringList journal(int callsign);
    bool logContains(const QString& line) const { return m_service->logLines().contains(line); }

private:
    std::unique_ptr<ServiceFolder> m_folder;
    std::unique_ptr<RunningService> m_service;
};

// A reply's numbered item or tag value as the service writes free text: UTF-8 in Base64.
QByteArray encoded(const QString& text);

} // namespace taxi::test

Q_DECLARE_METATYPE(taxi::test::OnAir)
