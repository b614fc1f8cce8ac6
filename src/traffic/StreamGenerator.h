// A whole capture stream from a seed: line traffic encoded as the instrument
// sends it, with fillers between items now and then and, optionally, a
// notice at the end. Tests, benchmarks and `qvtool gen-stream` use it.
#pragma once

#include <cstdint>
#include <vector>

#include "traffic/LineTraffic.h"
#include "traffic/StreamEncoder.h"

namespace qv::sim {

struct GeneratorOptions {
    TrafficOptions traffic;
    StreamDate firstDay;
    uint64_t events = 10000;   // line events to encode
    uint32_t fillerOneIn = 0;  // a filler after one event in this many (0: none)
    uint32_t fillerMaxBytes = 64;
    bool noticeAtEnd = false;  // 4-byte layout only
};

// Appends the stream to `out`; returns the data items written.
uint64_t GenerateStream(const GeneratorOptions& options, std::vector<uint8_t>& out);

}  // namespace qv::sim
