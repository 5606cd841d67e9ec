#include "net/records_grid_model.h"

#include <array>

namespace taxi::net {

namespace {

struct GridColumn {
    QString caption;
    QString field;
    Qt::Alignment alignment;
};

const std::array<GridColumn, RecordsGridModel::ColumnCount> kColumns{{
    {QStringLiteral("ПОЗИВНИЙ"), QStringLiteral("GPRS_SET_KLIENT_POZ"), Qt::AlignLeft | Qt::AlignVCenter},
    {QStringLiteral("ФІО  ВОДІЯ"), QStringLiteral("GPRS_SET_KLIENT_FIO"), Qt::AlignLeft | Qt::AlignVCenter},
    {QStringLiteral("КОД (ПОРТ)"), QStringLiteral("GPRS_SET_KLIENT_PORT"), Qt::AlignLeft | Qt::AlignVCenter},
    {QStringLiteral("ПАРОЛЬ"), QStringLiteral("GPRS_SET_KLIENT_PASS"), Qt::AlignCenter},
    {QStringLiteral("АКТИВНІСТЬ"), QStringLiteral("GPRS_SET_KLIENT_ACTIVNIST"), Qt::AlignCenter},
}};

} // namespace

void RecordsGridModel::reload(const db::ResultSet& records) {
    beginResetModel();
    m_records = records;
    endResetModel();
}

ConnectionRecord RecordsGridModel::record(int row) const {
    const db::Row& fields = m_records.at(row);
    const auto field = [&](Column column) -> const db::Field& {
        return fields[kColumns.at(column).field];
    };
    return {field(Callsign).toInt(), field(Name).toText(), field(Port).toInt(), field(Password).toText(),
            field(Activity).toText()};
}

int RecordsGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_records.size();
}

int RecordsGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordsGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const GridColumn& column = kColumns.at(std::size_t(index.column()));
    if (role == Qt::DisplayRole)
        return m_records.at(index.row())[column.field].toText();
    if (role == Qt::TextAlignmentRole)
        return column.alignment.toInt();
    return {};
}

QVariant RecordsGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return kColumns.at(std::size_t(section)).caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace taxi::net
