// Turns the loaded traces into what a screen of a given width can show: step
// polylines with at most three vertices per pixel column, the labels that fit
// without overlapping and one record mark per pixel column. Whatever the zoom,
// drawing costs follow the window's width, not the records loaded.
#pragma once

#include <cstdint>
#include <vector>

#include "present/ChartData.h"

namespace qv {

// A polyline vertex: x in pixels from the window's left edge, the level.
struct PlotPoint {
    double x = 0;
    uint8_t level = 0;
};

// Maps chart times of the window [left, right] onto `width` pixels.
struct PlotScale {
    double left = 0, right = 1;
    int width = 1;
    double X(double t) const { return (t - left) * width / (right - left); }
};

// The trace's steps inside the window as a polyline from x = 0 to x = width;
// where several changes fall into one pixel column only the levels the column
// passes through are kept. A trace without points is flat at its level.
void PlotSteps(const ChartTrace& trace, const PlotScale& scale, std::vector<PlotPoint>& out);

// Indices (into data.labels) of the labels of one trace inside the window,
// skipping any that would start less than `minGapPx` after the last one kept.
void PlotLabels(const std::vector<ChartLabel>& labels, int trace, const PlotScale& scale,
                double minGapPx, std::vector<size_t>& out);

// The distinct pixel columns that hold a record start inside the window.
void PlotRecordMarks(const std::vector<double>& recordTimes, const PlotScale& scale,
                     std::vector<int>& out);

}  // namespace qv
