#include "push/internet_keeper.h"

#include "core/settings.h"
#include "push/network_link.h"

#include <utility>

namespace taxi {

QString InternetKeeper::connectionTypeText(int flags) {
    static const std::pair<int, const char*> kTypes[] = {
        {NetworkLink::Modem, "Modem"},
        {NetworkLink::Lan, "LAN"},
        {NetworkLink::Proxy, "Proxy"},
        {NetworkLink::ModemBusy, "Modem Busy"},
    };
    QString text;
    for (const auto& [flag, name] : kTypes) {
        if (flags & flag)
            text = QString::fromLatin1(name);
    }
    return text;
}

void InternetKeeper::run() {
    const QString required = m_settings.text(keys::POTRIBN_TIP_ZEDNANNYA);
    if (!m_settings.isOn(keys::AUTO_OPEN_INET) || required.isEmpty()) {
        show(kNotSet);
        return;
    }
    const NetworkLink::State state = m_link.connectedState();
    if (!state.connected) {
        show(kNotSet);
        dial();
        return;
    }
    show(connectionTypeText(state.flags));
    // Online through another kind of connection than the one asked for still dials, every run.
    if (required != m_connectionText)
        dial();
}

void InternetKeeper::show(const QString& text) {
    if (m_connectionText == text)
        return;
    m_connectionText = text;
    emit connectionTextChanged();
}

void InternetKeeper::dial() {
    m_link.dial({m_settings.text(keys::NAME_ZEDNANNYA), m_settings.isOn(keys::ZAPIT_INYA_PASS),
                 m_settings.text(keys::NET_IMYA), m_settings.text(keys::NET_PASS)});
}

} // namespace taxi
