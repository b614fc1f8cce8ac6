#include "present/ChartPlot.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

void Push(std::vector<PlotPoint>& out, double x, uint8_t level) {
    if (!out.empty() && out.back().x == x && out.back().level == level) return;
    out.push_back({x, level});
}

}  // namespace

void PlotSteps(const ChartTrace& trace, const PlotScale& scale, std::vector<PlotPoint>& out) {
    out.clear();
    const auto& times = trace.times;
    const auto& levels = trace.levels;
    auto first = std::lower_bound(times.begin(), times.end(), scale.left);
    size_t i = static_cast<size_t>(first - times.begin());
    uint8_t level = i > 0 ? levels[i - 1] : trace.initial;
    Push(out, 0, level);

    const double width = scale.width;
    // The pixel column being collected: the level it was entered at, and
    // which levels it touched; flushed when the next column begins.
    long column = -1;
    uint8_t entry = level, low = level, high = level;
    auto flush = [&] {
        if (column < 0) return;
        const double x = static_cast<double>(column);
        Push(out, x, entry);
        if (low < std::min(entry, level)) Push(out, x, low);
        if (high > std::max(entry, level)) Push(out, x, high);
        Push(out, x, level);
    };
    for (; i < times.size() && times[i] <= scale.right; ++i) {
        const long c = std::clamp(static_cast<long>(std::floor(scale.X(times[i]))), 0L,
                                  static_cast<long>(width));
        if (c != column) {
            flush();
            column = c;
            entry = low = high = level;
        }
        level = levels[i];
        low = std::min(low, level);
        high = std::max(high, level);
    }
    flush();
    Push(out, width, level);
}

void PlotLabels(const std::vector<ChartLabel>& labels, int trace, const PlotScale& scale,
                double minGapPx, std::vector<size_t>& out) {
    out.clear();
    auto first = std::lower_bound(labels.begin(), labels.end(), scale.left,
                                  [](const ChartLabel& l, double t) { return l.time < t; });
    double last = -1e300;
    for (auto it = first; it != labels.end() && it->time <= scale.right; ++it) {
        if (it->trace != trace) continue;
        const double x = scale.X(it->time);
        if (x - last < minGapPx) continue;
        out.push_back(static_cast<size_t>(it - labels.begin()));
        last = x;
    }
}

void PlotRecordMarks(const std::vector<double>& recordTimes, const PlotScale& scale,
                     std::vector<int>& out) {
    out.clear();
    // Record times are in frame order, which is nearly (not strictly) time
    // order, so the whole list is walked; it is at most 2 N long.
    for (double t : recordTimes) {
        if (t < scale.left || t > scale.right) continue;
        out.push_back(static_cast<int>(std::floor(scale.X(t))));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace qv
