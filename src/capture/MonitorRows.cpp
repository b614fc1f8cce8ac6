#include "capture/MonitorRows.h"

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

std::string_view ErrorText(uint8_t header) {
    static constexpr std::string_view kErrors[] = {"", "p", "o", "q", "f", "j", "i", "x"};
    if (header & kFlagMpBit) return "mp";
    return kErrors[(header >> 2) & 7];
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

MonitorRowFiller::MonitorRowFiller(const CodeTable& table, LineNames names, int line, int protocol,
                                   int code)
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

int MonitorRowFiller::Fill(const CaptureReader& file, MonitorRow& row) {
    for (auto& cell : row)
        cell.clear();
    uint8_t header = 0, state = 0;
    int rc = file.GetHeaderByte(header);
    if (rc != 0) return rc;
    file.GetLineState(state);
    uint64_t ticks = 0;
    file.GetEndTime(row[kColDate], ticks);
    char num[32];
    if (!m_first) ++m_tr;
    std::snprintf(num, sizeof num, "%10" PRIu64, m_tr);
    row[kColTr] = num;
    RecordKind kind = HeaderKind(header);
    bool logic = m_protocol == kProtocolLogic;
    if (IsDataKind(kind) && !logic) {
        bool sd = kind == RecordKind::kSdData;
        uint64_t& count = sd ? m_sd : m_rd;
        if (!m_first) ++count;
        std::snprintf(num, sizeof num, "%10" PRIu64, count);
        row[sd ? kColSd : kColRd] = num;
        row[kColErr] = ErrorText(header);
        row[kColCh] = sd ? m_names[0] : m_names[1];
        std::vector<uint8_t> data;
        file.GetData(data);
        if (!data.empty())
            row[kColData] =
                m_table.CellText(data[0], m_codes, sd ? DataDirection::kSd : DataDirection::kRd);
    } else if (kind == RecordKind::kEvent && !logic) {
        uint8_t value = 0;
        std::vector<uint8_t> data;
        file.GetData(data);
        if (!data.empty()) value = data[0];
        row[kColData] = EventText(value);
    } else {
        row[kColData] = LineStateText(m_names, m_line, logic, state, header);
    }
    m_first = false;
    return 0;
}

}  // namespace qv
