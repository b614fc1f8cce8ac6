// The rules the settings editors keep, as plain functions: the dialogs and
// qvtool call them, and they can be tested without a screen. A file may hold
// values these rules would never produce; the model keeps them as read.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/MonitorSettings.h"
#include "settings/TriggerSetting.h"

namespace qv {

// The editors offer two line types: RS-232 (0) and RS-422/485/530 (1). Code
// 2 ("530") is a differential line like code 1, so it is edited, named and
// rate-limited as RS-422/485/530: shown as RS-232 it would be saved as
// RS-232 with its rates cut to 1,500,000. Unknown codes count as RS-232.
int EditorLineType(uint8_t line);
// The code an editor stores for the chosen line type: a stored RS-530 stays
// RS-530 while RS-422/485/530 stays chosen.
uint8_t EditedLineCode(int lineType, uint8_t stored);

// Bit rates, bits per second.
inline constexpr double kMinBitRate = 10;
inline constexpr double kMaxBitRate = 12'500'000;
inline constexpr double kMaxRs232BitRate = 1'500'000;

// The rates offered for a line type (the RS-422/485/530 list continues the
// RS-232 one up to 12,500,000).
std::span<const uint32_t> BitRateList(int lineType);
// Limits a rate to 10 .. 12,500,000, and on RS-232 to 1,500,000.
double LimitBitRate(double rate, int lineType);
// A typed rate: reduced to its digits and decimal points, read as a number
// ("9,600" is 9600), then limited.
double ParseBitRateText(std::string_view text, int lineType);
// The same reading without the limit, for callers that refuse a rate out of
// range instead of lowering it.
double ReadBitRateText(std::string_view text);
// The highest rate a line type allows.
double MaxBitRate(int lineType);
// The rate as the speed lists show it: thousands separators, no fraction
// when it is whole ("9,600", "1,500,000"); on RS-232 above 1,500,000 it shows
// "1,500,000".
std::string BitRateText(double rate, int lineType);
// The first item of the RD list, standing for "the same rate as SD".
std::string SameAsSdLabel(std::string_view sdName);
// Choosing that item stores the SD rate into the RD rate.
void SetRdSameAsSd(MonitorSettings& m);

// Saving with protocol ASYNC lowers each data line's sampling cycle to half a
// bit time, floor(0.5 / rate * 1e9) ns, when it is larger. Rates that are not
// positive leave the cycle alone, and the cycle is never lowered below the
// 10 ns a sampled line needs (0 would mean "not sampled").
void LowerSamplingToHalfBit(const MonitorSettings& m, SamplingSettings& s);

// Frame limit: the text (units of 10,000 frames, commas allowed) made a whole
// number, times 10,000, limited to 2,000,000,000, raised to the next multiple
// of 50,000. A negative number gives 0.
inline constexpr uint64_t kFrameLimitUnit = 10'000;
inline constexpr uint64_t kFrameLimitStep = 50'000;
inline constexpr uint64_t kMaxFrameLimit = 2'000'000'000;
uint64_t FrameLimitFromText(std::string_view text);
// What the frame limit field shows for a FrameMax: FrameMax / 10,000 with
// thousands separators.
std::string FrameLimitText(uint64_t frameMax);
// The frame limit is editable only for RING memory saved on the computer.
bool FrameLimitEditable(uint8_t memory, uint32_t saveDevice);

// The check the parameter dialog makes on OK: a capture stores nothing unless
// some enabled trigger starts storing.
enum class TriggerCheckOutcome {
    Pass,            // an enabled trigger starts storing
    AskOkCancel,     // nothing can be inserted: confirm saving anyway
    AskYesNoCancel,  // offer to insert a start-storing trigger
};
struct TriggerCheck {
    TriggerCheckOutcome outcome = TriggerCheckOutcome::Pass;
    int enabled = 0;       // enabled triggers
    int startStoring = 0;  // enabled triggers whose first or second action starts storing
    int time = -1;         // the last of the four option times not later than now (0-3), or -1
    int rewrite = -1;      // the highest-numbered disabled trigger (0-4), for the Yes answer
};
inline constexpr std::string_view kTriggerCheckOkCancelCaption = "QV_ORT";
inline const char* TriggerCheckOkCancelText(UiLanguage l = MessageLanguage()) {
    return InUiLanguage(
        l, "トリガ条件に「蓄積開始]が設定されていないため、モニタデータは保存されませんがよろしいですか?",
        "No trigger is set to start storing, so the monitoring data will not be saved. "
        "Continue?");
}
inline constexpr std::string_view kTriggerCheckYesNoCaption = "QV-ORT";
inline const char* TriggerCheckYesNoText(UiLanguage l = MessageLanguage()) {
    return InUiLanguage(l,
                        "トリガ条件に「蓄積開始」が設定されていないため、モニタデータの保存はされません。\n"
                        "モニタスタート時に蓄積開始するようトリガ条件を挿入しますか？",
                        "No trigger is set to start storing, so the monitoring data will not be "
                        "saved.\nInsert a trigger that starts storing when monitoring starts?");
}

TriggerCheck CheckTriggers(const std::array<TriggerSetting, kTriggerCount>& triggers,
                           const TriggerOption& option, int64_t now);
// The "Yes" answer: the trigger the check chose is cleared, enabled, given
// "start storing" as its first action and the time it found as its only
// condition. Does nothing unless the outcome was AskYesNoCancel.
void ApplyStartStoringTrigger(std::array<TriggerSetting, kTriggerCount>& triggers,
                              const TriggerCheck& check);

}  // namespace qv
