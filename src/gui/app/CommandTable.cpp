#include "app/CommandTable.h"

#include <QtGlobal>
#include <algorithm>

#include "core/CodeTable.h"

namespace qv {

const std::vector<CommandInfo>& CommandTexts() {
    static const std::vector<CommandInfo> kTexts = {
        {kCmdFileOpen, QT_TRANSLATE_NOOP("Menu", "ファイルを開く(&O)...\tCtrl+O")},
        {kCmdFileClose, QT_TRANSLATE_NOOP("Menu", "閉じる(&C)")},
        {kCmdFileSave, QT_TRANSLATE_NOOP("Menu", "保存(&S)...\tCtrl+S")},
        {kCmdPrint, QT_TRANSLATE_NOOP("Menu", "印刷(&P)...")},
        {kCmdAppExit, QT_TRANSLATE_NOOP("Menu", "アプリケーションの終了(&X)")},
        {kCmdFirst, QT_TRANSLATE_NOOP("Menu", "先頭へ(&S)")},
        {kCmdLast, QT_TRANSLATE_NOOP("Menu", "最後へ(&B)")},
        {kCmdSearch, QT_TRANSLATE_NOOP("Menu", "検索(&F)...\tCtrl+F")},
        {kCmdFrameJump, QT_TRANSLATE_NOOP("Menu", "フレームJUMP(&R)...")},
        {kCmdTriggerJump, QT_TRANSLATE_NOOP("Menu", "トリガJUMP(&T)...")},
        {kCmdMarkJump1, QT_TRANSLATE_NOOP("Menu", "マーク1")},
        {kCmdMarkJump2, QT_TRANSLATE_NOOP("Menu", "マーク2")},
        {kCmdMarkJump3, QT_TRANSLATE_NOOP("Menu", "マーク3")},
        {kCmdMarkJump4, QT_TRANSLATE_NOOP("Menu", "マーク4")},
        {kCmdMarkJump5, QT_TRANSLATE_NOOP("Menu", "マーク5")},
        {kCmdMarkSet1, QT_TRANSLATE_NOOP("Menu", "マーク1")},
        {kCmdMarkSet2, QT_TRANSLATE_NOOP("Menu", "マーク2")},
        {kCmdMarkSet3, QT_TRANSLATE_NOOP("Menu", "マーク3")},
        {kCmdMarkSet4, QT_TRANSLATE_NOOP("Menu", "マーク4")},
        {kCmdMarkSet5, QT_TRANSLATE_NOOP("Menu", "マーク5")},
        {kCmdProperty, QT_TRANSLATE_NOOP("Menu", "プロパティ(&P)...")},
        {kCmdDisplayFormat, QT_TRANSLATE_NOOP("Menu", "表示設定(&D)...")},
        {kCmdDual, QT_TRANSLATE_NOOP("Menu", "DUAL(&D)\tF2")},
        {kCmdDirSd, QT_TRANSLATE_NOOP("Menu", "SD(&S)\tF3")},
        {kCmdDirRd, QT_TRANSLATE_NOOP("Menu", "RD(&R)\tF4")},
        {kCmdHex, QT_TRANSLATE_NOOP("Menu", "HEX(&H)\tCtrl+F1")},
        {kCmdAscii, QT_TRANSLATE_NOOP("Menu", "ASCII(&A)\tCtrl+F2")},
        {kCmdJis7, QT_TRANSLATE_NOOP("Menu", "JIS7(&J)\tCtrl+F3")},
        {kCmdJis8, QT_TRANSLATE_NOOP("Menu", "JIS8(&K)\tCtrl+F4")},
        {kCmdEbcdic, QT_TRANSLATE_NOOP("Menu", "EBCDIC(&E)\tCtrl+F5")},
        {kCmdShiftJis, QT_TRANSLATE_NOOP("Menu", "シフトJIS(&I)\tCtrl+F6")},
        {kCmdColorSd, QT_TRANSLATE_NOOP("Menu", "SD(&S)...")},
        {kCmdColorRd, QT_TRANSLATE_NOOP("Menu", "RD(&R)...")},
        {kCmdColorControl, QT_TRANSLATE_NOOP("Menu", "制御線(&C)...")},
        {kCmdColorOther, QT_TRANSLATE_NOOP("Menu", "その他(&O)...")},
        {kCmdColorDumpOdd, QT_TRANSLATE_NOOP("Menu", "奇数行(&O)...")},
        {kCmdColorDumpEven, QT_TRANSLATE_NOOP("Menu", "偶数行(&E)...")},
        {kCmdColorDumpBoundary, QT_TRANSLATE_NOOP("Menu", "境界(&S)...")},
        {kCmdSelectUnit, QT_TRANSLATE_NOOP("Menu", "モニタ機器選択(&U)...")},
        {kCmdMonitorParams, QT_TRANSLATE_NOOP("Menu", "モニタパラメータ設定(&H)...")},
        {kCmdMonitorStart, QT_TRANSLATE_NOOP("Menu", "モニタスタート(&S)")},
        {kCmdMonitorPause, QT_TRANSLATE_NOOP("Menu", "モニタポーズ(&P)")},
        {kCmdMonitorStop, QT_TRANSLATE_NOOP("Menu", "モニタストップ(&E)")},
        {kCmdCardRetrieve, QT_TRANSLATE_NOOP("Menu", "本体内モニタデータ取得(&C)")},
        {kCmdUnitStatus, QT_TRANSLATE_NOOP("Menu", "本体状態取得(&R)...")},
        {kCmdUnitClock, QT_TRANSLATE_NOOP("Menu", "本体時刻設定(&T)...")},
        {kCmdSync, QT_TRANSLATE_NOOP("Menu", "同期連動(&K)\tCtrl+K")},
        {kCmdDumpWindow, QT_TRANSLATE_NOOP("Menu", "ダンプウィンドウ(&D)")},
        {kCmdLineWindow, QT_TRANSLATE_NOOP("Menu", "ラインウィンドウ(&L)")},
        {kCmdZoomIn, QT_TRANSLATE_NOOP("Menu", "拡大(&I)\tShift+I")},
        {kCmdZoomOut, QT_TRANSLATE_NOOP("Menu", "縮小(&O)\tShift+O")},
        {kCmdCascade, QT_TRANSLATE_NOOP("Menu", "重ねて表示(&C)")},
        {kCmdTile, QT_TRANSLATE_NOOP("Menu", "並べて表示(&T)")},
        {kCmdWiresharkRaw, QT_TRANSLATE_NOOP("Menu", "ペイロードなし(&N)")},
        {kCmdWiresharkModbus, QT_TRANSLATE_NOOP("Menu", "Modbus RTU(&M)")},
        {kCmdWiresharkDnp3, QT_TRANSLATE_NOOP("Menu", "DNP3(&D)")},
        {kCmdHelp, QT_TRANSLATE_NOOP("Menu", "目次(&O)")},
        {kCmdAbout, QT_TRANSLATE_NOOP("Menu", "バージョン情報 QV-ORT(&A)...")},
    };
    return kTexts;
}

std::string CommandText(int id) {
    for (const auto& c : CommandTexts())
        if (c.id == id) return c.text;
    return {};
}

namespace {

bool In(int id, std::initializer_list<int> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool IsMarkJump(int id) {
    return id >= kCmdMarkJump1 && id <= kCmdMarkJump5;
}
bool IsMarkSet(int id) {
    return id >= kCmdMarkSet1 && id <= kCmdMarkSet5;
}

// Commands of the main frame itself, which work with or without a window.
bool IsFrameCommand(int id) {
    return In(id, {kCmdAppExit, kCmdHelp, kCmdAbout});
}

// The commands that need the selected unit.
bool NeedsUnit(int id) {
    return In(id, {kCmdMonitorStart, kCmdCardRetrieve, kCmdUnitStatus, kCmdUnitClock});
}

bool EnabledByKind(int id, int kind) {
    switch (kind) {
        case kKindNone:
            return In(id, {kCmdFileOpen, kCmdAppExit, kCmdDisplayFormat, kCmdMonitorStart,
                           kCmdMonitorParams});
        case kKindMonitorFile:
            return !In(id, {kCmdDual, kCmdDirSd, kCmdDirRd, kCmdShiftJis, kCmdMonitorStop,
                            kCmdMonitorPause, kCmdZoomIn, kCmdZoomOut});
        case kKindMonitorLive:
            return In(id, {kCmdMonitorStop, kCmdMonitorPause});
        case kKindDump:
            return !In(id, {kCmdHex, kCmdMonitorStart, kCmdMonitorStop, kCmdMonitorPause,
                            kCmdZoomIn, kCmdZoomOut});
        case kKindLine:
            return !(IsMarkSet(id) ||
                     In(id, {kCmdDual, kCmdDirSd, kCmdDirRd, kCmdHex, kCmdAscii, kCmdJis7, kCmdJis8,
                             kCmdEbcdic, kCmdShiftJis, kCmdMonitorStart, kCmdMonitorStop,
                             kCmdMonitorPause, kCmdDumpWindow, kCmdLineWindow}));
        default:
            return false;
    }
}

}  // namespace

int MarkJumpCommand(int n) {
    if (n < 1 || n > 5) return 0;
    return kCmdMarkJump1 + n - 1;
}

int MarkSetCommand(int n) {
    return n < 1 || n > 5 ? 0 : kCmdMarkSet1 + n - 1;
}

int MarkOfCommand(int id) {
    if (IsMarkJump(id)) return id - kCmdMarkJump1 + 1;
    if (IsMarkSet(id)) return id - kCmdMarkSet1 + 1;
    return 0;
}

std::string MarkItemText(const std::string& label, const std::string& name) {
    return name.empty() ? label : label + " : " + name;
}

namespace {

MenuLayout MarkMenu(const char* title, int (*command)(int)) {
    MenuLayout m{title, {}, {}};
    for (int n = 1; n <= 5; ++n)
        m.entries.push_back(command(n));
    return m;
}

// The Edit menu, which is also the pop-up of a right click on a record.
MenuLayout EditMenu(bool popup) {
    MenuLayout m{QT_TRANSLATE_NOOP("Menu", "編集(&E)"), {}, {MarkMenu(QT_TRANSLATE_NOOP("Menu", "マークJUMP(&J)"), MarkJumpCommand),
                                MarkMenu(QT_TRANSLATE_NOOP("Menu", "マーク設定(&M)"), MarkSetCommand)}};
    if (popup) {
        m.entries = {kCmdFirst,       kCmdSearch,      kCmdFrameJump,  kCmdTriggerJump,
                     SubMenuEntry(0), SubMenuEntry(1), kMenuSeparator, kCmdLast,
                     kMenuSeparator,  SubMenuEntry(2)};
        m.subMenus.push_back({QT_TRANSLATE_NOOP("Menu", "Wiresharkで開く(&W)"),
                              {kCmdWiresharkRaw, kCmdWiresharkModbus, kCmdWiresharkDnp3},
                              {}});
    } else
        m.entries = {kCmdFirst,       kCmdLast,        kMenuSeparator, kCmdSearch,
                     kCmdFrameJump,   kCmdTriggerJump, kMenuSeparator, SubMenuEntry(0),
                     SubMenuEntry(1)};
    return m;
}

void Collect(const MenuLayout& m, std::vector<int>& out) {
    for (int e : m.entries)
        if (e > 0) out.push_back(e);
    for (const auto& s : m.subMenus)
        Collect(s, out);
}

}  // namespace

const std::vector<MenuLayout>& MenuBarLayout() {
    static const std::vector<MenuLayout> kBar = {
        {QT_TRANSLATE_NOOP("Menu", "ファイル(&F)"),
         {kCmdFileOpen, kCmdFileClose, kCmdFileSave, kMenuSeparator, kCmdPrint, kMenuSeparator,
          kCmdAppExit},
         {}},
        EditMenu(false),
        {QT_TRANSLATE_NOOP("Menu", "表示(&V)"),
         {kCmdProperty, kCmdDisplayFormat, kMenuSeparator, kCmdDual, kCmdDirSd, kCmdDirRd,
          kMenuSeparator, kCmdHex, kCmdAscii, kCmdJis7, kCmdJis8, kCmdEbcdic, kCmdShiftJis,
          kMenuSeparator, SubMenuEntry(0), SubMenuEntry(1), kMenuSeparator, kCmdZoomIn,
          kCmdZoomOut},
         {{QT_TRANSLATE_NOOP("Menu", "モニタウィンドウの色(&M)"),
           {kCmdColorSd, kCmdColorRd, kCmdColorControl, kCmdColorOther},
           {}},
          {QT_TRANSLATE_NOOP("Menu", "ダンプウィンドウの色(&U)"),
           {kCmdColorDumpOdd, kCmdColorDumpEven, kCmdColorDumpBoundary},
           {}}}},
        {QT_TRANSLATE_NOOP("Menu", "モニタ(&M)"),
         {kCmdSelectUnit, kCmdMonitorParams, kMenuSeparator, kCmdMonitorStart,
          kCmdMonitorPause, kCmdMonitorStop, kMenuSeparator, kCmdCardRetrieve},
         {}},
        {QT_TRANSLATE_NOOP("Menu", "本体(&U)"), {kCmdUnitStatus, kCmdUnitClock}, {}},
        {QT_TRANSLATE_NOOP("Menu", "ウィンドウ(&W)"),
         {kCmdSync, kMenuSeparator, kCmdDumpWindow, kCmdLineWindow, kMenuSeparator, kCmdCascade,
          kCmdTile},
         {}},
        {QT_TRANSLATE_NOOP("Menu", "ヘルプ(&H)"), {kCmdHelp, kMenuSeparator, kCmdAbout}, {}},
    };
    return kBar;
}

const std::vector<int>& ToolBarCommands() {
    static const std::vector<int> kBar = {
        kCmdFileOpen,   kCmdFileClose,     kCmdFileSave,    kCmdPrint,       kMenuSeparator,
        kCmdFirst,      kCmdLast,          kCmdSearch,      kMenuSeparator,  kCmdMonitorStart,
        kCmdMonitorPause, kCmdMonitorStop, kMenuSeparator,  kCmdSelectUnit,  kCmdUnitStatus,
        kCmdUnitClock,  kMenuSeparator,    kCmdDumpWindow,  kCmdLineWindow,  kCmdSync,
        kCmdHelp};
    return kBar;
}

const MenuLayout& PopupLayout(PopupMenu which) {
    static const MenuLayout kEdit = EditMenu(true);
    static const MenuLayout kWindows{"", {kCmdDumpWindow, kCmdLineWindow}, {}};
    return which == PopupMenu::kEdit ? kEdit : kWindows;
}

std::vector<int> ReachableCommands() {
    std::vector<int> out;
    for (const auto& m : MenuBarLayout())
        Collect(m, out);
    for (int id : ToolBarCommands())
        if (id > 0) out.push_back(id);
    Collect(PopupLayout(PopupMenu::kEdit), out);
    Collect(PopupLayout(PopupMenu::kWindows), out);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool IsWiresharkCommand(int id) {
    return In(id, {kCmdWiresharkRaw, kCmdWiresharkModbus, kCmdWiresharkDnp3});
}

CommandUiState EvaluateCommand(int id, const CommandContext& c) {
    CommandUiState s;
    s.checkable = In(id, {kCmdDual, kCmdDirSd, kCmdDirRd, kCmdHex, kCmdAscii, kCmdJis7, kCmdJis8,
                          kCmdEbcdic, kCmdShiftJis, kCmdSync});
    if (id == kCmdModeSet) return s;  // the mode setting is never offered

    if (!c.hasWindow) {
        // Only the main frame's own menu is active: opening, the settings and
        // the device commands.
        s.enabled =
            IsFrameCommand(id) ||
            In(id, {kCmdFileOpen, kCmdDisplayFormat, kCmdSelectUnit, kCmdMonitorParams,
                    kCmdMonitorStart, kCmdCardRetrieve, kCmdUnitStatus, kCmdUnitClock, kCmdSync});
        if (id == kCmdMonitorStart) s.enabled = c.slotFree && c.monitorState == kMonitorIdle;
        if (id == kCmdSelectUnit) s.enabled = c.monitorState == kMonitorIdle;
    } else {
        s.enabled = EnabledByKind(id, c.kind) || In(id, {kCmdHelp, kCmdAbout});
        if (c.kind == kKindMonitorLive) {
            // A paused run must be resumable from its own window, where the
            // start command is the only way back to live.
            if (id == kCmdMonitorStart) s.enabled = c.monitorState == kMonitorPaused;
            if (id == kCmdMonitorPause) s.enabled = c.monitorState == kMonitorRunning;
        } else {
            if (id == kCmdDual || id == kCmdDirSd || id == kCmdDirRd)
                s.checked = c.direction == id - kCmdDual;
            if (id == kCmdHex) s.checked = c.code == kDisplayHex;
            if (id == kCmdAscii) s.checked = c.code == kDisplayAscii;
            if (id == kCmdJis7) s.checked = c.code == kDisplayJis7 || c.code == kDisplayJis7Shifted;
            if (id == kCmdJis8) s.checked = c.code == kDisplayJis8;
            if (id == kCmdEbcdic) s.checked = c.code == kDisplayEbcdic;
            if (id == kCmdShiftJis) s.checked = c.code == kDisplayShiftJis;
            if (IsMarkJump(id)) s.enabled = s.enabled && c.marks[id - kCmdMarkJump1];
            if (id == kCmdMonitorStart)
                s.enabled = c.monitorState == kMonitorPaused ||
                            (c.monitorState == kMonitorIdle && c.slotFree);
            if (id == kCmdMonitorPause && c.monitorState == kMonitorPaused) s.enabled = false;
            if (id == kCmdDumpWindow || id == kCmdLineWindow)
                s.enabled = (c.kind == kKindMonitorFile || c.kind == kKindDump) && c.hasFrames;
        }
        if (id == kCmdSelectUnit) s.enabled = s.enabled && c.monitorState == kMonitorIdle;
        if (id == kCmdAppExit) s.enabled = c.monitorState == kMonitorIdle;
        if (IsWiresharkCommand(id))
            s.enabled = c.kind == kKindMonitorFile && c.hasFrames && c.wiresharkInstalled;
    }
    if (NeedsUnit(id)) s.enabled = s.enabled && c.unitSelected;
    if (id == kCmdSync) s.checked = c.syncOn;
    return s;
}

}  // namespace qv
