// What the capture reader reads from and writes to the index besides the
// chunk table: the five marks, the display format rows and the settings.
#include "capture/CaptureReader.h"
#include "core/TimeText.h"
#include "settings/StatusFile.h"

namespace qv {

namespace {
constexpr int kMarks = CaptureIndex::kMarks;
}  // namespace

int CaptureReader::ReadMark(int n, uint32_t& chunk, std::string& timeText, int& kind,
                       std::string& comment) {
    if (n < 1 || n > kMarks) return kQvrNoRecord;
    CaptureMark mark;
    if (m_index.ReadMark(n, mark) != 0) return kQvrNoIndex;
    chunk = mark.chunk;
    auto moved = NormaliseDayTime(DateTextNumber(mark.date), static_cast<int64_t>(mark.time));
    timeText = moved ? FormatRecordTimeText(moved->date, moved->ticks) : "";
    kind = mark.signal;
    comment = mark.comment;
    return kQvrOk;
}

std::string CaptureReader::GetTimeZone() {
    std::string name;
    return m_index.ReadTimeZone(name) == 0 ? name : std::string();
}

int CaptureReader::SetMark(int n, const std::string* comment) {
    if (n < 1 || n > kMarks) return kQvrNoRecord;
    if (!HasRecord()) return kQvrNoRecord;
    // Read and write under the index's lock, so that a mark another program
    // sets meanwhile is neither lost nor overwritten.
    IniBatch batch(m_index);
    CaptureMark mark;
    if (m_index.ReadMark(n, mark) != 0) mark = {};  // an old mark keeps its name
    std::string text;
    uint64_t ticks = 0;
    GetEndTime(text, ticks);
    auto when = ParseRecordTime(text);
    if (!when) return kQvrNoRecord;
    mark.chunk = SlotChunkNumber(m_cursor);
    mark.date = DateDigits(when->date);
    mark.time = ticks;
    mark.signal = static_cast<int8_t>(HeaderKind(SlotRecord(m_cursor)[0]));
    if (comment) mark.comment = *comment;
    // A comment that cannot be stored (a comma, a line break).
    if (!FormatMark(mark)) return kQvrNoArgument;
    if (m_index.WriteMark(mark, n) != 0) return kQvrNoIndex;
    return batch.End() == 0 ? kQvrOk : kQvrNoIndex;
}

int CaptureReader::ReadFormatRow(int n, FormatEntry& row) {
    StatusFile index;
    index.SetPath(m_indexPath);
    return index.ReadFormatEntry(row, n) == 0 ? kQvrOk : kQvrNoIndex;
}

int CaptureReader::ReadFormatRows(std::vector<FormatEntry>& rows) {
    StatusFile index;
    index.SetPath(m_indexPath);
    return index.ReadFormatTable(rows) > 0 ? kQvrOk : kQvrNoIndex;
}

int CaptureReader::WriteFormatRows(const std::vector<FormatEntry>& rows) {
    if (rows.size() > static_cast<size_t>(kFormatMaxRows)) return kQvrNoArgument;
    // Check every row first, so that the table is written whole or not at all.
    std::vector<std::string> lines;
    for (const auto& r : rows) {
        auto line = FormatLineText(r);
        if (!line) return kQvrNoArgument;
        lines.push_back(*line);
    }
    m_index.BeginBatch();
    for (size_t i = 0; i < lines.size(); ++i)
        m_index.WriteString(CaptureIndex::kFormat, std::to_string(i + 1), lines[i]);
    return m_index.EndBatch() == 0 ? kQvrOk : kQvrNoIndex;
}

void CaptureReader::ReadTriggers(std::array<TriggerSetting, kTriggerCount>& out) const {
    StatusFile index;
    index.SetPath(m_indexPath);
    for (int n = 1; n <= kTriggerCount; ++n)
        index.ReadTrigger(out[static_cast<size_t>(n - 1)], n);
}

int CaptureReader::GetMonitorSettings(MonitorSettings& m, SamplingSettings& s) const {
    if (m_chunks.empty()) return kQvrNoIndex;
    m = m_settings;
    s = m_sampling;
    return kQvrOk;
}

}  // namespace qv
