// The records the Line window has loaded around a frame, turned into traces:
// level changes per line, character labels, the start time of every record
// and the span they cover. All times are chart times (double, 10 ns ticks).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "present/ChartLayout.h"

namespace qv {

class ChartClock;
class CaptureReader;

// A line's levels: at times[i] the line goes to levels[i] and stays there
// until the next point (a step). A vertical edge is two points at one time.
struct ChartTrace {
    std::vector<double> times;
    std::vector<uint8_t> levels;  // kChartLow or kChartHigh
    uint8_t initial = kChartLow;  // the level before the first point

    void Clear(uint8_t level) {
        times.clear();
        levels.clear();
        initial = level;
    }
    void Add(double t, uint8_t level) {
        times.push_back(t);
        levels.push_back(level);
    }
    // The level at chart time t (the last point at or before t).
    uint8_t LevelAt(double t) const;
};

// A data character's "%02X" label, at the start of its pulse.
struct ChartLabel {
    double time = 0;
    uint8_t value = 0;
    uint8_t trace = 0;  // kChartTraceSd or kChartTraceRd
};

struct ChartData {
    std::array<ChartTrace, kChartTraceCount> traces;
    std::vector<ChartLabel> labels;   // in time order
    std::vector<double> recordTimes;  // start of every loaded record, in frame order
    uint64_t firstFrame = 0;          // frame number of recordTimes[0]
    uint64_t frame = 0;               // the frame the chart was loaded around
    double spanStart = 0, spanEnd = 0;

    bool Empty() const { return recordTimes.empty(); }
    // The start time of a loaded frame, clamped into the loaded frames.
    double FrameTime(uint64_t f) const;
    // The frame of the last loaded record starting at or before t (the first
    // loaded one before them all).
    uint64_t FrameAt(double t) const;
};

// Loads the records around frame `frame` of the reader: up to `n` records
// before it (from frame 0 when fewer are there) and n records from it on,
// stopping at the capture's end. Only ASYNC and LOGIC captures give trace
// points; SYNC and HDLC captures give record times only, so the window can
// still be placed and scrolled over flat traces. The reader's cursor moves.
// 0, or the reader's code when the first record cannot be reached.
int LoadChart(CaptureReader& reader, const ChartClock& clock, const ChartLayout& layout,
              uint64_t frame, uint64_t n, ChartData& out);

}  // namespace qv
