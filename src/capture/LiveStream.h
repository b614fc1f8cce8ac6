// A second reader of a run's decoded records beside the capture's files: a
// stream that shows the run elsewhere as it goes (a pcapng pipe). It is fed
// on the run's writing thread, in stream order, and woken there at least
// every kTickMs, also while nothing arrives, so that it can end what the
// line's silence ends.
#pragma once

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
    // On the writing thread: after each block decoded, and every kTickMs.
    virtual void Tick() = 0;
    // The capture is finished: everything still open goes out.
    virtual void End() = 0;
};

}  // namespace qv
