#include "app/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "app/CommandTable.h"
#include "app/Icons.h"
#include "app/WindowRegistry.h"
#include "core/AppPaths.h"
#include "core/Prompt.h"
#include "core/AppContext.h"
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
    {"選択中の機器", 180, "   選択中の機器   "},
    {"フレーム時刻", 180, "   フレーム時刻   "},
    {"エラー情報", 40, "   エラー情報   "},
    {"SD回線速度", 80, "   SD回線速度   "},
    {"RD回線速度", 80, "   RD回線速度   "},
    {"モニタ条件", 60, "   データ長／パリティ   "},
    {"モニタ方向", 50, "   ライン種別   "},
};

// A pane text beginning with "\t" is centred.
void SetPane(QLabel* label, const std::string& text) {
    bool centred = !text.empty() && text[0] == '\t';
    label->setAlignment(centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    label->setText(QString::fromStdString(centred ? text.substr(1) : text));
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
        default:
            has = false;
            return IconKind::App;
    }
}

}  // namespace

MainFrame::MainFrame(QWidget* parent)
    : QMainWindow(parent), m_area(new QMdiArea(this)), m_ctrl(new WindowRegistry(m_area, this)) {
    setWindowTitle("QV-ORT");
    setWindowIcon(MakeIcon(IconKind::App));
    m_area->setViewMode(QMdiArea::SubWindowView);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_area);
    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    resize(1100, 700);

    connect(m_ctrl, &WindowRegistry::stateChanged, this, &MainFrame::UpdateCommands);
    connect(m_ctrl, &WindowRegistry::frameLockChanged, this, &MainFrame::SetLocked);
    connect(m_ctrl, &WindowRegistry::helpRequested, this, [this] { OpenManual(); });
    connect(m_ctrl, &WindowRegistry::exitRequested, this, &QWidget::close);
    connect(m_ctrl, &WindowRegistry::popupMenuRequested, this, &MainFrame::ShowPopup);
    connect(m_area, &QMdiArea::subWindowActivated, m_ctrl, &WindowRegistry::OnSubWindowActivated);
    UpdateCommands();
}

MainFrame::~MainFrame() = default;

QAction* MainFrame::Action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainFrame::BuildActions() {
    for (const auto& c : CommandTexts()) {
        if (!WindowRegistry::IsImplemented(c.id)) continue;
        QString text = QString::fromUtf8(c.text);
        auto* a = new QAction(text, this);
        int tab = text.indexOf('\t');
        if (tab >= 0) a->setShortcut(QKeySequence(text.mid(tab + 1)));
        bool hasIcon = false;
        IconKind icon = IconOf(c.id, hasIcon);
        if (hasIcon) a->setIcon(MakeIcon(icon));
        QString tip = text.left(tab >= 0 ? tab : text.size());
        tip.remove(QRegularExpression("\\(&.\\)|\\.\\.\\.$"));
        a->setToolTip(tip);
        a->setStatusTip(tip);
        a->setCheckable(EvaluateCommand(c.id, {}).checkable);
        int id = c.id;
        connect(a, &QAction::triggered, this, [this, id] {
            if (id == kCmdAbout) {
                AboutDialog dlg(this);
                dlg.exec();
            } else {
                m_ctrl->Execute(id);
            }
            UpdateCommands();
        });
        m_actions[c.id] = a;
    }
    // F1 opens the manual as the help command does.
    if (auto* help = Action(kCmdHelp)) help->setShortcut(QKeySequence(Qt::Key_F1));
}

QMenu* MainFrame::AddMenu(const QString& title, std::initializer_list<int> ids) {
    QMenu* menu = menuBar()->addMenu(title);
    for (int id : ids) {
        if (id == 0)
            menu->addSeparator();
        else if (QAction* a = Action(id))
            menu->addAction(a);
    }
    return menu;
}

void MainFrame::BuildMenus() {
    AddMenu("ファイル(&F)", {kCmdFileOpen, kCmdFileClose, 0, kCmdAppExit});
    AddMenu("編集(&E)", {kCmdFirst, kCmdLast});
    QMenu* view = AddMenu("表示(&V)", {kCmdHex, kCmdAscii, kCmdJis7, kCmdJis8, kCmdEbcdic, 0});
    QMenu* monitorColours = view->addMenu("モニタウィンドウの色(&M)");
    for (int id :
         std::initializer_list<int>{kCmdColorSd, kCmdColorRd, kCmdColorControl, kCmdColorOther})
        monitorColours->addAction(Action(id));
    QMenu* dumpColours = view->addMenu("ダンプウィンドウの色(&U)");
    for (int id :
         std::initializer_list<int>{kCmdColorDumpOdd, kCmdColorDumpEven, kCmdColorDumpBoundary})
        dumpColours->addAction(Action(id));
    AddMenu("モニタ(&M)", {kCmdSelectUnit, 0, kCmdMonitorStart, kCmdMonitorPause, kCmdMonitorStop});
    AddMenu("本体(&U)", {kCmdUnitStatus, kCmdUnitClock});
    m_windowMenu = menuBar()->addMenu("ウィンドウ(&W)");
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainFrame::FillWindowMenu);
    FillWindowMenu();
    AddMenu("ヘルプ(&H)", {kCmdHelp, 0, kCmdAbout});
}

void MainFrame::FillWindowMenu() {
    m_windowMenu->clear();
    for (int id : std::initializer_list<int>{kCmdSync, kCmdCascade, kCmdTile})
        m_windowMenu->addAction(Action(id));
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
    QToolBar* bar = addToolBar("ツールバー");
    bar->setObjectName("MainToolBar");
    bar->setMovable(true);
    bar->setIconSize(QSize(24, 24));
    for (int id : std::initializer_list<int>{kCmdFileOpen, kCmdFileClose, 0, kCmdFirst, kCmdLast, 0,
                                             kCmdMonitorStart, kCmdMonitorPause, kCmdMonitorStop, 0,
                                             kCmdSelectUnit, kCmdUnitStatus, kCmdUnitClock, 0,
                                             kCmdSync, kCmdHelp}) {
        if (id == 0)
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
            label->setFixedWidth(width);
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setToolTip(kPanes[i].tip);
            label->setAccessibleName(kPanes[i].label);
            bar->addPermanentWidget(label);
        }
        SetPane(label, initial[i]);
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
        SetPane(m_panes[i], t[i]);
}

void MainFrame::UpdateCommands() {
    CommandContext ctx = m_ctrl->Context();
    for (auto& [id, action] : m_actions) {
        CommandUiState s = EvaluateCommand(id, ctx);
        action->setEnabled(s.enabled);
        if (action->isCheckable()) action->setChecked(s.checked);
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
    UpdateCommands();
}

void MainFrame::ShowPopup(const std::vector<int>& ids, const QPoint& pos) {
    QMenu menu(this);
    for (int id : ids)
        if (QAction* a = Action(id)) menu.addAction(a);
    if (!menu.isEmpty()) menu.exec(pos);
}

bool MainFrame::OpenManual() {
    // Installed, then beside the build, then in the application folder.
    QString path = QVORT_MANUAL_PATH;
    if (!QFileInfo::exists(path)) path = QVORT_BUILD_MANUAL_PATH;
    if (!QFileInfo::exists(path)) path = QString::fromStdString(AppFile("manual.pdf"));
    if (QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    if (auto* cmn = m_ctrl->Common())
        cmn->WriteLog("ERR", "MainFrm", __LINE__, "manual.pdf を開けませんでした", true);
    return false;
}

void MainFrame::closeEvent(QCloseEvent* e) {
    // A running or paused monitoring must be stopped first, so its capture
    // is finished on disk.
    if (m_ctrl->GetMonitorState() != kMonitorIdle) {
        e->ignore();
        return;
    }
    for (int i = 0; i < WindowRegistry::kSlots; ++i)
        if (!m_ctrl->Slot(i).Free()) m_ctrl->CloseSlot(i);
    e->accept();
}

}  // namespace qv
