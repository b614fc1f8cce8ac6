#include "app/ChildFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTitleBar>

#include "app/WindowRegistry.h"

namespace qv {

ChildFrame::ChildFrame(WindowRegistry* ctrl, QWidget* parent) : QMdiSubWindow(parent), m_ctrl(ctrl) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void ChildFrame::SetLocked(bool locked) {
    if (locked == m_locked) return;
    m_locked = locked;
    if (locked) {
        m_unlockedFlags = windowFlags();
        if (isMaximized()) showNormal();
        // Button hints count only with CustomizeWindowHint. The sub-window
        // keeps its close box while it has a system menu, so that box is
        // greyed in paintEvent instead.
        Qt::WindowFlags flags = m_unlockedFlags | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint;
        flags &= ~(Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowMinimizeButtonHint);
        setWindowFlags(flags);
    } else {
        setWindowFlags(m_unlockedFlags);
    }
    show();
    if (QAction* close = CloseAction()) close->setEnabled(!locked);
    update();
}

QAction* ChildFrame::CloseAction() const {
    QMenu* menu = systemMenu();
    if (!menu) return nullptr;
    const QKeySequence ctrlF4(Qt::CTRL | Qt::Key_F4);
    const auto closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    for (QAction* a : menu->actions())
        if (a->shortcut() == ctrlF4 || closeKeys.contains(a->shortcut())) return a;
    return nullptr;
}

QRect ChildFrame::CloseBoxRect() const {
    QStyleOptionTitleBar opt;
    opt.initFrom(this);
    opt.titleBarFlags = windowFlags();
    opt.subControls = QStyle::SC_All;
    opt.rect = QRect(0, 0, width(), style()->pixelMetric(QStyle::PM_TitleBarHeight, &opt, this));
    return style()->subControlRect(QStyle::CC_TitleBar, &opt, QStyle::SC_TitleBarCloseButton, this);
}

void ChildFrame::paintEvent(QPaintEvent* e) {
    QMdiSubWindow::paintEvent(e);
    if (!m_locked || isMinimized()) return;
    // A veil of the disabled window colour: the box reads as unavailable in
    // any style, as a greyed close box does on other desktops.
    QPainter painter(this);
    QColor veil = palette().color(QPalette::Disabled, QPalette::Window);
    veil.setAlpha(170);
    painter.fillRect(CloseBoxRect(), veil);
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
