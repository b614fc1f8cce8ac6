// The range options shared by qvtool save and print: two record times or two
// marks; without either, the whole capture.
#pragma once

#include <string>
#include <utility>

#include <CLI/CLI.hpp>

#include "capture/RecordTime.h"

namespace qv {
class CaptureReader;
}

namespace qv::cli {

struct RangeArgs {
    std::string from, to;  // "YY/MM/DD hh:mm:ss[ 000m000u000n]"
    int fromMark = 0, toMark = 0;
};

void AddRangeOptions(CLI::App& cmd, RangeArgs& args);
// The two keys, in the order given. A time without its sub-second part means
// the start of that second for --from and its end for --to. Throws a
// CommandError for a bad time or a mark that is not set.
std::pair<DayTime, DayTime> ResolveRange(CaptureReader& file, const RangeArgs& args);

}  // namespace qv::cli
