#include "present/ChartData.h"

#include <algorithm>

#include "capture/CaptureReader.h"
#include "present/ChartClock.h"

namespace qv {

namespace {

uint8_t Level(bool set) {
    return set ? kChartHigh : kChartLow;
}

// Converts record dates to chart times, computing the day offset only when
// the date changes (once per chunk at most, not once per record).
class DateCache {
  public:
    explicit DateCache(const ChartClock& clock) : m_clock(clock) {}
    double operator()(const DayTime& t) {
        if (t.date != m_date) {
            m_date = t.date;
            m_base = m_clock.ToChart(t.date, 0);
        }
        return m_base + static_cast<double>(t.ticks);
    }

  private:
    const ChartClock& m_clock;
    int m_date = -1;
    double m_base = 0;
};

// Adds a vertical step at t to every trace whose bit differs; every trace of
// the group gets a point so that all of them share the step's time.
void StepLines(std::array<ChartTrace, kChartTraceCount>& traces, int first, int count,
               std::array<uint8_t, kChartTraceCount>& current, const uint8_t* next, double t) {
    for (int i = first; i < first + count; ++i) {
        auto& tr = traces[static_cast<size_t>(i)];
        if (tr.times.empty() || t > tr.times.back()) tr.Add(t, current[static_cast<size_t>(i)]);
        tr.Add(t, next[i - first]);
        current[static_cast<size_t>(i)] = next[i - first];
    }
}

}  // namespace

uint8_t ChartTrace::LevelAt(double t) const {
    auto it = std::upper_bound(times.begin(), times.end(), t);
    if (it == times.begin()) return initial;
    return levels[static_cast<size_t>(it - times.begin() - 1)];
}

double ChartData::FrameTime(uint64_t f) const {
    if (recordTimes.empty()) return 0;
    if (f < firstFrame) return recordTimes.front();
    const uint64_t i = std::min<uint64_t>(f - firstFrame, recordTimes.size() - 1);
    return recordTimes[i];
}

uint64_t ChartData::FrameAt(double t) const {
    auto it = std::upper_bound(recordTimes.begin(), recordTimes.end(), t);
    const uint64_t i =
        it == recordTimes.begin() ? 0 : static_cast<uint64_t>(it - recordTimes.begin() - 1);
    return firstFrame + i;
}

int LoadChart(CaptureReader& reader, const ChartClock& clock, const ChartLayout& layout,
              uint64_t frame, uint64_t n, ChartData& out) {
    const Protocol protocol = reader.GetProtocol();
    const bool async = TraitsOf(protocol).startStopCharacters;
    const bool logic = TraitsOf(protocol).lineSamples;

    out.labels.clear();
    out.recordTimes.clear();
    out.frame = frame;
    out.firstFrame = frame > n ? frame - n : 0;
    // n records before the frame (or all there are) and n from it on.
    const uint64_t count = (frame - out.firstFrame) + n;

    int rc = reader.GoToFrame(out.firstFrame);
    if (rc != 0) {
        for (auto& t : out.traces)
            t.Clear(kChartLow);
        out.spanStart = out.spanEnd = 0;
        return rc;
    }
    uint8_t header = 0, state = 0;
    reader.GetHeaderByte(header);
    reader.GetLineState(state);

    std::array<uint8_t, kChartTraceCount> current{};
    current[kChartTraceSd] = logic ? Level(header & kFlagLogicSdLevel) : kChartLow;
    current[kChartTraceRd] = logic ? Level(header & kFlagLogicRdLevel) : kChartLow;
    for (int i = 0; i < 8; ++i)
        current[static_cast<size_t>(kChartFirstControlTrace + i)] = Level(state & (0x80 >> i));
    for (int i = 0; i < kChartTraceCount; ++i)
        out.traces[static_cast<size_t>(i)].Clear(current[static_cast<size_t>(i)]);

    uint8_t shownLines = 0;
    for (int i = 0; i < 8; ++i)
        if (layout.Shown(kChartFirstControlTrace + i))
            shownLines |= static_cast<uint8_t>(0x80 >> i);

    out.recordTimes.reserve(static_cast<size_t>(std::min<uint64_t>(count, 1u << 22)));
    DateCache toChart(clock);
    std::vector<uint8_t> data;
    double lastEnd = 0;
    uint8_t lineState = state;
    for (uint64_t k = 0; k < count; ++k) {
        if (k > 0 && reader.NextRecord() != 0) break;
        DayTime start, end;
        if (reader.GetDayTimes(start, end) != 0) break;
        reader.GetHeaderByte(header);
        const double t0 = toChart(start);
        const double t1 = toChart(end);
        out.recordTimes.push_back(t0);
        lastEnd = k == 0 ? t1 : std::max(lastEnd, t1);
        if (!async && !logic) continue;

        const RecordKind kind = HeaderKind(header);
        if (logic) {
            reader.GetLineState(state);
            uint8_t next[kChartTraceCount];
            next[0] = Level(header & kFlagLogicSdLevel);
            next[1] = Level(header & kFlagLogicRdLevel);
            for (int i = 0; i < 8; ++i)
                next[2 + i] = Level(state & (0x80 >> i));
            bool changed = false;
            for (int i = 0; i < kChartTraceCount; ++i)
                changed |= next[i] != current[static_cast<size_t>(i)] && layout.Shown(i);
            if (changed) StepLines(out.traces, 0, kChartTraceCount, current, next, t0);
            continue;
        }
        if (IsDataKind(kind)) {
            const int trace = kind == RecordKind::kSdData ? kChartTraceSd : kChartTraceRd;
            if (!layout.Shown(trace)) continue;
            auto& tr = out.traces[static_cast<size_t>(trace)];
            tr.Add(t0, kChartHigh);
            tr.Add(t1, kChartLow);
            reader.GetData(data);
            out.labels.push_back(
                {t0, data.empty() ? uint8_t{0} : data[0], static_cast<uint8_t>(trace)});
        } else if (kind == RecordKind::kLineChange) {
            reader.GetLineState(state);
            const uint8_t changed = static_cast<uint8_t>(state ^ lineState);
            lineState = state;
            if (!(changed & shownLines)) {
                // Hidden lines still follow, so that a later step starts from
                // the level the line really had.
                for (int i = 0; i < 8; ++i)
                    current[static_cast<size_t>(kChartFirstControlTrace + i)] =
                        Level(state & (0x80 >> i));
                continue;
            }
            uint8_t next[8];
            for (int i = 0; i < 8; ++i)
                next[i] = Level(state & (0x80 >> i));
            StepLines(out.traces, kChartFirstControlTrace, 8, current, next, t0);
        }
    }
    out.spanStart = out.recordTimes.empty() ? 0 : out.recordTimes.front();
    out.spanEnd = std::max(out.spanStart, lastEnd);
    // Character labels of SD and RD interleave in record order, which is not
    // strictly time order when the two directions' character times differ.
    std::stable_sort(out.labels.begin(), out.labels.end(),
                     [](const ChartLabel& a, const ChartLabel& b) { return a.time < b.time; });
    return 0;
}

}  // namespace qv
