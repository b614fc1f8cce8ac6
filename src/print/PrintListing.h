// The print listing of a capture as pages of text lines: a header block with
// the capture's time span, line, character format, triggers, record counts
// and column heads, then rows of ten data bytes, SD and RD on two lines.
// Nothing here draws; the print dialog puts each line on the printer at
// (50, line x character height + 2) in a monospaced font.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "capture/CaptureIndexText.h"
#include "capture/RecordTime.h"
#include "core/CodeTable.h"
#include "settings/FormatEntry.h"
#include "settings/MonitorSettings.h"
#include "settings/TriggerSetting.h"

namespace qv {

class CaptureReader;

inline constexpr int kPrintLinesPerPage = 60;
inline constexpr int kPrintLineWidth = 103;  // display columns of a built line
inline constexpr int kPrintBytesPerRow = 10;

// The name of an action (code and option) on a trigger line: its label in the
// action table ("蓄積停止", "LED-2　ON", ...); "?XX" (the code in hex) for a
// pair the table does not hold.
std::string PrintActionName(uint8_t code, uint16_t option);
// The title of line code 2 (SD) or 3 (RD): the name of the first display
// format row with that code, from row 1 (line type 0) or row 11 (others) on;
// empty when none.
std::string PrintLineTitle(const std::vector<FormatEntry>& rows, int line, uint8_t code);
// "*TRIGGER" block line of trigger n (1..5).
std::string PrintTriggerLine(int n, const TriggerSetting& t);
// The listing's error mark of a header byte: bits 4..2 as " ", "p", "o",
// "q", "f", "j", "i", "x".
char PrintErrorMark(uint8_t header);

struct PrintListingInput {
    int codeMode = kDisplayAscii;  // the window's code; HEX (0) prints ASCII
    DayTime start, end;            // the records listed: end times within
    std::array<TriggerSetting, kTriggerCount> triggers{};
    double frequency = 0;  // Hz, for the baud rates of a capture without any
};

class PrintListing {
  public:
    // `file` is an opened reader, used by this object alone.
    PrintListing(CaptureReader& file, const CodeTable& table, const PrintListingInput& input);

    // Builds the header block and counts the rows of the range; -1 when the
    // capture's start or end time cannot be read (the dialog's "ファイルフォ
    // ーマットが正しくありません").
    int Begin();
    uint64_t Rows() const { return m_rows; }
    // The page count shown while printing: rows x 3 / 60 + 1.
    int PageEstimate() const { return static_cast<int>(m_rows * 3 / kPrintLinesPerPage + 1); }
    // The next page, 60 lines (blank lines empty, no trailing blanks); false
    // when the listing has ended and no page is left.
    bool NextPage(std::vector<std::string>& lines);
    const std::vector<std::string>& HeaderLines() const { return m_header; }

  private:
    // Builds row `m_row`'s SD and RD lines; false when no record was left.
    bool BuildRow(std::string& sd, std::string& rd);
    bool InRange(bool& before);

    CaptureReader& m_file;
    const CodeTable& m_table;
    PrintListingInput m_in;
    int m_code;
    std::string m_sdTitle, m_rdTitle;
    std::string m_dataModeLine;
    std::vector<std::string> m_header;
    uint64_t m_rows = 0;
    uint64_t m_row = 0;
    bool m_firstRecord = true;
    bool m_ended = false;
    bool m_firstPage = true;
    DirectionCodes m_codes;
};

}  // namespace qv
