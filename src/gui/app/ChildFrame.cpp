#include "app/ChildFrame.h"

#include <QCloseEvent>

#include "app/WindowRegistry.h"

namespace qv {

ChildFrame::ChildFrame(WindowRegistry* ctrl, QWidget* parent) : QMdiSubWindow(parent), m_ctrl(ctrl) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void ChildFrame::SetLocked(bool locked) {
    m_locked = locked;
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowCloseButtonHint, !locked);
    flags.setFlag(Qt::WindowMaximizeButtonHint, !locked);
    flags.setFlag(Qt::WindowMinimizeButtonHint, !locked);
    if (locked && isMaximized()) showNormal();
    setWindowFlags(flags);
    show();
}

void ChildFrame::CloseForGood() {
    m_closing = true;
    close();
}

void ChildFrame::closeEvent(QCloseEvent* e) {
    if (m_closing) {
        e->accept();
        return;
    }
    e->ignore();
    if (m_locked) return;
    // Through the event loop, so the frame is not deleted inside its own
    // event handler.
    QMetaObject::invokeMethod(
        m_ctrl,
        [ctrl = m_ctrl, self = QPointer<ChildFrame>(this)] {
            if (self) ctrl->RequestClose(self);
        },
        Qt::QueuedConnection);
}

}  // namespace qv
