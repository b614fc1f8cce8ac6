// The commands that open the settings dialogs: monitor parameters, display
// settings, capture properties and the jump to a time. Each works on the
// window controller's current window slot.
#pragma once

#include <string>

namespace qv {

class WindowRegistry;

// "モニタパラメータ設定": on the selected unit's status file (the working
// file when no unit is selected).
void RunMonitorParams(WindowRegistry& ctrl);
// "表示設定": on the current stored capture's table (then every window on a
// capture re-reads its table), else on the status file's.
void RunDisplayFormat(WindowRegistry& ctrl);
// "プロパティ": the current capture's property lists.
void RunProperties(WindowRegistry& ctrl);

}  // namespace qv
