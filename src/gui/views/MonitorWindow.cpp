#include "views/MonitorWindow.h"

#include <QCursor>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "common/CommandId.h"
#include "common/TextRoom.h"
#include "core/CodeTable.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/ViewConf.h"
#include "device/LiveMonitor.h"
#include "present/MonitorColumns.h"
#include "views/CounterColumn.h"
#include "views/StoredColour.h"
#include "views/ThemeColour.h"
#include "views/Twips.h"

namespace qv {

namespace {

constexpr const char* kSource = "QvrMonitorMain";

// Grid sizes are kept in twips as the window's layout gives them.
constexpr int kRowTwips = 240;
// The live scroll range: the thumb rests at its end while the display follows
// the newest records.
constexpr int kLiveScrollRange = 20000;


QString CutExtension(const std::string& name) {
    std::string n = name.size() >= 4 ? name.substr(0, name.size() - 4) : name;
    return QString::fromStdString(n);
}

}  // namespace

// ---------------------------------------------------------------------------
// MonitorGrid

void MonitorGrid::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    emit rowPressed(rowAt(e->position().toPoint().y()), e->button(), e->modifiers());
    e->accept();
}

void MonitorGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    emit rowDoubleClicked(rowAt(e->position().toPoint().y()), e->button());
    e->accept();
}

// ---------------------------------------------------------------------------
// MonitorWindow

MonitorWindow::MonitorWindow(ViewConf& conf, Log& log, QWidget* parent)
    : CaptureView(parent),
      m_conf(conf),
      m_log(log),
      m_model(new MonitorTableModel(this)),
      m_grid(new MonitorGrid(this)),
      m_bar(new QScrollBar(Qt::Vertical, this)) {
    m_names = MonitorLineNames({}, 0);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_bar);

    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_grid->verticalHeader()->hide();
    m_grid->setWordWrap(false);
    m_grid->setAlternatingRowColors(false);
    m_grid->setFocusPolicy(Qt::StrongFocus);
    m_grid->horizontalHeader()->setHighlightSections(false);
    int rowHeight = std::max(TwipsToPixels(kRowTwips), m_grid->fontMetrics().height() + 2);
    m_grid->verticalHeader()->setMinimumSectionSize(rowHeight);
    m_grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (const MonitorColumnSpec& c : MonitorColumns())
        m_grid->setColumnWidth(c.column, TwipsToPixels(c.twips));
    WidenColumnsToTitles(m_grid->horizontalHeader());
    // The time column must show a whole record time text in the font in use,
    // which may be wider than the one the twips were chosen for.
    int timeWidth = m_grid->fontMetrics().horizontalAdvance("00/00/00 00:00:00 000m000u000n") + 12;
    m_grid->setColumnWidth(kColDate, std::max(m_grid->columnWidth(kColDate), timeWidth));
    // The data column takes whatever width the window gives it. A stretched
    // last column never shrinks below the width it had, so that width is a
    // line-state text's rather than the twips' wider one: a window that shows
    // the other columns and a line state then needs no horizontal scrolling.
    m_grid->setColumnWidth(
        kColData,
        m_grid->fontMetrics().horizontalAdvance("RS:0 CS:0 ER:0 DR:0 CD:0 CI:0 IN:0 OUT:0") + 12);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    FitCounterColumns(0);
    setFocusProxy(m_grid);
    // The page size follows the grid's data area, whose size settles only
    // after the layout has placed the grid.
    m_grid->viewport()->installEventFilter(this);

    m_bar->setTracking(false);
    m_bar->setEnabled(false);

    connect(m_grid, &MonitorGrid::keyPressed, this, &MonitorWindow::OnKey);
    connect(m_grid, &MonitorGrid::rowPressed, this, &MonitorWindow::OnRowPressed);
    connect(m_grid, &MonitorGrid::rowDoubleClicked, this, &MonitorWindow::OnRowDoubleClicked);
    connect(m_grid, &MonitorGrid::wheelSteps, this, [this](int steps) {
        for (int i = 0; i < std::abs(steps); ++i)
            steps > 0 ? LineDown() : LineUp();
    });
    connect(m_grid, &MonitorGrid::focusTaken, this, [this] { emit activated(m_windowId); });
    connect(m_bar, &QScrollBar::actionTriggered, this, &MonitorWindow::OnScrollAction);
    connect(m_bar, &QScrollBar::sliderReleased, this,
            [this] { ThumbReleased(m_bar->sliderPosition()); });
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_pauseTimer)
            RunPauseTimer();
        else
            RefreshLive();
    });

    ReloadColors();
    m_layout.Set(0, 1);
    m_model->SetPageRows(1);
}

MonitorWindow::~MonitorWindow() = default;

// --- messages of the controller ---------------------------------------------

int MonitorWindow::ShowAtTime(const std::optional<DayTime>& when) {
    CaptureReader* reader = OwnReader();
    if (!reader) {
        m_log.Write("ERR", kSource, __LINE__, "show at time without a capture reader");
        return -15;
    }
    m_reader = reader;
    SetCaption(CutExtension(reader->GetFileName()) + " - Monitor");
    if (!m_haveFormatRows) reader->ReadFormatRows(m_formatRows);
    RebuildNames();
    m_page.selected = 0;
    m_anchor = 0;
    if (!when) return -11;
    int rc = reader->GoToTime(*when);
    if (rc != 0) return rc;
    CursorPosition pos;
    rc = reader->GetCursor(pos);
    if (rc != 0) return rc;
    return FillPageAt(pos.frame);
}

void MonitorWindow::SetCodes(int, int code) {
    m_code = code;
    ReloadColors();
    if (m_mode == kFile)
        FillPageAt(m_page.start);
    else if (m_mode == kPaused)
        FillSnapshotPage();
    else
        RefreshLive();
}

void MonitorWindow::SetFormatRows(const std::vector<FormatEntry>* rows, bool redraw) {
    if (rows) {
        m_formatRows = *rows;
        m_haveFormatRows = true;
    } else if (m_reader) {
        m_reader->ReadFormatRows(m_formatRows);
        m_haveFormatRows = true;
    }
    RebuildNames();
    if (redraw) SetCodes(0, m_code);
}

// The capture's name once the run has one.
void MonitorWindow::ShowLiveCaption() {
    std::string name;
    if (m_live && m_live->GetCaptureName(name) == 0 && name.size() >= 3)
        SetCaption(CutExtension(name) + " - Monitoring");
    else
        SetCaption("Monitoring");
}

void MonitorWindow::SetMonitorState(int code, ILiveMonitor* monitor) {
    switch (code) {
        case 1:
            if (m_mode == kLive && !m_live) {
                // The run this window was opened for has finished starting.
                m_live = monitor;
                ShowLiveCaption();
                RebuildNames();
                RefreshLive();
                return;
            }
            m_live = monitor;
            if (m_mode == kPaused) {
                m_mode = kLive;
                m_bar->setEnabled(true);
                StartLiveTimer();
                RefreshLive();
                return;
            }
            m_mode = kLive;
            m_reader = nullptr;
            m_page = {};
            m_snapshot.clear();
            m_model->ClearPage();
            ShowLiveCaption();
            RebuildNames();
            RefreshLive();
            StartLiveTimer();
            {
                QSignalBlocker block(m_bar);
                m_bar->setRange(0, kLiveScrollRange);
                m_bar->setPageStep(m_layout.Rows());
                m_bar->setValue(kLiveScrollRange);
                m_bar->setEnabled(true);
            }
            return;
        case 2:
            m_pauseTimer = true;
            m_timer.start(kPauseIntervalMs);
            return;
        case 3:
            m_timer.stop();
            m_pauseTimer = false;
            m_mode = kFile;
            m_live = nullptr;
            // The stored capture's own count sizes the columns once it is shown.
            FitCounterColumns(0);
            return;
        default:
            m_log.Write("ERR", kSource, __LINE__, "monitoring state message without a state");
    }
}

void MonitorWindow::DropReader() {
    m_reader = nullptr;
}

// --- file mode ----------------------------------------------------------------

int MonitorWindow::FillPageAt(uint64_t start) {
    if (!m_reader) return -1;
    // Widening the counter columns can show the horizontal scroll bar, which
    // shrinks the page and refills it from inside this call; fit them first
    // so the row count and reader position below are the final ones.
    FitCounterColumns(m_reader->GetTotalRecords());
    const int rows = m_layout.Rows();
    m_layout.Set(m_reader->GetTotalRecords(), rows, m_reader->GetChunkCount(),
                 SettingsStore::kFileRecords);
    start = m_layout.Clamp(start);
    if (m_layout.Total() == 0) {
        m_page = {};
        m_model->ClearPage();
        UpdateScrollBar();
        return 0;
    }
    int rc = m_reader->GoToFrame(start);
    if (rc != 0) return rc;
    MonitorRowFiller filler(DisplayCodeTable(), m_names, m_line, m_protocol, m_code);
    rc = filler.Begin(*m_reader);
    if (rc != 0) return rc;
    std::vector<MonitorGridRow> page;
    page.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        if (r > 0 && m_reader->NextRecord() != 0) break;
        MonitorGridRow row;
        if (filler.Fill(*m_reader, row.cells) != 0) break;
        uint8_t header = 0;
        m_reader->GetHeaderByte(header);
        row.color = ColorOf(header);
        page.push_back(std::move(row));
    }
    m_model->SetPage(page);
    m_page.start = start;
    if (m_page.selected == 0 || m_page.selected > m_layout.Total()) m_page.selected = start + 1;
    m_reader->GoToFrame(m_page.selected - 1);
    HighlightSelection();
    UpdateScrollBar();
    return 0;
}

int MonitorWindow::SelectedRow() const {
    if (m_page.selected == 0 || m_page.selected <= m_page.start) return -1;
    uint64_t row = m_page.selected - 1 - m_page.start;
    return row < static_cast<uint64_t>(m_layout.Rows()) ? static_cast<int>(row) : -1;
}

bool MonitorWindow::SelectRow(int row, bool extend) {
    if (m_mode == kLive || row < 0 || row >= m_model->rowCount()) return false;
    // Rows past the end of the capture have no time and cannot be selected.
    if (m_model->Row(row).Empty()) return false;
    if (m_mode == kFile && !m_reader) return false;
    if (!extend)
        m_anchor = 0;
    else if (m_anchor == 0)
        m_anchor = m_page.selected;
    m_page.selected = m_page.start + row + 1;
    HighlightSelection();
    if (m_mode == kFile) ReportSelection();
    return true;
}

std::optional<std::pair<uint64_t, uint64_t>> MonitorWindow::SelectedRecords() const {
    if (m_mode != kFile || m_page.selected == 0) return std::nullopt;
    const uint64_t other = m_anchor ? m_anchor : m_page.selected;
    return std::pair{std::min(other, m_page.selected) - 1, std::max(other, m_page.selected) - 1};
}

void MonitorWindow::ReportSelection() {
    if (!m_reader || m_page.selected == 0) return;
    if (m_reader->GoToFrame(m_page.selected - 1) != 0) return;
    DayTime when;
    if (m_reader->GetEndRecordTime(when) != 0) return;
    emit frameReported(m_windowId, when);
}

void MonitorWindow::MoveTo(MonitorPageState state, bool report) {
    if (m_mode == kFile) {
        MonitorPageState old = m_page;
        m_page.selected = state.selected;
        if (FillPageAt(state.start) != 0) {
            m_page = old;
            return;
        }
        if (report) ReportSelection();
    } else if (m_mode == kPaused) {
        m_page = state;
        FillSnapshotPage();
    }
}

void MonitorWindow::LineUp() {
    if (m_mode == kLive) {
        emit commandRequested(kCmdMonitorPause);
        return;
    }
    MoveTo({m_layout.LineUp(m_page.start), m_page.selected}, false);
}

void MonitorWindow::LineDown() {
    if (m_mode == kLive) return;
    MoveTo({m_layout.LineDown(m_page.start), m_page.selected}, false);
}

void MonitorWindow::PageUp() {
    if (m_mode == kLive) {
        emit commandRequested(kCmdMonitorPause);
        return;
    }
    MoveTo({m_layout.PageUp(m_page.start), m_page.selected}, false);
}

void MonitorWindow::PageDown() {
    if (m_mode == kLive) return;
    MoveTo({m_layout.PageDown(m_page.start), m_page.selected}, false);
}

void MonitorWindow::ThumbReleased(int position) {
    if (m_mode == kLive) {
        if (position < m_bar->maximum()) {
            QSignalBlocker block(m_bar);
            m_bar->setValue(m_bar->maximum());
            emit commandRequested(kCmdMonitorPause);
        }
        return;
    }
    MoveTo({m_layout.StartForThumb(position), m_page.selected}, false);
}

void MonitorWindow::OnScrollAction(int action) {
    // The bar has already moved its slider by its own step; put the slider
    // where the page really lands, which at the ends or beyond 2^31 records
    // differs from the bar's idea.
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            LineUp();
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            LineDown();
            break;
        case QAbstractSlider::SliderPageStepSub:
            PageUp();
            break;
        case QAbstractSlider::SliderPageStepAdd:
            PageDown();
            break;
        case QAbstractSlider::SliderToMinimum:
            MoveTo({0, m_page.selected}, false);
            break;
        case QAbstractSlider::SliderToMaximum:
            MoveTo({m_layout.LastPageStart(), m_page.selected}, false);
            break;
        default:
            return;  // dragging moves only the thumb until it is released
    }
    if (m_mode != kLive) m_bar->setSliderPosition(m_layout.ThumbFor(m_page.start));
}

void MonitorWindow::OnKey(int key, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & Qt::ControlModifier) && key >= Qt::Key_1 && key <= Qt::Key_8) {
        emit switchWindowRequested(key - Qt::Key_1 + 1, m_windowId);
        return;
    }
    if (key == Qt::Key_F1) {
        emit commandRequested(kCmdHelp);
        return;
    }
    if (m_mode == kLive || (m_mode == kFile && !m_reader)) return;
    std::optional<MonitorPageState> to;
    switch (key) {
        case Qt::Key_Up:
            to = m_layout.KeyUp(m_page);
            break;
        case Qt::Key_Down:
            to = m_layout.KeyDown(m_page);
            break;
        case Qt::Key_PageUp:
            to = m_layout.KeyPageUp(m_page);
            break;
        case Qt::Key_PageDown:
            to = m_layout.KeyPageDown(m_page);
            break;
        case Qt::Key_Home:
            to = m_layout.KeyHome();
            break;
        case Qt::Key_End:
            to = m_layout.KeyEnd();
            break;
        default:
            return;
    }
    // Shift extends the selection from where it stood; any other move
    // leaves the moved-to row alone selected.
    const uint64_t from = m_page.selected;
    MoveTo(*to, true);
    if (!(modifiers & Qt::ShiftModifier))
        m_anchor = 0;
    else if (m_anchor == 0 && from != m_page.selected)
        m_anchor = from;
    HighlightSelection();
}

void MonitorWindow::OnRowPressed(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (button == Qt::RightButton) {
        emit popupRequested(ViewPopup::kEdit, QCursor::pos());
        return;
    }
    if (button == Qt::LeftButton) SelectRow(row, modifiers & Qt::ShiftModifier);
}

void MonitorWindow::OnRowDoubleClicked(int row, Qt::MouseButton button) {
    if (row < 0 || row >= m_model->rowCount() || m_model->Row(row).Empty()) return;
    if (button == Qt::LeftButton || button == Qt::RightButton)
        emit popupRequested(ViewPopup::kWindows, QCursor::pos());
}

// --- live and paused modes -------------------------------------------------------

void MonitorWindow::StartLiveTimer() {
    m_pauseTimer = false;
    m_timer.start(kLiveIntervalMs);
}

MonitorGridRow MonitorWindow::LiveGridRow(const LiveRow& live) const {
    MonitorGridRow row;
    ComposeLiveMonitorRow(live, m_names, m_line, m_protocol, row.cells);
    row.color = ColorOf(live.header);
    return row;
}

void MonitorWindow::RefreshLive() {
    if (m_mode != kLive || !m_live) return;
    uint64_t total = m_live->GetRecordTotal(false);
    // First, as in FillPageAt: fitting the columns may change the page size.
    FitCounterColumns(std::max(total, kLiveCountSpan));
    // The newest records that fit the page, taken in one snapshot.
    std::vector<LiveRow> live;
    if (m_live->LiveRows(false, 0, kLiveRingSlots, live) != 0) live.clear();
    const size_t shown = std::min(live.size(), static_cast<size_t>(m_layout.Rows()));
    std::vector<MonitorGridRow> rows;
    rows.reserve(shown);
    for (size_t i = live.size() - shown; i < live.size(); ++i)
        rows.push_back(LiveGridRow(live[i]));
    m_model->SetPage(rows);
    m_grid->clearSelection();
    emit liveRefreshed(m_windowId);
}

void MonitorWindow::RunPauseTimer() {
    m_timer.stop();
    m_pauseTimer = false;
    if (m_mode == kLive) {
        m_mode = kPaused;
        m_snapshot.clear();
        std::vector<LiveRow> frozen;
        if (m_live && m_live->LiveRows(true, 0, kLiveRingSlots, frozen) == 0) {
            m_snapshot.reserve(frozen.size());
            for (const LiveRow& r : frozen)
                m_snapshot.push_back(LiveGridRow(r));
        }
        m_layout.Set(m_snapshot.size(), m_layout.Rows());
        m_page = {m_layout.LastPageStart(), 0};
        FillSnapshotPage();
    } else if (m_mode == kPaused) {
        m_mode = kLive;
        m_bar->setEnabled(true);
        StartLiveTimer();
    }
}

void MonitorWindow::FillSnapshotPage() {
    m_layout.Set(m_snapshot.size(), m_layout.Rows());
    m_page.start = m_layout.Clamp(m_page.start);
    std::vector<MonitorGridRow> rows;
    for (int r = 0; r < m_layout.Rows() && m_page.start + r < m_snapshot.size(); ++r)
        rows.push_back(m_snapshot[m_page.start + r]);
    m_model->SetPage(rows);
    HighlightSelection();
    UpdateScrollBar();
}

// --- layout, names and colours ---------------------------------------------------

void MonitorWindow::resizeEvent(QResizeEvent* e) {
    CaptureView::resizeEvent(e);
    ApplyPageSize();
}

bool MonitorWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_grid->viewport() && e->type() == QEvent::Resize) ApplyPageSize();
    return CaptureView::eventFilter(watched, e);
}

void MonitorWindow::focusInEvent(QFocusEvent* e) {
    CaptureView::focusInEvent(e);
    emit activated(m_windowId);
}

void MonitorWindow::ApplyPageSize() {
    int dataHeight = m_grid->viewport()->height();
    int rows =
        MonitorPageLayout::RowsFor(dataHeight, m_grid->verticalHeader()->defaultSectionSize());
    if (rows == m_layout.Rows() && m_model->rowCount() == rows) return;
    m_model->SetPageRows(rows);
    m_layout.Set(m_layout.Total(), rows, m_reader ? m_reader->GetChunkCount() : 0,
                 SettingsStore::kFileRecords);
    if (m_mode == kFile && m_reader)
        FillPageAt(m_page.start);
    else if (m_mode == kPaused)
        FillSnapshotPage();
    else if (m_mode == kLive)
        RefreshLive();
}

void MonitorWindow::RebuildNames() {
    MonitorSettings m;
    SamplingSettings s;
    if (m_mode == kFile && m_reader) {
        m_reader->GetMonitorSettings(m, s);
    } else if (StatusSet run; m_live && m_live->GetRunStatus(run)) {
        // A live window shows the run's own settings, not whatever the
        // status files on disk say now.
        m = run.status.monitor;
        if (!m_haveFormatRows) m_formatRows.assign(run.format.begin(), run.format.end());
    }
    m_line = m.Line;
    // A stored code that names no protocol is shown as ASYNC, as the decoder takes it.
    m_protocol =
        m_reader && m_mode == kFile ? m_reader->GetProtocol() : TraitsOfCode(m.Protocol).protocol;
    m_names = MonitorLineNames(m_formatRows, m_line);
    ApplyColumns();
}

void MonitorWindow::ApplyColumns() {
    QStringList headers;
    for (const std::string& title : MonitorHeaderRow(m_names))
        headers << QString::fromStdString(title);
    m_model->SetHeaders(headers);
    for (const MonitorColumnSpec& c : MonitorColumns())
        m_grid->setColumnHidden(c.column, !MonitorColumnShown(c.column, m_protocol));
    // New line names may need wider SD and RD columns.
    m_counterWidth = 0;
    FitCounterColumns(m_counterLargest);
}

void MonitorWindow::FitCounterColumns(uint64_t largest) {
    // A width is set only when the largest count needs another one, so a
    // column the user widened stays so while the count fits.
    m_counterLargest = largest;
    const int width = CounterColumnWidth(*m_grid, largest);
    if (width == m_counterWidth) return;
    m_counterWidth = width;
    const QFontMetrics header = m_grid->horizontalHeader()->fontMetrics();
    for (int c = kColTr; c <= kColRd; ++c) {
        const int title = header.horizontalAdvance(m_model->headerData(c, Qt::Horizontal,
                                                                       Qt::DisplayRole)
                                                       .toString()) +
                          12;
        m_grid->setColumnWidth(c, std::max(width, title));
    }
}

void MonitorWindow::ReloadColors() {
    const ViewColor kinds[] = {ViewColor::MonitorSd, ViewColor::MonitorRd,
                               ViewColor::MonitorControl, ViewColor::MonitorOther};
    for (int i = 0; i < 4; ++i)
        m_colors[i] = ShownViewColor(kinds[i], m_conf.GetColor(kinds[i]), m_grid->palette());
}

void MonitorWindow::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange) {
        ReloadColors();
        m_grid->viewport()->update();
    }
}

QColor MonitorWindow::ColorOf(uint8_t header) const {
    return m_colors[static_cast<int>(HeaderKind(header))];
}

void MonitorWindow::UpdateScrollBar() {
    QSignalBlocker block(m_bar);
    m_bar->setRange(0, m_layout.ScrollMaximum());
    m_bar->setPageStep(m_layout.ChunkScale() ? 1 : m_layout.Rows());
    m_bar->setSingleStep(1);
    m_bar->setValue(m_layout.ThumbFor(m_page.start));
    m_bar->setEnabled(m_layout.ScrollEnabled());
}

void MonitorWindow::HighlightSelection() {
    int row = SelectedRow();
    auto* sel = m_grid->selectionModel();
    const auto records = SelectedRecords();
    if (row < 0 && !records) {
        sel->clearSelection();
        return;
    }
    if (row >= 0)
        sel->setCurrentIndex(m_model->index(row, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        sel->clearSelection();
    if (!records || records->first == records->second) return;
    // The part of a Shift-selection that is on this page.
    const uint64_t first = std::max(records->first, m_page.start);
    const uint64_t last =
        std::min(records->second, m_page.start + static_cast<uint64_t>(m_layout.Rows()) - 1);
    if (first > last) return;
    const QItemSelection rows(
        m_model->index(static_cast<int>(first - m_page.start), 0),
        m_model->index(static_cast<int>(last - m_page.start), m_model->columnCount() - 1));
    sel->select(rows, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void MonitorWindow::SetCaption(const QString& caption) {
    m_caption = caption;
    setWindowTitle(caption);
    if (m_frame) m_frame->setWindowTitle(caption);
}

}  // namespace qv
