// The summary of one trigger that the trigger selection dialog shows: fixed
// columns for a monospaced font, two conditions per line.
#pragma once

#include <string>

#include "settings/TriggerSetting.h"

namespace qv {

// Lines end in CR LF. Column widths count a full-width character as two
// columns, as the monospaced Japanese font draws it. `names` gives the names
// of the ten line conditions from the current display table; without it they
// are "SD", "RD", ... "Ext IN", "Ext OUT". Other conditions keep fixed labels.
std::string TriggerSummary(const TriggerSetting& trigger, const LineNames* names = nullptr,
                           UiLanguage language = MessageLanguage());

// Display columns of a UTF-8 text: ASCII and half-width katakana one each,
// other characters two.
size_t DisplayWidth(std::string_view text);

}  // namespace qv
