#include "core/db/firebird_client.h"

#include "core/text_codec.h"

namespace taxi::db::fb {

Firebird::IMaster* master() {
    static Firebird::IMaster* const instance = Firebird::fb_get_master_interface();
    return instance;
}

Firebird::IUtil* util() {
    return master()->getUtilInterface();
}

QString messageOf(const Firebird::FbException& error) {
    char buffer[2048];
    const unsigned length = util()->formatStatus(buffer, sizeof buffer, error.getStatus());
    // The server writes its messages in the connection's code page.
    return fromWin1251(QByteArrayView(buffer, qsizetype(length))).trimmed();
}

} // namespace taxi::db::fb
