// The frame of every capture window inside the main frame's MDI area. Its
// close box does not close it directly: it asks the window controller, which
// makes the window current and frees its slot.
#pragma once

#include <QMdiSubWindow>

namespace qv {

class WindowRegistry;

class ChildFrame : public QMdiSubWindow {
    Q_OBJECT
  public:
    ChildFrame(WindowRegistry* ctrl, QWidget* parent = nullptr);

    // While monitoring runs its window cannot be closed, maximised or resized.
    void SetLocked(bool locked);
    bool IsLocked() const { return m_locked; }
    // Closes for good (the controller calls this when it frees the slot).
    void CloseForGood();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    WindowRegistry* m_ctrl;
    bool m_locked = false;
    bool m_closing = false;
};

}  // namespace qv
