#pragma once

#include "core/db/result_set.h"

#include <QAbstractTableModel>

namespace taxi::net {

// One driver's connection record (GPRS_SET_KLIENT) as the grid shows it.
struct ConnectionRecord {
    int callsign = 0;
    QString name;
    int port = 0;
    QString password;
    QString activity;
};

// The read-only records grid: the rows of the records list, in the five columns the operators know.
class RecordsGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Callsign, Name, Port, Password, Activity, ColumnCount };

    explicit RecordsGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Takes the rows of a fresh read of the list; the views start over with them.
    void reload(const db::ResultSet& records);
    ConnectionRecord record(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // A copy of the list's rows: the views are told of a change before they see it.
    db::ResultSet m_records;
};

} // namespace taxi::net
