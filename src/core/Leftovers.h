// Files a killed program leaves behind: temporary copies named after the
// process that made them ("<prefix><pid>..."). Only the owner's kind of
// name matches, and only a process that no longer runs has left one, so the
// next run of the same kind of work removes them safely.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// Removes the regular files in `folder` named `prefix` + a process id (+ a
// dot or the end of the name) whose process has ended. The count removed.
int RemoveLeftovers(const std::string& folder, std::string_view prefix);

}  // namespace qv
