#include "capture/CaptureIndex.h"

#include "core/FileUtil.h"

namespace qv {

namespace {

constexpr std::string_view kSectionsAfterStatus = "[Format]";

// The status sections of an index are those of a new status file with every
// value left empty; the template stays where it is defined, in the status
// file class, so both files list the same keys in the same order.
std::string EmptyStatusSections(const std::string& templateText) {
    std::string out;
    size_t pos = 0;
    while (pos < templateText.size()) {
        size_t end = templateText.find('\n', pos);
        if (end == std::string::npos) end = templateText.size();
        std::string_view line(templateText.data() + pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        if (line.starts_with(kSectionsAfterStatus)) break;
        if (line.empty()) continue;
        if (line.front() == '[') {
            out += line;
        } else {
            const size_t eq = line.find('=');
            out += line.substr(0, eq);
            out += '=';
        }
        out += "\r\n";
    }
    return out;
}

void Section(std::string& out, std::string_view name) {
    out += '[';
    out += name;
    out += "]\r\n";
}

void EmptyKey(std::string& out, std::string_view key) {
    out += key;
    out += "=\r\n";
}

}  // namespace

int CaptureIndex::OpenIndex(const std::string& path) {
    if (path.find(".qvr") == std::string::npos) return -1;
    return Open(path);
}

int CaptureIndex::CreateNew() {
    // The status file class writes its template to our path; we take its
    // sections and replace the file with the whole skeleton in one rewrite.
    if (StatusFile::CreateNew() != 0) return -1;
    std::optional<std::string> templateText = ReadWholeFile(GetPath());
    if (!templateText) return -1;
    std::string text = EmptyStatusSections(*templateText);
    Section(text, kDataFile);
    for (auto key : {"StartTime", "EndTime", "FilterFlg"})
        EmptyKey(text, key);
    Section(text, kMark);
    for (int i = 1; i <= kMarks; ++i)
        EmptyKey(text, "M" + std::to_string(i));
    Section(text, kFormat);
    for (int i = 1; i <= kIndexFormatRows; ++i)
        EmptyKey(text, std::to_string(i));
    Section(text, "SyncRecord");
    Section(text, kTriggerRecord);
    BeginNewFile();
    WriteLine(text);
    return EndNewFile();
}

int CaptureIndex::WriteFrameNum(uint64_t total) {
    return WriteString(kDataFile, "FrameNum", std::to_string(total));
}

uint64_t CaptureIndex::ReadFrameNum() {
    std::string v;
    if (ReadString(kDataFile, "FrameNum", v) != 0) return 0;
    uint64_t n = 0;
    for (char c : v) {
        if (c < '0' || c > '9') break;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    return n;
}

int CaptureIndex::WriteChunkEntry(const ChunkEntry& entry, uint64_t n) {
    return WriteString(kDataFile, std::to_string(n), FormatChunkEntry(entry));
}

int CaptureIndex::ReadChunkEntry(uint64_t n, ChunkEntry& entry) {
    std::string v;
    if (ReadString(kDataFile, std::to_string(n), v) != 0) return -1;
    return ParseChunkEntry(v, entry) ? 0 : -2;
}

int CaptureIndex::WriteTime(std::string_view key, std::string_view date, uint64_t ticks) {
    std::optional<std::string> text = FormatIndexTime(date, ticks);
    if (!text) return -1;
    return WriteString(kDataFile, key, *text);
}

int CaptureIndex::ReadTime(std::string_view key, IndexTime& time) {
    std::string v;
    if (ReadString(kDataFile, key, v) != 0) return -1;
    return ParseIndexTime(v, time) ? 0 : -1;
}

int CaptureIndex::WriteStartTime(std::string_view date, uint64_t ticks) {
    return WriteTime("StartTime", date, ticks);
}
int CaptureIndex::ReadStartTime(IndexTime& time) {
    return ReadTime("StartTime", time);
}
int CaptureIndex::WriteTimeZone(std::string_view name) {
    return WriteString(kDataFile, "TimeZone", name);
}
int CaptureIndex::ReadTimeZone(std::string& name) {
    if (ReadString(kDataFile, "TimeZone", name) != 0 || name.empty()) return -1;
    return 0;
}
int CaptureIndex::WriteEndTime(std::string_view date, uint64_t ticks) {
    return WriteTime("EndTime", date, ticks);
}
int CaptureIndex::ReadEndTime(IndexTime& time) {
    return ReadTime("EndTime", time);
}

int CaptureIndex::WriteFilterFlag(int on) {
    return WriteString(kDataFile, "FilterFlg", on == 1 ? "ON" : "OFF");
}

int CaptureIndex::ReadFilterFlag() {
    std::string v;
    ReadString(kDataFile, "FilterFlg", v);
    return v == "ON" ? 1 : -1;
}

int CaptureIndex::WriteMark(const CaptureMark& mark, int n) {
    if (n < 1 || n > kMarks) return -1;
    std::optional<std::string> text = FormatMark(mark);
    if (!text) return -1;
    return WriteString(kMark, "M" + std::to_string(n), *text);
}

int CaptureIndex::ReadMark(int n, CaptureMark& mark) {
    if (n < 1 || n > kMarks) return -1;
    std::string v;
    if (ReadString(kMark, "M" + std::to_string(n), v) != 0) return -1;
    return ParseMark(v, mark) ? 0 : -1;
}

int CaptureIndex::MarkPosition(int n, std::string& date, uint64_t& time) {
    CaptureMark mark;
    if (ReadMark(n, mark) != 0) return -1;
    date = mark.date.substr(0, 6);
    time = mark.time;
    return 0;
}

int CaptureIndex::WriteTriggerRecord(const TriggerEvent& event, int n) {
    std::optional<std::string> text = FormatTriggerRecord(event);
    if (!text) return -1;
    return WriteString(kTriggerRecord, std::to_string(n), *text);
}

int CaptureIndex::ReadTriggerRecord(int n, TriggerEvent& event) {
    std::string v;
    if (ReadString(kTriggerRecord, std::to_string(n), v) != 0) return -1;
    return ParseTriggerRecord(v, event) ? 0 : -2;
}

CaptureIndex::Totals CaptureIndex::ChunkTotals() {
    Totals t;
    for (uint64_t n = 1;; ++n) {
        ChunkEntry e;
        if (ReadChunkEntry(n, e) != 0) break;
        ++t.chunks;
        t.records += e.RecordCount();
        t.sd += e.sdRecords;
        t.rd += e.rdRecords;
        t.lineChanges += e.lineChanges;
        t.events += e.events;
        for (int i = 0; i < 8; ++i)
            t.lineBitChanges[i] += e.lineBitChanges[i];
        for (int i = 0; i < 2; ++i)
            t.eventBitChanges[i] += e.eventBitChanges[i];
    }
    return t;
}

uint64_t CaptureIndex::CounterTotal(int selector) {
    const Totals t = ChunkTotals();
    switch (selector) {
        case 1:
            return t.records;
        case 2:
            return t.sd;
        case 3:
            return t.rd;
        case 4:
            return t.lineChanges;
        case 5:
            return t.events;
        default:
            return 0;
    }
}

}  // namespace qv
