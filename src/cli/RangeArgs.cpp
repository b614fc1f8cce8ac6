#include "cli/RangeArgs.h"

#include "capture/CaptureReader.h"
#include "cli/Commands.h"
#include "export/SaveRange.h"
#include "present/MarkList.h"

namespace qv::cli {

namespace {

// A range end given to the second holds all of that second.
DayTime TimeKey(const std::string& text, bool end, const char* option) {
    auto t = ParseTypedTime(text);
    if (!t)
        throw CommandError{kExitUsage, "bad time \"" + text + "\" for " + option + "; use " +
                                           kTypedTimeForms};
    if (end && t->wholeSecond) t->at.ticks += kTicksPerSecond - 1;
    return t->at;
}

DayTime MarkKey(CaptureReader& file, int n) {
    uint32_t chunk = 0;
    int kind = 0;
    std::string text, comment;
    if (file.ReadMark(n, chunk, text, kind, comment) != kQvrOk)
        throw CommandError{kExitFailure, "mark " + std::to_string(n) + " is not set"};
    auto t = ParseRecordTime(text);
    if (!t) throw CommandError{kExitFailure, "mark " + std::to_string(n) + " is unreadable"};
    return *t;
}

}  // namespace

void AddRangeOptions(CLI::App& cmd, RangeArgs& args) {
    auto* from = cmd.add_option("--from", args.from,
                                "Range start \"YY/MM/DD hh:mm:ss[ 000m000u000n]\" or "
                                "\"YYYY-MM-DDThh:mm:ss[.fraction]\"");
    auto* to = cmd.add_option("--to", args.to, "Range end, in the same forms");
    auto* fromMark = cmd.add_option("--from-mark", args.fromMark, "Range start at mark N (1-5)")
                         ->check(CLI::Range(1, 5));
    auto* toMark = cmd.add_option("--to-mark", args.toMark, "Range end at mark N (1-5)")
                       ->check(CLI::Range(1, 5));
    from->needs(to);
    to->needs(from);
    fromMark->needs(toMark);
    toMark->needs(fromMark);
    from->excludes(fromMark);
    from->excludes(toMark);
    to->excludes(fromMark);
    to->excludes(toMark);
}

std::pair<DayTime, DayTime> ResolveRange(CaptureReader& file, const RangeArgs& args) {
    if (!args.from.empty()) {
        // Put in order first, then widen the later one to its whole second:
        // widening "…:46" and then swapping it with "…:45" would leave a range
        // of a few nanoseconds instead of the two seconds meant.
        if (TimeKey(args.from, false, "--from") > TimeKey(args.to, false, "--to"))
            return {TimeKey(args.to, false, "--to"), TimeKey(args.from, true, "--from")};
        return {TimeKey(args.from, false, "--from"), TimeKey(args.to, true, "--to")};
    }
    if (args.fromMark > 0) return {MarkKey(file, args.fromMark), MarkKey(file, args.toMark)};
    DayTime a, b;
    if (!CaptureSpan(file, a, b))
        throw CommandError{kExitFailure, "the capture's index holds no start or end time"};
    return {a, b};
}

}  // namespace qv::cli
