#include "traffic/LineTraffic.h"

#include <algorithm>
#include <cmath>

namespace qv::sim {

namespace {

constexpr uint64_t kMicro = 100;  // 10 ns ticks per microsecond
constexpr uint64_t kMilli = 100'000;

// A few request texts so that a listing looks like a real exchange.
constexpr const char* kRequests[] = {"READ 0001\r\n", "STAT?\r\n",
                                     "\x02"
                                     "D0100,05\x03",
                                     "WRITE 0002 1F\r\n", "ENQ\r\n"};
constexpr const char* kReplies[] = {"OK 00 12 34 56\r\n", "READY\r\n", "\x06",
                                    "\x02"
                                    "0000FFFF1234\x03",
                                    "NG 05\r\n"};

}  // namespace

uint64_t CharacterTicks(double baudrate, int dataLen, int parity, int stopBit) {
    if (baudrate <= 0) baudrate = 9600.0;
    // Start bit, data bits, parity bit, stop bits (tenths: 15 is one and a half).
    const double bits = 1.0 + dataLen + (parity > 0 ? 1 : 0) + stopBit / 10.0;
    const double ticks = std::floor(bits / baudrate * 100'000'000.0);
    return ticks < 1 ? 1 : static_cast<uint64_t>(ticks);
}

LineTraffic::LineTraffic(const TrafficOptions& options)
    : m_opt(options), m_rnd(options.seed), m_now(options.startTicks) {
    m_sdChar = CharacterTicks(m_opt.sdBaudrate, m_opt.dataLen, m_opt.parity, m_opt.stopBit);
    m_rdChar = CharacterTicks(m_opt.rdBaudrate, m_opt.dataLen, m_opt.parity, m_opt.stopBit);
    m_opt.maxFrameBytes = std::clamp<uint32_t>(m_opt.maxFrameBytes, 1, 65535);
    // Terminal ready is up for the whole run.
    m_state = kLineEr | kLineDr;
    PushLines(m_now, m_state);
}

LineEvent LineTraffic::Next() {
    while (m_next >= m_queue.size()) {
        m_queue.clear();
        m_frames.clear();
        m_next = 0;
        PlanExchange();
    }
    LineEvent ev = m_queue[m_next++];
    if (ev.kind == LineEventKind::kFrame) {
        // Keep the bytes alive until the next call even though the plan may be
        // refilled then.
        m_current.assign(ev.bytes.begin(), ev.bytes.end());
        ev.bytes = m_current;
    } else if (ev.kind == LineEventKind::kLines) {
        m_handedState = ev.value;
    }
    return ev;
}

void LineTraffic::PushLines(uint64_t t, uint8_t state) {
    LineEvent ev;
    ev.kind = LineEventKind::kLines;
    ev.time = t;
    ev.value = state;
    m_queue.push_back(ev);
}

uint8_t LineTraffic::ErrorFlags() {
    if (!m_rnd.OneIn(m_opt.errorOneIn)) return 0;
    if (UsesFrameRecords(m_opt.protocol)) return m_rnd.OneIn(3) ? kFlagAbort : kFlagFcsError;
    static constexpr uint8_t kAsyncErrors[] = {kFlagParityError, kFlagFramingError,
                                               kFlagOverrunError};
    return kAsyncErrors[m_rnd.Range(0, 2)];
}

void LineTraffic::PlanAsyncMessage(bool sd, uint64_t& t) {
    const char* text = sd ? kRequests[m_rnd.Range(0, 4)] : kReplies[m_rnd.Range(0, 4)];
    const uint64_t charTicks = sd ? m_sdChar : m_rdChar;
    const uint8_t dataMask = static_cast<uint8_t>((1u << std::clamp(m_opt.dataLen, 5, 8)) - 1);
    for (const char* c = text; *c; ++c) {
        // Senders leave the odd gap of a few character times inside a message.
        t += charTicks + (m_rnd.OneIn(8) ? m_rnd.Range(1, 3) * charTicks : 0);
        LineEvent ev;
        ev.kind = LineEventKind::kData;
        ev.time = t;
        ev.header = MakeHeader(sd ? RecordKind::kSdData : RecordKind::kRdData, ErrorFlags());
        ev.value = static_cast<uint8_t>(*c) & dataMask;
        m_queue.push_back(ev);
    }
}

void LineTraffic::PlanLogicBurst(uint64_t& t) {
    // A logic capture samples both data lines; a record is a sample in which
    // a level changed, with the SD and RD levels in header bits 1 and 0.
    const uint64_t count = m_rnd.Range(8, 64);
    for (uint64_t i = 0; i < count; ++i) {
        t += m_rnd.Range(2 * kMicro, 400 * kMicro);
        m_logicSample ^= static_cast<uint8_t>(1u << m_rnd.Range(0, 7));
        uint8_t flags = 0;
        if (m_logicSample & 0x80) flags |= kFlagLogicSdLevel;
        if (m_logicSample & 0x40) flags |= kFlagLogicRdLevel;
        LineEvent ev;
        ev.kind = LineEventKind::kData;
        ev.time = t;
        ev.header = MakeHeader(RecordKind::kSdData, flags);
        ev.value = m_logicSample;
        m_queue.push_back(ev);
    }
}

void LineTraffic::PlanFrame(bool sd, uint64_t& t) {
    size_t length = m_rnd.Range(2, std::min<uint32_t>(m_opt.maxFrameBytes, 200));
    if (m_rnd.OneIn(m_opt.longFrameOneIn) && m_opt.maxFrameBytes > 255)
        length = m_rnd.Range(256, m_opt.maxFrameBytes);
    std::vector<uint8_t>& bytes = m_frames.emplace_back(length);
    bytes[0] = sd ? 0x03 : 0x01;  // an HDLC-like address and control byte
    for (size_t i = 1; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(m_rnd.Next());
    const double baud = sd ? m_opt.sdBaudrate : m_opt.rdBaudrate;
    const uint64_t duration =
        static_cast<uint64_t>(std::ceil(8.0 * length / (baud > 0 ? baud : 9600.0) * 1e8));
    LineEvent ev;
    ev.kind = LineEventKind::kFrame;
    ev.start = t;
    t += std::max<uint64_t>(duration, 1);
    ev.time = t;
    ev.header = MakeHeader(sd ? RecordKind::kSdData : RecordKind::kRdData, ErrorFlags());
    ev.bytes = bytes;
    m_queue.push_back(ev);
}

void LineTraffic::PlanExchange() {
    uint64_t t = m_now;
    // Idle line between exchanges.
    if (m_rnd.OneIn(m_opt.longIdleOneIn))
        t += m_rnd.Range(m_opt.maxIdleTicks / 4, m_opt.maxIdleTicks);
    else
        t += m_rnd.Range(200 * kMicro, 20 * kMilli);

    if (TraitsOfCode(m_opt.protocol).lineSamples) {
        PlanLogicBurst(t);
        if (m_rnd.OneIn(4)) {
            m_state ^= kLineExtIn;
            PushLines(t += 10 * kMicro, m_state);
        }
    } else {
        const bool frames = UsesFrameRecords(m_opt.protocol);
        // Request: RS up, the other side answers with CS, data, then both drop.
        m_state |= kLineRs;
        PushLines(t, m_state);
        m_state |= kLineCs;
        PushLines(t += m_rnd.Range(20 * kMicro, 300 * kMicro), m_state);
        if (frames)
            PlanFrame(true, t);
        else
            PlanAsyncMessage(true, t);
        m_state &= static_cast<uint8_t>(~kLineRs);
        PushLines(t += m_rnd.Range(10 * kMicro, 100 * kMicro), m_state);
        m_state &= static_cast<uint8_t>(~kLineCs);
        PushLines(t += m_rnd.Range(5 * kMicro, 50 * kMicro), m_state);

        // Response: carrier up, data on RD, carrier down.
        t += m_rnd.Range(kMilli, 10 * kMilli);
        m_state |= kLineCd;
        PushLines(t, m_state);
        if (frames)
            PlanFrame(false, t);
        else
            PlanAsyncMessage(false, t);
        m_state &= static_cast<uint8_t>(~kLineCd);
        PushLines(t += m_rnd.Range(10 * kMicro, 100 * kMicro), m_state);

        if (m_rnd.OneIn(m_opt.breakOneIn)) {
            // A break on one line, held for about ten character times.
            const uint8_t bit = m_rnd.OneIn(2) ? kEventSdBreak : kEventRdBreak;
            LineEvent ev;
            ev.kind = LineEventKind::kEvent;
            ev.time = t += 2 * m_sdChar;
            ev.value = bit;
            m_queue.push_back(ev);
            ev.time = t += 10 * m_sdChar;
            ev.value = 0;
            m_queue.push_back(ev);
        }
    }
    if (m_rnd.OneIn(m_opt.triggerOneIn)) {
        LineEvent ev;
        ev.kind = LineEventKind::kTrigger;
        ev.time = t += kMicro;
        ev.value = static_cast<uint8_t>(m_rnd.Range(1, 5));
        m_queue.push_back(ev);
    }
    // Frames point into m_frames; fix the spans now that the vector is stable.
    size_t frame = 0;
    for (LineEvent& ev : m_queue)
        if (ev.kind == LineEventKind::kFrame) ev.bytes = m_frames[frame++];
    m_now = t;
}

}  // namespace qv::sim
