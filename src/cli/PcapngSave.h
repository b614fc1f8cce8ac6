// qvtool save --pcapng: a capture, or a time range of it, as a pcapng file.
#pragma once

#include <string>

#include "cli/CaptureWalk.h"

namespace qv::cli {

struct PcapngArgs {
    std::string capture;
    RangeArgs range;
    MessageArgs message;
    std::string file;  // "-": standard output
    bool overwrite = false;
};

void SavePcapng(const PcapngArgs& args);

}  // namespace qv::cli
