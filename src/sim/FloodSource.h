// The busiest line the instrument can be asked to record: both data lines
// carry characters back to back, with no idle time between them, at the
// configured bit rate and character format, and the control lines change
// every so often as a handshaking line does. SYNC and HDLC lines carry
// frames back to back instead, a LOGIC line a level change every character
// time. Data bytes and the moments of the line changes come from a seed.
//
// At 12.5 Mbit/s and 8N1 a character takes 80 ticks (0.8 us), so both lines
// together make about 2.5 million records a second.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/LineSource.h"

namespace qv::sim {

class FloodSource : public ILineSource {
  public:
    FloodSource(const LineFormat& format, uint64_t seed, uint64_t startTicks);

    bool Next(LineEvent& ev, const std::atomic<bool>& stop) override;
    uint8_t InitialLines() const override { return kInitialLines; }
    bool Live() const override { return false; }

    // Terminal ready on both sides for the whole run.
    static constexpr uint8_t kInitialLines = kLineEr | kLineDr;

  private:
    // The next event of one data line, made when the previous one is taken.
    void PlanData(bool sd);
    void PlanLines();

    int m_protocol;
    uint8_t m_dataMask;
    uint64_t m_charTicks[2];  // SD, RD: ticks per character
    double m_baud[2];
    TrafficRandom m_rnd;
    LineEvent m_data[2];         // the next event of SD and of RD
    std::vector<uint8_t> m_frame[2];  // frame bytes of those events
    std::vector<uint8_t> m_handed;    // bytes of the frame handed out last
    uint64_t m_lineTime = 0;          // when the control lines change next
    uint8_t m_lines = kInitialLines;
    uint8_t m_logic = 0;  // LOGIC: the sampled levels
};

}  // namespace qv::sim
