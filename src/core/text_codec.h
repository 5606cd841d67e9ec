#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Text is Unicode inside the service and Windows-1251 at its edges: the databases,
// the settings file, the monitoring files and the terminals' wire.
namespace taxi {

QString fromWin1251(QByteArrayView bytes);
QByteArray toWin1251(QStringView text);

} // namespace taxi
