// A second reader of a run's decoded records beside the capture's files: a
// stream that shows the run elsewhere as it goes (a pcapng pipe). It is fed
// on the run's writing thread, in stream order, and woken there at least
// every kTickMs, also while nothing arrives, so that it can end what the
// line's silence ends. The silence is known from the reads: a read that
// found the instrument holding nothing more tells that the line was quiet
// from the newest record until that read.
#pragma once

#include <chrono>
#include <string>

#include "capture/CaptureFiles.h"
#include "capture/DecodeSink.h"

namespace qv {

class LiveStream : public DecodeSink {
  public:
    static constexpr int kTickMs = 10;

    // The run's capture has started with `info`'s settings; `indexPath` is
    // the capture's index and `frequency` the instrument's clock (Hz). On
    // the starting thread, before any record of the run.
    virtual void Begin(const CaptureStartInfo& info, const std::string& indexPath,
                       double frequency) = 0;
    using Clock = std::chrono::steady_clock;
    // On the writing thread, before a block's records: its last read ended
    // at `read`.
    virtual void BlockRead(Clock::time_point read) = 0;
    // On the writing thread: a read that began at `start` found nothing more
    // waiting, and every block read before it has been decoded.
    virtual void Heard(Clock::time_point start) = 0;
    // When a read would next tell whether an open message has ended;
    // Clock::time_point::max() while none is needed.
    virtual Clock::time_point ReadWanted() const = 0;
    // On the writing thread: after each block decoded, and every kTickMs.
    virtual void Tick() = 0;
    // The capture is finished: everything still open goes out.
    virtual void End() = 0;
};

}  // namespace qv
