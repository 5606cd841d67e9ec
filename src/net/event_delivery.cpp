#include "net/event_delivery.h"

#include <QPointer>
#include <utility>
#include <vector>

namespace taxi::net {

namespace {

struct Release {
    QPointer<QObject> context;
    std::function<void()> action;
};

// All socket events arrive on the main thread, so plain statics suffice.
int deliveryDepth = 0;
std::vector<Release> releasesAfterDelivery;

void runIfAlive(const Release& release) {
    if (release.context) {
        release.action();
    }
}

} // namespace

EventDelivery::EventDelivery() {
    ++deliveryDepth;
}

EventDelivery::~EventDelivery() {
    if (--deliveryDepth > 0) {
        return;
    }
    // A release may itself start a delivery and ask for more releases; take the list first.
    const std::vector<Release> due = std::exchange(releasesAfterDelivery, {});
    for (const Release& release : due) {
        runIfAlive(release);
    }
}

bool EventDelivery::inProgress() {
    return deliveryDepth > 0;
}

void EventDelivery::whenIdle(QObject* context, std::function<void()> release) {
    // Posted rather than run at the end of the current delivery, so that code outside any socket event
    // (an operator's button, a tick) that closes connections sees them stay listed until it returns.
    QMetaObject::invokeMethod(
        context,
        [entry = Release{context, std::move(release)}] {
            if (inProgress()) {
                // The event loop that ran us is a modal box inside some handler: wait for that handler.
                releasesAfterDelivery.push_back(entry);
            } else {
                runIfAlive(entry);
            }
        },
        Qt::QueuedConnection);
}

} // namespace taxi::net
