#include "traffic/StreamEncoder.h"

#include <algorithm>

#include "core/TimeText.h"

namespace qv::sim {

StreamDate NextDay(const StreamDate& d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    const int month = std::clamp(d.month, 1, 12);
    const int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    if (d.day < last) return {d.year, month, d.day + 1};
    if (month < 12) return {d.year, month + 1, 1};
    return {d.year + 1, 1, 1};
}

StreamEncoder::StreamEncoder(int protocol, const StreamDate& firstDay)
    : m_protocol(protocol), m_layout(StreamLayoutFor(protocol)), m_day(firstDay) {}

void StreamEncoder::AppendDate(std::vector<uint8_t>& out) {
    AppendStreamItem(
        out, StreamItem::Date(static_cast<uint8_t>(m_day.year - 2000),
                              static_cast<uint8_t>(m_day.month), static_cast<uint8_t>(m_day.day)));
    m_running = 0;
}

uint16_t StreamEncoder::StepTo(std::vector<uint8_t>& out, uint64_t tod) {
    if (tod < m_running || tod - m_running > 0xFFFF) {
        AppendStreamItem(out, StreamItem::Time(tod));
        m_running = tod;
        return 0;
    }
    const auto step = static_cast<uint16_t>(tod - m_running);
    m_running = tod;
    return step;
}

void StreamEncoder::Begin(std::vector<uint8_t>& out, uint64_t ticks, uint8_t lineState) {
    while (ticks >= m_dayStart + kTicksPerDay) {
        m_dayStart += kTicksPerDay;
        m_day = NextDay(m_day);
    }
    m_lineState = lineState;
    AppendDate(out);
    const uint64_t tod = ticks - m_dayStart;
    if (m_layout == StreamLayout::kShort) {
        // The decoder writes the first item after a date as the chunk's
        // leading record at the running time, without adding its step.
        const uint16_t step = StepTo(out, tod);
        (void)step;  // 0: the time item has just set the running time
        AppendStreamItem(out, StreamItem::Data(MakeHeader(RecordKind::kLineChange), lineState, 0));
    } else {
        AppendStreamItem(
            out, StreamItem::LineChange(MakeHeader(RecordKind::kLineChange), lineState, tod));
    }
    ++m_dataItems;
}

void StreamEncoder::CrossMidnight(std::vector<uint8_t>& out, uint64_t absTicks) {
    while (absTicks >= m_dayStart + kTicksPerDay) {
        m_dayStart += kTicksPerDay;
        m_day = NextDay(m_day);
        AppendDate(out);
        // The new day's chunk starts with the line state in force, at midnight.
        const uint8_t header = MakeHeader(RecordKind::kLineChange);
        if (m_layout == StreamLayout::kShort)
            AppendStreamItem(out, StreamItem::Data(header, m_lineState, 0));
        else
            AppendStreamItem(out, StreamItem::LineChange(header, m_lineState, 0));
        ++m_dataItems;
    }
}

void StreamEncoder::AddFrame(std::vector<uint8_t>& out, const LineEvent& ev) {
    const uint64_t start = ev.start - std::min(ev.start, m_dayStart);
    const uint64_t end = ev.time - std::min(ev.time, m_dayStart);
    size_t left = std::min<size_t>(ev.bytes.size(), kMaxFrameData);
    const uint8_t* p = ev.bytes.data();
    // Continuation pieces of 255 bytes (header bit 4 set) while more than 255
    // remain; the closing piece carries the rest and the frame's end time.
    // Each piece's end time is where its last byte ended on the line.
    const uint64_t span = end > start ? end - start : 0;
    const size_t total = left;
    size_t sent = 0;
    while (left > kFramePieceData) {
        sent += kFramePieceData;
        const uint64_t pieceEnd = start + (total ? span * sent / total : 0);
        AppendStreamItem(out, StreamItem::Frame(ev.header | kFlagContinuation, start, pieceEnd,
                                                {p, kFramePieceData}));
        p += kFramePieceData;
        left -= kFramePieceData;
    }
    AppendStreamItem(out, StreamItem::Frame(static_cast<uint8_t>(ev.header & ~kFlagContinuation),
                                            start, end, {p, left}));
}

void StreamEncoder::Add(std::vector<uint8_t>& out, const LineEvent& ev) {
    CrossMidnight(out, ev.kind == LineEventKind::kFrame ? ev.start : ev.time);
    const uint64_t tod = ev.time - std::min(ev.time, m_dayStart);
    switch (ev.kind) {
        case LineEventKind::kData:
            if (m_layout == StreamLayout::kShort) {
                const uint16_t step = StepTo(out, tod);
                AppendStreamItem(out, StreamItem::Data(ev.header, ev.value, step));
                ++m_dataItems;
            }
            break;
        case LineEventKind::kFrame:
            if (m_layout == StreamLayout::kWide) {
                AddFrame(out, ev);
                ++m_dataItems;
            }
            break;
        case LineEventKind::kLines:
        case LineEventKind::kEvent: {
            const bool lines = ev.kind == LineEventKind::kLines;
            const uint8_t header = MakeHeader(lines ? RecordKind::kLineChange : RecordKind::kEvent);
            if (lines) m_lineState = ev.value;
            if (m_layout == StreamLayout::kShort) {
                const uint16_t step = StepTo(out, tod);
                AppendStreamItem(out, StreamItem::Data(header, ev.value, step));
            } else if (lines) {
                AppendStreamItem(out, StreamItem::LineChange(header, ev.value, tod));
            } else {
                AppendStreamItem(out, StreamItem::Event(header, ev.value, tod));
            }
            ++m_dataItems;
            break;
        }
        case LineEventKind::kTrigger:
            if (m_layout == StreamLayout::kShort && tod >= m_running && tod - m_running <= 0xFFFF) {
                AppendStreamItem(
                    out, StreamItem::TriggerStep(ev.value, static_cast<uint16_t>(tod - m_running)));
            } else {
                AppendStreamItem(out, StreamItem::TriggerTime(ev.value, tod));
            }
            m_running = tod;
            break;
    }
}

void StreamEncoder::AddFiller(std::vector<uint8_t>& out, uint32_t length) {
    AppendStreamItem(out, StreamItem::Filler(length));
}

void StreamEncoder::AddNotice(std::vector<uint8_t>& out) {
    // The 8-byte layout has no notice item.
    if (m_layout == StreamLayout::kShort) AppendStreamItem(out, StreamItem::Notice());
}

}  // namespace qv::sim
