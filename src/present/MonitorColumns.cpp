#include "present/MonitorColumns.h"

#include "core/ProtocolTraits.h"

namespace qv {

const std::array<MonitorColumnSpec, kMonitorColumns>& MonitorColumns() {
    static const std::array<MonitorColumnSpec, kMonitorColumns> kTable{{
        {kColDate, "DATE", -1, 3000, 30, CellAlign::kLeft, false},
        {kColTr, "TR", -1, 1005, 10, CellAlign::kRight, false},
        {kColSd, "", 0, 1005, 10, CellAlign::kRight, true},
        {kColRd, "", 1, 1005, 10, CellAlign::kRight, true},
        {kColErr, "ERR", -1, 495, 3, CellAlign::kLeft, true},
        {kColCh, "CH", -1, 495, 4, CellAlign::kLeft, true},
        {kColData, "DATA", -1, 5005, 0, CellAlign::kLeft, false},
    }};
    return kTable;
}

std::string MonitorColumnTitle(MonitorColumn column, const LineNames& names) {
    const MonitorColumnSpec& c = MonitorColumns()[column];
    return c.lineName >= 0 ? names[c.lineName] : std::string(c.title);
}

bool MonitorColumnShown(MonitorColumn column, Protocol protocol) {
    return !MonitorColumns()[column].lineData || TraitsOf(protocol).dataLines();
}

MonitorRow MonitorHeaderRow(const LineNames& names) {
    MonitorRow row;
    for (const MonitorColumnSpec& c : MonitorColumns())
        row[c.column] = MonitorColumnTitle(c.column, names);
    return row;
}

void AppendMonitorTextLine(std::string& out, const MonitorRow& cells, Protocol protocol,
                           std::string_view afterTr) {
    bool inHiddenRun = false, first = true;
    std::string_view prefix;
    auto field = [&](std::string_view text, int width, CellAlign align) {
        if (!first) out += ' ';
        first = false;
        out += prefix;
        prefix = {};
        size_t pad =
            width > 0 && text.size() < static_cast<size_t>(width) ? width - text.size() : 0;
        if (align == CellAlign::kRight) out.append(pad, ' ');
        out += text;
        if (align == CellAlign::kLeft) out.append(pad, ' ');
    };
    for (const MonitorColumnSpec& c : MonitorColumns()) {
        if (!MonitorColumnShown(c.column, protocol)) {
            if (!inHiddenRun) field({}, 0, CellAlign::kLeft);
            inHiddenRun = true;
            continue;
        }
        inHiddenRun = false;
        field(cells[c.column], c.textWidth, c.align);
        if (c.column == kColTr) prefix = afterTr;
    }
}

}  // namespace qv
