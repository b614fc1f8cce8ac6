#include "views/MonitorTableModel.h"

namespace qv {

MonitorTableModel::MonitorTableModel(QObject* parent) : QAbstractTableModel(parent) {
    m_headers = {"DATE", "TR", "SD", "RD", "ERR", "CH", "DATA"};
}

int MonitorTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MonitorTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kMonitorColumns;
}

QVariant MonitorTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto& row = m_rows[index.row()];
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(row.cells[index.column()]);
        case Qt::ForegroundRole:
            return row.color.isValid() ? QVariant(row.color) : QVariant();
        case Qt::TextAlignmentRole:
            if (index.column() == kColErr || index.column() == kColCh) return int(Qt::AlignCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant MonitorTableModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole && section < m_headers.size()) return m_headers[section];
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

void MonitorTableModel::SetPageRows(int rows) {
    int now = rowCount();
    if (rows > now) {
        beginInsertRows({}, now, rows - 1);
        m_rows.resize(rows);
        endInsertRows();
    } else if (rows < now) {
        beginRemoveRows({}, rows, now - 1);
        m_rows.resize(rows);
        endRemoveRows();
    }
}

void MonitorTableModel::SetPage(const std::vector<MonitorGridRow>& rows) {
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i] = i < rows.size() ? rows[i] : MonitorGridRow{};
    if (!m_rows.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kMonitorColumns - 1));
}

void MonitorTableModel::ClearPage() {
    SetPage({});
}

void MonitorTableModel::SetHeaders(const QStringList& headers) {
    m_headers = headers;
    emit headerDataChanged(Qt::Horizontal, 0, kMonitorColumns - 1);
}

QString MonitorTableModel::CellText(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= kMonitorColumns) return {};
    return QString::fromStdString(m_rows[row].cells[column]);
}

}  // namespace qv
