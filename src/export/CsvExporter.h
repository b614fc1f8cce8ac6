// The CSV exporter: every record of a time range of a capture as one line of
// comma-separated text, in numbered files "1.csv", "2.csv", ... of a folder,
// each starting with the header line and holding at most FileRecords rows.
// Files are CP932 text with CR LF line ends, as the Windows system writes
// them.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureRecord.h"
#include "export/SaveRange.h"
#include "settings/FormatEntry.h"

namespace qv {

class CaptureReader;
class CaptureFrame;

// The ten column titles after the two times: the names of line codes 2..11
// in the display format rows 1-10 (line type 0) or 11-20 (others); a code
// without a row gives an empty title.
std::array<std::string, 10> CsvLineTitles(const std::vector<FormatEntry>& rows, int line);
// The header line (UTF-8, ending in CR LF).
std::string CsvHeaderLine(const std::array<std::string, 10>& titles);

// The row of one record (ending in " \r\n") of a capture of `protocol`.
// `startText` and `stopText` are record time texts.
std::string CsvRowText(Protocol protocol, const CaptureFrame& frame, std::string_view startText,
                       std::string_view stopText);

// Whether a folder holds numbered CSV files ("1.csv", "2.csv", ...) of an
// export: a new export there would mix its files with the old ones.
bool HoldsCsvExport(const std::string& folder);

class CsvExporter {
  public:
    // `file` is an opened reader, used by this object alone during Run.
    CsvExporter(CaptureReader& file, std::string folder, uint64_t fileRecords);

    // Without it, a folder that holds an export is refused (kStartRefused);
    // with it, that export's numbered files are removed first, so the
    // folder holds the new export's files only.
    void SetOverwrite(bool overwrite) { m_overwrite = overwrite; }

    // One export pass over the range between keys a and b (either order).
    // Progress goes to `sink` (may be null); the ending is returned. A set
    // `cancel` ends the pass before the next record with kEnded, leaving
    // every file complete up to its last row. After a piece of rows that
    // failed nothing more is written, and its file is cut back to the last
    // whole row.
    SaveReport Run(const DayTime& a, const DayTime& b, ISaveReport* sink,
                   const std::atomic<bool>& cancel);

    // Rows the files hold.
    uint64_t RowsWritten() const { return m_rows; }
    uint64_t FilesWritten() const { return m_fileNumber; }
    // "<folder>/<n>.csv".
    std::string FilePath(uint64_t n) const;

  private:
    bool OpenNext();
    // Writes bytes of whole rows to the open file; a failure cuts the file
    // back to its last whole row.
    bool WriteOut(const char* bytes, size_t size);
    // Writes the buffered rows and counts them when they reached the file.
    bool Flush();
    bool Close();

    CaptureReader& m_file;
    std::string m_folder;
    uint64_t m_fileRecords;
    bool m_overwrite = false;
    std::string m_header;  // CP932
    uint64_t m_fileNumber = 0;
    uint64_t m_rows = 0;        // rows written to the files
    uint64_t m_rowsInFile = 0;  // rows made for the open file
    int m_fd = -1;
    uint64_t m_flushed = 0;  // bytes of whole rows in the open file
    std::unique_ptr<char[]> m_buffer;  // rows not yet written
    size_t m_fill = 0;
    uint64_t m_pieceRows = 0;  // rows in the buffer
};

}  // namespace qv
