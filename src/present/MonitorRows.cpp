#include "present/MonitorRows.h"

#include <cinttypes>
#include <cstdio>

#include "capture/CaptureReader.h"

namespace qv {

LineNames MonitorLineNames(const std::vector<FormatEntry>& rows, int line) {
    FormatTable table{};  // rows for no line: names the capture lacks stay the defaults
    for (size_t i = 0; i < table.size() && i < rows.size(); ++i)
        table[i] = rows[i];
    auto names = LineNamesOf(table, line == 0 ? kLineTypeRs232 : kLineTypeRs422);
    LineNames out;
    std::copy(names.begin(), names.end(), out.begin());
    return out;
}

std::string ErrorText(uint8_t header) {
    if (header & kFlagMpBit) return "mp";
    const char letter = ErrorLetter(header);
    return letter ? std::string(1, letter) : std::string();
}

std::string LineStateText(const LineNames& n, int line, bool logic, uint8_t state, uint8_t header) {
    auto bit = [](uint8_t v, int b) { return std::to_string((v >> b) & 1); };
    std::string out;
    if (logic) out = n[0] + ":" + bit(header, 1) + " " + n[1] + ":" + bit(header, 0) + " ";
    out += n[2] + ":" + bit(state, 7) + " " + n[3] + ":" + bit(state, 6) + " ";
    if (line == 0) {
        for (int i = 0; i < 4; ++i)
            out += n[4 + i] + ":" + bit(state, 5 - i) + " ";
    }
    out += n[8] + ":" + bit(state, 1) + " " + n[9] + ":" + bit(state, 0);
    return out;
}

std::string EventText(uint8_t e) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "SD Break:%d RD Break:%d", (e >> 7) & 1, (e >> 6) & 1);
    return buf;
}

MonitorRowFiller::MonitorRowFiller(const CodeTable& table, LineNames names, int line,
                                   Protocol protocol, int code)
    : m_table(table), m_names(std::move(names)), m_line(line), m_protocol(protocol), m_code(code) {
    m_codes.Select(code);
}

int MonitorRowFiller::Begin(const CaptureReader& file) {
    KindOrdinals k;
    int rc = file.GetKindOrdinals(k);
    if (rc != 0) return rc;
    m_tr = k.sd + k.rd + k.lineChanges + k.events;
    m_sd = k.sd;
    m_rd = k.rd;
    m_first = true;
    m_codes.Select(m_code);
    return 0;
}

std::string CounterCellText(uint64_t value) {
    char num[32];
    std::snprintf(num, sizeof num, "%10" PRIu64, value);
    return num;
}

void ComposeMonitorRow(const MonitorRowFacts& f, const LineNames& names, int line,
                       Protocol protocol, MonitorRow& row) {
    for (auto& cell : row)
        cell.clear();
    row[kColDate] = FormatRecordTimeText(f.time);
    row[kColTr] = CounterCellText(f.tr);
    const RecordKind kind = HeaderKind(f.header);
    const bool logic = TraitsOf(protocol).lineSamples;
    if (IsDataKind(kind) && !logic) {
        const bool sd = kind == RecordKind::kSdData;
        row[sd ? kColSd : kColRd] = CounterCellText(sd ? f.sd : f.rd);
        row[kColErr] = ErrorText(f.header);
        row[kColCh] = sd ? names[0] : names[1];
        row[kColData] = f.dataText;
    } else if (kind == RecordKind::kEvent && !logic) {
        row[kColData] = EventText(f.eventByte);
    } else {
        row[kColData] = LineStateText(names, line, logic, f.lineState, f.header);
    }
}

void ComposeLiveMonitorRow(const LiveRow& live, const LineNames& names, int line, Protocol protocol,
                           MonitorRow& row) {
    MonitorRowFacts f;
    f.header = live.header;
    // Line states show only on line-change and LOGIC rows, whose one byte is
    // the line state.
    f.lineState = f.eventByte = live.value;
    f.time = live.time;
    f.tr = live.tr;
    f.sd = live.sd;
    f.rd = live.rd;
    if (IsDataKind(HeaderKind(live.header))) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", live.value);
        f.dataText = hex;
    }
    ComposeMonitorRow(f, names, line, protocol, row);
}

int MonitorRowFiller::Fill(const CaptureReader& file, MonitorRow& row) {
    MonitorRowFacts f;
    int rc = file.GetHeaderByte(f.header);
    if (rc != 0) return rc;
    file.GetLineState(f.lineState);
    file.GetEndRecordTime(f.time);
    if (!m_first) ++m_tr;
    f.tr = m_tr;
    const RecordKind kind = HeaderKind(f.header);
    // LOGIC rows show neither characters nor counts.
    if (TraitsOf(m_protocol).dataLines() && (IsDataKind(kind) || kind == RecordKind::kEvent)) {
        std::vector<uint8_t> data;
        file.GetData(data);
        if (IsDataKind(kind)) {
            const bool sd = kind == RecordKind::kSdData;
            if (!m_first) ++(sd ? m_sd : m_rd);
            if (!data.empty())
                f.dataText = m_table.CellText(data[0], m_codes,
                                              sd ? DataDirection::kSd : DataDirection::kRd);
        } else if (!data.empty()) {
            f.eventByte = data[0];
        }
    }
    f.sd = m_sd;
    f.rd = m_rd;
    ComposeMonitorRow(f, m_names, m_line, m_protocol, row);
    m_first = false;
    return 0;
}

}  // namespace qv
