#include "info/menu_notices.h"

#include "core/journal.h"
#include "core/setting_definitions.h"
#include "core/settings.h"
#include "net/request_context.h"

#include <QList>

namespace taxi {

namespace {

struct MenuNotice {
    QString request;
    QString menu;
    // Two screens are worth the journal, each behind its own switch.
    QString journalSwitch;
    QString journalEntry;
};

const QList<MenuNotice>& menuNotices() {
    static const QList<MenuNotice> notices{
        {QStringLiteral("@MENUOPITUVAN@"), QStringLiteral("MENUOPITUVAN"), {}, {}},
        {QStringLiteral("@MENUMAIN@"), QStringLiteral("MAIN"), {}, {}},
        {QStringLiteral("@MENUPOTIK@"), QStringLiteral("POTIK"), keys::VHID_V_POTIK_ZAM,
         QStringLiteral("Вхід в меню потік замовлень")},
        {QStringLiteral("@MENUSTOYANKI@"), QStringLiteral("STOYANKI"), keys::MENU_STOYNKA,
         QStringLiteral("Вхід в меню список стоянок")},
        {QStringLiteral("@MENUPIDSADKA@"), QStringLiteral("PIDSADKA"), {}, {}},
        {QStringLiteral("@MENUNEWS@"), QStringLiteral("NEWS"), {}, {}},
        {QStringLiteral("@MENUZVIT@"), QStringLiteral("ZVIT"), {}, {}},
    };
    return notices;
}

} // namespace

void recordMenuNotice(const net::RequestContext& context) {
    for (const MenuNotice& notice : menuNotices()) {
        if (context.request != notice.request)
            continue;
        net::PortSlot& slot = context.slot();
        slot.currentMenu = notice.menu;
        if (!notice.journalSwitch.isEmpty() && context.services.settings.isOn(notice.journalSwitch))
            context.services.journal.writeJournal(slot.callsign, 0, notice.journalEntry);
    }
}

} // namespace taxi
