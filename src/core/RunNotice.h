// Notices of a monitoring run or a decode for whoever shows them: the
// instrument's stop notice, a FIX run that reached its limit, a chunk write
// that failed. The decoder and the chunk files report the kind; the text is
// chosen where it is shown (the main window, qvtool), by RunNoticeText, so
// that each text is written once.
#pragma once

#include <string_view>

namespace qv {

enum class RunNotice {
    kStop,         // the instrument sent its notice item: the run ends
    kCaptureFull,  // a FIX run reached its frame limit
    kWriteFailed,  // a chunk write failed
};

class RunNoticeSink {
  public:
    virtual ~RunNoticeSink() = default;
    // Called on the thread that decodes; a sink that shows the notice on
    // another thread queues it.
    virtual void OnNotice(RunNotice notice) = 0;
};

// The status text of a notice in the message language; empty for kStop,
// which shows no text.
std::string_view RunNoticeText(RunNotice notice);

}  // namespace qv
