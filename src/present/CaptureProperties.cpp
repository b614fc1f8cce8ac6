#include "present/CaptureProperties.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "capture/CaptureReader.h"
#include "present/MonitorRows.h"
#include "settings/SamplingEntry.h"

namespace qv {

namespace {

constexpr std::string_view kUnknown = "---";

struct Named {
    int code;
    std::string_view text;
};

std::string Pick(std::initializer_list<Named> list, int code) {
    for (const Named& n : list)
        if (n.code == code) return std::string(n.text);
    return std::string(kUnknown);
}

std::string Rate(double bps) {
    char b[64];
    std::snprintf(b, sizeof b, "%.01f", bps);
    return b;
}

std::string Count(uint64_t n) {
    return std::to_string(n);
}

// A sampling cycle as the line selection dialog shows it, or "記録しない"
// (not recorded) for 0.
std::string Cycle(uint32_t ns, UiLanguage l) {
    if (ns == 0) return InUiLanguage(l, "記録しない", "Not recorded");
    CycleEntry e = EntryOfCycle(ns);
    return std::to_string(e.value) + " " + std::string(UnitText(e.unit));
}

}  // namespace

CaptureFacts ReadCaptureFacts(CaptureReader& file) {
    CaptureFacts f;
    file.GetMonitorSettings(f.monitor, f.sampling);
    std::vector<FormatEntry> rows;
    file.ReadFormatRows(rows);
    f.names = MonitorLineNames(rows, f.monitor.Line);
    if (file.GetCaptureStartText(f.startText) != 0) f.startText.clear();
    if (file.GetCaptureEndText(f.endText) != 0) f.endText.clear();
    f.folder = file.GetFolder();
    f.chunks = file.GetChunkCount();
    f.records = file.GetTotalRecords();
    for (int k = kCountSd; k <= kCountEventBit6Changes; ++k)
        f.totals[static_cast<size_t>(k - kCountSd)] = file.GetTotal(k);
    return f;
}

PropertyRows GeneralProperties(const CaptureFacts& f, UiLanguage l) {
    auto say = [l](const char* ja, const char* en) { return std::string(InUiLanguage(l, ja, en)); };
    const MonitorSettings& m = f.monitor;
    const std::string& sd = f.names[0];
    const std::string& rd = f.names[1];
    PropertyRows r;
    r.emplace_back(say("インタフェース", "Interface"),
                   Pick({{0, "RS-232"}, {1, "RS-422/485/530"}, {2, "RS-422/485/530"}}, m.Line));
    const std::optional<Protocol> protocol = ProtocolFromCode(m.Protocol);
    r.emplace_back(say("モード", "Mode"), std::string(protocol ? ProtocolName(*protocol) : kUnknown));
    r.emplace_back(sd + say(" スピード(bps)", " speed (bps)"), Rate(m.SD_Baudrate));
    r.emplace_back(rd + say(" スピード(bps)", " speed (bps)"), Rate(m.RD_Baudrate));
    r.emplace_back(say("データビット", "Data bits"), m.DataLen >= 5 && m.DataLen <= 8 ? std::to_string(m.DataLen)
                                                                    : std::string(kUnknown));
    r.emplace_back(say("パリティビット", "Parity"),
                   Pick({{0, "NON"}, {1, "ODD"}, {2, "EVEN"}, {3, "MARK"}, {4, "SPACE"}, {5, "MP"}},
                        m.Parity));
    r.emplace_back(say("ストップビット", "Stop bits"),
                   Pick({{0, "NON"}, {10, "1"}, {15, "1.5"}, {20, "2"}}, m.StopBit));
    r.emplace_back(say("トランスファフォーマット", "Bit order"),
                   Pick({{1, "LSB First"}, {0, "MSB First"}}, static_cast<int>(m.BitOrder)));
    r.emplace_back(sd + say(" データポラリティ", " data polarity"),
                   Pick({{1, "Normal"}, {0, "Reverse"}}, static_cast<int>(m.SDDataLogic)));
    r.emplace_back(rd + say(" データポラリティ", " data polarity"),
                   Pick({{1, "Normal"}, {0, "Reverse"}}, static_cast<int>(m.RDDataLogic)));
    r.emplace_back(say("モニタ開始時刻", "Monitoring started"), f.startText.empty() ? std::string(kUnknown) : f.startText);
    r.emplace_back(say("モニタ終了時刻", "Monitoring ended"), f.endText.empty() ? std::string(kUnknown) : f.endText);
    // The three frame counts: every record, and the data records of each line.
    r.emplace_back(say("フレームデータ数", "Frames"), Count(f.records));
    r.emplace_back(sd + say(" フレームデータ数", " frames"), Count(f.totals[0]));
    r.emplace_back(rd + say(" フレームデータ数", " frames"), Count(f.totals[1]));
    // Control lines RS .. Ext OUT: counters 7..14 follow line-state bits 7..0.
    for (int i = 0; i < 8; ++i)
        r.emplace_back(f.names[static_cast<size_t>(2 + i)] + say(" 変化回数", " changes"),
                       Count(f.totals[static_cast<size_t>(kCountBit7Changes - kCountSd + i)]));
    return r;
}

PropertyRows DetailProperties(const CaptureFacts& f, UiLanguage l) {
    auto say = [l](const char* ja, const char* en) { return std::string(InUiLanguage(l, ja, en)); };
    PropertyRows r;
    r.emplace_back(say("保存先", "Folder"), f.folder);
    r.emplace_back(say("データファイル数", "Data files"), Count(f.chunks));
    r.emplace_back(say("データ蓄積モード", "Memory mode"),
                   Pick({{kMemoryFix, "FIX"}, {kMemoryRing, "RING"}}, f.monitor.Memory));
    r.emplace_back(say("制御線変化フレーム数", "Control line change frames"), Count(f.totals[kCountLineChanges - kCountSd]));
    r.emplace_back(say("イベントフレーム数", "Event frames"), Count(f.totals[kCountEvents - kCountSd]));
    r.emplace_back(f.names[0] + say(" ブレーク変化回数", " break changes"),
                   Count(f.totals[kCountEventBit7Changes - kCountSd]));
    r.emplace_back(f.names[1] + say(" ブレーク変化回数", " break changes"),
                   Count(f.totals[kCountEventBit6Changes - kCountSd]));
    for (int i = 0; i < kSampledLines; ++i)
        r.emplace_back(f.names[static_cast<size_t>(i)] + say(" サンプリング", " sampling"),
                       Cycle(f.sampling.cycles[static_cast<size_t>(i)], l));
    return r;
}

}  // namespace qv
