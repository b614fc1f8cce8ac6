// A seeded model of what a monitored line carries: request/response traffic
// in both directions with control-line handshakes, idle gaps, breaks, line
// errors and trigger events, timed from the bit rate and character format.
// The emulator and the stream generator both draw from it, so a seed names
// one and the same line history everywhere.
//
// The random numbers come from our own generator and range mapping, not from
// the standard library's distributions, whose results differ between library
// implementations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "capture/CaptureRecord.h"

namespace qv::sim {

// splitmix64: tiny, fast and the same on every platform.
class TrafficRandom {
  public:
    explicit TrafficRandom(uint64_t seed) : m_state(seed) {}
    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // lo..hi inclusive.
    uint64_t Range(uint64_t lo, uint64_t hi) { return hi <= lo ? lo : lo + Next() % (hi - lo + 1); }
    // True with probability 1/n (never for n == 0).
    bool OneIn(uint64_t n) { return n != 0 && Next() % n == 0; }

  private:
    uint64_t m_state;
};

struct TrafficOptions {
    int protocol = kProtocolAsync;  // 0 ASYNC, 16 SYNC, 32 HDLC, 48 LOGIC
    double sdBaudrate = 115200.0;   // bits per second
    double rdBaudrate = 115200.0;
    int dataLen = 8;   // data bits per character, 5..8
    int parity = 0;    // 0 none; 1..5 add a parity bit
    int stopBit = 10;  // tenths of a bit: 0, 10, 15, 20
    uint64_t seed = 1;
    // Time of the first event: 10 ns ticks since midnight of the first day.
    uint64_t startTicks = 10ULL * 3'600 * 100'000'000;
    // One line error in this many characters (0: none).
    uint32_t errorOneIn = 500;
    // One break, one trigger event, one long idle gap in this many exchanges (0: none).
    uint32_t breakOneIn = 40;
    uint32_t triggerOneIn = 25;
    uint32_t longIdleOneIn = 50;
    // Longest idle gap between exchanges, 10 ns ticks (a long gap exercises
    // the stream's full-time items; several hours let a run cross midnight).
    uint64_t maxIdleTicks = 30ULL * 100'000'000;
    // SYNC/HDLC: longest frame in bytes (at most 65 535); one long frame (over
    // 255 bytes, sent in pieces) in this many frames.
    uint32_t maxFrameBytes = 1200;
    uint32_t longFrameOneIn = 10;
};

enum class LineEventKind : uint8_t {
    kData,     // ASYNC character or LOGIC sample: header (kind + flags), value
    kFrame,    // SYNC/HDLC frame: header (kind + flags), start, time = end, bytes
    kLines,    // control lines changed: value = the new line state byte
    kEvent,    // break began or ended: value = the event byte (bit 7 SD, bit 6 RD)
    kTrigger,  // the instrument's trigger fired: value = its code
};

struct LineEvent {
    LineEventKind kind = LineEventKind::kData;
    // 10 ns ticks since midnight of the first day; past a day on a run that
    // crosses midnight. For a character: its stop bit; for a frame: its end.
    uint64_t time = 0;
    uint64_t start = 0;  // frames: the first bit
    uint8_t header = 0;  // data and frames: the stored header byte
    uint8_t value = 0;
    std::span<const uint8_t> bytes;  // frames: valid until the next call of Next
};

// Ticks one character takes: start bit, data bits, parity bit, stop bits.
uint64_t CharacterTicks(double baudrate, int dataLen, int parity, int stopBit);

class LineTraffic {
  public:
    explicit LineTraffic(const TrafficOptions& options);

    // The next event in time order. The history never ends.
    LineEvent Next();

    // The line state after the events handed out so far.
    uint8_t LineState() const { return m_handedState; }
    const TrafficOptions& Options() const { return m_opt; }

  private:
    void PlanExchange();
    void PlanAsyncMessage(bool sd, uint64_t& t);
    void PlanLogicBurst(uint64_t& t);
    void PlanFrame(bool sd, uint64_t& t);
    void PushLines(uint64_t t, uint8_t state);
    uint8_t ErrorFlags();

    TrafficOptions m_opt;
    TrafficRandom m_rnd;
    uint64_t m_sdChar, m_rdChar;  // ticks per character
    uint64_t m_now;               // end of the planned history
    uint8_t m_state = 0;          // line state at the end of the planned history
    uint8_t m_handedState = 0;    // line state after the events handed out
    uint8_t m_logicSample = 0;
    std::vector<LineEvent> m_queue;  // planned, not yet handed out
    size_t m_next = 0;
    // Frame bytes of the planned frames; events point into it.
    std::vector<std::vector<uint8_t>> m_frames;
    std::vector<uint8_t> m_current;  // bytes of the frame last handed out
};

}  // namespace qv::sim
