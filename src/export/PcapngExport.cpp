#include "export/PcapngExport.h"

#include <cstdio>

namespace qv {

namespace {

// Events held back while a message is open. A line whose control lines
// flicker thousands of times inside one message gets the rest written at
// once (out of time order, which readers accept) rather than held.
constexpr size_t kMaxWaiting = 4096;

constexpr const char* kLineNames[8] = {"RS", "CS", "ER", "DR", "CD", "CI", "EXTIN", "EXTOUT"};

uint32_t DirectionFlag(int dir) {
    return dir == kDirSd ? kEpbOutbound : kEpbInbound;
}

uint32_t ErrorFlags(uint8_t errors) {
    uint32_t f = 0;
    if (errors & (kErrParity | kErrOverrun)) f |= kEpbSymbolError;
    if (errors & kErrFraming) f |= kEpbUnalignedFrame;
    if (errors & kErrFcs) f |= kEpbCrcError;
    if (errors & kErrAbort) f |= kEpbTooShort;
    return f;
}

}  // namespace

uint8_t RtacControlLines(uint8_t s) {
    uint8_t c = 0;
    if (s & kLineCs) c |= 0x01;
    if (s & kLineCd) c |= 0x02;
    if (s & kLineDr) c |= 0x04;
    if (s & kLineRs) c |= 0x08;
    if (s & kLineEr) c |= 0x10;
    if (s & kLineCi) c |= 0x20;
    return c;
}

std::optional<PayloadKind> PayloadKindOf(std::string_view name) {
    if (name == "none") return PayloadKind::kNone;
    if (name == "modbus-rtu") return PayloadKind::kModbusRtu;
    if (name == "dnp3") return PayloadKind::kDnp3;
    return std::nullopt;
}

const char* TsharkDecodeOption(PayloadKind kind) {
    switch (kind) {
        case PayloadKind::kModbusRtu:
            return "-d rtacser.data,mbrtu";
        case PayloadKind::kDnp3:
            return "-d rtacser.data,dnp3";
        default:
            return "";
    }
}

PcapngExport::PcapngExport(PcapngWriter& out, Protocol protocol, const AsyncCharTiming& timing,
                           const PcapngOptions& options)
    : m_out(out),
      m_protocol(protocol),
      m_options(options),
      m_splitter(protocol, timing, options.rule, *this),
      m_calendar(options.zone) {}

void PcapngExport::Begin() {
    std::string comment = "Serial line capture " + m_options.source + ". One packet per message";
    if (UsesFrameRecords(m_protocol)) {
        comment += " (one frame each)";
    } else if (m_options.rule.gapTicks > 0) {
        char t[64];
        std::snprintf(t, sizeof t, " (ended by %.2f us of idle line)",
                      static_cast<double>(m_options.rule.gapTicks) / 100.0);
        comment += t;
    } else {
        char t[64];
        std::snprintf(t, sizeof t, " (ended by %.2f idle character times)",
                      m_options.rule.gapChars);
        comment += t;
    }
    comment += "; SD is outbound, RD inbound.";
    if (m_options.payload != PayloadKind::kNone)
        comment += std::string(" Decode the payload with tshark ") +
                   TsharkDecodeOption(m_options.payload) + ".";
    m_out.SectionHeader(m_options.application, comment);
    std::string description = m_options.lineSummary;
    if (m_options.payload == PayloadKind::kModbusRtu) description += ", Modbus RTU";
    if (m_options.payload == PayloadKind::kDnp3) description += ", DNP3";
    // 10 ns ticks: if_tsresol 10^-8 keeps every stamp exact.
    m_out.Interface(kLinkTypeRtacSerial, 262'144, "serial", description, 8);
}

void PcapngExport::Write(int64_t time, uint8_t type, uint8_t lineState, uint32_t flags,
                         std::span<const uint8_t> payload, std::string_view comment) {
    const int64_t epoch = m_calendar.EpochTicks(time);
    const uint64_t ticks = epoch < 0 ? 0 : static_cast<uint64_t>(epoch);
    const uint32_t sec = static_cast<uint32_t>(ticks / 100'000'000);
    const uint32_t usec = static_cast<uint32_t>(ticks % 100'000'000 / 100);
    // The header's fields are big-endian.
    const uint8_t head[kRtacHeaderSize] = {
        static_cast<uint8_t>(sec >> 24),  static_cast<uint8_t>(sec >> 16),
        static_cast<uint8_t>(sec >> 8),   static_cast<uint8_t>(sec),
        static_cast<uint8_t>(usec >> 24), static_cast<uint8_t>(usec >> 16),
        static_cast<uint8_t>(usec >> 8),  static_cast<uint8_t>(usec),
        type,                             RtacControlLines(lineState),
        lineState,                        0};
    m_out.Packet(0, ticks, head, payload, flags, comment);
}

void PcapngExport::Queue(Event e) {
    if (m_splitter.HasOpen() && m_waiting.size() < kMaxWaiting) {
        m_waiting.push_back(std::move(e));
        return;
    }
    Write(e.time, e.type, e.lines, e.flags, {}, e.comment);
}

void PcapngExport::FlushWaiting() {
    for (const Event& e : m_waiting)
        Write(e.time, e.type, e.lines, e.flags, {}, e.comment);
    m_waiting.clear();
}

void PcapngExport::OnMessage(const Message& m) {
    ++m_messages;
    m_comment.clear();
    if (m.errors) m_comment = ErrorNames(m.errors) + " error";
    if (m.cut) {
        if (!m_comment.empty()) m_comment += "; ";
        m_comment += "continues in the next packet (no idle gap)";
    }
    Write(m.start, m.dir == kDirSd ? kRtacDataTx : kRtacDataRx, m.lineState,
          DirectionFlag(m.dir) | ErrorFlags(m.errors), m.bytes, m_comment);
    FlushWaiting();
}

void PcapngExport::Add(const WalkRecord& r) {
    m_lastTime = r.end;
    if (!m_started) {
        m_line = r.lineState;
        m_started = true;
    }
    switch (r.kind) {
        case RecordKind::kSdData:
        case RecordKind::kRdData: {
            m_splitter.AddData(r);
            const uint8_t errors = RecordErrors(m_protocol, r.header);
            // A character with a line error stays in its message (the bytes
            // are what the line carried) and is also shown where it came.
            if (errors && TraitsOf(m_protocol).characterErrors) {
                const int dir = r.kind == RecordKind::kSdData ? kDirSd : kDirRd;
                char text[64];
                std::snprintf(text, sizeof text, "%s error in %s character 0x%02x",
                              ErrorNames(errors).c_str(), DirectionName(dir), r.value);
                const uint8_t type = (errors & kErrFraming)  ? kRtacFramingError
                                     : (errors & kErrParity) ? kRtacParityError
                                                             : kRtacOverflow;
                Queue({r.end, type, r.lineState, DirectionFlag(dir) | ErrorFlags(errors), text});
            }
            break;
        }
        case RecordKind::kLineChange: {
            m_splitter.Idle(r.end);
            std::string text;
            const uint8_t changed = m_line ^ r.value;
            for (int i = 0; i < 8; ++i) {
                const uint8_t bit = static_cast<uint8_t>(0x80 >> i);
                if (!(changed & bit)) continue;
                if (!text.empty()) text += ", ";
                text += kLineNames[i];
                text += (r.value & bit) ? " on" : " off";
            }
            m_line = r.value;
            Queue({r.end, kRtacStatusChange, r.value, 0, text.empty() ? "lines" : text});
            return;
        }
        case RecordKind::kEvent: {
            m_splitter.Idle(r.end);
            if (!TraitsOf(m_protocol).breakEvents) break;
            const uint8_t changed = r.value ^ m_event;
            for (int dir : {kDirSd, kDirRd}) {
                const uint8_t bit = dir == kDirSd ? kEventSdBreak : kEventRdBreak;
                if (!(changed & bit)) continue;
                const bool on = (r.value & bit) != 0;
                if (on) m_splitter.Break(dir);
                Queue({r.end, kRtacBreak, r.lineState, DirectionFlag(dir),
                       std::string(DirectionName(dir)) + (on ? " break begins" : " break ends")});
            }
            m_event = r.value;
            break;
        }
    }
    m_line = r.lineState;
}

void PcapngExport::AddGap(const WalkGap& gap, const std::string& what) {
    char text[128];
    std::snprintf(text, sizeof text, "records %llu to %llu missing: ",
                  static_cast<unsigned long long>(gap.from + 1),
                  static_cast<unsigned long long>(gap.to));
    m_splitter.Finish();
    Write(m_lastTime, kRtacDataLost, m_line, 0, {}, text + what);
}

void PcapngExport::Finish() {
    m_splitter.Finish();
    FlushWaiting();
}

}  // namespace qv
