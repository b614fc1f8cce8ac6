// The Monitor window: one row per record (time, running counters, error
// flags, channel, and the data character, line states or break flags). Three
// modes: file (pages through a stored capture with its reader), live (the
// newest records of a running monitor, once a second) and paused (a frozen
// snapshot of the last 200 records that can be scrolled).
//
// The window owns neither the reader nor the live monitor; the window
// controller creates them and hands them in.
#pragma once

#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "present/MonitorPage.h"
#include "present/MonitorRows.h"
#include "views/CaptureView.h"
#include "views/MonitorTableModel.h"
#include "views/PageGrid.h"

class QScrollBar;

namespace qv {

class Log;
class ViewConf;
class CaptureReader;
class ILiveMonitor;

// The grid: a table view that leaves movement and selection to the window.
class MonitorGrid : public PageGrid {
    Q_OBJECT
  public:
    using PageGrid::PageGrid;

  signals:
    void rowPressed(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void rowDoubleClicked(int row, Qt::MouseButton button);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

};

class MonitorWindow : public CaptureView {
    Q_OBJECT
  public:
    enum Mode { kLive = 1, kPaused = 2, kFile = 3 };
    // Interval of the live refresh and of the pause hand-over (ms).
    static constexpr int kLiveIntervalMs = 1000;
    static constexpr int kPauseIntervalMs = 100;

    MonitorWindow(ViewConf& conf, Log& log, QWidget* parent = nullptr);
    ~MonitorWindow() override;

    int ShowAtTime(const std::optional<DayTime>& when) override;
    void SetCodes(int direction, int code) override;
    void SetFormatRows(const std::vector<FormatEntry>* rows, bool redraw) override;
    void SetMonitorState(int code, ILiveMonitor* monitor) override;

    // --- what tests and the controller read back
    Mode GetMode() const { return m_mode; }
    int PageRows() const { return m_layout.Rows(); }
    MonitorPageState Page() const { return m_page; }
    QString Caption() const { return m_caption; }
    const MonitorTableModel& Model() const { return *m_model; }
    MonitorGrid* Grid() const { return m_grid; }
    QScrollBar* ScrollBar() const { return m_bar; }
    const MonitorPageLayout& Layout() const { return m_layout; }
    // The selected row on the page, or -1.
    int SelectedRow() const;
    // The snapshot of a pause: its rows and the first one shown.
    int SnapshotCount() const { return static_cast<int>(m_snapshot.size()); }

    // Fills the file-mode page starting at a record (clamped to the last full
    // page). 0, -1 without a reader, or the reader's code.
    int FillPageAt(uint64_t start);
    // Selects the record `row` rows below the page start, as a click does.
    // With `extend` (Shift) the selection runs from where it was anchored
    // to this row, over as many pages as lie between.
    bool SelectRow(int row, bool extend = false);
    std::optional<std::pair<uint64_t, uint64_t>> SelectedRecords() const override;
    // One refresh of the live display, as the 1000 ms timer runs it.
    void RefreshLive();
    // Runs the pause hand-over at once, as the 100 ms timer does.
    void RunPauseTimer();

    // Scroll bar actions, also used by the wheel and tests.
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
    bool eventFilter(QObject* watched, QEvent* e) override;

  protected:
    void DropReader() override;

  private:
    void ShowLiveCaption();
    void OnKey(int key, Qt::KeyboardModifiers modifiers);
    void OnRowPressed(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void OnRowDoubleClicked(int row, Qt::MouseButton button);
    void OnScrollAction(int action);

    void ApplyPageSize();
    void RebuildNames();
    void ApplyColumns();
    // Sizes the TR, SD and RD columns for counts up to `largest`.
    void FitCounterColumns(uint64_t largest);
    void ReloadColors();
    QColor ColorOf(uint8_t header) const;
    void UpdateScrollBar();
    void HighlightSelection();
    void ReportSelection();
    // Moves to a new page/selection in file or paused mode.
    void MoveTo(MonitorPageState state, bool report);
    void FillSnapshotPage();
    MonitorGridRow LiveGridRow(const LiveRow& live) const;
    void StartLiveTimer();
    void SetCaption(const QString& caption);

    ViewConf& m_conf;
    Log& m_log;
    Mode m_mode = kFile;
    CaptureReader* m_reader = nullptr;
    ILiveMonitor* m_live = nullptr;

    MonitorTableModel* m_model;
    MonitorGrid* m_grid;
    QScrollBar* m_bar;
    QTimer m_timer;
    bool m_pauseTimer = false;

    int m_code = 1;  // the working display code
    std::vector<FormatEntry> m_formatRows;
    bool m_haveFormatRows = false;
    LineNames m_names;
    int m_line = 0;
    Protocol m_protocol = Protocol::kAsync;
    QColor m_colors[4];  // SD, RD, line changes, events, as shown

    MonitorPageLayout m_layout;
    MonitorPageState m_page;
    // The other end of a Shift-selection (record + 1); 0: the selection is
    // the selected row alone.
    uint64_t m_anchor = 0;
    std::vector<MonitorGridRow> m_snapshot;
    QString m_caption;
    int m_counterWidth = 0;  // the counter column width last set (pixels)
    uint64_t m_counterLargest = 0;
};

}  // namespace qv
