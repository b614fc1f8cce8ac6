#include "cli/CaptureWalk.h"

#include <unistd.h>

#include <cstdio>

#include "capture/CaptureIndexText.h"
#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "cli/CaptureOpen.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/TimeText.h"
#include "export/LineClock.h"
#include "export/SaveRange.h"
#include "settings/MonitorSettings.h"

namespace qv::cli {

void AddFormatOption(CLI::App& cmd, std::string& format) {
    cmd.add_option("--format", format, "Output: text, json or csv")
        ->check(CLI::IsMember({"text", "json", "csv"}))
        ->capture_default_str();
}

OutputFormat FormatOf(const std::string& format) {
    return ParseOutputFormat(format).value_or(OutputFormat::kText);
}

void BeginWalk(CaptureReader& file, const RangeArgs& range, RecordWalk& walk) {
    if (range.from.empty() && range.fromMark == 0) {
        walk.BeginAll();
        return;
    }
    auto [a, b] = ResolveRange(file, range);
    SaveRange r;
    if (!CheckSaveRange(file, a, b, r) || !walk.BeginRange(r))
        throw CommandError{kExitFailure, "the range lies outside the capture"};
}

void AddMessageOptions(CLI::App& cmd, MessageArgs& args, bool payload) {
    auto* gap = cmd.add_option("--gap", args.gapChars,
                               "Idle character times that end a message (ASYNC; by default the "
                               "Modbus RTU rule)")
                    ->capture_default_str()
                    ->check(CLI::Range(0.01, 1e6));
    cmd.add_option("--gap-us", args.gapMicros,
                   "The idle time that ends a message, in microseconds, instead of --gap")
        ->check(CLI::Range(0.01, 8.64e10))
        ->excludes(gap);
    if (payload)
        cmd.add_option("--payload", args.payload,
                       "What the messages carry: none, modbus-rtu or dnp3 (dnp3 also ends a "
                       "message at the end of its link frame)")
            ->check(CLI::IsMember({"none", "modbus-rtu", "dnp3"}))
            ->capture_default_str();
}

MessageRule RuleOf(const MessageArgs& args) {
    MessageRule rule;
    rule.gapChars = args.gapChars;
    if (args.gapMicros > 0) rule.gapTicks = static_cast<int64_t>(args.gapMicros * 100.0 + 0.5);
    if (rule.gapTicks == 0 && args.gapMicros > 0) rule.gapTicks = 1;
    rule.framing = args.payload == "dnp3" ? Framing::kDnp3 : Framing::kGap;
    return rule;
}

void CheckSplittable(Protocol protocol, bool canSplit) {
    const std::string why = UnsplittableReason(protocol, canSplit);
    if (!why.empty()) throw CommandError{kExitFailure, why};
}

std::string RecordTimeOf(int64_t lineTicks) {
    const LineDay d = LineDayOf(lineTicks);
    char text[kRecordTimeTextSize];
    WriteRecordTimeText(text, d.yymmdd, d.ticks);
    return std::string(text, sizeof text);
}

std::string IsoOfRecordTime(LocalCalendar& calendar, const std::string& text) {
    auto t = ParseRecordTime(text);
    if (!t) return {};
    return calendar.Iso(LineTicks(DayIndexOf(t->date), static_cast<int64_t>(t->ticks)));
}

std::string LineNamesOn(uint8_t lineState) {
    static constexpr const char* kNames[8] = {"RS", "CS", "ER", "DR", "CD", "CI", "EXTIN", "EXTOUT"};
    std::string out;
    for (int i = 0; i < 8; ++i) {
        if (!(lineState & (0x80 >> i))) continue;
        if (!out.empty()) out += ' ';
        out += kNames[i];
    }
    return out;
}

WalkProgress::WalkProgress(const RecordWalk& walk) : m_walk(walk), m_tty(ShowProgress()) {}

WalkProgress::~WalkProgress() {
    if (m_tty && m_shown >= 0) std::fputs("\r\033[K", stderr);
}

void WalkProgress::Show() {
    const uint64_t total = m_walk.Expected();
    const int percent =
        total == 0 ? 100 : static_cast<int>(std::min<uint64_t>(100, m_walk.Given() * 100 / total));
    if (percent == m_shown) return;
    m_shown = percent;
    std::string bar(static_cast<size_t>(percent / 10), '#');
    bar.resize(10, ' ');
    std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
}

}  // namespace qv::cli
