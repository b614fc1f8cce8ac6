// Why a capture could not be opened, in words the user can act on: the
// reader's code alone ("-1") does not tell a missing file from a damaged index.
#pragma once

#include <string>

#include "core/MessageText.h"

namespace qv {

// The reason for the reader's Open code `code` on `indexPath`, looking at the
// file itself where the code covers several causes (missing, unreadable, not
// an index). One line, in `language` (Japanese for a log).
std::string CaptureOpenFailureReason(const std::string& indexPath, int code,
                                     UiLanguage language = MessageLanguage());
// The reason for a reader code alone, where there is no file to look at: a
// read or a move that failed once the capture was open.
std::string ReaderCodeText(int code, UiLanguage language = MessageLanguage());

}  // namespace qv
