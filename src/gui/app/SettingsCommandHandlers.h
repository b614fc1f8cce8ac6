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
// "フレームJUMP": the time dialog preset with the current record's date and
// time; on OK the window moves to the entered time.
void RunFrameJump(WindowRegistry& ctrl);

// The date (YYMMDD) and time of day (ticks) of a record time text
// "YY/MM/DD hh:mm:ss mmmmuuuTTn"; false when the text is too short.
bool SplitRecordTimeText(const std::string& text, std::string& date, uint64_t& ticks);

}  // namespace qv
