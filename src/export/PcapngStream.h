// A run's records as a pcapng stream while they arrive: the same packets the
// pcapng export of the finished capture holds (PcapngExport, one message
// splitter), written to a pipe or file and flushed as soon as a message ends.
//
// A message ends at the idle gap; offline the next record shows that the gap
// has passed, live the line's silence must. The line is taken to have reached
// the last record's time plus the wall time since that record was decoded,
// less one read step: a record stamped just after a read arrives only with
// the next one, so a message is never ended before a record that belongs to
// it could still come.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "capture/RecordStart.h"
#include "capture/LiveStream.h"
#include "export/PcapngExport.h"

namespace qv {

class PcapngStream final : public LiveStream {
  public:
    // Writes to `fd` (not closed here); `stepMs` is the read step.
    PcapngStream(int fd, PayloadKind payload, std::string application, int stepMs);
    ~PcapngStream() override;

    void Begin(const CaptureStartInfo& info, const std::string& indexPath,
               double frequency) override;
    void Tick() override;
    void End() override;

    void NewDay(std::string_view yymmdd, bool) override { SetDay(yymmdd); }
    void DateSet(std::string_view yymmdd) override { SetDay(yymmdd); }
    bool Record(const DecodedRecord& record) override;
    bool ShortWritten(const ShortSweep& sweep) override;

    // Why the run's records cannot become messages (set by Begin); empty
    // when they can.
    std::string Refusal() const;
    // A write failed (the reader went away): nothing more is written. Any thread.
    bool Broken() const { return m_broken; }
    uint64_t Packets() const { return m_packets; }

  private:
    using Clock = std::chrono::steady_clock;
    void SetDay(std::string_view yymmdd);
    void Add(uint8_t header, uint8_t value, uint8_t lineState, int64_t start, int64_t end,
             std::span<const uint8_t> data);
    bool ReaderGone() const;
    bool Writing() const { return m_begun && !m_broken && m_export; }

    int m_fd;
    PcapngWriter m_writer;
    PayloadKind m_payload;
    std::string m_application;
    Clock::duration m_step;
    std::unique_ptr<PcapngExport> m_export;
    RecordStart m_starts;
    int64_t m_day = 0;
    uint64_t m_frame = 0;
    int64_t m_lastEnd = 0;        // line ticks of the newest record
    Clock::time_point m_lastSeen;  // when it was decoded
    std::string m_refusal;
    std::atomic<bool> m_begun{false}, m_broken{false}, m_refused{false};
    std::atomic<uint64_t> m_packets{0};
};

}  // namespace qv
