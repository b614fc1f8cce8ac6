#include "print/PrintListing.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "capture/CaptureReader.h"
#include "capture/CaptureFrame.h"
#include "core/TextCodec.h"
#include "core/TimeText.h"
#include "export/SaveRange.h"
#include "settings/TriggerSummary.h"

namespace qv {

namespace {

// A line of fixed display columns; a full-width character takes two. Texts
// are placed at columns the way the listing's layout names them.
class TextLine {
  public:
    TextLine() : m_cols(kPrintLineWidth, " ") {}
    void Put(size_t col, std::string_view text) {
        size_t i = 0;
        while (i < text.size() && col < m_cols.size()) {
            const size_t len = std::max<size_t>(Utf8SequenceLength(text, i), 1);
            std::string ch(text.substr(i, len));
            i += len;
            const size_t width = DisplayWidth(ch);
            m_cols[col] = ch;
            if (width == 2 && col + 1 < m_cols.size()) m_cols[++col] = "";
            ++col;
        }
    }
    // The line without its trailing blanks.
    std::string Text() const {
        std::string out;
        for (const auto& c : m_cols)
            out += c;
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
        return out;
    }

  private:
    std::vector<std::string> m_cols;
};

std::string Format(const char* fmt, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

std::string_view LineName(int line) {
    switch (line) {
        case 0:
            return "RS-232";
        case 1:
            return "RS-422/485";
        case 2:
            return "RS-530";
        default:
            return "??????";
    }
}

std::string_view ParityName(int parity) {
    static constexpr std::string_view kNames[] = {"NONE", "ODD", "EVEN", "MARK", "SPACE", "MP"};
    return parity >= 0 && parity < 6 ? kNames[parity] : "??????";
}

// The baud rate printed: the configured one, or, when neither direction has
// one, the clock frequency over the clock-rate divisor.
int PrintedBaud(double baud, bool bothZero, int clockRate, double frequency) {
    if (!bothZero) return static_cast<int>(baud);
    const int div = clockRate == 1 ? 16 : clockRate == 2 ? 32 : clockRate == 3 ? 64 : 1;
    return static_cast<int>(frequency / div);
}

}  // namespace

std::string PrintActionName(uint8_t code, uint16_t option) {
    // The trigger editor's own label, number included, from the one action
    // table; a pair the table does not hold shows its code, never a blank
    // or another action's name.
    if (auto label = ActionLabel(code, option, UiLanguage::kJapanese)) return *label;
    char text[8];
    std::snprintf(text, sizeof text, "?%02X", code);
    return text;
}

std::string PrintLineTitle(const std::vector<FormatEntry>& rows, int line, uint8_t code) {
    for (size_t i = line == 0 ? 0 : 10; i < rows.size(); ++i)
        if (rows[i].line == code) return rows[i].name;
    return {};
}

std::string PrintTriggerLine(int n, const TriggerSetting& t) {
    TextLine l;
    l.Put(0, "                TRIG -       ACT1-                            ACT2-");
    if (n == 2) l.Put(0, "*TRIGGER     *  ");
    l.Put(20, std::to_string(n));
    l.Put(22, t.enabled ? "ON" : "OFF");
    l.Put(34, PrintActionName(t.action1, t.option1));
    l.Put(67, PrintActionName(t.action2, t.option2));
    return l.Text();
}

char PrintErrorMark(uint8_t header) {
    const char letter = ErrorLetter(header);
    return letter ? letter : ' ';
}

PrintListing::PrintListing(CaptureReader& file, const CodeTable& table, const PrintListingInput& input)
    : m_file(file), m_table(table), m_in(input) {
    // A window in HEX already shows the bytes in hex; the character columns
    // then show ASCII.
    m_code = m_in.codeMode == kDisplayHex ? kDisplayAscii : m_in.codeMode;
    m_codes.Select(m_code);
}

int PrintListing::Begin() {
    std::string startText, endText;
    if (m_file.GetCaptureStartText(startText) != kQvrOk ||
        m_file.GetCaptureEndText(endText) != kQvrOk)
        return -1;
    MonitorSettings m;
    SamplingSettings s;
    m_file.GetMonitorSettings(m, s);
    std::vector<FormatEntry> rows;
    m_file.ReadFormatRows(rows);
    m_sdTitle = PrintLineTitle(rows, m.Line, kFormatSd);
    m_rdTitle = PrintLineTitle(rows, m.Line, kFormatSd + 1);

    const bool bothZero = m.SD_Baudrate == 0 && m.RD_Baudrate == 0;
    m_dataModeLine = "*DATA MODE   *            CODE-HEX                                   CODE-" +
                     std::string(DisplayCodeName(m_code));
    m_header.assign(17, "");
    m_header[0] = "START-20" + startText + "  STOP-20" + endText;
    m_header[2] = "*MONITOR LINE*  " + std::string(LineName(m.Line));
    m_header[4] = Format("*MONITOR MODE*  BAUD RATE  %s:%d  %s:%d", m_sdTitle.c_str(),
                         PrintedBaud(m.SD_Baudrate, bothZero, m.SD_ClockRate, m_in.frequency),
                         m_rdTitle.c_str(),
                         PrintedBaud(m.RD_Baudrate, bothZero, m.RD_ClockRate, m_in.frequency));
    m_header[5] = Format("                DATA BIT-%d  PARITY-%s", m.DataLen,
                         std::string(ParityName(m.Parity)).c_str());
    for (int n = 1; n <= kTriggerCount; ++n)
        m_header[static_cast<size_t>(6 + n)] =
            PrintTriggerLine(n, m_in.triggers[static_cast<size_t>(n - 1)]);
    m_header[13] = Format("*DATA COUNT  *  TOTAL %" PRIu64 "  %s %" PRIu64 "   %s %" PRIu64,
                          m_file.GetTotalRecords(), m_sdTitle.c_str(), m_file.GetTotal(kCountSd),
                          m_rdTitle.c_str(), m_file.GetTotal(kCountRd));
    m_header[15] = m_dataModeLine;

    // Count the data records of the range, then come back to its start.
    auto goToStart = [&] {
        if (m_file.GoToTime(m_in.start) != kQvrOk) m_file.GoToFrame(0);
    };
    goToStart();
    uint64_t count = 0;
    const DayTime start = m_in.start, end = m_in.end;
    CaptureFrame frame;
    CursorPosition pos;
    std::string text;
    ChunkEntry entry;
    uint32_t chunk = 0;
    int date = 0;
    while (m_file.HasRecord() && m_file.GetFrame(frame) == kQvrOk &&
           m_file.GetCursor(pos) == kQvrOk) {
        if (pos.chunk != chunk && m_file.GetChunkInfo(pos.chunk, text, entry) == kQvrOk) {
            chunk = pos.chunk;
            date = DateTextNumber(DateFieldText(entry.date));
        }
        const DayTime at{date, frame.EndTicks()};
        if (at > end) break;
        if (at >= start && IsDataKind(frame.Kind())) ++count;
        if (m_file.NextRecord() != kQvrOk) break;
    }
    m_rows = (count + kPrintBytesPerRow - 1) / kPrintBytesPerRow;
    goToStart();
    m_row = 0;
    m_firstRecord = true;
    m_ended = false;
    m_firstPage = true;
    return 0;
}

bool PrintListing::BuildRow(std::string& sdOut, std::string& rdOut) {
    TextLine sd, rd;
    sd.Put(0, Format(" %06" PRIu64 " %s:", m_row + 1, m_sdTitle.c_str()));
    rd.Put(0, Format(" %06" PRIu64 " %s:", m_row + 1, m_rdTitle.c_str()));
    const DayTime start = m_in.start, end = m_in.end;
    CaptureFrame frame;
    CursorPosition pos;
    std::string text;
    ChunkEntry entry;
    int k = 0;
    while (k < kPrintBytesPerRow && !m_ended) {
        if (m_file.GetFrame(frame) != kQvrOk || m_file.GetCursor(pos) != kQvrOk ||
            m_file.GetChunkInfo(pos.chunk, text, entry) != kQvrOk) {
            m_ended = true;
            break;
        }
        const DayTime at{DateTextNumber(DateFieldText(entry.date)), frame.EndTicks()};
        if (m_firstRecord && at < start) {
            if (m_file.NextRecord() != kQvrOk) m_ended = true;
            continue;
        }
        m_firstRecord = false;
        if (at < start || at > end) {
            m_ended = true;
            break;
        }
        if (IsDataKind(frame.Kind())) {
            const bool isSd = frame.Kind() == RecordKind::kSdData;
            TextLine& l = isSd ? sd : rd;
            const size_t col = static_cast<size_t>(14 + 4 * k);
            l.Put(col, std::string(1, PrintErrorMark(frame.Header())));
            if (frame.DataLength() > 0) {
                const uint8_t b = frame.Data()[0];
                l.Put(col + 1, Format("%.2X", b));
                l.Put(static_cast<size_t>(57 + 4 * k),
                      m_table.CellText(b, m_codes, isSd ? DataDirection::kSd : DataDirection::kRd));
            }
            ++k;
        }
        if (m_file.NextRecord() != kQvrOk) m_ended = true;
    }
    sdOut = sd.Text();
    rdOut = rd.Text();
    return k > 0;
}

bool PrintListing::NextPage(std::vector<std::string>& lines) {
    if (!m_firstPage && (m_ended || m_row >= m_rows)) return false;
    lines.assign(kPrintLinesPerPage, "");
    int line;
    if (m_firstPage) {
        std::copy(m_header.begin(), m_header.end(), lines.begin());
        line = static_cast<int>(m_header.size());
        m_firstPage = false;
    } else {
        lines[0] = m_dataModeLine;
        line = 2;
    }
    // A row needs its SD and its RD line on the page; the blank line after
    // it may fall off the end.
    while (m_row < m_rows && !m_ended && line + 2 <= kPrintLinesPerPage) {
        std::string sd, rd;
        if (!BuildRow(sd, rd)) break;
        lines[static_cast<size_t>(line)] = sd;
        lines[static_cast<size_t>(line + 1)] = rd;
        line += 3;
        ++m_row;
    }
    return true;
}

}  // namespace qv
