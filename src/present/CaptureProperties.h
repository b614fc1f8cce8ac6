// The property list of a stored capture: its line settings, start and end,
// and its counts, as label and value texts for the two tabs of the property
// dialog ("全般": settings and times, "詳細": counts, sampling and storage).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/MessageText.h"
#include "settings/MonitorSettings.h"
#include "settings/TriggerSetting.h"

namespace qv {

class CaptureReader;

// What the lists are made from, read once from the capture's index.
struct CaptureFacts {
    MonitorSettings monitor;
    SamplingSettings sampling;
    LineNames names = DefaultLineNames();  // display names of line codes 2..11
    std::string startText, endText;        // record time texts, or empty
    std::string folder;
    uint32_t chunks = 0;
    uint64_t records = 0;
    // The chunk counters summed over the capture, fields 3..16.
    std::array<uint64_t, 14> totals{};
};
CaptureFacts ReadCaptureFacts(CaptureReader& file);

using PropertyRows = std::vector<std::pair<std::string, std::string>>;
// Values outside their lists show "---".
PropertyRows GeneralProperties(const CaptureFacts& f, UiLanguage language = MessageLanguage());
PropertyRows DetailProperties(const CaptureFacts& f, UiLanguage language = MessageLanguage());

}  // namespace qv
