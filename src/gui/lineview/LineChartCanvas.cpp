#include "lineview/LineChartCanvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "present/ChartScale.h"
#include "present/LineChartModel.h"
#include "views/StoredColour.h"

namespace qv {

namespace {

const QColor kBackground(16, 16, 24);
const QColor kGrid(70, 70, 80);
const QColor kTitle(220, 220, 220);
const QColor kRecordMark(150, 150, 150);
// The cursors take the stronger shades of their fields' colours.
const QColor kCursorX(80, 150, 255);
const QColor kCursorY(255, 90, 130);
const QColor kMarkCursor(0, 0, 255);
constexpr int kSnapPixels = 4;
constexpr int kLabelGapPixels = 4;


}  // namespace

LineChartCanvas::LineChartCanvas(const LineChartModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 160);
}

QRect LineChartCanvas::PlotRect() const {
    return QRect(kTitleWidth, 4, std::max(1, width() - kTitleWidth - 4),
                 std::max(1, height() - 8 - kMarkRowHeight));
}

double LineChartCanvas::TimeAtX(int x) const {
    const QRect r = PlotRect();
    const auto& v = m_model.Viewport();
    return v.Left() + (x - r.left()) * (v.Right() - v.Left()) / r.width();
}

int LineChartCanvas::XAtTime(double t) const {
    const QRect r = PlotRect();
    const auto& v = m_model.Viewport();
    return r.left() + static_cast<int>(std::floor((t - v.Left()) * r.width() / (v.Right() - v.Left())));
}

int LineChartCanvas::RowCentreY(int trace) const {
    const QRect r = PlotRect();
    const double unitsHigh = static_cast<double>(std::max(1, m_model.Layout().rows)) * kChartRowHeight;
    const double units = m_model.Layout().traces[static_cast<size_t>(trace)].base - kChartBaseOffset +
                         kChartRowHeight / 2.0;
    return r.bottom() - static_cast<int>(units * r.height() / unitsHigh);
}

void LineChartCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Render(p);
}

void LineChartCanvas::Render(QPainter& p) {
    p.fillRect(rect(), kBackground);
    const QRect r = PlotRect();
    m_lastPoints = 0;
    DrawGrid(p, r);
    if (!m_model.Loaded()) return;
    DrawTraces(p, r);
    DrawRecordMarks(p, r);
    DrawCursors(p, r);
}

void LineChartCanvas::DrawGrid(QPainter& p, const QRect& r) {
    p.setPen(QPen(kGrid, 0, Qt::DotLine));
    for (int i = 0; i <= kChartDivisionsPerWindow; ++i) {
        const int x = r.left() + r.width() * i / kChartDivisionsPerWindow;
        p.drawLine(x, r.top(), x, r.bottom());
    }
    const int rows = m_model.Layout().rows;
    for (int i = 0; i <= rows; ++i) {
        const int y = r.bottom() - r.height() * i / std::max(rows, 1);
        p.drawLine(r.left(), y, r.right(), y);
    }
}

void LineChartCanvas::DrawTraces(QPainter& p, const QRect& r) {
    const ChartLayout& layout = m_model.Layout();
    if (layout.rows == 0) return;
    const auto& view = m_model.Viewport();
    const PlotScale scale{view.Left(), view.Right(), r.width()};
    const double unitsHigh = static_cast<double>(layout.rows) * kChartRowHeight;
    auto y = [&](double units) { return r.bottom() - units * r.height() / unitsHigh; };

    QFont labelFont = font();
    labelFont.setPointSizeF(std::max(6.0, labelFont.pointSizeF() - 1));
    const QFontMetrics labelMetrics(labelFont);
    const double labelGap = labelMetrics.horizontalAdvance("FF") + kLabelGapPixels;

    for (int i = 0; i < kChartTraceCount; ++i) {
        const auto& style = layout.traces[static_cast<size_t>(i)];
        if (!style.shown) continue;
        const QColor colour = ToQColor(style.colour);
        p.setPen(kTitle);
        p.drawText(QRect(2, static_cast<int>(y(style.base + kChartHigh)) - 4, kTitleWidth - 6,
                         static_cast<int>(y(style.base) - y(style.base + kChartHigh)) + 8),
                   Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(style.title));

        PlotSteps(m_model.Data().traces[static_cast<size_t>(i)], scale, m_points);
        m_lastPoints += m_points.size();
        QPolygonF line;
        line.reserve(static_cast<qsizetype>(m_points.size()));
        for (const auto& pt : m_points)
            line.append(QPointF(r.left() + pt.x, y(layout.LevelY(i, pt.level))));
        p.setPen(QPen(colour, 0));
        p.drawPolyline(line);

        if (i > kChartTraceRd) continue;
        PlotLabels(m_model.Data().labels, i, scale, labelGap, m_labels);
        p.setFont(labelFont);
        const double top = y(layout.LevelY(i, kChartHigh)) - 2;
        for (size_t k : m_labels) {
            const auto& l = m_model.Data().labels[k];
            p.drawText(QPointF(r.left() + scale.X(l.time) + 1, top),
                       QString::asprintf("%02X", l.value));
        }
        p.setFont(font());
    }
}

void LineChartCanvas::DrawRecordMarks(QPainter& p, const QRect& r) {
    const auto& view = m_model.Viewport();
    PlotRecordMarks(m_model.Data().recordTimes, {view.Left(), view.Right(), r.width()}, m_marks);
    p.setPen(QPen(kRecordMark, 0));
    const int y0 = r.bottom() + 2, y1 = r.bottom() + kMarkRowHeight;
    QList<QLine> lines;
    lines.reserve(static_cast<qsizetype>(m_marks.size()));
    for (int c : m_marks)
        lines.append(QLine(r.left() + c, y0, r.left() + c, y1));
    p.drawLines(lines);
}

void LineChartCanvas::DrawCursors(QPainter& p, const QRect& r) {
    p.save();
    p.setClipRect(r.adjusted(0, 0, 1, kMarkRowHeight + 2));
    auto cursor = [&](double t, const QColor& c, const QString& caption, Qt::PenStyle style) {
        const int x = XAtTime(t);
        if (x < r.left() - 1 || x > r.right() + 1) return;
        p.setPen(QPen(c, 0, style));
        p.drawLine(x, r.top(), x, r.bottom() + kMarkRowHeight);
        p.drawText(x + 2, r.top() + p.fontMetrics().ascent(), caption);
    };
    const auto& marks = m_model.Marks();
    for (const auto& m : marks)
        if (m) cursor(*m, kMarkCursor, "<", Qt::DashLine);
    const bool xActive = m_model.Active() == ChartCursor::kX;
    cursor(m_model.CursorTime(ChartCursor::kX), kCursorX, "<X", xActive ? Qt::SolidLine : Qt::DashLine);
    cursor(m_model.CursorTime(ChartCursor::kY), kCursorY, "<Y", xActive ? Qt::DashLine : Qt::SolidLine);
    p.restore();
}

void LineChartCanvas::EmitDrag(const QPoint& pos) {
    const QRect r = PlotRect();
    const int x = std::clamp(pos.x(), r.left(), r.right());
    const auto& v = m_model.Viewport();
    const double unitsHigh = static_cast<double>(m_model.Layout().rows) * kChartRowHeight;
    const double units = static_cast<double>(r.bottom() - pos.y()) * unitsHigh / r.height();
    emit cursorDragged(TimeAtX(x), kSnapPixels * (v.Right() - v.Left()) / r.width(),
                       m_model.Layout().TraceAt(units));
}

void LineChartCanvas::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    if (e->button() == Qt::RightButton) {
        emit contextRequested(e->globalPosition().toPoint());
        return;
    }
    if (e->button() == Qt::LeftButton) EmitDrag(e->position().toPoint());
}

void LineChartCanvas::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) EmitDrag(e->position().toPoint());
}

void LineChartCanvas::wheelEvent(QWheelEvent* e) {
    m_wheelRemainder += e->angleDelta().y();
    const int steps = m_wheelRemainder / 120;
    m_wheelRemainder -= steps * 120;
    if (steps != 0) emit wheelTurned(steps, e->modifiers().testFlag(Qt::ControlModifier));
    e->accept();
}

void LineChartCanvas::keyPressEvent(QKeyEvent* e) {
    emit keyPressed(e->key(), e->modifiers());
}

}  // namespace qv
