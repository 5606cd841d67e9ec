#include "net/dispatcher.h"

#include "core/data_module.h"
#include "core/metrics.h"
#include "core/services.h"
#include "net/command.h"
#include "net/connection_service.h"
#include "net/request_context.h"

#include <QElapsedTimer>
#include <chrono>

namespace taxi::net {

namespace {
void commitOpenTransactions(DataModule& data) {
    data.tranzGprsRizne.commitIfActive();
    data.tranzRizne.commitIfActive();
}
} // namespace

void VIKONANNYA_ZAPITA(Services& services) {
    ConnectionService& connections = services.connections;
    commitOpenTransactions(services.data);
    const QString request = connections.currentRequest();
    const int port = connections.currentRequestPort();
    if (port != -1 && !request.isEmpty()) {
        QElapsedTimer took;
        took.start();
        QString handledBy;
        const RequestContext context(services, request, port, connections.firstListenerOnPort(port));
        for (const Command& command : connections.commands()) {
            if (!command.handler || !command.matches(request))
                continue;
            // A request on the main port changes nothing but a login.
            if (command.onDriverPort && context.k == 0)
                continue;
            if (handledBy.isEmpty())
                handledBy = command.texts.value(0);
            command.handler(context);
        }
        commitOpenTransactions(services.data);
        services.metrics.requestHandled(handledBy, std::chrono::nanoseconds(took.nsecsElapsed()));
        return;
    }
    commitOpenTransactions(services.data);
}

} // namespace taxi::net
