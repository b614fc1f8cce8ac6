// The commands of the capture windows and the main frame: their ids, menu
// texts and the rules that enable them and set their check marks. Plain data
// and functions, so that the rules can be checked without a window; the main
// frame builds its menus and tool bar from this table.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/CommandId.h"

namespace qv {

// Window kinds, the low byte of a window id.
enum WindowKind : int {
    kKindNone = 0,
    kKindMonitorFile = 1,
    kKindMonitorLive = 2,
    kKindDump = 3,
    kKindLine = 4,
};
inline constexpr int MakeWindowId(int slot, int kind) {
    return (slot << 8) | kind;
}
inline constexpr int WindowIdSlot(int id) {
    return (id >> 8) & 0xFF;
}
inline constexpr int WindowIdKind(int id) {
    return id & 0xFF;
}

// Monitoring states of the controller.
enum MonitorState : int { kMonitorIdle = 0, kMonitorRunning = 1, kMonitorPaused = 2 };

struct CommandInfo {
    int id;
    const char* text;  // menu text; a "\t" separates the shortcut text
};
// Every command of the table, with its menu text.
const std::vector<CommandInfo>& CommandTexts();
// The menu text of a command; empty when the table has no such id.
std::string CommandText(int id);

// What the enabling rules look at.
struct CommandContext {
    bool hasWindow = false;  // a current window slot with a view
    int kind = kKindNone;    // kind of the current window
    int monitorState = kMonitorIdle;
    bool slotFree = true;  // a window slot is free
    int direction = 0;     // 0 DUAL, 1 SD, 2 RD
    int code = 1;          // display code
    std::array<bool, 5> marks{};  // marks 1..5 of the current capture are set
    bool hasFrames = false;     // the current window's capture has a record
    bool unitSelected = false;  // a monitor unit is selected
    bool syncOn = false;
    bool wiresharkInstalled = false;
};

struct CommandUiState {
    bool enabled = false;
    bool checked = false;
    bool checkable = false;
};
CommandUiState EvaluateCommand(int id, const CommandContext& c);

// The commands that open a Monitor window's selection in Wireshark.
bool IsWiresharkCommand(int id);

// The five mark jump and mark set commands, by mark number 1..5; 0 for a
// number outside.
int MarkJumpCommand(int n);
int MarkSetCommand(int n);
// The mark number (1..5) of a mark jump or mark set command; 0 for others.
int MarkOfCommand(int id);
// The text of a mark item: its label ("マーク%d") while unset, "LABEL : NAME"
// with the mark's name once set.
std::string MarkItemText(const std::string& label, const std::string& name);

// The menus, as the one place that says where each command is offered. An
// entry is a command id, kMenuSeparator, or SubMenuEntry(i) for subMenus[i].
inline constexpr int kMenuSeparator = 0;
inline constexpr int SubMenuEntry(int index) {
    return -1 - index;
}
inline constexpr int SubMenuIndex(int entry) {
    return -1 - entry;
}
struct MenuLayout {
    std::string title;
    std::vector<int> entries;
    std::vector<MenuLayout> subMenus;
};
// The menu bar, left to right. The window menu lists the open windows after
// its commands.
const std::vector<MenuLayout>& MenuBarLayout();
// The tool bar's buttons (kMenuSeparator between groups).
const std::vector<int>& ToolBarCommands();
// The pop-up menus of the capture windows: the Edit menu (a right click on
// a record) and the window menu (a double click on a record).
enum class PopupMenu { kEdit, kWindows };
const MenuLayout& PopupLayout(PopupMenu which);
// Every command id that a menu, the tool bar or a pop-up offers.
std::vector<int> ReachableCommands();

}  // namespace qv
