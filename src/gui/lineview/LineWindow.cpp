#include "lineview/LineWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "capture/CaptureReader.h"
#include "common/TextRoom.h"
#include "core/Log.h"
#include "core/ViewConf.h"
#include "lineview/LineChartCanvas.h"
#include "present/ChartScale.h"

namespace qv {

namespace {

constexpr const char* kSource = "LineWindow";
// Field colours: X light blue, Y light pink.
const QColor kFieldX(0xDC, 0xEB, 0xFF);
const QColor kFieldY(0xFF, 0xD3, 0xDC);

// The index file's name without its last four characters (".qvr").
QString CutExtension(const std::string& name) {
    return QString::fromStdString(name.size() >= 4 ? name.substr(0, name.size() - 4) : name);
}

}  // namespace

LineWindow::LineWindow(ViewConf& conf, Log& log, QWidget* parent)
    : CaptureView(parent),
      m_log(log),
      m_model(static_cast<uint64_t>(std::max(1, conf.GetLineFrameCount()))) {
    m_canvas = new LineChartCanvas(m_model, this);
    m_controls = BuildControls();
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(2, 2, 2, 2);
    m_layout->addWidget(m_canvas, 1);
    m_layout->addWidget(m_controls);

    connect(m_canvas, &LineChartCanvas::keyPressed, this, &LineWindow::OnKey);
    connect(m_canvas, &LineChartCanvas::wheelTurned, this, &LineWindow::OnWheel);
    connect(m_canvas, &LineChartCanvas::cursorDragged, this, &LineWindow::OnCursorDragged);
    connect(m_canvas, &LineChartCanvas::contextRequested, this,
            [this](const QPoint& pos) { emit popupRequested(ViewPopup::kEdit, pos); });
    setFocusProxy(m_canvas);
    AfterMove();
}

QLineEdit* LineWindow::AddField(QWidget* parent, const QString& name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setMinimumWidth(FieldWidthFor(field, "00/00/00 00:00:00 000m000u000n"));
    m_fields.push_back(field);
    return field;
}

QWidget* LineWindow::BuildControls() {
    // Three columns, so that the window fits beside others: the scroll
    // buttons over the division list, the edge and centre times, and the
    // cursor times over their difference.
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);

    // Scrolling: "|<" and ">|" are there but do nothing, as users know them.
    auto* moves = new QGridLayout;
    const char* texts[] = {"|<", "<<", "<", ">", ">>", ">|"};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(texts[i], box);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedWidth(SmallButtonWidth(b, texts[i], 36));
        moves->addWidget(b, 0, i);
        m_buttons.push_back(b);
    }
    auto& v = m_model.Viewport();
    connect(m_buttons[1], &QPushButton::clicked, this, [this, &v] { v.PageBack(); AfterMove(); });
    connect(m_buttons[2], &QPushButton::clicked, this, [this, &v] { v.StepBack(); AfterMove(); });
    connect(m_buttons[3], &QPushButton::clicked, this, [this, &v] { v.StepForward(); AfterMove(); });
    connect(m_buttons[4], &QPushButton::clicked, this, [this, &v] { v.PageForward(); AfterMove(); });
    m_divisions = new QComboBox(box);
    m_divisions->setFocusPolicy(Qt::NoFocus);
    m_divisions->setMinimumContentsLength(9);
    moves->addWidget(m_divisions, 1, 0, 1, 6);
    moves->setRowStretch(2, 1);
    connect(m_divisions, &QComboBox::currentIndexChanged, this, &LineWindow::OnDivisionChosen);
    grid->addLayout(moves, 0, 0, 2, 1);

    auto* place = new QGroupBox(tr("表示位置"), box);
    auto* placeGrid = new QGridLayout(place);
    // The fields keep the Japanese names as object names, whatever is shown.
    const char* edges[] = {QT_TR_NOOP("左端"), QT_TR_NOOP("中央"), QT_TR_NOOP("右端")};
    for (int i = 0; i < 3; ++i) {
        placeGrid->addWidget(new QLabel(tr(edges[i]), place), i, 0);
        placeGrid->addWidget(AddField(place, edges[i]), i, 1);
    }
    grid->addWidget(place, 0, 1, 2, 1);

    auto* cursors = new QGroupBox(tr("X , Y位置"), box);
    auto* cursorGrid = new QGridLayout(cursors);
    m_selectX = new QPushButton("X", cursors);
    m_selectY = new QPushButton("Y", cursors);
    for (auto* b : {m_selectX, m_selectY}) {
        b->setCheckable(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedWidth(SmallButtonWidth(b, b->text(), 28));
    }
    m_selectX->setChecked(true);
    connect(m_selectX, &QPushButton::clicked, this, [this] { SelectCursor(ChartCursor::kX); });
    connect(m_selectY, &QPushButton::clicked, this, [this] { SelectCursor(ChartCursor::kY); });
    cursorGrid->addWidget(m_selectX, 0, 0);
    cursorGrid->addWidget(AddField(cursors, "X"), 0, 1);
    cursorGrid->addWidget(m_selectY, 1, 0);
    cursorGrid->addWidget(AddField(cursors, "Y"), 1, 1);
    auto paint = [](QLineEdit* f, const QColor& c) {
        QPalette pal = f->palette();
        pal.setColor(QPalette::Base, c);
        pal.setColor(QPalette::Text, Qt::black);
        f->setPalette(pal);
    };
    paint(m_fields[3], kFieldX);
    paint(m_fields[4], kFieldY);
    grid->addWidget(cursors, 0, 2);

    auto* difference = new QGroupBox(tr("カーソル"), box);
    auto* diffGrid = new QGridLayout(difference);
    diffGrid->addWidget(new QLabel("X - Y", difference), 0, 0);
    diffGrid->addWidget(AddField(difference, "X - Y"), 0, 1);
    grid->addWidget(difference, 1, 2);
    grid->setColumnStretch(3, 1);
    return box;
}

QPushButton* LineWindow::Button(const QString& text) const {
    for (auto* b : m_buttons)
        if (b->text() == text) return b;
    if (text == "X") return m_selectX;
    if (text == "Y") return m_selectY;
    return nullptr;
}

QString LineWindow::FieldText(const QString& name) const {
    for (auto* f : m_fields)
        if (f->objectName() == name) return f->text();
    return {};
}

void LineWindow::SetCaption(const QString& caption) {
    m_caption = caption;
    setWindowTitle(caption);
    if (m_frame) m_frame->setWindowTitle(caption);
}

int LineWindow::ShowAtTime(const std::optional<DayTime>& when) {
    CaptureReader* reader = OwnReader();
    if (!reader) {
        m_log.Write("ERR", kSource, __LINE__, "show at time without a capture reader");
        return -15;
    }
    const bool first = m_reader != reader;
    m_reader = reader;
    const int rc = when ? m_model.ShowAtTime(*reader, *when) : -11;
    if (rc != 0) {
        m_log.Write("ERR", kSource, __LINE__,
                    "no record at " + (when ? FormatRecordTimeText(*when) : std::string()), false);
        return rc;
    }
    SetCaption(CutExtension(reader->GetFileName()) + " - Line");
    if (first) FillDivisionList();
    AfterMove();
    emit frameReported(m_windowId, *when);
    return 0;
}

void LineWindow::DropReader() {
    m_model.DropReader();
    m_reader = nullptr;
}

void LineWindow::FillDivisionList() {
    m_filling = true;
    m_divisions->clear();
    for (int i = 0; i < m_model.OfferedDivisions(); ++i)
        m_divisions->addItem(QString::fromStdString(DivisionItemText(i)));
    m_filling = false;
}

void LineWindow::OnDivisionChosen(int index) {
    if (m_filling || index < 0 || !m_model.Loaded()) return;
    if (index != m_model.Viewport().Division()) m_model.Viewport().SetDivision(index);
    AfterMove();
    m_canvas->setFocus();
}

void LineWindow::Zoom(int direction) {
    if (!m_model.Loaded()) return;
    auto& v = m_model.Viewport();
    if (direction == 1 ? v.ZoomIn() : direction == 2 ? v.ZoomOut() : false) AfterMove();
}

void LineWindow::SetCodes(int, int) {
    // The chart shows byte values only; colours come from the display format.
    m_canvas->update();
}

void LineWindow::SetFormatRows(const std::vector<FormatEntry>* rows, bool redraw) {
    std::vector<FormatEntry> table;
    if (rows)
        table = *rows;
    else if (m_reader)
        m_reader->ReadFormatRows(table);
    else
        return;
    m_model.SetFormatRows(table);
    if (redraw) m_model.Reload();
    AfterMove();
}

void LineWindow::AfterMove() {
    const bool loaded = m_model.Loaded();
    if (loaded && m_divisions->currentIndex() != m_model.Viewport().Division()) {
        m_filling = true;
        // A division beyond the list (zoomed out past the loaded span by a
        // reload) still shows its item.
        while (m_divisions->count() <= m_model.Viewport().Division())
            m_divisions->addItem(QString::fromStdString(DivisionItemText(m_divisions->count())));
        m_divisions->setCurrentIndex(m_model.Viewport().Division());
        m_filling = false;
    }
    m_fields[0]->setText(loaded ? QString::fromStdString(m_model.LeftText()) : QString());
    m_fields[1]->setText(loaded ? QString::fromStdString(m_model.CentreText()) : QString());
    m_fields[2]->setText(loaded ? QString::fromStdString(m_model.RightText()) : QString());
    RefreshCursorFields();
    m_canvas->update();
}

void LineWindow::RefreshCursorFields() {
    const bool loaded = m_model.Loaded();
    m_fields[3]->setText(loaded ? QString::fromStdString(m_model.CursorText(ChartCursor::kX)) : QString());
    m_fields[4]->setText(loaded ? QString::fromStdString(m_model.CursorText(ChartCursor::kY)) : QString());
    m_fields[5]->setText(loaded ? QString::fromStdString(m_model.DifferenceText()) : QString());
    m_selectX->setChecked(m_model.Active() == ChartCursor::kX);
    m_selectY->setChecked(m_model.Active() == ChartCursor::kY);
}

void LineWindow::SelectCursor(ChartCursor c) {
    m_model.SetActive(c);
    RefreshCursorFields();
    m_canvas->update();
    m_canvas->setFocus();
}

void LineWindow::OnCursorDragged(double t, double snapTicks, int trace) {
    if (!m_model.Loaded()) return;
    if (!m_model.SnapCursor(t, snapTicks, trace)) m_model.PlaceCursor(t);
    RefreshCursorFields();
    m_canvas->update();
}

void LineWindow::OnWheel(int steps, bool ctrl) {
    if (!m_model.Loaded()) return;
    auto& v = m_model.Viewport();
    bool moved = false;
    for (int i = 0; i < std::abs(steps); ++i) {
        if (ctrl)
            moved |= steps > 0 ? v.ZoomIn() : v.ZoomOut();
        else
            moved |= v.Wheel(steps > 0 ? 1 : -1);
    }
    if (moved) AfterMove();
}

void LineWindow::ReloadAround(int direction) {
    const std::optional<DayTime> when = m_model.ShiftTime(direction);
    if (!when || !m_reader) return;
    // Queued, as a message to itself, so the key press returns first and the
    // reload follows the same path as a time handed in by the controller.
    QTimer::singleShot(0, this, [this, when] {
        if (m_reader) ShowAtTime(when);
    });
}

void LineWindow::OnKey(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers.testFlag(Qt::ControlModifier) && key >= Qt::Key_1 && key <= Qt::Key_8) {
        emit switchWindowRequested(key - Qt::Key_0, m_windowId);
        return;
    }
    if (key == Qt::Key_Insert) {
        m_controlsOnTop = !m_controlsOnTop;
        m_layout->removeWidget(m_controls);
        m_layout->insertWidget(m_controlsOnTop ? 0 : 1, m_controls);
        return;
    }
    if (!m_model.Loaded()) return;
    auto& v = m_model.Viewport();
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    switch (key) {
        case Qt::Key_Left:
            if (shift)
                ReloadAround(-1);
            else
                v.FineBack();
            break;
        case Qt::Key_Right:
            if (shift)
                ReloadAround(+1);
            else
                v.FineForward();
            break;
        case Qt::Key_PageUp:
            v.PageBack();
            break;
        case Qt::Key_PageDown:
            v.PageForward();
            break;
        default:
            return;
    }
    AfterMove();
}

}  // namespace qv
