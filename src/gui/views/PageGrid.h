// The grid of a paged capture view (the Monitor and Dump windows): a table
// view that leaves movement, selection and scrolling to its window, reporting
// keys, whole wheel notches and focus instead.
#pragma once

#include <QTableView>

namespace qv {

class PageGrid : public QTableView {
    Q_OBJECT
  public:
    using QTableView::QTableView;

    // A wheel notch (120 units) moves three rows or lines.
    static constexpr int kWheelNotch = 120;
    static constexpr int kStepsPerNotch = 3;

  signals:
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void wheelSteps(int steps);  // positive: towards the end
    void focusTaken();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseMoveEvent(QMouseEvent*) override {}
    void wheelEvent(QWheelEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

  private:
    int m_wheelRemainder = 0;
};

}  // namespace qv
