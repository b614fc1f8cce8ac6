#include "views/DumpWindow.h"

#include <QCursor>
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
#include "present/MonitorRows.h"
#include "views/StoredColour.h"
#include "views/ThemeColour.h"
#include "views/Twips.h"

namespace qv {

namespace {

constexpr const char* kSource = "DumpWindow";


}  // namespace

// ---------------------------------------------------------------------------
// DumpGrid

void DumpGrid::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    const QPoint p = e->position().toPoint();
    int row = rowAt(p.y());
    emit cellPressed(row < 0 ? -1 : DumpTableModel::GridRowOf(row), columnAt(p.x()), e->button());
    e->accept();
}

void DumpGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    e->accept();
}

// ---------------------------------------------------------------------------
// DumpWindow

DumpWindow::DumpWindow(ViewConf& conf, Log& log, QWidget* parent)
    : CaptureView(parent),
      m_conf(conf),
      m_log(log),
      m_model(new DumpTableModel(this)),
      m_grid(new DumpGrid(this)),
      m_bar(new QScrollBar(Qt::Vertical, this)),
      m_layout(DumpLayout::Smallest()) {
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(m_grid, 1);
    box->addWidget(m_bar);

    // Full-width characters must be exactly two half-width positions wide, or
    // the character column drifts away from the byte columns.
    QFont font = m_grid->font();
    font.setFamilies({"IPAGothic", "Noto Sans Mono CJK JP", "Monospace"});
    font.setStyleHint(QFont::Monospace);
    m_grid->setFont(font);
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setMinimumSectionSize(0);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setMinimumSectionSize(0);
    m_grid->setShowGrid(true);
    m_grid->setWordWrap(false);
    m_grid->setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_grid);

    m_bar->setTracking(false);
    m_bar->setEnabled(false);

    connect(m_grid, &DumpGrid::keyPressed, this, &DumpWindow::OnKey);
    connect(m_grid, &DumpGrid::cellPressed, this, &DumpWindow::OnCellPressed);
    connect(m_grid, &DumpGrid::wheelSteps, this, [this](int steps) {
        if (steps > 0)
            MovePage(m_pageLine + static_cast<uint64_t>(steps));
        else
            MovePage(m_pageLine - std::min<uint64_t>(m_pageLine, static_cast<uint64_t>(-steps)));
    });
    connect(m_grid, &DumpGrid::focusTaken, this, [this] { emit activated(m_windowId); });
    connect(m_bar, &QScrollBar::actionTriggered, this, &DumpWindow::OnScrollAction);
    connect(m_bar, &QScrollBar::sliderReleased, this,
            [this] { ThumbReleased(m_bar->sliderPosition()); });

    ReloadColors();
    m_model->SetLayout(m_layout);
    ApplyGridGeometry();
}

DumpWindow::~DumpWindow() = default;

// --- messages of the controller ---------------------------------------------

int DumpWindow::ShowAtTime(const std::optional<DayTime>& when) {
    CaptureReader* reader = OwnReader();
    if (!reader) {
        m_log.Write("ERR", kSource, __LINE__, "show at time without a capture reader");
        return -15;
    }
    if (reader != m_reader || !m_lines) {
        m_reader = reader;
        m_lines = std::make_unique<DumpLines>(*reader);
        m_lines->SetScrollStep(SettingsStore::kFileRecords);
        const std::string& name = reader->GetFileName();
        // The index name without its ".qvr"; a name too short to carry one
        // is shown whole.
        SetCaption(QString::fromStdString(name.size() >= 4 ? name.substr(0, name.size() - 4) : name) +
                   " - Dump");
        if (!m_haveFormatRows) reader->ReadFormatRows(m_formatRows);
        RebuildNames();
        ApplyLayout();
    }
    m_selected.reset();
    m_selectedFrame.reset();
    if (!when) return -11;
    uint64_t byte = 0;
    int rc = m_lines->LocateTime(*when, byte);
    if (rc != 0) {
        Fill(m_pageLine);
        return rc;
    }
    Fill(m_lines->LineOfByte(byte));
    MoveSelection(byte, false);
    // The byte shown may stand at another time than the one asked for (a line
    // change or an event there); the other windows are told where it is.
    DayTime shown;
    if (m_reader->GetEndRecordTime(shown) == 0 && shown != *when) ReportSelection();
    return 0;
}

void DumpWindow::SetCodes(int direction, int code) {
    ReloadColors();
    const bool modeChanged = direction != m_mode;
    m_mode = direction == kDumpSd || direction == kDumpRd ? direction : kDumpDual;
    m_code = code;
    if (!modeChanged) {
        Fill(m_pageLine);
        return;
    }
    // The bytes are numbered anew for the other directions; the page keeps
    // to the selected record, or else to its first one.
    std::optional<uint64_t> anchor = m_selectedFrame;
    if (!anchor && !m_page.empty()) anchor = m_page.front().frame;
    ApplyLayout();
    if (!m_lines) return;
    const bool hadSelection = m_selected.has_value();
    m_selected.reset();
    m_selectedFrame.reset();
    uint64_t byte = 0;
    if (anchor && m_lines->LocateFrame(*anchor, byte) == 0) {
        Fill(m_lines->LineOfByte(byte));
        if (hadSelection) MoveSelection(byte, false);
    } else {
        Fill(0);
    }
}

void DumpWindow::DropReader() {
    m_lines.reset();
    m_reader = nullptr;
}

void DumpWindow::SetFormatRows(const std::vector<FormatEntry>* rows, bool redraw) {
    if (!rows && !m_reader) {
        m_log.Write("ERR", kSource, __LINE__, "display format without rows");
        return;
    }
    if (rows)
        m_formatRows = *rows;
    else
        m_reader->ReadFormatRows(m_formatRows);
    m_haveFormatRows = true;
    RebuildNames();
    if (redraw) Fill(m_pageLine);
}

// --- page and selection --------------------------------------------------------------

void DumpWindow::Fill(uint64_t line) {
    if (!m_lines) {
        m_page.clear();
        m_model->SetTexts({});
        UpdateScrollBar();
        return;
    }
    uint64_t start = m_lines->FillPage(line, m_page);
    m_pageLine = start == UINT64_MAX ? m_lines->ClampLine(line) : start;
    DumpTextOptions options{m_mode, m_layout.BytesPerLine(), m_code, m_sdName, m_rdName};
    m_model->SetTexts(DumpPageTexts(m_page, options, DisplayCodeTable()));
    // The reader stays on the selected record: the status bar and the
    // commands of the window read it there.
    if (m_selectedFrame) m_reader->GoToFrame(*m_selectedFrame);
    HighlightSelection();
    UpdateScrollBar();
}

void DumpWindow::MovePage(uint64_t line) {
    if (!m_lines) return;
    Fill(m_lines->ClampLine(line));
}

void DumpWindow::MoveSelection(uint64_t byte, bool report) {
    if (!m_lines || m_lines->TotalBytes() == 0) return;
    byte = std::min(byte, m_lines->TotalBytes() - 1);
    uint64_t line = m_lines->LineShowing(byte, m_pageLine);
    if (line != m_pageLine || m_page.empty()) Fill(line);
    const uint64_t first = m_pageLine * m_layout.BytesPerLine();
    if (byte < first || byte - first >= m_page.size()) return;
    m_selected = byte;
    m_selectedFrame = m_page[byte - first].frame;
    m_reader->GoToFrame(*m_selectedFrame);
    HighlightSelection();
    if (report) ReportSelection();
}

DumpLayout::Cell DumpWindow::SelectedCell() const {
    const uint64_t first = m_pageLine * m_layout.BytesPerLine();
    if (!m_selected || *m_selected < first || *m_selected - first >= m_page.size()) return {};
    const auto index = static_cast<int>(*m_selected - first);
    return m_layout.CellOfPageIndex(index, m_page[static_cast<size_t>(index)].IsSd());
}

bool DumpWindow::SelectCell(int gridRow, int column) {
    if (!m_lines) return false;
    const int index = m_layout.PageIndexOfCell(gridRow, column);
    if (index < 0 || static_cast<size_t>(index) >= m_page.size()) return false;
    const DumpByte& b = m_page[static_cast<size_t>(index)];
    // In DUAL mode the column's byte shows in one of the two rows only.
    if (m_mode == kDumpDual && b.IsSd() != (DumpLayout::TextRowOfGridRow(gridRow) % 2 == 0))
        return false;
    MoveSelection(m_pageLine * m_layout.BytesPerLine() + static_cast<uint64_t>(index), true);
    return true;
}

void DumpWindow::HighlightSelection() {
    auto* sel = m_grid->selectionModel();
    DumpLayout::Cell cell = SelectedCell();
    if (cell.gridRow < 0) {
        sel->clearSelection();
        return;
    }
    sel->setCurrentIndex(m_model->index(DumpTableModel::ModelRowOf(cell.gridRow), cell.column),
                         QItemSelectionModel::ClearAndSelect);
}

void DumpWindow::ReportSelection() {
    if (!m_reader || !m_selectedFrame) return;
    if (m_reader->GoToFrame(*m_selectedFrame) != 0) return;
    DayTime when;
    if (m_reader->GetEndRecordTime(when) != 0) return;
    emit frameReported(m_windowId, when);
}

// --- scrolling and keys ------------------------------------------------------------------

void DumpWindow::LineUp() {
    if (m_pageLine > 0) MovePage(m_pageLine - 1);
}

void DumpWindow::LineDown() {
    MovePage(m_pageLine + 1);
}

void DumpWindow::PageUp() {
    const auto page = static_cast<uint64_t>(m_layout.PageLines());
    MovePage(m_pageLine > page ? m_pageLine - page : 0);
}

void DumpWindow::PageDown() {
    MovePage(m_pageLine + static_cast<uint64_t>(m_layout.PageLines()));
}

void DumpWindow::ThumbReleased(int position) {
    if (m_lines) MovePage(m_lines->LineForThumb(position));
}

void DumpWindow::OnScrollAction(int action) {
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
            MovePage(0);
            break;
        case QAbstractSlider::SliderToMaximum:
            if (m_lines) MovePage(m_lines->LastPageLine());
            break;
        default:
            return;  // dragging moves only the thumb until it is released
    }
    // The bar has moved its slider by its own step; put it where the page
    // really landed.
    if (m_lines) m_bar->setSliderPosition(m_lines->ThumbFor(m_pageLine));
}

void DumpWindow::OnKey(int key, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & Qt::ControlModifier) && key >= Qt::Key_1 && key <= Qt::Key_8) {
        emit switchWindowRequested(key - Qt::Key_1 + 1, m_windowId);
        return;
    }
    if (key == Qt::Key_F1) {
        emit commandRequested(kCmdHelp);
        return;
    }
    if (!m_lines || m_lines->TotalBytes() == 0) return;
    const uint64_t perLine = static_cast<uint64_t>(m_layout.BytesPerLine());
    const uint64_t pageBytes = m_lines->PageBytes();
    const uint64_t last = m_lines->TotalBytes() - 1;
    // Without a selection the first key picks the page's first byte.
    const uint64_t sel = m_selected.value_or(m_pageLine * perLine);
    if (!m_selected && key != Qt::Key_Home && key != Qt::Key_End) {
        MoveSelection(sel, true);
        return;
    }
    switch (key) {
        case Qt::Key_Up:
            if (sel >= perLine) MoveSelection(sel - perLine, true);
            break;
        case Qt::Key_Down:
            if (last - sel >= perLine) MoveSelection(sel + perLine, true);
            break;
        case Qt::Key_Left:
            if (sel > 0) MoveSelection(sel - 1, true);
            break;
        case Qt::Key_Right:
            if (sel < last) MoveSelection(sel + 1, true);
            break;
        case Qt::Key_PageUp: {
            // The page and the selection move together by a page.
            const auto lines = static_cast<uint64_t>(m_layout.PageLines());
            MovePage(m_pageLine > lines ? m_pageLine - lines : 0);
            MoveSelection(sel > pageBytes ? sel - pageBytes : 0, true);
            break;
        }
        case Qt::Key_PageDown:
            MovePage(m_pageLine + static_cast<uint64_t>(m_layout.PageLines()));
            MoveSelection(std::min(last, sel + pageBytes), true);
            break;
        case Qt::Key_Home:
            MovePage(0);
            MoveSelection(0, true);
            break;
        case Qt::Key_End:
            MovePage(m_lines->LastPageLine());
            MoveSelection(last, true);
            break;
        default:
            break;
    }
}

void DumpWindow::OnCellPressed(int gridRow, int column, Qt::MouseButton button) {
    if (button == Qt::RightButton) {
        emit popupRequested(ViewPopup::kEdit, QCursor::pos());
        return;
    }
    if (button == Qt::LeftButton) SelectCell(gridRow, column);
}

void DumpWindow::UpdateScrollBar() {
    QSignalBlocker block(m_bar);
    if (!m_lines) {
        m_bar->setRange(0, 0);
        m_bar->setEnabled(false);
        return;
    }
    m_bar->setRange(0, m_lines->ScrollMaximum());
    m_bar->setPageStep(m_lines->ChunkScale() ? 1 : m_layout.PageLines());
    m_bar->setSingleStep(1);
    m_bar->setValue(m_lines->ThumbFor(m_pageLine));
    m_bar->setEnabled(m_lines->ScrollEnabled());
}

// --- layout, names and colours ---------------------------------------------------

void DumpWindow::resizeEvent(QResizeEvent* e) {
    CaptureView::resizeEvent(e);
    const uint64_t first = m_pageLine * m_layout.BytesPerLine();
    if (!ApplyLayout() || !m_lines) return;
    uint64_t line = m_lines->LineOfByte(first);
    if (m_selected) line = m_lines->LineShowing(*m_selected, line);
    Fill(line);
}

void DumpWindow::focusInEvent(QFocusEvent* e) {
    CaptureView::focusInEvent(e);
    emit activated(m_windowId);
}

bool DumpWindow::ApplyLayout() {
    auto layout =
        DumpLayout::For(PixelsToTwips(width()), PixelsToTwips(height()), m_mode, CellsForFont());
    // Too small: the old layout stays.
    const bool changed = layout && !(*layout == m_layout);
    if (layout) m_layout = *layout;
    if (m_lines) m_lines->SetShape(m_mode, m_layout.BytesPerLine(), m_layout.PageLines());
    if (changed) {
        m_model->SetLayout(m_layout);
        ApplyGridGeometry();
    }
    return changed;
}

DumpCells DumpWindow::CellsForFont() const {
    // Measured as the grid draws a cell: its text and the focus margin each
    // side. A byte cell holds two digits, and its share of the character
    // column (4/7 of it) one full-width character.
    const QFontMetrics fm = m_grid->fontMetrics();
    const int margin = CellMargin(m_grid);
    DumpCells cells;
    cells.rowTwips = std::max(cells.rowTwips, PixelsToTwips(fm.height() + 2));
    const int bytePixels = std::max(fm.horizontalAdvance("DD") + margin,
                                    (fm.horizontalAdvance(QChar(0xFF37)) + 1) * 7 / 4);
    cells.byteTwips = std::max(cells.byteTwips, PixelsToTwips(bytePixels));
    const QFontMetrics header = m_grid->horizontalHeader()->fontMetrics();
    cells.titleTwips =
        std::max(cells.titleTwips, PixelsToTwips(header.horizontalAdvance("LINE") + margin + 4));
    return cells;
}

void DumpWindow::ApplyGridGeometry() {
    for (int c = 0; c < m_layout.Columns(); ++c)
        m_grid->setColumnWidth(c, TwipsToPixels(m_layout.ColumnTwips(c)));
    m_grid->horizontalHeader()->setFixedHeight(TwipsToPixels(m_layout.RowTwips(0)));
    for (int g = 1; g < m_layout.GridRows(); ++g) {
        const int row = DumpTableModel::ModelRowOf(g);
        const int h = TwipsToPixels(m_layout.RowTwips(g));
        m_grid->setRowHidden(row, h == 0);
        if (h > 0) m_grid->setRowHeight(row, h);
    }
}

void DumpWindow::RebuildNames() {
    MonitorSettings m;
    SamplingSettings s;
    if (m_reader) m_reader->GetMonitorSettings(m, s);
    LineNames names = MonitorLineNames(m_formatRows, m.Line);
    m_sdName = names[0];
    m_rdName = names[1];
}

void DumpWindow::ReloadColors() {
    // The theme's palette, not the grid's own: that one carries the
    // boundary colour set below.
    const QPalette theme = palette();
    const QColor odd =
        ShownViewColor(ViewColor::DumpOdd, m_conf.GetColor(ViewColor::DumpOdd), theme);
    const QColor even =
        ShownViewColor(ViewColor::DumpEven, m_conf.GetColor(ViewColor::DumpEven), theme);
    const QColor boundary =
        ShownViewColor(ViewColor::DumpBoundary, m_conf.GetColor(ViewColor::DumpBoundary), theme);
    m_model->SetColors({odd, even, boundary});
    // What lies below the last row is the boundary colour too.
    QPalette p = m_grid->palette();
    p.setColor(QPalette::Base, boundary);
    m_grid->setPalette(p);
}

void DumpWindow::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange) ReloadColors();
}

void DumpWindow::SetCaption(const QString& caption) {
    m_caption = caption;
    setWindowTitle(caption);
    if (m_frame) m_frame->setWindowTitle(caption);
}

}  // namespace qv
