#include "push/event_reactions.h"

#include "core/data_module.h"
#include "core/event_runner.h"
#include "core/services.h"
#include "push/message_notice.h"
#include "push/offers.h"

#include <exception>

namespace taxi {

namespace {
const QString kConnectionRecordsChanged = QStringLiteral("EV_UpdateGPRS_SET_KLIENT");
} // namespace

EventReactions::EventReactions(Services& services, QObject* parent) : QObject(parent), m_services(services) {
    m_dispatcherReactions = {
        {QStringLiteral("EV_InsertMSG_FOR_VODIY"),
         [this] {
             announcePersonalMessage(m_services);
         }},
        {QStringLiteral("EV_InsertZAMOVLENNIA"),
         [this] {
             if (m_hooks.reloadOrderFlow)
                 m_hooks.reloadOrderFlow(true);
         }},
        {QStringLiteral("EV_UpdateZAMOVLENNIA"),
         [this] {
             if (m_hooks.reloadOrderFlow)
                 m_hooks.reloadOrderFlow(false);
         }},
        {QStringLiteral("EV_REFLESH_ZAD_AVTO"),
         [this] {
             if (m_hooks.refreshStands)
                 m_hooks.refreshStands();
         }},
        {QStringLiteral("EV_REFLESH_DANI_VODIY_GPRS"),
         [this] {
             REFLESH_DATE_POVIDOML_PORT(m_services);
         }},
    };
    connect(&services.data.dispatcherEvents, &db::EventListener::fired, this,
            [this](const QString& name) { m_services.runner.run([&] { reactToDispatcherEvent(name); }); });
    connect(&services.data.settingsEvents, &db::EventListener::fired, this,
            [this](const QString& name) { m_services.runner.run([&] { reactToSettingsEvent(name); }); });
}

void EventReactions::reactToDispatcherEvent(const QString& name) {
    const auto reaction = m_dispatcherReactions.constFind(name);
    if (reaction == m_dispatcherReactions.cend())
        return;
    try {
        // The work sees what the other programs have committed.
        m_services.data.tranzRizne.commitIfActive();
        (*reaction)();
    } catch (const std::exception&) {
        // Nobody waits for this work: a failure is not worth the operator's attention, and the next
        // change brings the next try.
    }
}

void EventReactions::reactToSettingsEvent(const QString& name) {
    // The other two events of this database are never posted by it.
    if (name == kConnectionRecordsChanged)
        m_services.data.reopenConnectionRecords();
}

} // namespace taxi
