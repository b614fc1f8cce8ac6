#include "sim/TapTimeline.h"

#include <algorithm>

#include "capture/CaptureRecord.h"

namespace qv::sim {

namespace {
constexpr int kLinesQueue = 2;
constexpr uint8_t kBreakBit[2] = {kEventSdBreak, kEventRdBreak};
}  // namespace

TapTimeline::TapTimeline(std::array<uint64_t, 2> charTicks, uint64_t openTicks)
    : m_char(charTicks), m_empty{openTicks, openTicks}, m_released(openTicks) {
    for (auto& c : m_char)
        c = std::max<uint64_t>(c, 1);
}

LineEvent TapTimeline::Break(uint64_t time) const {
    LineEvent ev;
    ev.kind = LineEventKind::kEvent;
    ev.header = MakeHeader(RecordKind::kEvent);
    ev.value = m_breaks;
    ev.time = time;
    return ev;
}

void TapTimeline::Read(int line, std::span<const TapInput> chars, uint64_t readTicks) {
    const uint64_t step = m_char[line];
    // Nothing of this read can be older than the moment the line was found
    // empty, nor overlap the line's previous character.
    uint64_t floor = m_empty[line] + 1;
    if (m_any[line]) floor = std::max(floor, m_last[line] + step);
    const uint64_t span = step * (chars.empty() ? 0 : chars.size() - 1);
    uint64_t t = std::max(readTicks > span ? readTicks - span : 0, floor);
    auto& queue = m_queue[line];
    const uint8_t bit = kBreakBit[line];
    for (const TapInput& c : chars) {
        if (m_breaks & bit) {
            // The break ended before this character's start bit; the port
            // does not say when, so it ends as late as it can.
            const uint64_t end = std::max({t > step ? t - step : 0, m_breakAt[line] + 1, floor});
            m_breaks &= static_cast<uint8_t>(~bit);
            queue.push_back(Break(std::min(end, t)));
        }
        if (c.brk) {
            m_breaks |= bit;
            m_breakAt[line] = t;
            queue.push_back(Break(t));
        } else {
            LineEvent ev;
            ev.kind = LineEventKind::kData;
            ev.header = MakeHeader(line == kSd ? RecordKind::kSdData : RecordKind::kRdData, c.flags);
            ev.value = c.value;
            ev.time = t;
            queue.push_back(ev);
        }
        m_last[line] = t;
        m_any[line] = true;
        t += step;
    }
    m_empty[line] = std::max(m_empty[line], readTicks);
}

void TapTimeline::Lines(uint8_t state, uint64_t ticks) {
    LineEvent ev;
    ev.kind = LineEventKind::kLines;
    ev.value = state;
    ev.time = std::max(ticks, m_released);
    m_queue[kLinesQueue].push_back(ev);
}

void TapTimeline::Release(std::deque<LineEvent>& out) {
    // A line's next event comes after the moment it was found empty and
    // after its last character's successor could end.
    auto settled = [&](int line) {
        return std::max(m_empty[line], m_any[line] ? m_last[line] + m_char[line] - 1 : 0);
    };
    const uint64_t final = std::min(settled(kSd), settled(kRd));
    for (;;) {
        // The earliest front; SD before RD before the control lines at one time.
        int pick = -1;
        for (int q = 0; q < 3; ++q)
            if (!m_queue[q].empty() &&
                (pick < 0 || m_queue[q].front().time < m_queue[pick].front().time))
                pick = q;
        if (pick < 0 || m_queue[pick].front().time > final) return;
        LineEvent ev = m_queue[pick].front();
        m_queue[pick].pop_front();
        ev.time = std::max(ev.time, m_released);
        m_released = ev.time;
        out.push_back(ev);
    }
}

bool TapTimeline::Holding() const {
    return !m_queue[kSd].empty() || !m_queue[kRd].empty() || !m_queue[kLinesQueue].empty();
}

}  // namespace qv::sim
