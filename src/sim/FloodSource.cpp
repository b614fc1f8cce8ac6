#include "sim/FloodSource.h"

#include <algorithm>
#include <cmath>

namespace qv::sim {

namespace {

constexpr uint64_t kMicro = 100;  // 10 ns ticks per microsecond

// A handshake line changes every 50 to 500 us: a few thousand line-change
// records a second beside millions of characters.
constexpr uint64_t kLinesMin = 50 * kMicro, kLinesMax = 500 * kMicro;
// The lines that come and go; terminal ready (ER, DR) stays up.
constexpr uint8_t kHandshakes[] = {kLineRs, kLineCs, kLineCd, kLineCi};

constexpr size_t kFrameMin = 16, kFrameMax = 512;  // SYNC/HDLC frame bytes

}  // namespace

FloodSource::FloodSource(const LineFormat& f, uint64_t seed, uint64_t startTicks)
    : m_protocol(f.protocol),
      m_dataMask(static_cast<uint8_t>((1u << std::clamp(f.dataLen, 5, 8)) - 1)),
      m_charTicks{CharacterTicks(f.sdBaudrate, f.dataLen, f.parity, f.stopBit),
                  CharacterTicks(f.rdBaudrate, f.dataLen, f.parity, f.stopBit)},
      m_baud{f.sdBaudrate > 0 ? f.sdBaudrate : 9600.0, f.rdBaudrate > 0 ? f.rdBaudrate : 9600.0},
      m_rnd(seed) {
    // RD runs half a character behind SD, so that the two lines interleave.
    m_data[0].time = startTicks;
    m_data[1].time = startTicks + m_charTicks[1] / 2;
    PlanData(true);
    PlanData(false);
    m_lineTime = startTicks + m_rnd.Range(kLinesMin, kLinesMax);
}

void FloodSource::PlanData(bool sd) {
    LineEvent& ev = m_data[sd ? 0 : 1];
    const uint64_t after = ev.kind == LineEventKind::kFrame ? ev.time + 1 : ev.time;
    const RecordKind kind = sd ? RecordKind::kSdData : RecordKind::kRdData;
    if (UsesFrameRecords(m_protocol)) {
        // The next frame starts as the last one ends.
        std::vector<uint8_t>& bytes = m_frame[sd ? 0 : 1];
        bytes.resize(m_rnd.Range(kFrameMin, kFrameMax));
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(m_rnd.Next());
        const double ticks = std::ceil(8.0 * bytes.size() / m_baud[sd ? 0 : 1] * 1e8);
        ev.kind = LineEventKind::kFrame;
        ev.start = after;
        ev.time = after + std::max<uint64_t>(static_cast<uint64_t>(ticks), 1);
        ev.header = MakeHeader(kind);
        ev.bytes = bytes;
        return;
    }
    ev.kind = LineEventKind::kData;
    ev.time = after + m_charTicks[sd ? 0 : 1];
    if (TraitsOfCode(m_protocol).lineSamples) {
        // A level change in every character time; the records of a LOGIC
        // capture carry the SD and RD levels in header bits 1 and 0.
        m_logic ^= static_cast<uint8_t>(1u << m_rnd.Range(0, 7));
        uint8_t flags = 0;
        if (m_logic & 0x80) flags |= kFlagLogicSdLevel;
        if (m_logic & 0x40) flags |= kFlagLogicRdLevel;
        ev.header = MakeHeader(RecordKind::kSdData, flags);
        ev.value = m_logic;
        return;
    }
    ev.header = MakeHeader(kind);
    ev.value = static_cast<uint8_t>(m_rnd.Next()) & m_dataMask;
}

void FloodSource::PlanLines() {
    m_lines ^= kHandshakes[m_rnd.Range(0, std::size(kHandshakes) - 1)];
    m_lineTime += m_rnd.Range(kLinesMin, kLinesMax);
}

bool FloodSource::Next(LineEvent& ev, const std::atomic<bool>& stop) {
    if (stop) return false;
    // A LOGIC capture samples both lines in one record stream: RD is idle.
    const bool rdBusy = TraitsOfCode(m_protocol).dataLines();
    const bool sd = !rdBusy || m_data[0].time <= m_data[1].time;
    LineEvent& next = m_data[sd ? 0 : 1];
    if (m_lineTime < next.time) {
        ev = LineEvent{};
        ev.kind = LineEventKind::kLines;
        ev.time = m_lineTime;
        PlanLines();
        ev.value = m_lines;
        return true;
    }
    ev = next;
    if (ev.kind == LineEventKind::kFrame) {
        // The bytes stay valid until the next call, as the interface says.
        m_handed.assign(ev.bytes.begin(), ev.bytes.end());
        ev.bytes = m_handed;
    }
    PlanData(sd);
    return true;
}

}  // namespace qv::sim
