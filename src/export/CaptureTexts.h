// The English sentences about a capture that the command line prints and
// exported files carry: the reader's codes, records no file holds, and the
// line settings in one line.
#pragma once

#include <string>

namespace qv {

class CaptureReader;
struct MonitorSettings;
struct WalkGap;

// "the index's chunk entry N is malformed: ...", for a reader that stopped
// its chunk table there.
std::string MalformedEntryText(const CaptureReader& file);
// "records 12 to 40 are missing: 000000002.qvd: <reason>".
std::string GapText(const CaptureReader& file, const WalkGap& gap);
// "ASYNC 9600 bit/s 8E1" / "HDLC 64000 bit/s".
std::string LineSummary(const MonitorSettings& m);

}  // namespace qv
