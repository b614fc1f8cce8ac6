#include "app/StatusPanes.h"

#include <cinttypes>
#include <cstdio>

#include "capture/CaptureRecord.h"
#include "core/NumberText.h"

namespace qv {

StatusTexts EmptyStatusTexts() {
    StatusTexts t;
    for (int i = 1; i < kStatusPanes; ++i)
        t[i] = "\t-";
    return t;
}

std::string UnitPaneText(const std::string& serial, const std::string& name) {
    if (serial.empty()) return "\t-";
    return "\t[ " + (name.empty() ? serial : name) + " ]";
}

std::string ErrorPaneText(uint8_t header) {
    if (!IsDataKind(HeaderKind(header))) return "\t   ";
    std::string t = "\t";
    // One place per flag, each shown by its own letter.
    auto letter = [header](uint8_t flag) {
        const char c = ErrorLetter(header & flag);
        return c ? c : ' ';
    };
    t += (header & kFlagMpBit) ? 'm' : letter(kFlagFramingError);
    t += letter(kFlagOverrunError);
    t += letter(kFlagParityError);
    return t;
}

double ShownBaudRate(const MonitorSettings& m, double frequency, bool sd) {
    if (m.SD_Baudrate != 0 || m.RD_Baudrate != 0) return sd ? m.SD_Baudrate : m.RD_Baudrate;
    switch (sd ? m.SD_ClockRate : m.RD_ClockRate) {
        case 1:
            return frequency / 16;
        case 2:
            return frequency / 32;
        case 3:
            return frequency / 64;
        default:
            return frequency;
    }
}

void FillSettingsPanes(StatusTexts& t, const MonitorSettings& m, double frequency) {
    if (TraitsOfCode(m.Protocol).lineSamples) {
        t[4] = t[5] = t[6] = "\t-";
    } else {
        auto rate = [&](bool sd) {
            double r = ShownBaudRate(m, frequency, sd);
            if (r < 0) r = 0;
            if (r > INT32_MAX) r = INT32_MAX;
            return "\t" + FormatThousands(static_cast<int32_t>(r)) + "bps";
        };
        t[4] = rate(true);
        t[5] = rate(false);
        static constexpr const char* kParity[] = {"NON", "ODD", "EVEN", "MARK", "SPACE", "MP"};
        char buf[32];
        std::snprintf(buf, sizeof buf, "\t%d,", m.DataLen);
        t[6] = buf;
        if (m.Parity < 6) t[6] += kParity[m.Parity];
    }
    t[7] = m.Line == kLineRs232 ? "\t232" : m.Line == kLineRs422 ? "\t422/485" : "\t530";
}

std::string MonitorCountPaneText(const std::string& sdLabel, uint64_t sd,
                                 const std::string& rdLabel, uint64_t rd) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "\t%s=%010" PRIu64 " %s=%010" PRIu64, sdLabel.c_str(), sd,
                  rdLabel.c_str(), rd);
    return buf;
}

}  // namespace qv
