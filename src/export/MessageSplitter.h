// Data characters grouped into messages, as a user of a serial protocol sees
// them: an ASYNC message ends when its line has been idle for a number of
// character times (3.5 by default: the Modbus RTU rule), when the other
// direction starts to send, or at a break; a DNP3 link frame also ends at its
// own length. SYNC and HDLC data records are framed by the instrument and are
// one message each. Messages stream out one at a time, so memory stays that
// of the longest message (at most kMaxMessageBytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/RecordTime.h"
#include "export/RecordWalk.h"

namespace qv {

// 0 SD (sent by the monitored station), 1 RD (received by it).
inline constexpr int kDirSd = 0;
inline constexpr int kDirRd = 1;
inline const char* DirectionName(int dir) {
    return dir == kDirSd ? "SD" : "RD";
}

// Line errors a message holds, one bit per kind.
enum MessageError : uint8_t {
    kErrParity = 0x01,
    kErrFraming = 0x02,
    kErrOverrun = 0x04,
    kErrFcs = 0x08,    // SYNC/HDLC frame check failed
    kErrAbort = 0x10,  // SYNC/HDLC frame aborted
};
// The line errors a data record's header byte carries in this protocol.
uint8_t RecordErrors(Protocol protocol, uint8_t header);
// "parity,framing,..." in bit order; empty for none.
std::string ErrorNames(uint8_t errors);

// Longest message: a longer run of characters without a gap is cut into
// messages of this size, so that memory stays bounded and every message fits
// one pcapng packet that Wireshark reads.
inline constexpr size_t kMaxMessageBytes = 65'000;

enum class Framing {
    kGap,   // the idle gap and the direction alone
    kDnp3,  // also at the end of a DNP3 link frame (05 64 LEN ...)
};

struct MessageRule {
    double gapChars = 3.5;  // idle character times that end a message
    int64_t gapTicks = 0;   // when above 0, the idle time itself (10 ns ticks)
    Framing framing = Framing::kGap;
};

struct Message {
    uint64_t number = 0;  // 0-based
    int dir = kDirSd;
    // Line ticks: the first character's start and the last one's end.
    int64_t start = 0, end = 0;
    // Idle ticks since the previous message (either direction) ended; -1
    // for the first message.
    int64_t gapBefore = -1;
    // The direction of the previous message, -1 for the first.
    int prevDir = -1;
    uint8_t lineState = 0;  // control lines at the first character
    uint8_t errors = 0;     // MessageError bits of its characters
    uint64_t firstFrame = 0, lastFrame = 0;
    bool cut = false;  // ended at kMaxMessageBytes, not at a gap
    std::vector<uint8_t> bytes;
};

class IMessageSink {
  public:
    virtual ~IMessageSink() = default;
    virtual void OnMessage(const Message& m) = 0;
};

class MessageSplitter {
  public:
    MessageSplitter(Protocol protocol, const AsyncCharTiming& timing, const MessageRule& rule,
                    IMessageSink& sink);

    // False when the gap cannot be counted in characters: an ASYNC capture
    // without a baud rate and no gap given as a time.
    bool CanSplit() const { return m_threshold[0] > 0 && m_threshold[1] > 0; }
    // The idle ticks that end a message of a direction.
    int64_t Threshold(int dir) const { return m_threshold[dir]; }

    // Takes one SD or RD data record.
    void AddData(const WalkRecord& r);
    // The line has reached `now` (another kind of record): an open message
    // whose gap has passed ends here, so that it is not held back.
    void Idle(int64_t now);
    // A break on the direction ends its open message.
    void Break(int dir);
    // Ends the open message.
    void Finish();
    bool HasOpen() const { return m_open; }
    // The line tick from which Idle ends the open message (0 without one).
    int64_t OpenEndsAt() const { return m_open ? m_msg.end + m_threshold[m_msg.dir] : 0; }

  private:
    void Emit();
    bool Dnp3Complete() const;

    Protocol m_protocol;
    MessageRule m_rule;
    IMessageSink& m_sink;
    int64_t m_threshold[2] = {0, 0};
    int64_t m_halfBit[2] = {0, 0};  // the stamp lies this long before a character's end
    bool m_open = false;
    Message m_msg;
    uint64_t m_count = 0;
    int64_t m_lastEnd = 0;  // end of the previous message
    int m_lastDir = -1;
};

// Why a capture's characters cannot be grouped into messages: a LOGIC
// capture holds none, or (`canSplit` false) the character time is unknown
// and no gap was given as a time. Empty when they can.
std::string UnsplittableReason(Protocol protocol, bool canSplit);

}  // namespace qv
