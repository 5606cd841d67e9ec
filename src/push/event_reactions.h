#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

namespace taxi {

struct Services;

// What the service does when another program changes one of its databases: the database posts a named
// event, and each delivery of a name runs its reaction once, as an event of the service's own. This is
// the only way in which the dispatchers' work reaches the terminals unasked.
//
// The listeners are registered by the data module each time it connects, so a reconnected database
// is heard again without anything done here.
class EventReactions : public QObject {
    Q_OBJECT
public:
    // Reactions that belong to other subsystems; one left unset does nothing.
    struct Hooks {
        std::function<void()> refreshStands; // SPISOK_STOYANOK
        // LIST_POTIK_ZAMOVLEN; true when the terminals showing the flow are to be told (a new order),
        // false when it is rebuilt quietly (an order changed).
        std::function<void(bool tellFlowViewers)> reloadOrderFlow;
    };

    explicit EventReactions(Services& services, QObject* parent = nullptr);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // One delivery of an event of the dispatcher database: its failure ends it without a word, and the
    // next event of the kind starts afresh.
    void reactToDispatcherEvent(const QString& name);
    // One delivery of an event of TAXI_GPRS.FDB: a failed reload of the records reaches the operator.
    void reactToSettingsEvent(const QString& name);

private:
    Services& m_services;
    Hooks m_hooks;
    QHash<QString, std::function<void()>> m_dispatcherReactions;
};

} // namespace taxi
