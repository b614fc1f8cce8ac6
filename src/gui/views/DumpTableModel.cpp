#include "views/DumpTableModel.h"

namespace qv {

DumpTableModel::DumpTableModel(QObject* parent)
    : QAbstractTableModel(parent), m_layout(DumpLayout::Smallest()) {}

int DumpTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_layout.GridRows() - 1;
}

int DumpTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_layout.Columns();
}

QString DumpTableModel::CellText(int gridRow, int column) const {
    const int r = DumpLayout::TextRowOfGridRow(gridRow);
    if (r < 0 || r >= static_cast<int>(m_rows.size())) return {};
    const DumpRowText& row = m_rows[static_cast<size_t>(r)];
    if (column == 0) return QString::fromStdString(row.name);
    if (column == m_layout.CharColumn()) return QString::fromStdString(row.chars);
    if (column > 0 && column <= static_cast<int>(row.cells.size()))
        return QString::fromStdString(row.cells[static_cast<size_t>(column - 1)]);
    return {};
}

QVariant DumpTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int gridRow = GridRowOf(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return CellText(gridRow, index.column());
        case Qt::BackgroundRole: {
            const QColor& c = m_colors[static_cast<size_t>(m_layout.Shade(gridRow))];
            return c.isValid() ? QVariant(c) : QVariant();
        }
        case Qt::TextAlignmentRole:
            if (index.column() == m_layout.CharColumn()) return int(Qt::AlignLeft | Qt::AlignVCenter);
            return int(Qt::AlignCenter);
        default:
            return {};
    }
}

QVariant DumpTableModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole)
        return section == m_layout.CharColumn() ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                                : int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    if (section == 0) return QStringLiteral("LINE");
    if (section < m_layout.CharColumn()) return QString::number(section - 1);
    return QString();
}

void DumpTableModel::SetLayout(const DumpLayout& layout) {
    beginResetModel();
    m_layout = layout;
    m_rows.clear();
    endResetModel();
}

void DumpTableModel::SetTexts(std::vector<DumpRowText> rows) {
    m_rows = std::move(rows);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::DisplayRole});
}

void DumpTableModel::SetColors(const std::array<QColor, 3>& colors) {
    m_colors = colors;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole});
}

}  // namespace qv
