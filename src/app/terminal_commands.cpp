#include "app/terminal_commands.h"

#include "info/daily_report.h"
#include "info/menu_notices.h"
#include "info/messages.h"
#include "info/news.h"
#include "info/polls.h"
#include "net/connection_commands.h"
#include "orders/driver_alerts.h"
#include "orders/order_commands.h"
#include "orders/pickups.h"
#include "orders/stand_commands.h"
#include "orders/status_snapshot.h"
#include "orders/version_gate.h"
#include "push/order_flow_commands.h"

namespace taxi {

const net::CommandTable& terminalCommands() {
    using net::Command;
    using M = Command::Match;
    const auto row = [](const char* text, M match, Command::Handler handler, bool onDriverPort = true) {
        return Command{{QString::fromUtf8(text)}, match, handler, onDriverPort};
    };
    static const net::CommandTable table{
        row("@S@", M::Equals, &sendStandTable),
        row("@LISTOPITUVAN@", M::Equals, &sendOpenPolls),
        row("@PITAN[", M::Contains, &sendPollQuestion),
        row("@VidVid[(", M::Contains, &storePollAnswer),
        row("@OSOBPOVREADE@", M::Equals, &markMessagesRead),
        row("@OSOBPOV@", M::Equals, &sendPersonalMessages),
        row("@SKARGA(", M::Contains, &storeComplaint),
        row("@NEWS@", M::Equals, &sendNews),
        row("@OC(", M::Contains, &net::login, false),
        row("@CLOSE@", M::Equals, &net::closePort),
        row("@EXIT@", M::Equals, &net::leaveAir),
        row("@PZ7@", M::Equals, &sendStatusSnapshot),
        Command{{QStringLiteral("@PZ1@"), QStringLiteral("@PZ@"), QStringLiteral("@PZ2@"),
                 QStringLiteral("@PZ3@"), QStringLiteral("@PZ4@"), QStringLiteral("@PZ5@"),
                 QStringLiteral("@PZ6@")},
                M::Equals,
                &answerOutdatedTerminal},
        row("@inSTOYNKA[", M::Contains, &registerAtStands),
        row("@PD(", M::Contains, &createPickUp),
        row("@PRZ@", M::Equals, &acceptOrder),
        row("@VDZ@", M::Equals, &refuseOrder),
        row("@ZKZ@", M::Equals, &completeOrder),
        row("@SOS@", M::Equals, &raiseAlarm),
        row("@ZVIN(", M::Contains, &askToCallPassengers),
        row("@ZABRPAS(", M::Contains, &reportPassengersOnBoard),
        row("@ZAPIZNZAM(", M::Contains, &reportLateness),
        row("@ZVIT@", M::Equals, &sendDailyReport),
        row("@LNZ@", M::Equals, &sendOrderFlow),
        row("@VVZ[", M::Contains, &applyForFlowOrder),
        row("@MENUOPITUVAN@", M::Equals, &recordMenuNotice),
        row("@MENUMAIN@", M::Equals, &recordMenuNotice),
        row("@MENUPOTIK@", M::Equals, &recordMenuNotice),
        row("@MENUSTOYANKI@", M::Equals, &recordMenuNotice),
        row("@MENUPIDSADKA@", M::Equals, &recordMenuNotice),
        row("@MENUNEWS@", M::Equals, &recordMenuNotice),
        row("@MENUZVIT@", M::Equals, &recordMenuNotice),
    };
    return table;
}

} // namespace taxi
