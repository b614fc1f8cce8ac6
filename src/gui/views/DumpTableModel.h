// The cells of a Dump window's grid below its header: the 4L rows of the
// layout (two rows of bytes, a separator and an empty row per line) over C
// columns, each row painted in its shade's colour. The header row is the
// table's horizontal header: "LINE", the byte column numbers and nothing over
// the character column.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <array>
#include <vector>

#include "present/DumpLayout.h"
#include "present/DumpPageText.h"

namespace qv {

class DumpTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit DumpTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // A new layout empties the page.
    void SetLayout(const DumpLayout& layout);
    void SetTexts(std::vector<DumpRowText> rows);
    // Odd rows, even rows and the boundary, indexed by DumpRowShade.
    void SetColors(const std::array<QColor, 3>& colors);

    // Model rows are grid rows less the header row.
    static int GridRowOf(int modelRow) { return modelRow + 1; }
    static int ModelRowOf(int gridRow) { return gridRow - 1; }
    QString CellText(int gridRow, int column) const;

  private:
    DumpLayout m_layout;
    std::vector<DumpRowText> m_rows;
    std::array<QColor, 3> m_colors;
};

}  // namespace qv
