// The line and character settings, the sampling settings and the sync code:
// the three values that tell the instrument how to listen to the line. They
// always travel together (status files, capture indexes, the upload at the
// start of a run). Field names are the settings keys they are stored under.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/ProtocolTraits.h"
#include "settings/ValueText.h"

namespace qv {

// Line ("Line").
inline constexpr uint8_t kLineRs232 = 0;  // "232"
inline constexpr uint8_t kLineRs422 = 1;  // "422/485"
inline constexpr uint8_t kLineRs530 = 2;  // "530"
// Protocol ("Protocol"): kProtocolAsync, kProtocolSync, kProtocolHdlc and
// kProtocolLogic of the capture record layouts.
// Memory ("Memory"): with FIX the run stores a fixed 2,000,000,000 frames,
// with RING the frame limit applies.
inline constexpr uint8_t kMemoryFix = 1;
inline constexpr uint8_t kMemoryRing = 2;
// SaveDevice: captures go to the computer (PC) or the instrument's card (CF).
inline constexpr uint32_t kSaveDevicePc = 0;
inline constexpr uint32_t kSaveDeviceCf = 1;

struct MonitorSettings {
    uint32_t SaveDevice = kSaveDevicePc;  // kept in [RegistInfo]
    uint8_t Line = kLineRs232;
    uint8_t Protocol = kProtocolAsync;
    double SD_Baudrate = 9600.0;  // bits per second
    double RD_Baudrate = 9600.0;
    uint8_t DataLen = 8;   // data bits per character, 5 to 8
    uint8_t Parity = 0;    // NON ODD EVEN MARK SPACE MP
    uint8_t StopBit = 10;  // tenths of a bit; 0 for none
    uint8_t FCS = 0;
    uint8_t SyncCharCnt = 0;
    uint8_t SyncChar1 = 0;
    uint8_t SyncChar2 = 0;
    uint8_t SyncReleaseCnt = 0;
    uint8_t SyncReleaseChar = 0;
    uint32_t TransParent = 0;
    uint8_t TransParentChar = 0;
    uint32_t BitOrder = 1;     // 1 LSB first, 0 MSB first
    uint32_t SDDataLogic = 1;  // 1 positive logic, 0 negative
    uint32_t RDDataLogic = 1;
    uint8_t DataFormat = 0;    // NRZ, NRZI
    uint8_t Clock = 0;         // INT ST1 ST2 RT
    uint8_t SD_ClockRate = 0;  // divisor 1/1 1/16 1/32 1/64
    uint8_t RD_ClockRate = 0;
    uint32_t Padding = 0;
    uint8_t PaddingChar = 0;
    // 0 when absent; a new status file carries "FIX".
    uint8_t Memory = 0;

    bool operator==(const MonitorSettings&) const = default;
};

// The ten monitored lines, in the order of the sampling cycles.
enum SampledLine : int { kSD, kRD, kRS, kCS, kER, kDR, kCD, kCI, kExtIn, kExtOut, kSampledLines };

// A cycle of 0 means the line is not sampled; a sampled line's cycle lies
// between these limits (nanoseconds).
inline constexpr uint32_t kMinSamplingCycle = 10;
inline constexpr uint32_t kMaxSamplingCycle = 10'000'000;

struct SamplingSettings {
    uint32_t SDEnable = 1;  // record SD data
    uint32_t RDEnable = 1;
    // Nanoseconds, indexed by SampledLine.
    std::array<uint32_t, kSampledLines> cycles{10, 10, 10, 10, 10, 10, 10, 10, 10, 10};

    bool operator==(const SamplingSettings&) const = default;
};

// "SyncSetting": 0 NONE, 1 ALWAYS, 2 ONCE. Carried unchanged; nothing edits it.
using SyncSetting = uint8_t;

// The three values as one, for code that moves them together.
struct MonitorStatus {
    MonitorSettings monitor;
    SamplingSettings sampling;
    SyncSetting sync = 0;

    bool operator==(const MonitorStatus&) const = default;
};

// Word lists of the enumerated fields.
extern const WordTable kLineWords;
extern const WordTable kProtocolWords;
extern const WordTable kParityWords;
extern const WordTable kStopBitWords;
extern const WordTable kFcsWords;
extern const WordTable kOnOffWords;  // 1 "ON", 0 "OFF"
extern const WordTable kBitOrderWords;
extern const WordTable kDataLogicWords;
extern const WordTable kDataFormatWords;
extern const WordTable kClockWords;
extern const WordTable kClockRateWords;
extern const WordTable kMemoryWords;
extern const WordTable kYesNoWords;  // 1 "Y", 0 "N"
extern const WordTable kSyncSettingWords;

// The key of a line's sampling cycle ("SDSamplingCycle" ... "EXTOUTSamplingCycle").
std::string_view SamplingCycleKey(int line);

// One stored key of the three values and how its text is formed.
struct MonitorKey {
    enum class Kind {
        Word,     // a value word of `words`; others read as `unknown`
        Decimal,  // "%d"
        Rate,     // "%.1f"
        Hex2,     // two lower-case hex digits, read from the first two characters
        Hex8,     // "%08x", read as a hexadecimal number
    };
    std::string_view section;
    std::string_view key;
    Kind kind;
    WordTable words{};
    int unknown = kUnknownCode;
};

inline constexpr std::string_view kRegistInfoSection = "RegistInfo";
inline constexpr std::string_view kMonitorStatusSection = "MonitorStatus";

// "SaveDevice" of [RegistInfo] first, then the keys of [MonitorStatus] in the
// order a new status file lists and a writer writes them.
std::span<const MonitorKey> MonitorKeys();
// The key with this name (case-insensitive, as the files match keys); nullptr
// when there is none.
const MonitorKey* FindMonitorKey(std::string_view name);

// The value text a writer stores for the key. A code that has no word is
// stored as an empty value, which reads back as absent.
std::string MonitorKeyText(const MonitorStatus& status, const MonitorKey& key);
// Stores a present value the way a reader does: unknown words become the
// field's unknown code, numbers are read as far as they go.
void ApplyMonitorKeyText(MonitorStatus& status, const MonitorKey& key, std::string_view text);

}  // namespace qv
