// A capture as a pcapng file that Wireshark and tshark open as they are.
// Characters are grouped into messages (MessageSplitter); each message is one
// packet of the RTAC serial link type (250), whose 12-byte header carries the
// time, an event type and the control lines, and whose payload Wireshark can
// hand to its Modbus RTU or DNP3 dissector (tshark -d rtacser.data,mbrtu).
// Control-line changes, breaks, line errors and records no file holds become
// packets of their own, so nothing of the line is lost. Packets come in time
// order: events that happen while a message is still open wait for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/LineClock.h"
#include "export/MessageSplitter.h"
#include "export/PcapngWriter.h"

namespace qv {

inline constexpr uint16_t kLinkTypeRtacSerial = 250;
inline constexpr size_t kRtacHeaderSize = 12;

// Event types of the RTAC serial header.
enum RtacEvent : uint8_t {
    kRtacStatusChange = 0x00,
    kRtacDataTx = 0x01,
    kRtacDataRx = 0x02,
    kRtacDataLost = 0x05,
    kRtacFramingError = 0x07,
    kRtacParityError = 0x08,
    kRtacBreak = 0x09,
    kRtacOverflow = 0x0A,
};

// The RTAC control-line byte of a line-state byte: CTS 0x01 (CS), DCD 0x02
// (CD), DSR 0x04 (DR), RTS 0x08 (RS), DTR 0x10 (ER), RING 0x20 (CI). Ext IN
// and Ext OUT have no place there; the header's footer carries the whole
// line-state byte.
uint8_t RtacControlLines(uint8_t lineState);

enum class PayloadKind { kNone, kModbusRtu, kDnp3 };
// The payload choice's names: "none", "modbus-rtu", "dnp3"; none for another.
std::optional<PayloadKind> PayloadKindOf(std::string_view name);
// The tshark option that decodes the payload ("" for none).
const char* TsharkDecodeOption(PayloadKind kind);

struct PcapngOptions {
    MessageRule rule;
    PayloadKind payload = PayloadKind::kNone;
    std::string application;  // "qvtool 1.2.3", for the file's header
    std::string source;       // the capture, for the file's comment
    std::string lineSummary;  // "ASYNC 9600 bit/s 8E1", for the interface
    std::optional<TimeZone> zone;  // of the capture's times; none: this machine's
};

class PcapngExport : private IMessageSink {
  public:
    PcapngExport(PcapngWriter& out, Protocol protocol, const AsyncCharTiming& timing,
                 const PcapngOptions& options);

    bool CanSplit() const { return m_splitter.CanSplit(); }
    // The section header and the interface; first.
    void Begin();
    void Add(const WalkRecord& r);
    // Records no file holds, at the time of the last record seen.
    void AddGap(const WalkGap& gap, const std::string& what);
    // The line has reached `now` (line ticks) without a record: an open
    // message whose idle gap has passed ends.
    void Idle(int64_t now) { m_splitter.Idle(now); }
    bool HasOpen() const { return m_splitter.HasOpen(); }
    int64_t OpenEndsAt() const { return m_splitter.OpenEndsAt(); }
    // Ends the open message and writes what waits.
    void Finish();

    uint64_t Messages() const { return m_messages; }

  private:
    struct Event {
        int64_t time = 0;
        uint8_t type = 0, lines = 0;
        uint32_t flags = 0;
        std::string comment;
    };

    void OnMessage(const Message& m) override;
    void Write(int64_t time, uint8_t type, uint8_t lineState, uint32_t flags,
               std::span<const uint8_t> payload, std::string_view comment);
    void Queue(Event e);
    void FlushWaiting();

    PcapngWriter& m_out;
    Protocol m_protocol;
    PcapngOptions m_options;
    MessageSplitter m_splitter;
    LocalCalendar m_calendar;
    std::vector<Event> m_waiting;
    uint64_t m_messages = 0;
    int64_t m_lastTime = 0;
    bool m_started = false;
    uint8_t m_line = 0, m_event = 0;
    std::string m_comment;  // reused
};

}  // namespace qv
