#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace taxi::net {

// The state of one port: slot 0 is the main port's, slots 1..N the drivers' ports.
struct PortSlot {
    qint32 port = 0;
    qint32 callsign = 0;
    QString driverName; // from the last accepted login; empty when nobody is logged in
    QString standName;  // ZAD_AVTO_VULICA; empty or "[]{}" for none
    QString standPosition = QStringLiteral("0");
    qint32 orderNumber = 0;
    QDateTime orderTime;
    QString orderFrom;
    QString orderTo;
    qint32 clientCode = 0;
    QString orderStatus;
    QString orderExtra;
    QString currentMenu;
    qint32 refusalCount = 0;
    bool flowApplyAllowed = false;

    // What the disconnect and error handling clear; port, callsign, driverName and flowApplyAllowed stay.
    void reset() {
        standName.clear();
        orderFrom.clear();
        orderTo.clear();
        orderStatus.clear();
        orderExtra.clear();
        currentMenu.clear();
        standPosition = QStringLiteral("0");
        orderNumber = clientCode = refusalCount = 0;
        orderTime = QDateTime::currentDateTime();
    }
};

using PortSlotTable = QList<PortSlot>;

} // namespace taxi::net
