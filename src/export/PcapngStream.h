// A run's records as a pcapng stream while they arrive: the same packets the
// pcapng export of the finished capture holds (PcapngExport, one message
// splitter), written to a pipe or file and flushed as soon as a message ends.
//
// A message ends at the idle gap; offline the next record shows that the gap
// has passed, live the line's silence must. The newest record came with a
// read that ended at some moment, when the line had reached it; a later read
// that began at least the gap after that moment and found nothing more shows
// that the line was quiet for the gap, less kHandOverAllowance for the
// instrument to hand a character over. Only such a read ends a message, so a
// record that belongs to it and is still in the instrument, or read and not
// yet decoded, is never split from it, however late the reads come.
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
    // How long after a character's end the instrument may take to offer it.
    static constexpr std::chrono::milliseconds kHandOverAllowance{5};

    // Writes to `fd` (not closed here).
    PcapngStream(int fd, PayloadKind payload, std::string application);
    ~PcapngStream() override;

    void Begin(const CaptureStartInfo& info, const std::string& indexPath,
               double frequency) override;
    void BlockRead(Clock::time_point read) override;
    void Heard(Clock::time_point start) override { m_heard = start; }
    Clock::time_point ReadWanted() const override;
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
    void SetDay(std::string_view yymmdd);
    void Add(uint8_t header, uint8_t value, uint8_t lineState, int64_t start, int64_t end,
             std::span<const uint8_t> data);
    bool ReaderGone() const;
    bool Writing() const { return m_begun && !m_broken && m_export; }

    int m_fd;
    PcapngWriter m_writer;
    PayloadKind m_payload;
    std::string m_application;
    std::unique_ptr<PcapngExport> m_export;
    RecordStart m_starts;
    int64_t m_day = 0;
    uint64_t m_frame = 0;
    int64_t m_lastEnd = 0;          // line ticks of the newest record
    Clock::time_point m_blockRead;  // when the last read of the block being decoded ended
    Clock::time_point m_lastRead;   // the same for the block of the newest record
    Clock::time_point m_heard;      // what Heard told last
    std::string m_refusal;
    std::atomic<bool> m_begun{false}, m_broken{false}, m_refused{false};
    std::atomic<uint64_t> m_packets{0};
};

}  // namespace qv
