// Where the emulated instrument's line events come from: the seeded traffic
// model, a replay script, or two real serial ports. Each source hands out
// events in time order; times are 10 ns ticks from midnight of the run's
// first day, as the stream encoder wants them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "traffic/LineTraffic.h"

namespace qv::sim {

// A source as the command line names it: "synth", "synth:SEED", "flood",
// "flood:SEED", "replay:FILE" or "tty:SD_DEVICE,RD_DEVICE".
struct SourceSelection {
    enum class Kind { kSynth, kFlood, kReplay, kTty };
    Kind kind = Kind::kSynth;
    uint64_t seed = 1;
    std::string path;    // replay script
    std::string sdPath;  // tty: the port that hears SD
    std::string rdPath;  // tty: the port that hears RD
};

// False with a reason for a text that names no source.
bool ParseSourceSelection(const std::string& text, SourceSelection& out, std::string& error);

// The line format of a run, as the line configuration command carried it.
struct LineFormat {
    int protocol = kProtocolAsync;
    double sdBaudrate = 9600.0;
    double rdBaudrate = 9600.0;
    int dataLen = 8;
    int parity = 0;
    int stopBit = 10;
    bool msbFirst = false;                      // characters sent most significant bit first
    bool sdInverted = false, rdInverted = false;  // data logic inverted on the line
};

// The instrument's clock for a live source: the time of day (10 ns ticks from
// midnight of the run's first day) at one instant of the steady clock, to
// full resolution; a live source counts on from it.
struct LiveClockAnchor {
    uint64_t ticks = 0;
    std::chrono::steady_clock::time_point at{};
};

class ILineSource {
  public:
    virtual ~ILineSource() = default;
    // The next event, waiting for it when the source is live. False when the
    // source has ended or `stop` was set while waiting.
    virtual bool Next(LineEvent& ev, const std::atomic<bool>& stop) = 0;
    // The control lines before the first event.
    virtual uint8_t InitialLines() const = 0;
    // True when event times are arrival times (no pacing needed).
    virtual bool Live() const = 0;
};

// Makes the source; nullptr with a reason when it cannot be opened (a
// missing script, a port that does not open). `startTicks` is the time of
// day the run starts at, in whole seconds; `clock` the same moment to full
// resolution, for a live source.
std::unique_ptr<ILineSource> MakeLineSource(const SourceSelection& sel, const LineFormat& format,
                                            uint64_t startTicks, const LiveClockAnchor& clock,
                                            std::string& error);

}  // namespace qv::sim
