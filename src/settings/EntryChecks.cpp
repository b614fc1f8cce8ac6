#include "settings/EntryChecks.h"

#include "core/NumberText.h"
#include "settings/EditorRules.h"
#include "settings/ValueText.h"

namespace qv {

std::string RangeReason(int64_t min, int64_t max) {
    return FormatThousands(static_cast<int32_t>(min)) + "～" +
           FormatThousands(static_cast<int32_t>(max)) + "の範囲で入力してください";
}

bool ParseGroupedWhole(std::string_view text, int64_t& value) {
    int64_t v = 0;
    bool digit = false;
    for (char c : text) {
        if (c == ',') continue;
        if (c < '0' || c > '9') return false;
        if (v > (INT64_MAX - 9) / 10) return false;
        v = v * 10 + (c - '0');
        digit = true;
    }
    if (!digit) return false;
    value = v;
    return true;
}

std::string WholeNumberProblem(std::string_view text, int64_t min, int64_t max) {
    int64_t v = 0;
    if (!ParseGroupedWhole(text, v) || v < min || v > max) return RangeReason(min, max);
    return {};
}

std::string BitRateProblem(std::string_view text, int lineType) {
    double max = lineType == 0 ? kMaxRs232BitRate : kMaxBitRate;
    int points = 0;
    bool digit = false;
    for (char c : text) {
        if (c == '.') ++points;
        else if (c >= '0' && c <= '9') digit = true;
        else if (c != ',') return "数字で入力してください";
    }
    std::string reason = "スピードは" + RangeReason(static_cast<int64_t>(kMinBitRate),
                                                   static_cast<int64_t>(max));
    if (!digit || points > 1) return reason;
    std::string plain;
    for (char c : text)
        if (c != ',') plain += c;
    double rate = ParseLeadingDouble(plain);
    if (rate < kMinBitRate || rate > max) return reason;
    return {};
}

std::string FrameLimitProblem(std::string_view text) {
    int64_t v = 0;
    if (!ParseGroupedWhole(text, v) || v < 1 || v > kMaxFrameLimitUnits)
        return "最大フレーム数は" + RangeReason(1, kMaxFrameLimitUnits) + "(万フレーム単位の整数)";
    return {};
}

}  // namespace qv
