#include "export/CaptureTexts.h"

#include <cstdio>
#include <optional>

#include "capture/CaptureReader.h"
#include "capture/OpenFailure.h"
#include "export/RecordWalk.h"
#include "settings/MonitorSettings.h"

namespace qv {

std::string MalformedEntryText(const CaptureReader& file) {
    const uint64_t n = file.GetMalformedEntry();
    return "the index's chunk entry " + std::to_string(n) +
           " is malformed: the capture is read up to chunk " + std::to_string(n - 1) +
           " (records " + std::to_string(file.GetTotalRecords()) + ")";
}

std::string GapText(const CaptureReader& file, const WalkGap& gap) {
    return "records " + std::to_string(gap.from + 1) + " to " + std::to_string(gap.to) +
           " are missing: " + file.ChunkPath(gap.chunk) + ": " + ReaderCodeText(gap.code);
}

std::string LineSummary(const MonitorSettings& m) {
    static constexpr const char* kParity = "NOEMSP";  // none, odd, even, mark, space, MP
    const std::optional<Protocol> protocol = ProtocolFromCode(m.Protocol);
    if (!protocol) return "protocol " + std::to_string(m.Protocol);
    const ProtocolTraits& t = TraitsOf(*protocol);
    const std::string name(t.name);
    if (t.lineSamples) return name;
    char text[96];
    if (!t.startStopCharacters) {
        std::snprintf(text, sizeof text, "%s %.0f bit/s", name.c_str(), m.SD_Baudrate);
        return text;
    }
    const char parity = m.Parity <= 5 ? kParity[m.Parity] : '?';
    const char* stop = m.StopBit == 15 ? "1.5" : m.StopBit == 20 ? "2" : m.StopBit == 0 ? "0" : "1";
    if (m.SD_Baudrate == m.RD_Baudrate)
        std::snprintf(text, sizeof text, "%s %.0f bit/s %d%c%s", name.c_str(), m.SD_Baudrate,
                      m.DataLen, parity, stop);
    else
        std::snprintf(text, sizeof text, "%s SD %.0f bit/s, RD %.0f bit/s %d%c%s", name.c_str(),
                      m.SD_Baudrate, m.RD_Baudrate, m.DataLen, parity, stop);
    return text;
}

}  // namespace qv
