#include "app/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "app/CommandTable.h"
#include "app/ManualOpener.h"
#include "app/ManualPath.h"
#include "app/WindowPlacement.h"
#include "app/WindowRegistry.h"
#include "capture/CaptureFolderList.h"
#include "common/Icons.h"
#include "common/Wireshark.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/ViewConf.h"
#include "dialogs/AboutDialog.h"
#include "settings/FormatEntry.h"

namespace qv {

namespace {

struct PaneSpec {
    const char* label;
    int width;  // pixels
    const char* tip;
};
constexpr PaneSpec kPanes[kStatusPanes] = {
    {"", 180, ""},
    {QT_TRANSLATE_NOOP("StatusBar", "選択中の機器"), 180, QT_TRANSLATE_NOOP("StatusBar", "   選択中の機器   ")},
    {QT_TRANSLATE_NOOP("StatusBar", "フレーム時刻"), 180, QT_TRANSLATE_NOOP("StatusBar", "   フレーム時刻   ")},
    {QT_TRANSLATE_NOOP("StatusBar", "エラー情報"), 40, QT_TRANSLATE_NOOP("StatusBar", "   エラー情報   ")},
    {QT_TRANSLATE_NOOP("StatusBar", "SD回線速度"), 80, QT_TRANSLATE_NOOP("StatusBar", "   SD回線速度   ")},
    {QT_TRANSLATE_NOOP("StatusBar", "RD回線速度"), 80, QT_TRANSLATE_NOOP("StatusBar", "   RD回線速度   ")},
    {QT_TRANSLATE_NOOP("StatusBar", "モニタ条件"), 60, QT_TRANSLATE_NOOP("StatusBar", "   データ長／パリティ   ")},
    {QT_TRANSLATE_NOOP("StatusBar", "モニタ方向"), 50, QT_TRANSLATE_NOOP("StatusBar", "   ライン種別   ")},
};

// The manual's messages; the path lets the user open it some other way, or
// see where the package should have put it.
constexpr const char* kManualNotOpened = QT_TRANSLATE_NOOP(
    "MainFrame",
    "マニュアルを開けませんでした。PDFを表示するアプリケーションをインストールするか、次のファイルを直接開いてください:\n%1");
constexpr const char* kManualMissing =
    QT_TRANSLATE_NOOP("MainFrame", "マニュアルが見つかりません:\n%1");

// A pane text beginning with "\t" is centred. A pane is at least its given
// width and grows to hold its whole text in the font in use, so that
// "12,500,000bps" never shows as "2,500,000bp".
void SetPane(QLabel* label, int minWidth, const std::string& text) {
    bool centred = !text.empty() && text[0] == '\t';
    label->setAlignment(centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    const QString shown = QString::fromStdString(centred ? text.substr(1) : text);
    label->setText(shown);
    if (minWidth > 0) {
        const int needed = label->fontMetrics().horizontalAdvance(shown) + 2 * label->frameWidth() +
                           2 * label->margin() + 8;
        const int width = std::max(minWidth, needed);
        if (label->width() != width || label->minimumWidth() != width) label->setFixedWidth(width);
    }
}

IconKind IconOf(int id, bool& has) {
    has = true;
    switch (id) {
        case kCmdFileOpen:
            return IconKind::Open;
        case kCmdFileClose:
            return IconKind::Close;
        case kCmdFirst:
            return IconKind::First;
        case kCmdLast:
            return IconKind::Last;
        case kCmdMonitorStart:
            return IconKind::Start;
        case kCmdMonitorPause:
            return IconKind::Pause;
        case kCmdMonitorStop:
            return IconKind::Stop;
        case kCmdSelectUnit:
            return IconKind::Unit;
        case kCmdUnitStatus:
            return IconKind::Status;
        case kCmdUnitClock:
            return IconKind::Clock;
        case kCmdSync:
            return IconKind::Sync;
        case kCmdHelp:
            return IconKind::Help;
        case kCmdLineWindow:
            return IconKind::LineChart;
        case kCmdDumpWindow:
            return IconKind::Dump;
        default:
            has = false;
            return IconKind::App;
    }
}

}  // namespace

MainFrame::MainFrame(QWidget* parent)
    : QMainWindow(parent),
      m_area(new QMdiArea(this)),
      m_ctrl(new WindowRegistry(m_area, this)),
      m_manual(new ManualOpener(this)) {
    setWindowTitle("QV-ORT");
    setWindowIcon(MakeIcon(IconKind::App));
    m_area->setViewMode(QMdiArea::SubWindowView);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_area);
    setAcceptDrops(true);
    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    PlaceOnScreen();

    connect(m_ctrl, &WindowRegistry::stateChanged, this, &MainFrame::UpdateCommands);
    connect(m_ctrl, &WindowRegistry::frameLockChanged, this, &MainFrame::SetLocked);
    connect(m_ctrl, &WindowRegistry::helpRequested, this, [this] { OpenManual(); });
    connect(m_manual, &ManualOpener::failed, this,
            [this](const QString& path) { ReportManual(kManualNotOpened, path); });
    connect(m_ctrl, &WindowRegistry::exitRequested, this, &QWidget::close);
    connect(m_ctrl, &WindowRegistry::popupMenuRequested, this, &MainFrame::ShowPopup);
    connect(m_ctrl, &WindowRegistry::messageChanged, this, &MainFrame::SetMessage);
    connect(m_area, &QMdiArea::subWindowActivated, m_ctrl, &WindowRegistry::OnSubWindowActivated);
    UpdateCommands();
}

MainFrame::~MainFrame() = default;

void MainFrame::PlaceOnScreen() {
    std::optional<WindowPlacement> saved = ReadWindowPlacement();
    // The screen the window was on, if it is still there.
    QScreen* screen = saved ? QGuiApplication::screenAt(saved->normal.center()) : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) {
        resize(1100, 700);
        return;
    }
    QRect area = FitToScreen(screen->availableGeometry(),
                             saved ? std::optional<QRect>(saved->normal) : std::nullopt);
    setGeometry(area);
    if (saved && saved->maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainFrame::SavePlacement() {
    WindowPlacement p;
    p.maximized = isMaximized();
    p.normal = p.maximized ? normalGeometry() : geometry();
    if (p.normal.isValid()) WriteWindowPlacement(p);
}

QAction* MainFrame::Action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainFrame::BuildActions() {
    for (const auto& c : CommandTexts()) {
        QString text = QCoreApplication::translate("Menu", c.text);
        auto* a = new QAction(text, this);
        int tab = text.indexOf('\t');
        if (tab >= 0) a->setShortcut(QKeySequence(text.mid(tab + 1)));
        bool hasIcon = false;
        IconKind icon = IconOf(c.id, hasIcon);
        if (hasIcon) a->setIcon(MakeIcon(icon));
        QString tip = text.left(tab >= 0 ? tab : text.size());
        tip.remove(QRegularExpression("\\(&.\\)|\\.\\.\\.$"));
        a->setToolTip(tip);
        if (!hasIcon) a->setIconText(tip);  // a tool bar button without an icon
        a->setStatusTip(tip);
        a->setCheckable(EvaluateCommand(c.id, {}).checkable);
        // Each action runs its own handler; "About" is the frame's own.
        std::function<void()> run = m_ctrl->Handler(c.id);
        if (c.id == kCmdAbout)
            run = [this] {
                // Where it would be when it is missing: the link then says so.
                std::string manual = FindManual();
                if (manual.empty()) manual = InstalledManualHere();
                AboutDialog dlg(QString::fromStdString(manual), this);
                connect(&dlg, &AboutDialog::manualRequested, this, &MainFrame::OpenManual);
                dlg.exec();
            };
        connect(a, &QAction::triggered, this, [this, run] {
            run();
            UpdateCommands();
        });
        m_actions[c.id] = a;
    }
    // F1 opens the manual as the help command does.
    if (auto* help = Action(kCmdHelp)) help->setShortcut(QKeySequence(Qt::Key_F1));
}

void MainFrame::FillMenu(QMenu* menu, const MenuLayout& layout) {
    for (int e : layout.entries) {
        if (e == kMenuSeparator) {
            menu->addSeparator();
        } else if (e < 0) {
            const MenuLayout& sub = layout.subMenus[static_cast<size_t>(SubMenuIndex(e))];
            QMenu* subMenu = menu->addMenu(QCoreApplication::translate("Menu", sub.title.c_str()));
            // Marks another program (qvtool) set meanwhile are in the
            // capture's index: the items are read again as they show.
            connect(subMenu, &QMenu::aboutToShow, this, &MainFrame::UpdateCommands);
            // Its items say why they are greyed when Wireshark is missing.
            if (std::any_of(sub.entries.begin(), sub.entries.end(), IsWiresharkCommand))
                subMenu->setToolTipsVisible(true);
            FillMenu(subMenu, sub);
        } else if (QAction* a = Action(e)) {
            menu->addAction(a);
        }
    }
}

void MainFrame::BuildMenus() {
    for (const MenuLayout& layout : MenuBarLayout()) {
        QMenu* menu = menuBar()->addMenu(QCoreApplication::translate("Menu", layout.title.c_str()));
        if (layout.title == "ウィンドウ(&W)") {
            // Its commands, then the open windows, filled each time it opens.
            m_windowMenu = menu;
            m_windowLayout = layout;
            connect(m_windowMenu, &QMenu::aboutToShow, this, &MainFrame::FillWindowMenu);
            FillWindowMenu();
        } else {
            connect(menu, &QMenu::aboutToShow, this, &MainFrame::UpdateCommands);
            FillMenu(menu, layout);
        }
        if (layout.title == "ファイル(&F)") {
            // Before the last item (exit), so that it stays the last.
            const QList<QAction*> items = menu->actions();
            m_recentMenu = new QMenu(tr("最近使ったキャプチャ(&R)"), menu);
            menu->insertMenu(items.isEmpty() ? nullptr : items.back(), m_recentMenu);
            menu->insertSeparator(items.isEmpty() ? nullptr : items.back());
            connect(menu, &QMenu::aboutToShow, this, &MainFrame::FillRecentMenu);
            FillRecentMenu();
        }
    }
}

namespace {

// The capture indexes among dropped URLs: local .qvr files, and folders
// holding a capture. Anything else is passed over.
std::vector<std::string> DroppedCaptures(const QMimeData* data) {
    std::vector<std::string> out;
    if (!data || !data->hasUrls()) return out;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        std::string path = url.toLocalFile().toStdString();
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (IsDirectory(path)) path = FindCaptureIndex(path);
        if (path.ends_with(".qvr") && PathExists(path) && !IsDirectory(path)) out.push_back(path);
    }
    return out;
}

}  // namespace

void MainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (!DroppedCaptures(e->mimeData()).empty()) e->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent* e) {
    const std::vector<std::string> captures = DroppedCaptures(e->mimeData());
    if (captures.empty()) return;
    e->acceptProposedAction();
    for (const std::string& path : captures)
        // Past the window limit the first refusal says so; the rest would
        // only repeat it.
        if (m_ctrl->OpenCapture(path) == WindowRegistry::kNoSlotFree) break;
    UpdateCommands();
}

void MainFrame::FillRecentMenu() {
    m_recentMenu->clear();
    const AppServices* services = m_ctrl->Services();
    const std::vector<std::string> recent =
        services ? services->conf.GetRecentCaptures() : std::vector<std::string>{};
    int n = 1;
    for (const std::string& path : recent) {
        const QString file = QString::fromStdString(path);
        QAction* a = m_recentMenu->addAction(QString("&%1 %2").arg(n++).arg(file));
        connect(a, &QAction::triggered, this, [this, path] {
            m_ctrl->OpenCapture(path);
            UpdateCommands();
        });
    }
    m_recentMenu->setEnabled(!recent.empty());
}

void MainFrame::FillWindowMenu() {
    m_windowMenu->clear();
    FillMenu(m_windowMenu, m_windowLayout);
    const auto windows = m_area->subWindowList();
    if (!windows.isEmpty()) m_windowMenu->addSeparator();
    int n = 1;
    bool monitoring = m_ctrl->GetMonitorState() != kMonitorIdle;
    for (QMdiSubWindow* w : windows) {
        QAction* a = m_windowMenu->addAction(QString("&%1 %2").arg(n++).arg(w->windowTitle()));
        a->setCheckable(true);
        bool active = w == m_area->activeSubWindow();
        a->setChecked(active);
        // While monitoring runs the user stays on the monitoring window.
        a->setEnabled(!monitoring || active);
        connect(a, &QAction::triggered, this, [this, w] { m_area->setActiveSubWindow(w); });
    }
}

void MainFrame::BuildToolBar() {
    QToolBar* bar = addToolBar(QCoreApplication::translate("MainFrame", "ツールバー"));
    bar->setObjectName("MainToolBar");
    bar->setMovable(true);
    bar->setIconSize(QSize(24, 24));
    for (int id : ToolBarCommands()) {
        if (id == kMenuSeparator)
            bar->addSeparator();
        else if (QAction* a = Action(id))
            bar->addAction(a);
    }
}

void MainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    StatusTexts initial = EmptyStatusTexts();
    for (int i = 0; i < kStatusPanes; ++i) {
        auto* label = new QLabel(bar);
        int width = kPanes[i].width;
        // The frame time pane holds a whole record time text in the font in use.
        if (i == 2)
            width = std::max(
                width,
                label->fontMetrics().horizontalAdvance("00/00/00 00:00:00 000m000u000n") + 12);
        label->setMinimumWidth(width);
        if (i == 0) {
            bar->addWidget(label, 1);
        } else {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setToolTip(QCoreApplication::translate("StatusBar", kPanes[i].tip));
            label->setAccessibleName(QCoreApplication::translate("StatusBar", kPanes[i].label));
            bar->addPermanentWidget(label);
            m_paneWidths[i] = width;
        }
        SetPane(label, m_paneWidths[i], initial[i]);
        m_panes[i] = label;
    }
}

QString MainFrame::PaneText(int pane) const {
    return pane >= 0 && pane < kStatusPanes ? m_panes[pane]->text() : QString();
}

void MainFrame::SetMessage(const QString& text) {
    m_panes[0]->setText(text);
}

void MainFrame::RefreshStatusBar() {
    StatusTexts t = m_ctrl->StatusBarTexts();
    for (int i = 1; i < kStatusPanes; ++i)
        SetPane(m_panes[i], m_paneWidths[i], t[i]);
}

void MainFrame::UpdateCommands() {
    CommandContext ctx = m_ctrl->Context();
    for (auto& [id, action] : m_actions) {
        CommandUiState s = EvaluateCommand(id, ctx);
        action->setEnabled(s.enabled);
        if (action->isCheckable()) action->setChecked(s.checked);
        if (IsWiresharkCommand(id)) action->setToolTip(WiresharkToolTip(ctx.wiresharkInstalled));
    }
    // The SD and RD colour items carry the capture's names for the lines.
    const auto& rows = m_ctrl->CurrentFormatRows();
    FormatTable table{};
    for (size_t i = 0; i < table.size() && i < rows.size(); ++i)
        table[i] = rows[i];
    std::string sd, rd;
    for (int i = 0; i < kFormatHalfRows; ++i) {
        if (table[i].line == kFormatSd && sd.empty()) sd = table[i].name;
        if (table[i].line == kFormatSd + 1 && rd.empty()) rd = table[i].name;
    }
    if (auto* a = Action(kCmdColorSd))
        a->setText(QString::fromStdString((sd.empty() ? "SD" : sd) + "(&S)..."));
    if (auto* a = Action(kCmdColorRd))
        a->setText(QString::fromStdString((rd.empty() ? "RD" : rd) + "(&R)..."));
    // The SD and RD direction items carry the same names.
    if (auto* a = Action(kCmdDirSd))
        a->setText(QString::fromStdString((sd.empty() ? "SD" : sd) + "(&S)\tF3"));
    if (auto* a = Action(kCmdDirRd))
        a->setText(QString::fromStdString((rd.empty() ? "RD" : rd) + "(&R)\tF4"));
    // The mark items carry the marks' names once set.
    const auto names = m_ctrl->CurrentMarkNames();
    for (int n = 1; n <= 5; ++n) {
        // The mark's own item text ("マーク1", translated) before its name.
        const std::string label = "マーク" + std::to_string(n);
        const QString text = QString::fromStdString(MarkItemText(
            QCoreApplication::translate("Menu", label.c_str()).toStdString(), names[n - 1]));
        if (auto* a = Action(MarkJumpCommand(n))) a->setText(text);
        if (auto* a = Action(MarkSetCommand(n))) a->setText(text);
    }
    RefreshStatusBar();
}

void MainFrame::SetLocked(bool locked) {
    m_locked = locked;
    if (locked) {
        if (isMaximized()) showNormal();
        setFixedSize(size());
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    // No maximise box while the run holds the window's size. Only a hint:
    // the window manager redraws the frame, the window stays as it is.
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowMaximizeButtonHint, !locked);
    if (wasVisible && !isVisible()) show();
    UpdateCommands();
}

void MainFrame::ShowPopup(PopupMenu which, const QPoint& pos) {
    UpdateCommands();
    QMenu menu(this);
    FillMenu(&menu, PopupLayout(which));
    if (!menu.isEmpty()) menu.exec(pos);
}

void MainFrame::OpenManual() {
    const std::string found = FindManual();
    if (found.empty())
        ReportManual(kManualMissing, QString::fromStdString(InstalledManualHere()));
    else
        m_manual->Open(QString::fromStdString(found));
}

void MainFrame::ReportManual(const char* japanese, const QString& path) {
    auto* services = m_ctrl->Services();
    if (!services) return;
    services->log.Write("ERR", "MainFrm", __LINE__, QString::fromUtf8(japanese).arg(path).toStdString());
    if (IPrompt* prompt = services->log.GetPrompt())
        prompt->ShowMessage(QCoreApplication::translate("MainFrame", japanese).arg(path).toStdString());
}

void MainFrame::closeEvent(QCloseEvent* e) {
    // A running or paused monitoring must be stopped first, so its capture
    // is finished on disk.
    if (m_ctrl->GetMonitorState() != kMonitorIdle) {
        e->ignore();
        return;
    }
    m_ctrl->CloseAllWindows();
    e->accept();
}

}  // namespace qv
