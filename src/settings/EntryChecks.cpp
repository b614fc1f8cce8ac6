#include "settings/EntryChecks.h"

#include "core/MessageText.h"
#include "core/NumberText.h"
#include "settings/EditorRules.h"
#include "settings/ValueText.h"

namespace qv {

namespace {
std::string Grouped(int64_t v) {
    return FormatThousands(static_cast<int32_t>(v));
}
}  // namespace

std::string RangeReason(int64_t min, int64_t max) {
    return Say("", "Enter a number from ") + Grouped(min) + Say("～", " to ") + Grouped(max) +
           Say("の範囲で入力してください", "");
}

bool ParseGroupedWhole(std::string_view text, int64_t& value) {
    auto digits = UngroupNumberText(text, false);
    if (!digits) return false;
    int64_t v = 0;
    for (char c : *digits) {
        if (v > (INT64_MAX - 9) / 10) return false;
        v = v * 10 + (c - '0');
    }
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
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == ','))
            return Say("数字で入力してください", "Enter digits only");
    const auto low = static_cast<int64_t>(kMinBitRate), high = static_cast<int64_t>(max);
    std::string reason =
        MessageLanguage() == UiLanguage::kJapanese
            ? "スピードは" + RangeReason(low, high)
            : "Enter a speed from " + Grouped(low) + " to " + Grouped(high) + " bps";
    auto plain = UngroupNumberText(text, true);
    if (!plain) return reason;
    double rate = ParseLeadingDouble(*plain);
    if (rate < kMinBitRate || rate > max) return reason;
    return {};
}

std::string FrameLimitProblem(std::string_view text) {
    int64_t v = 0;
    if (!ParseGroupedWhole(text, v) || v < 1 || v > kMaxFrameLimitUnits)
        return MessageLanguage() == UiLanguage::kJapanese
                   ? "最大フレーム数は" + RangeReason(1, kMaxFrameLimitUnits) +
                         "(万フレーム単位の整数)"
                   : "Enter the maximum frames from 1 to " + Grouped(kMaxFrameLimitUnits) +
                         ", in units of 10,000 frames";
    return {};
}

}  // namespace qv
