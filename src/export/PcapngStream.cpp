#include "export/PcapngStream.h"

#include <poll.h>

#include "capture/RecordTime.h"
#include "core/NumberText.h"
#include "export/CaptureTexts.h"
#include "export/LineClock.h"
#include "settings/MonitorSettings.h"

namespace qv {

PcapngStream::PcapngStream(int fd, PayloadKind payload, std::string application)
    : m_fd(fd), m_writer(fd), m_payload(payload), m_application(std::move(application)) {}

PcapngStream::~PcapngStream() = default;

void PcapngStream::Begin(const CaptureStartInfo& info, const std::string& indexPath,
                         double frequency) {
    m_begun = false;
    const MonitorSettings& m = info.settings.status.monitor;
    const Protocol protocol = ProtocolFromCode(m.Protocol).value_or(Protocol::kAsync);
    const AsyncCharTiming timing = CharTimingOf(m, frequency);
    PcapngOptions options;
    options.payload = m_payload;
    options.rule.framing = m_payload == PayloadKind::kDnp3 ? Framing::kDnp3 : Framing::kGap;
    options.application = m_application;
    options.source = indexPath;
    options.lineSummary = LineSummary(m);
    m_export = std::make_unique<PcapngExport>(m_writer, protocol, timing, options);
    m_refusal = UnsplittableReason(protocol, m_export->CanSplit());
    if (!m_refusal.empty()) {
        m_export.reset();
        m_refused = true;
        return;
    }
    m_starts = RecordStart(protocol, timing);
    m_frame = 0;
    m_export->Begin();
    if (!m_writer.Flush()) m_broken = true;
    m_begun = true;
}

std::string PcapngStream::Refusal() const {
    return m_refused ? m_refusal : std::string();
}

void PcapngStream::SetDay(std::string_view yymmdd) {
    m_day = DayIndexOf(static_cast<int>(ParseLeadingInt(yymmdd)));
}

void PcapngStream::Add(uint8_t header, uint8_t value, uint8_t lineState, int64_t start,
                       int64_t end, std::span<const uint8_t> data) {
    WalkRecord w;
    w.frame = m_frame++;
    w.kind = HeaderKind(header);
    w.header = header;
    w.value = value;
    w.lineState = lineState;
    w.end = LineTicks(m_day, end);
    w.start = LineTicks(m_day, m_starts.Of(w.kind, start));
    // A short record's one byte is its value, as a stored one reads.
    w.data = data.data() ? data : std::span<const uint8_t>(&w.value, 1);
    m_export->Add(w);
    m_lastEnd = w.end;
    m_lastRead = m_blockRead;
}

bool PcapngStream::Record(const DecodedRecord& r) {
    if (!Writing()) return false;
    // Only a record that is more than a short one carries bytes of its own.
    std::span<const uint8_t> data;
    if (r.stored) data = {r.data ? r.data : &r.value, r.data ? r.length : size_t{0}};
    Add(r.header, r.value, r.lineState, static_cast<int64_t>(r.start), static_cast<int64_t>(r.end),
        data);
    return false;
}

bool PcapngStream::ShortWritten(const ShortSweep& sweep) {
    if (!Writing()) return false;
    uint8_t line = sweep.lineBefore;
    for (uint64_t k = 0; k < sweep.records; ++k) {
        const ShortRecord s = DecodeShortRecord(sweep.stored + k * kShortRecordSize);
        if (HeaderKind(s.header) == RecordKind::kLineChange) line = s.value;
        const auto t = static_cast<int64_t>(s.time);
        Add(s.header, s.value, line, t, t, {});
    }
    return false;
}

void PcapngStream::BlockRead(Clock::time_point read) {
    // A block without the time of its read (none is known) counts from now,
    // which is after it.
    m_blockRead = read == Clock::time_point{} ? Clock::now() : read;
}

PcapngStream::Clock::time_point PcapngStream::ReadWanted() const {
    if (!Writing() || !m_export->HasOpen()) return Clock::time_point::max();
    const auto wanted =
        m_lastRead + kHandOverAllowance +
        std::chrono::nanoseconds(std::max<int64_t>(0, m_export->OpenEndsAt() - m_lastEnd) * 10);
    return m_heard >= wanted ? Clock::time_point::max() : wanted;
}

void PcapngStream::Tick() {
    if (!Writing()) return;
    if (m_export->HasOpen()) {
        const auto quiet = m_heard - m_lastRead - kHandOverAllowance;
        if (quiet > Clock::duration::zero())
            m_export->Idle(m_lastEnd +
                           std::chrono::duration_cast<std::chrono::nanoseconds>(quiet).count() / 10);
    }
    if (!m_writer.Flush() || ReaderGone()) m_broken = true;
    m_packets = m_writer.Packets();
}

// A pipe whose reader has closed it reports an error to poll: noticed also
// while the line is quiet and nothing is written.
bool PcapngStream::ReaderGone() const {
    pollfd p{m_fd, POLLOUT, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR) != 0;
}

void PcapngStream::End() {
    if (!Writing()) return;
    m_export->Finish();
    if (!m_writer.Flush()) m_broken = true;
    m_packets = m_writer.Packets();
}

}  // namespace qv
