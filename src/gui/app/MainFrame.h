// The main frame: the MDI area that holds the capture windows, the menus and
// tool bar built from the command table, and the status bar with its eight
// panes. It forwards every command to the window controller it owns.
#pragma once

#include <QMainWindow>
#include <array>
#include <map>

#include "app/CommandTable.h"
#include "app/StatusPanes.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;

namespace qv {

class ManualOpener;
class WindowRegistry;

class MainFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainFrame(QWidget* parent = nullptr);
    ~MainFrame() override;

    WindowRegistry* Controller() const { return m_ctrl; }
    QMdiArea* MdiArea() const { return m_area; }
    // The action of a command id, or null when the menus do not offer it.
    QAction* Action(int id) const;
    QString PaneText(int pane) const;
    // Pane 0, the message pane.
    void SetMessage(const QString& text);
    bool IsLocked() const { return m_locked; }

    // Re-evaluates the enabling and check marks of every command, and the
    // status bar.
    void UpdateCommands();
    void RefreshStatusBar();
    // Keeps the window's size, position and maximised state in "QV-ORT.conf"
    // for the next start.
    void SavePlacement();
    // Opens the manual with the desktop's viewer; when it is missing or
    // nothing can open it, says so with the manual's path.
    void OpenManual();

  protected:
    void closeEvent(QCloseEvent* e) override;
    // A capture's .qvr or its folder dropped on the window opens it; several
    // open one window each, as far as the window limit allows.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    // Opens at the saved place, fitted to the screen's available area.
    void PlaceOnScreen();
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void FillWindowMenu();
    // The File menu's list of the captures opened last, made each time the
    // menu opens.
    void FillRecentMenu();
    void SetLocked(bool locked);
    void ShowPopup(PopupMenu which, const QPoint& pos);
    void FillMenu(QMenu* menu, const MenuLayout& layout);
    // Logs (in Japanese) and shows (in the interface's language) one of the
    // manual's messages, which take its path as %1.
    void ReportManual(const char* japanese, const QString& path);

    QMdiArea* m_area;
    WindowRegistry* m_ctrl;
    ManualOpener* m_manual;
    std::map<int, QAction*> m_actions;
    std::array<QLabel*, kStatusPanes> m_panes{};
    std::array<int, kStatusPanes> m_paneWidths{};  // the least width of each pane (pixels)
    QMenu* m_windowMenu = nullptr;
    QMenu* m_recentMenu = nullptr;
    MenuLayout m_windowLayout;
    bool m_locked = false;
};

}  // namespace qv
