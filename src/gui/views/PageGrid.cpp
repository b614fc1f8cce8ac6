#include "views/PageGrid.h"

#include <QKeyEvent>
#include <QWheelEvent>

namespace qv {

void PageGrid::keyPressEvent(QKeyEvent* e) {
    emit keyPressed(e->key(), e->modifiers());
    e->accept();
}

void PageGrid::wheelEvent(QWheelEvent* e) {
    // Wheels that report in finer steps than a notch add up to whole notches.
    m_wheelRemainder += e->angleDelta().y();
    const int notches = m_wheelRemainder / kWheelNotch;
    m_wheelRemainder -= notches * kWheelNotch;
    if (notches) emit wheelSteps(-notches * kStepsPerNotch);
    e->accept();
}

void PageGrid::focusInEvent(QFocusEvent* e) {
    QTableView::focusInEvent(e);
    emit focusTaken();
}

}  // namespace qv
