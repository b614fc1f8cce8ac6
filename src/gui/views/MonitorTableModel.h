// The rows a Monitor window shows: exactly one page of rows (empty rows past
// the end of a capture), each with its seven cell texts and text colour.
// Rows are only added or removed when the page size changes; new page
// contents are announced as changed data.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <vector>

#include "present/MonitorRows.h"

namespace qv {

struct MonitorGridRow {
    MonitorRow cells;
    QColor color;
    bool Empty() const { return cells[kColDate].empty(); }
};

class MonitorTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit MonitorTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // Grows or shrinks the page to `rows` rows.
    void SetPageRows(int rows);
    // Replaces the page's contents (rows beyond `rows.size()` become empty).
    void SetPage(const std::vector<MonitorGridRow>& rows);
    void ClearPage();
    const MonitorGridRow& Row(int r) const { return m_rows[r]; }
    void SetHeaders(const QStringList& headers);
    QString CellText(int row, int column) const;

  private:
    std::vector<MonitorGridRow> m_rows;
    QStringList m_headers;
};

}  // namespace qv
