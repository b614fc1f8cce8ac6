// Why a capture could not be opened, in words the user can act on: the
// reader's code alone ("-1") does not tell a missing file from a damaged index.
#pragma once

#include <string>

namespace qv {

// The reason for the reader's Open code `code` on `indexPath`, looking at the
// file itself where the code covers several causes (missing, unreadable, not
// an index). Japanese, one line.
std::string CaptureOpenFailureReason(const std::string& indexPath, int code);

}  // namespace qv
