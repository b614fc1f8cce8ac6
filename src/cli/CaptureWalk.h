// What the commands that read every record of a capture share: the range
// options, the message rule options, walking with progress on a terminal,
// the --format option and the texts of times and gaps.
#pragma once

#include <cstdio>
#include <string>
#include <type_traits>

#include <CLI/CLI.hpp>

#include "capture/CaptureReader.h"
#include "cli/CaptureOpen.h"
#include "cli/RangeArgs.h"
#include "export/LineClock.h"
#include "export/MessageSplitter.h"
#include "export/RecordWalk.h"
#include "export/StructuredOutput.h"

namespace qv {
struct MonitorSettings;
}  // namespace qv

namespace qv::cli {

// --format text|json|csv (default text).
void AddFormatOption(CLI::App& cmd, std::string& format);
OutputFormat FormatOf(const std::string& format);

// Begins the walk over the range the options name, or over the whole
// capture when they name none. Throws a CommandError for a refused range.
void BeginWalk(CaptureReader& file, const RangeArgs& range, RecordWalk& walk);

// --gap CHARS, --gap-us MICROSECONDS and --payload none|modbus-rtu|dnp3.
struct MessageArgs {
    double gapChars = MessageRule{}.gapChars;  // the library's rule, never a copy of it
    double gapMicros = 0;
    std::string payload = "none";
};
void AddMessageOptions(CLI::App& cmd, MessageArgs& args, bool payload);
MessageRule RuleOf(const MessageArgs& args);
// Throws a CommandError when the capture's character times are unknown and
// no gap was given as a time, or the capture holds no characters (LOGIC).
void CheckSplittable(Protocol protocol, bool canSplit);

// The record time text ("YY/MM/DD hh:mm:ss 000m000u000n") of line ticks.
std::string RecordTimeOf(int64_t lineTicks);

// The ISO 8601 form of a record time text ("YY/MM/DD hh:mm:ss 000m000u000n");
// empty when the text is not one.
std::string IsoOfRecordTime(LocalCalendar& calendar, const std::string& text);

// "RS ER DR": the control lines a line-state byte has on, blank-separated.
std::string LineNamesOn(uint8_t lineState);

// A progress bar on stderr when it is a terminal.
class WalkProgress {
  public:
    explicit WalkProgress(const RecordWalk& walk);
    ~WalkProgress();
    void Step() {
        if (m_tty && (++m_calls & 0xFFFF) == 0) Show();
    }

  private:
    void Show();
    const RecordWalk& m_walk;
    bool m_tty;
    uint64_t m_calls = 0;
    int m_shown = -1;
};

// Walks the capture with progress, feeding every record to `add`; a gap is
// said on stderr and passed to `gap`. An `add` that returns false ends the
// walk (an output that can take no more). true when records were missing.
template <class Add, class Gap>
bool WalkRecords(CaptureReader& file, RecordWalk& walk, Add add, Gap gap) {
    WalkProgress progress(walk);
    WalkRecord r;
    bool missing = false;
    for (;;) {
        const RecordWalk::Step step = walk.Next(r);
        if (step == RecordWalk::Step::kEnd) {
            // A chunk table cut at a malformed entry: the records after it
            // are missing as surely as a lost chunk's.
            if (walk.ReachedCaptureEnd() && file.GetMalformedEntry() != 0) {
                std::fflush(stdout);
                std::fprintf(stderr, "qvtool: %s\n", MalformedEntryText(file).c_str());
                missing = true;
            }
            break;
        }
        if (step == RecordWalk::Step::kGap) {
            std::fflush(stdout);
            std::fprintf(stderr, "qvtool: %s\n", GapText(file, walk.Gap()).c_str());
            gap(walk.Gap());
            missing = true;
            continue;
        }
        bool more = true;
        if constexpr (std::is_same_v<decltype(add(r)), bool>)
            more = add(r);
        else
            add(r);
        progress.Step();
        if (!more) break;
    }
    return missing;
}

}  // namespace qv::cli
