#include "export/CsvExporter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "capture/CaptureReader.h"
#include "capture/CaptureFrame.h"
#include "core/CaptureRecord.h"
#include "core/FileUtil.h"
#include "core/TextCodec.h"
#include "core/TimeText.h"

namespace qv {

namespace {

// Rows are gathered and written in pieces of about this size; a piece holds
// whole rows only, so a failed write can be cut back to a row boundary.
constexpr size_t kFlushSize = 1 << 18;

enum Cell {
    kCellLines = 0,
    kCellSdBreak = 8,
    kCellRdBreak,
    kCellFraming,
    kCellOverrun,
    kCellParity,
    kCellMp,
    kCellFcs,
    kCellAbort,
    kCells
};

char Bit(uint8_t v, uint8_t mask) {
    return (v & mask) ? '1' : '0';
}

const char kHexLower[] = "0123456789abcdef";

// Appends the data text: each byte as two lower-case hex digits and a blank;
// a single blank when there is none.
void AppendData(std::string& out, std::span<const uint8_t> data) {
    if (data.empty()) {
        out += ' ';
        return;
    }
    const size_t at = out.size();
    out.resize(at + data.size() * 3);
    char* p = out.data() + at;
    for (uint8_t b : data) {
        *p++ = kHexLower[b >> 4];
        *p++ = kHexLower[b & 15];
        *p++ = ' ';
    }
}

void AppendRow(std::string& out, int protocol, const CaptureFrame& f, std::string_view start,
               std::string_view stop) {
    char cells[kCells];
    for (char& c : cells)
        c = ' ';
    const uint8_t h = f.Header();
    const RecordKind kind = f.Kind();
    auto lines = [&](uint8_t v) {
        for (int i = 0; i < 8; ++i)
            cells[kCellLines + i] = Bit(v, static_cast<uint8_t>(0x80 >> i));
    };
    std::span<const uint8_t> sd, rd;
    char sdLevel = 0, rdLevel = 0;
    if (protocol == kProtocolAsync) {
        cells[kCellFraming] = Bit(h, kFlagFramingError);
        cells[kCellOverrun] = Bit(h, kFlagOverrunError);
        cells[kCellParity] = Bit(h, kFlagParityError);
        cells[kCellMp] = Bit(h, kFlagMpBit);
        if (kind == RecordKind::kSdData) sd = f.Data();
        if (kind == RecordKind::kRdData) rd = f.Data();
        if (kind == RecordKind::kLineChange) lines(f.Value());
        if (kind == RecordKind::kEvent) {
            cells[kCellSdBreak] = Bit(f.Value(), kEventSdBreak);
            cells[kCellRdBreak] = Bit(f.Value(), kEventRdBreak);
        }
    } else if (protocol == kProtocolLogic) {
        sdLevel = Bit(h, kFlagLogicSdLevel);
        rdLevel = Bit(h, kFlagLogicRdLevel);
        lines(f.Value());
    } else {
        cells[kCellFcs] = Bit(h, kFlagFcsError);
        cells[kCellAbort] = Bit(h, kFlagAbort);
        if (kind == RecordKind::kSdData) sd = f.Data();
        if (kind == RecordKind::kRdData) rd = f.Data();
        if (kind == RecordKind::kLineChange) lines(f.Value());
    }
    out += start;
    out += ',';
    out += stop;
    out += ',';
    if (sdLevel)
        out += sdLevel;
    else
        AppendData(out, sd);
    out += ',';
    if (rdLevel)
        out += rdLevel;
    else
        AppendData(out, rd);
    for (char c : cells) {
        out += ',';
        out += c;
    }
    out += " \r\n";
}

}  // namespace

std::array<std::string, 10> CsvLineTitles(const std::vector<FormatEntry>& rows, int line) {
    std::array<std::string, 10> titles;
    const size_t first = line == 0 ? 0 : 10;
    for (int code = kFormatSd; code <= kFormatExtOut; ++code) {
        for (size_t i = first; i < first + 10 && i < rows.size(); ++i) {
            if (rows[i].line == code) {
                titles[static_cast<size_t>(code - kFormatSd)] = rows[i].name;
                break;
            }
        }
    }
    return titles;
}

std::string CsvHeaderLine(const std::array<std::string, 10>& titles) {
    std::string out = "スタート時間,ストップ時間,";
    for (const auto& t : titles) {
        out += t;
        out += ',';
    }
    out +=
        "SD Break,RD Break,フレーミングエラー,オーバーランエラー,パリティエラー,MPビット,FCS,"
        "アボート\r\n";
    return out;
}

std::string CsvRowText(int protocol, const CaptureFrame& frame, std::string_view startText,
                       std::string_view stopText) {
    std::string out;
    AppendRow(out, protocol, frame, startText, stopText);
    return out;
}

CsvExporter::CsvExporter(CaptureReader& file, std::string folder, uint64_t fileRecords)
    : m_file(file), m_folder(std::move(folder)), m_fileRecords(fileRecords) {}

std::string CsvExporter::FilePath(uint64_t n) const {
    return JoinPath(m_folder, std::to_string(n) + ".csv");
}

bool CsvExporter::Flush() {
    size_t done = 0;
    while (done < m_buffer.size()) {
        ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Cut the file back to its last whole row.
            if (::ftruncate(m_fd, static_cast<off_t>(m_flushed)) != 0) {
            }
            m_buffer.clear();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    m_flushed += m_buffer.size();
    m_buffer.clear();
    return true;
}

bool CsvExporter::Close() {
    if (m_fd < 0) return true;
    bool ok = Flush();
    ::close(m_fd);  // close errors are ignored, as at every rollover
    m_fd = -1;
    return ok;
}

bool CsvExporter::OpenNext() {
    ++m_fileNumber;
    m_fd = ::open(FilePath(m_fileNumber).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) return false;
    m_flushed = 0;
    m_rowsInFile = 0;
    m_buffer = m_header;
    return Flush();
}

SaveReport CsvExporter::Run(const RangeTimeKey& a, const RangeTimeKey& b, ISaveReport* sink,
                             const std::atomic<bool>& cancel) {
    SaveRange range;
    if (!CheckSaveRange(m_file, a, b, range)) return SaveReport::kStartRefused;
    const int protocol = m_file.GetProtocol();
    if (!IsValidProtocol(protocol)) return SaveReport::kStartRefused;

    MonitorSettings m;
    SamplingSettings s;
    m_file.GetMonitorSettings(m, s);
    std::vector<FormatEntry> rows;
    m_file.ReadFormatRows(rows);
    std::string header = CsvHeaderLine(CsvLineTitles(rows, m.Line));
    // Line names come from the index, which is CP932 on disk, so they always
    // convert back.
    m_header = Utf8ToCp932(header).value_or(header);

    m_buffer.reserve(kFlushSize + 1024);
    if (!OpenNext()) {
        Close();
        return SaveReport::kStartRefused;
    }
    uint64_t total = 0;
    if (!CountSaveRange(m_file, range, false, total)) {
        Close();
        return SaveReport::kStartRefused;
    }

    const uint64_t sdChar = protocol == kProtocolAsync ? m_file.GetCharTiming().CharTicks(true) : 0;
    const uint64_t rdChar =
        protocol == kProtocolAsync ? m_file.GetCharTiming().CharTicks(false) : 0;
    CaptureFrame frame;
    CursorPosition pos;
    uint32_t chunk = 0;
    int date = 0;
    SaveProgress progress(sink, total);
    char start[kRecordTimeTextSize], stop[kRecordTimeTextSize];
    auto finish = [&](SaveReport r) {
        if (!Close() && r != SaveReport::kFailed) r = SaveReport::kFailed;
        return r;
    };
    for (;;) {
        if (cancel.load(std::memory_order_relaxed)) return finish(SaveReport::kEnded);
        if (m_file.GetFrame(frame) != kQvrOk || m_file.GetCursor(pos) != kQvrOk)
            return finish(SaveReport::kFailed);
        if (pos.chunk != chunk) {
            std::string text;
            ChunkEntry entry;
            if (m_file.GetChunkInfo(pos.chunk, text, entry) != kQvrOk)
                return finish(SaveReport::kFailed);
            chunk = pos.chunk;
            date = static_cast<int>(ParseLeadingInt(DateFieldText(entry.date)));
        }
        const RangePoint at{date, frame.EndTicks()};
        if (at < range.startPoint) {
            if (auto end = NextSaveRecord(m_file)) return finish(*end);
            continue;
        }
        if (range.endPoint < at) return finish(SaveReport::kRangeDone);

        int64_t startTicks = static_cast<int64_t>(frame.StartTicks());
        if (protocol == kProtocolAsync && IsDataKind(frame.Kind()))
            startTicks -=
                static_cast<int64_t>(frame.Kind() == RecordKind::kSdData ? sdChar : rdChar);
        WriteRecordTimeText(start, date, startTicks);
        WriteRecordTimeText(stop, date, static_cast<int64_t>(frame.EndTicks()));
        AppendRow(m_buffer, protocol, frame, std::string_view(start, sizeof start),
                  std::string_view(stop, sizeof stop));
        ++m_rows;
        ++m_rowsInFile;
        if (m_buffer.size() >= kFlushSize && !Flush()) return finish(SaveReport::kFailed);
        // A limit of 2^32 or more means one file for everything.
        if (m_fileRecords < (uint64_t{1} << 32) && m_rowsInFile >= m_fileRecords) {
            if (!Close()) return finish(SaveReport::kFailed);
            if (!OpenNext()) return finish(SaveReport::kFailed);
        }
        progress.Update(m_rows);
        if (auto end = NextSaveRecord(m_file)) return finish(*end);
    }
}

}  // namespace qv
