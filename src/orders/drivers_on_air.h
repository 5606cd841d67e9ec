#pragma once

#include "core/db/sql_value.h"

#include <QString>
#include <QStringList>

namespace taxi {

class DataModule;

// The general pool: the rows of free drivers at no stand.
extern const QStringList kFreeInPool;

// Gives a driver who logs in his first row on the air, at the end of the pool's queue.
// A failure leaves him without a row and is not reported.
void putOnAir(DataModule& data, int callsign, const QString& driverName);

// The next queue number ("0001", "0042", "12345") of the stand whose free rows the condition selects.
QString nextQueueNumber(DataModule& data, const QStringList& condition, const db::SqlParams& params);
QString queueNumberText(qint64 number);

// Rewrites a driver's free-ride marks from his closed orders after a free ride; failures are not reported.
void refreshFreeRideMarks(DataModule& data, int callsign);

} // namespace taxi
