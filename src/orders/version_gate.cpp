#include "orders/version_gate.h"

#include "net/request_context.h"

namespace taxi {

namespace {
const QString kUpdateNotice = QStringLiteral(
    "УВАГА. ПОТРІБНО ОНОВИТИ ВЕРСІЮ ПРОГРАМИ. ОНОВИТИ Є МОЖЛИВІСТЬ ЧЕРЕЗ КНОПКУ <Оновити версію> В ОПЦІЯХ "
    "ПРОГРАМИ (в тому меню де є видалити програму) АБО ЗАКАЧАВШИ ПОНОВОМУ З САЙТА.");
}

void answerOutdatedTerminal(const net::RequestContext& context) {
    context.reply(QStringLiteral("<DataClient><NumZam>-1</NumZam><DataStoyanka>") +
                  context.encodeText(kUpdateNotice) + QStringLiteral("</DataStoyanka></DataClient>"));
}

} // namespace taxi
