#include "export/CsvExporter.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "capture/CaptureFrame.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureRecord.h"
#include "capture/RecordStart.h"
#include "core/FileUtil.h"
#include "core/TextCodec.h"
#include "core/TimeText.h"
#include "export/SaveRangeWalk.h"

namespace qv {

namespace {

// Rows are gathered and written in pieces of about this size; a piece holds
// whole rows only, so a failed write can be cut back to a row boundary.
constexpr size_t kFlushSize = 1 << 18;
// The longest row: two time texts, two data texts of three characters for
// each of at most 65 535 bytes, the sixteen cells with their commas and the
// line end.
constexpr size_t kMaxRowSize = 2 * (kRecordTimeTextSize + 1) + 2 * (3 * kMaxFrameData + 1) + 40;

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

// Writes the data text: each byte as two lower-case hex digits and a blank;
// a single blank when there is none.
char* WriteData(char* p, std::span<const uint8_t> data) {
    if (data.empty()) {
        *p++ = ' ';
        return p;
    }
    for (uint8_t b : data) {
        p[0] = kHexLower[b >> 4];
        p[1] = kHexLower[b & 15];
        p[2] = ' ';
        p += 3;
    }
    return p;
}

// Writes the row of one record after its two time texts, from the comma that
// follows the stop time to the line end. At most kMaxRowSize bytes.
char* WriteRowCells(char* p, Protocol protocol, const CaptureFrame& f) {
    // The sixteen cells, each after its comma: ",c,c,...,c".
    char cells[2 * kCells];
    for (size_t i = 0; i < kCells; ++i) {
        cells[2 * i] = ',';
        cells[2 * i + 1] = ' ';
    }
    auto cell = [&](int c, char v) { cells[2 * c + 1] = v; };
    const uint8_t h = f.Header();
    const RecordKind kind = f.Kind();
    auto lines = [&](uint8_t v) {
        for (int i = 0; i < 8; ++i)
            cell(kCellLines + i, Bit(v, static_cast<uint8_t>(0x80 >> i)));
    };
    std::span<const uint8_t> sd, rd;
    char sdLevel = 0, rdLevel = 0;
    if (TraitsOf(protocol).characterErrors) {
        cell(kCellFraming, Bit(h, kFlagFramingError));
        cell(kCellOverrun, Bit(h, kFlagOverrunError));
        cell(kCellParity, Bit(h, kFlagParityError));
        cell(kCellMp, Bit(h, kFlagMpBit));
        if (kind == RecordKind::kSdData) sd = f.Data();
        if (kind == RecordKind::kRdData) rd = f.Data();
        if (kind == RecordKind::kLineChange) lines(f.Value());
        if (kind == RecordKind::kEvent) {
            cell(kCellSdBreak, Bit(f.Value(), kEventSdBreak));
            cell(kCellRdBreak, Bit(f.Value(), kEventRdBreak));
        }
    } else if (TraitsOf(protocol).lineSamples) {
        sdLevel = Bit(h, kFlagLogicSdLevel);
        rdLevel = Bit(h, kFlagLogicRdLevel);
        lines(f.Value());
    } else {
        cell(kCellFcs, Bit(h, kFlagFcsError));
        cell(kCellAbort, Bit(h, kFlagAbort));
        if (kind == RecordKind::kSdData) sd = f.Data();
        if (kind == RecordKind::kRdData) rd = f.Data();
        if (kind == RecordKind::kLineChange) lines(f.Value());
    }
    *p++ = ',';
    if (sdLevel)
        *p++ = sdLevel;
    else
        p = WriteData(p, sd);
    *p++ = ',';
    if (rdLevel)
        *p++ = rdLevel;
    else
        p = WriteData(p, rd);
    std::memcpy(p, cells, sizeof cells);
    p += sizeof cells;
    std::memcpy(p, " \r\n", 3);
    return p + 3;
}

// The end of a row after its time texts, for a short record, depends on
// nothing but the protocol and the record's header and value bytes; a long
// export meets few such pairs, so each one's text is made once and copied
// after that.
class RowEnds {
  public:
    explicit RowEnds(Protocol protocol) : m_protocol(protocol), m_ends(1 << 16) {}

    char* Write(char* p, const CaptureFrame& f) {
        if (f.IsFrameRecord()) return WriteRowCells(p, m_protocol, f);
        End& e = m_ends[static_cast<size_t>(f.Header()) << 8 | f.Value()];
        if (e.size == 0) e.size = static_cast<uint8_t>(WriteRowCells(e.text, m_protocol, f) - e.text);
        // The whole slot: a copy of fixed size is one or two moves.
        std::memcpy(p, e.text, sizeof e.text);
        return p + e.size;
    }

  private:
    // ',' data ',' data, sixteen cells with their commas, " \r\n": at most
    // 1 + 3 + 1 + 3 + 32 + 3 bytes.
    struct End {
        uint8_t size = 0;  // 0: not made yet
        char text[47];
    };
    Protocol m_protocol;
    std::vector<End> m_ends;  // by header << 8 | value
};

char* WriteRow(char* p, Protocol protocol, const CaptureFrame& f, std::string_view start,
               std::string_view stop) {
    std::memcpy(p, start.data(), start.size());
    p += start.size();
    *p++ = ',';
    std::memcpy(p, stop.data(), stop.size());
    p += stop.size();
    return WriteRowCells(p, protocol, f);
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

std::string CsvRowText(Protocol protocol, const CaptureFrame& frame, std::string_view startText,
                       std::string_view stopText) {
    std::string out(startText.size() + stopText.size() + kMaxRowSize, '\0');
    char* end = WriteRow(out.data(), protocol, frame, startText, stopText);
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

namespace {
// Calls `each` with the name of every numbered CSV file ("<n>.csv", n from 1,
// no leading zero) of the folder.
template <class Each>
void ForNumberedCsv(const std::string& folder, Each each) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name.size() < 5 || !name.ends_with(".csv")) continue;
        const std::string_view number = name.substr(0, name.size() - 4);
        if (number[0] == '0' || number.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        each(name);
    }
    ::closedir(dir);
}
}  // namespace

bool HoldsCsvExport(const std::string& folder) {
    bool any = false;
    ForNumberedCsv(folder, [&](std::string_view) { any = true; });
    return any;
}

CsvExporter::CsvExporter(CaptureReader& file, std::string folder, uint64_t fileRecords)
    : m_file(file), m_folder(std::move(folder)), m_fileRecords(fileRecords) {}

std::string CsvExporter::FilePath(uint64_t n) const {
    return JoinPath(m_folder, std::to_string(n) + ".csv");
}

bool CsvExporter::WriteOut(const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(m_fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Cut the file back to its last whole row.
            if (::ftruncate(m_fd, static_cast<off_t>(m_flushed)) != 0) {
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    m_flushed += size;
    return true;
}

bool CsvExporter::Flush() {
    const bool ok = WriteOut(m_buffer.get(), m_fill);
    // Rows of a piece that failed were cut off again: they do not count.
    if (ok) m_rows += m_pieceRows;
    m_fill = 0;
    m_pieceRows = 0;
    return ok;
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
    // An earlier export's file is replaced; a link planted at the name (the
    // folder may be shared) is never written through.
    m_fd = ::open(FilePath(m_fileNumber).c_str(),
                  O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (m_fd < 0) return false;
    m_flushed = 0;
    m_rowsInFile = 0;
    m_fill = 0;
    m_pieceRows = 0;
    return WriteOut(m_header.data(), m_header.size());
}

SaveReport CsvExporter::Run(const DayTime& a, const DayTime& b, ISaveReport* sink,
                            const std::atomic<bool>& cancel) {
    SaveRange range;
    if (!CheckSaveRange(m_file, a, b, range)) return SaveReport::kStartRefused;
    const Protocol protocol = m_file.GetProtocol();

    MonitorSettings m;
    SamplingSettings s;
    m_file.GetMonitorSettings(m, s);
    std::vector<FormatEntry> rows;
    m_file.ReadFormatRows(rows);
    std::string header = CsvHeaderLine(CsvLineTitles(rows, m.Line));
    // Line names come from the index, which is CP932 on disk, so they always
    // convert back.
    m_header = Utf8ToCp932(header).value_or(header);

    // Rows are written straight into the buffer; one more always fits behind
    // anything short of a flush.
    if (!m_buffer) m_buffer.reset(new char[kFlushSize + kMaxRowSize]);
    if (HoldsCsvExport(m_folder)) {
        if (!m_overwrite) return SaveReport::kStartRefused;
        ForNumberedCsv(m_folder, [this](std::string_view name) {
            ::unlink(JoinPath(m_folder, name).c_str());
        });
    }
    if (!OpenNext()) {
        Close();
        return SaveReport::kStartRefused;
    }
    SaveRangeWalk walk(m_file);
    if (!walk.Begin(range, false, sink)) {
        Close();
        return SaveReport::kStartRefused;
    }

    const RecordStart recordStart(protocol, m_file.GetCharTiming());
    RecordTimeTextWriter startText, stopText;
    RowEnds rowEnds(protocol);
    SaveReport r = walk.Run(cancel, [&](const SaveRecord& rec) {
        const CaptureFrame& frame = rec.frame;
        char* const row = m_buffer.get() + m_fill;
        const int64_t startTicks =
            recordStart.Of(frame.Kind(), static_cast<int64_t>(frame.StartTicks()));
        const int64_t stopTicks = static_cast<int64_t>(frame.EndTicks());
        char* p = startText.Write(row, rec.date, startTicks);
        *p++ = ',';
        // Line changes, events and LOGIC samples begin when they end: the
        // stop time text is the start's.
        if (stopTicks == startTicks) {
            std::memcpy(p, row, kRecordTimeTextSize);
            p += kRecordTimeTextSize;
        } else {
            p = stopText.Write(p, rec.date, stopTicks);
        }
        p = rowEnds.Write(p, frame);
        m_fill = static_cast<size_t>(p - m_buffer.get());
        ++m_pieceRows;
        ++m_rowsInFile;
        if (m_fill >= kFlushSize && !Flush()) return false;
        // A limit of 2^32 or more means one file for everything.
        if (m_fileRecords < (uint64_t{1} << 32) && m_rowsInFile >= m_fileRecords)
            return Close() && OpenNext();
        return true;
    });
    if (!Close() && r != SaveReport::kFailed) r = SaveReport::kFailed;
    return r;
}

}  // namespace qv
