// The page arithmetic of the Monitor window, kept out of the widget so that it
// can be checked without a screen: how many rows a page holds, where the last
// full page starts, how line, page and key movements and the selection clamp
// at the ends, and how the scroll bar's int range stands for captures of more
// than 2^31 records.
//
// Positions are 0-based record numbers (frame numbers in file mode, snapshot
// rows in paused mode); the selection is kept 1-based with 0 for none, as the
// window stores it.
#pragma once

#include <cstdint>

namespace qv {

struct MonitorPageState {
    uint64_t start = 0;     // the record shown on the first row
    uint64_t selected = 0;  // selected record + 1; 0 = none
    bool operator==(const MonitorPageState&) const = default;
};

class MonitorPageLayout {
  public:
    // Rows that fit under the header: one row per rowHeight pixels of the
    // grid's data area, never fewer than 1.
    static int RowsFor(int dataAreaHeight, int rowHeight);

    // `chunkCount` and `fileRecords` only matter beyond 2^31 records, where a
    // scroll position stands for a chunk.
    void Set(uint64_t total, int rows, uint32_t chunkCount = 0, uint64_t fileRecords = 50000);

    uint64_t Total() const { return m_total; }
    int Rows() const { return m_rows; }
    // total - rows when the capture is longer than a page, else 0.
    uint64_t LastPageStart() const;
    uint64_t Clamp(uint64_t start) const;

    uint64_t LineUp(uint64_t start) const;
    uint64_t LineDown(uint64_t start) const;
    uint64_t PageUp(uint64_t start) const;
    uint64_t PageDown(uint64_t start) const;

    // Keyboard: the selection moves with the page as the window does.
    MonitorPageState KeyUp(MonitorPageState s) const;
    MonitorPageState KeyDown(MonitorPageState s) const;
    MonitorPageState KeyPageUp(MonitorPageState s) const;
    MonitorPageState KeyPageDown(MonitorPageState s) const;
    MonitorPageState KeyHome() const;
    MonitorPageState KeyEnd() const;

    // The scroll bar: disabled when everything fits on one page.
    bool ScrollEnabled() const { return m_total > static_cast<uint64_t>(m_rows); }
    // Whether positions stand for whole chunks (2^31 records or more).
    bool ChunkScale() const;
    int ScrollMaximum() const;
    int ThumbFor(uint64_t start) const;
    uint64_t StartForThumb(int position) const;

  private:
    uint64_t m_total = 0;
    int m_rows = 1;
    uint32_t m_chunks = 0;
    uint64_t m_fileRecords = 50000;
};

}  // namespace qv
