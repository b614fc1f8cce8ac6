#include "settings/EditorRules.h"

#include <algorithm>

#include <cmath>

#include "core/MessageText.h"
#include "core/NumberText.h"
#include "core/TimeText.h"
#include "settings/FormatEntry.h"

namespace qv {

namespace {

constexpr uint32_t kRates[] = {
    50,
    75,
    100,
    110,
    134,
    150,
    200,
    300,
    600,
    1'200,
    1'800,
    2'000,
    2'400,
    3'200,
    3'600,
    4'800,
    7'200,
    8'000,
    9'600,
    10'400,
    12'000,
    12'800,
    14'400,
    16'000,
    16'800,
    19'200,
    24'000,
    26'400,
    28'800,
    32'000,
    33'600,
    38'400,
    48'000,
    56'000,
    57'600,
    64'000,
    72'000,
    76'800,
    100'000,
    115'200,
    153'600,
    200'000,
    230'400,
    300'000,
    400'000,
    460'800,
    500'000,
    600'000,
    614'400,
    687'500,
    700'000,
    800'000,
    900'000,
    921'600,
    1'000'000,
    1'500'000,
    // RS-422/485/530 only from here.
    1'843'200,
    2'000'000,
    3'000'000,
    3'686'400,
    4'000'000,
    5'000'000,
    6'000'000,
    7'000'000,
    7'372'800,
    8'000'000,
    9'000'000,
    10'000'000,
    11'000'000,
    12'000'000,
    12'500'000,
};
constexpr size_t kRs232Rates = 56;

// Thousands separators for a count that may exceed what the common helper
// takes; such values come only from hand-edited files and show as the largest.
std::string Thousands(double value) {
    constexpr double kMax = INT32_MAX;
    return FormatThousands(static_cast<int32_t>(value > kMax ? kMax : value));
}

}  // namespace

int EditorLineType(uint8_t line) {
    return line == kLineRs422 || line == kLineRs530 ? kLineTypeRs422 : kLineTypeRs232;
}

uint8_t EditedLineCode(int lineType, uint8_t stored) {
    if (lineType != kLineTypeRs422) return kLineRs232;
    return stored == kLineRs530 ? kLineRs530 : kLineRs422;
}

std::span<const uint32_t> BitRateList(int lineType) {
    std::span<const uint32_t> all(kRates);
    return lineType == kLineTypeRs422 ? all : all.first(kRs232Rates);
}

double MaxBitRate(int lineType) {
    return lineType == kLineTypeRs422 ? kMaxBitRate : kMaxRs232BitRate;
}

double LimitBitRate(double rate, int lineType) {
    if (!(rate >= kMinBitRate)) rate = kMinBitRate;  // NaN too
    return std::min(rate, MaxBitRate(lineType));
}

double ReadBitRateText(std::string_view text) {
    std::string kept;
    for (char c : text)
        if ((c >= '0' && c <= '9') || c == '.') kept += c;
    return ParseLeadingDouble(kept);
}

double ParseBitRateText(std::string_view text, int lineType) {
    return LimitBitRate(ReadBitRateText(text), lineType);
}

std::string BitRateText(double rate, int lineType) {
    if (lineType != kLineTypeRs422 && rate > kMaxRs232BitRate) rate = kMaxRs232BitRate;
    double whole = std::floor(rate);
    std::string text = Thousands(whole);
    if (rate != whole) {
        // Keep the fraction of a typed rate such as 134.5.
        std::string fixed = FormatFixed1(rate - whole);
        text += fixed.substr(fixed.find('.'));
    }
    return text;
}

std::string SameAsSdLabel(std::string_view sdName) {
    return Say("(", "(same as ") + std::string(sdName) + Say("と同じ)", ")");
}

void SetRdSameAsSd(MonitorSettings& m) {
    m.RD_Baudrate = m.SD_Baudrate;
}

void LowerSamplingToHalfBit(const MonitorSettings& m, SamplingSettings& s) {
    if (!TraitsOfCode(m.Protocol).startStopCharacters) return;
    auto lower = [](uint32_t& cycle, double rate) {
        if (!(rate > 0)) return;
        double half = std::floor(0.5 / rate * 1e9);
        if (half < kMinSamplingCycle) half = kMinSamplingCycle;
        if (half < static_cast<double>(cycle)) cycle = static_cast<uint32_t>(half);
    };
    lower(s.cycles[kSD], m.SD_Baudrate);
    lower(s.cycles[kRD], m.RD_Baudrate);
}

uint64_t FrameLimitFromText(std::string_view text) {
    std::string kept;
    for (char c : text)
        if (c != ',') kept += c;
    // The text becomes a whole number before it is multiplied: 0.5 gives 0.
    double units = std::trunc(ParseLeadingDouble(kept));
    if (!(units > 0)) return 0;
    double frames = units * static_cast<double>(kFrameLimitUnit);
    uint64_t limit = frames >= static_cast<double>(kMaxFrameLimit) ? kMaxFrameLimit
                                                                   : static_cast<uint64_t>(frames);
    return (limit + kFrameLimitStep - 1) / kFrameLimitStep * kFrameLimitStep;
}

std::string FrameLimitText(uint64_t frameMax) {
    return Thousands(static_cast<double>(frameMax / kFrameLimitUnit));
}

bool FrameLimitEditable(uint8_t memory, uint32_t saveDevice) {
    return memory == kMemoryRing && saveDevice == kSaveDevicePc;
}

TriggerCheck CheckTriggers(const std::array<TriggerSetting, kTriggerCount>& triggers,
                           const TriggerOption& option, int64_t now) {
    TriggerCheck check;
    for (const TriggerSetting& t : triggers) {
        if (t.enabled == 0) continue;
        ++check.enabled;
        if (StartsStoring(t)) ++check.startStoring;
    }
    if (check.startStoring > 0) return check;
    for (int i = 0; i < kOptionTimes; ++i)
        if (option.times[static_cast<size_t>(i)] <= now) check.time = i;
    if (check.enabled == kTriggerCount || check.time < 0) {
        check.outcome = TriggerCheckOutcome::AskOkCancel;
        return check;
    }
    for (int i = kTriggerCount - 1; i >= 0; --i) {
        if (triggers[static_cast<size_t>(i)].enabled == 0) {
            check.rewrite = i;
            break;
        }
    }
    check.outcome = TriggerCheckOutcome::AskYesNoCancel;
    return check;
}

void ApplyStartStoringTrigger(std::array<TriggerSetting, kTriggerCount>& triggers,
                              const TriggerCheck& check) {
    if (check.outcome != TriggerCheckOutcome::AskYesNoCancel || check.rewrite < 0 ||
        check.rewrite >= kTriggerCount || check.time < 0 || check.time >= kOptionTimes)
        return;
    TriggerSetting& t = triggers[static_cast<size_t>(check.rewrite)];
    t = TriggerSetting{};
    t.enabled = 1;
    t.action1 = kActionStartStoring;
    t.times[static_cast<size_t>(check.time)] = 1;
}

}  // namespace qv
