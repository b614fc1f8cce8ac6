// The Dump window: the data bytes of a stored capture as a grid of
// hexadecimal cells with a character column, in DUAL, SD or RD mode and in
// the chosen display code. The geometry comes from DumpLayout, the bytes from
// DumpLines and the texts from DumpPageTexts; the window only draws, keeps
// the page and the selected byte, and turns input into movements.
//
// The window owns neither the reader nor its frame; the window controller
// hands both in.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "present/DumpLayout.h"
#include "present/DumpLines.h"
#include "views/CaptureView.h"
#include "views/DumpTableModel.h"
#include "views/PageGrid.h"

class QScrollBar;

namespace qv {

class Log;
class ViewConf;
class CaptureReader;

// The grid: a table view that leaves movement and selection to the window.
class DumpGrid : public PageGrid {
    Q_OBJECT
  public:
    using PageGrid::PageGrid;

  signals:
    void cellPressed(int gridRow, int column, Qt::MouseButton button);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

};

class DumpWindow : public CaptureView {
    Q_OBJECT
  public:
    DumpWindow(ViewConf& conf, Log& log, QWidget* parent = nullptr);
    ~DumpWindow() override;

    int ShowAtTime(const std::optional<DayTime>& when) override;
    void SetCodes(int direction, int code) override;
    void SetFormatRows(const std::vector<FormatEntry>* rows, bool redraw) override;

    // --- what tests read back
    const DumpLayout& Layout() const { return m_layout; }
    int Mode() const { return m_mode; }
    int Code() const { return m_code; }
    uint64_t PageLine() const { return m_pageLine; }
    const std::vector<DumpByte>& Page() const { return m_page; }
    std::optional<uint64_t> SelectedByte() const { return m_selected; }
    QString Caption() const { return m_caption; }
    const DumpTableModel& Model() const { return *m_model; }
    DumpGrid* Grid() const { return m_grid; }
    QScrollBar* ScrollBar() const { return m_bar; }
    // The grid cell of the selected byte, when it is on the page.
    DumpLayout::Cell SelectedCell() const;

    // Selects the byte a cell shows, as a click does; false for a cell
    // without a byte.
    bool SelectCell(int gridRow, int column);

    // Scroll bar actions, also used by the wheel.
    void LineUp();
    void LineDown();
    void PageUp();
    void PageDown();
    void ThumbReleased(int position);

  protected:
    void resizeEvent(QResizeEvent* e) override;
    // A new palette (the desktop's theme) changes the default colours.
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

  private:
    void OnKey(int key, Qt::KeyboardModifiers modifiers);
    void OnCellPressed(int gridRow, int column, Qt::MouseButton button);
    void OnScrollAction(int action);

    // Lays the grid out for the current size and mode; false when it is too
    // small, leaving the old layout.
    bool ApplyLayout();
    void ApplyGridGeometry();
    // The cell sizes the grid's font needs.
    DumpCells CellsForFont() const;
    void ReloadColors();
    void RebuildNames();
    // Fills the page from `line` (clamped) and redraws it.
    void Fill(uint64_t line);
    void MovePage(uint64_t line);
    // Moves the selection to `byte`, bringing the page to it a line at a
    // time when it is just off the page; reports it when asked.
    void MoveSelection(uint64_t byte, bool report);
    void HighlightSelection();
    void ReportSelection();
    void UpdateScrollBar();
    void SetCaption(const QString& caption);
    void DropReader() override;

    ViewConf& m_conf;
    Log& m_log;
    CaptureReader* m_reader = nullptr;
    std::unique_ptr<DumpLines> m_lines;

    DumpTableModel* m_model;
    DumpGrid* m_grid;
    QScrollBar* m_bar;

    DumpLayout m_layout;
    int m_mode = kDumpDual;
    int m_code = 1;  // ASCII until told otherwise
    std::vector<FormatEntry> m_formatRows;
    bool m_haveFormatRows = false;
    std::string m_sdName = "SD", m_rdName = "RD";

    uint64_t m_pageLine = 0;
    std::vector<DumpByte> m_page;
    std::optional<uint64_t> m_selected;       // byte number among the shown ones
    std::optional<uint64_t> m_selectedFrame;  // and its record
    QString m_caption;
};

}  // namespace qv
