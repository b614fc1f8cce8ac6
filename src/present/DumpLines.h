// The Dump window's view of a capture: only its data bytes, numbered from the
// start of the capture over the directions shown (both in DUAL mode, one in
// SD or RD mode), B bytes to a line. Line changes and events are not part of
// this numbering at all. A page is a whole number of lines, so its first byte
// is always the first byte of a line.
//
// Every data record counts as one byte: ASYNC records hold one, and a frame
// record of the other protocols is represented by its first data byte.
//
// The model uses the reader of the window that owns it and moves its cursor;
// it keeps no record of its own beyond the page it is asked to fill, so its
// memory does not grow with the capture.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "capture/CaptureRecord.h"
#include "capture/RecordTime.h"

namespace qv {

class CaptureReader;

// Which data lines a Dump window shows; the numbers are the view menu's.
enum DumpMode : int { kDumpDual = 0, kDumpSd = 1, kDumpRd = 2 };

// One byte of a page: the record it came from and what the window shows.
struct DumpByte {
    uint64_t frame = 0;  // 0-based frame number of its record
    uint8_t header = 0;  // the record's header byte (SD or RD data)
    uint8_t value = 0;   // the data byte
    bool IsSd() const { return HeaderKind(header) == RecordKind::kSdData; }
    bool operator==(const DumpByte&) const = default;
};

class DumpLines {
  public:
    explicit DumpLines(CaptureReader& reader) : m_reader(reader) {}

    // `pageLines` is how many lines of B bytes a page holds: L in DUAL mode,
    // where SD and RD share a line, and 2L in SD or RD mode, where each line
    // of the layout shows two lines of bytes. Values below 1 count as 1.
    void SetShape(int mode, int bytesPerLine, int pageLines);
    int Mode() const { return m_mode; }
    int BytesPerLine() const { return m_bytesPerLine; }
    int PageLines() const { return m_pageLines; }
    uint64_t PageBytes() const { return uint64_t(m_bytesPerLine) * m_pageLines; }

    // Whether a record with this header belongs to the shown directions.
    bool Shows(uint8_t header) const;

    // Data bytes of the shown directions in the whole capture.
    uint64_t TotalBytes() const;
    // Lines they fill, the last one possibly partly.
    uint64_t TotalLines() const;
    // The first line of the last full page: the page whose last line is the
    // capture's last line; 0 when the capture fits on one page.
    uint64_t LastPageLine() const;
    uint64_t ClampLine(uint64_t line) const;
    uint64_t LineOfByte(uint64_t byte) const { return byte / m_bytesPerLine; }

    // Puts the reader on the record nearest a time that shows a byte of this
    // view: at or after the time in SD or RD mode, at or before it in DUAL
    // mode, and the other way when there is none on that side. `byte` gets
    // its number. The reader's code, or -12 when no byte is shown at all.
    int LocateTime(const DayTime& when, uint64_t& byte);
    // The same from a record: the record itself when it is a shown byte,
    // else the nearest shown byte by the same rule.
    int LocateFrame(uint64_t frame, uint64_t& byte);
    // The number of the byte under the reader's cursor; -12 when the cursor is
    // not on a shown byte.
    int ByteAtCursor(uint64_t& byte) const;
    // Puts the reader on shown byte number `byte`.
    int GoToByte(uint64_t byte);

    // The bytes of the page that starts at `line` (clamped to the last full
    // page), up to PageBytes() of them; fewer at the end of the capture or
    // after a reader error, which leaves the rest of the page empty. The
    // line the page really starts at, or UINT64_MAX on failure.
    uint64_t FillPage(uint64_t line, std::vector<DumpByte>& out);

    // --- moving through the page
    // The page start that shows `byte`, moving the page from `line` as little
    // as possible (a line at a time when the byte is just off the page).
    uint64_t LineShowing(uint64_t byte, uint64_t line) const;

    // The scroll bar. Its positions are lines; from 2^31 bytes on, where lines
    // may no longer fit its int range, a position stands for `linesPerStep`
    // lines (the window uses the chunk size, so a position is about a chunk).
    bool ScrollEnabled() const { return LastPageLine() > 0; }
    void SetScrollStep(uint64_t linesPerStep) { m_linesPerStep = linesPerStep ? linesPerStep : 1; }
    bool ChunkScale() const;
    int ScrollMaximum() const;
    int ThumbFor(uint64_t line) const;
    uint64_t LineForThumb(int position) const;

  private:
    // Moves the reader from any record onto the nearest shown byte.
    int SettleOnShown(uint64_t& byte);
    // Puts the reader on byte `byte` by stepping from the last page's first
    // byte when it is near, which spares the walk from the start of its
    // chunk that a line step would otherwise cost.
    int GoToByteNearAnchor(uint64_t byte);
    // The reader's jump type for the next or previous shown byte.
    int JumpType() const;
    bool CursorShows() const;

    CaptureReader& m_reader;
    int m_mode = kDumpDual;
    int m_bytesPerLine = 1;
    int m_pageLines = 1;
    uint64_t m_linesPerStep = 50000;
    // The first byte of the page filled last and its record, for this mode.
    struct Anchor {
        int mode = -1;
        uint64_t byte = 0, frame = 0;
    } m_anchor;
};

}  // namespace qv
