// The chart of the Line window, painted with QPainter: the trace of every
// shown row, the character labels, the record marks along the bottom, the
// X and Y measurement cursors and the mark cursors M1..M5. It draws only the
// visible window, decimated to its pixel columns, and leaves every decision
// about what the input means to its window.
#pragma once

#include <QWidget>
#include <vector>

#include "present/ChartPlot.h"

namespace qv {

class LineChartModel;

class LineChartCanvas : public QWidget {
    Q_OBJECT
  public:
    // Room left of the traces for the row titles (pixels).
    static constexpr int kTitleWidth = 64;
    // Room under the traces for the row of record marks (pixels).
    static constexpr int kMarkRowHeight = 10;

    explicit LineChartCanvas(const LineChartModel& model, QWidget* parent = nullptr);

    // The rectangle the traces are drawn in, and the chart time at an x
    // inside it (x outside is extrapolated).
    QRect PlotRect() const;
    double TimeAtX(int x) const;
    int XAtTime(double t) const;
    // The y of the middle of a trace's row (for pointing at it).
    int RowCentreY(int trace) const;
    // Renders the whole chart into a painter (also used by the benchmark).
    void Render(QPainter& p);
    // Points of the last paint, summed over the traces (a check that
    // decimation keeps a paint proportional to the width).
    size_t LastPointCount() const { return m_lastPoints; }

  signals:
    // A left press or drag: the active cursor goes to this time; `snapTicks`
    // is how far an edge may be to catch it (four pixels), `trace` the trace
    // whose row was pressed (-1 for none).
    void cursorDragged(double t, double snapTicks, int trace);
    void contextRequested(const QPoint& globalPos);
    // Wheel notches (120 units each): positive away from the user.
    void wheelTurned(int steps, bool ctrl);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool focusNextPrevChild(bool) override { return false; }  // arrows and Tab stay here

  private:
    void DrawGrid(QPainter& p, const QRect& r);
    void DrawTraces(QPainter& p, const QRect& r);
    void DrawRecordMarks(QPainter& p, const QRect& r);
    void DrawCursors(QPainter& p, const QRect& r);
    void EmitDrag(const QPoint& pos);

    const LineChartModel& m_model;
    std::vector<PlotPoint> m_points;
    std::vector<size_t> m_labels;
    std::vector<int> m_marks;
    size_t m_lastPoints = 0;
    int m_wheelRemainder = 0;
};

}  // namespace qv
