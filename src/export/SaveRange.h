// What the range copier and the CSV exporter share: the range of a capture
// given by two range time keys, the reports of a save pass and the progress
// rule, and the record time text written without allocating.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "core/CaptureIndexText.h"

namespace qv {

class CaptureReader;

// How a save pass ended, or its progress; the progress dialog knows each by
// a message number (SaveMessageNumber).
enum class SaveReport : int {
    kRangeDone,     // a record after the range end was reached
    kStartRefused,  // bad range, first file not created, or the range not found
    kEnded,         // the worker's thread is about to end; always the last report
    kCaptureEnd,    // the capture ended before the range did
    kFailed,        // a read or write error
    kProgress,      // percent in steps of 10
};

enum class SaveKind { kCopy, kCsv };

// 3024..3029 for the copier, 4024..4029 for the exporter; progress is 3030
// for both.
int SaveMessageNumber(SaveKind kind, SaveReport report);

// Receives progress during a pass; a worker also sends the ending and
// kEnded. A worker calls it on its own thread.
class ISaveReport {
  public:
    virtual ~ISaveReport() = default;
    // `percent` is set for kProgress only.
    virtual void OnSaveReport(SaveReport report, int percent) = 0;
};

// A position as two numbers, so that the per-record range test of a pass is
// two integer comparisons rather than text parsing.
struct RangePoint {
    int64_t date = 0;    // YYMMDD as a number
    uint64_t ticks = 0;  // 10 ns ticks

    static RangePoint Of(const RangeTimeKey& key);
    friend bool operator<(const RangePoint& a, const RangePoint& b) {
        return a.date != b.date ? a.date < b.date : a.ticks < b.ticks;
    }
};

struct SaveRange {
    RangeTimeKey start, end;
    RangePoint startPoint, endPoint;
};

// The start checks: both times of day at most 24 h, the keys in order (a
// range given backwards is swapped) and the range meeting the capture
// between its first and last frame time (StartTime and EndTime of its index;
// without them, its first and last record). false: refused.
bool CheckSaveRange(CaptureReader& file, const RangeTimeKey& a, const RangeTimeKey& b, SaveRange& out);

// Moves the reader to the range start (the first record when that fails)
// and returns the frames of the range, counted from there to the record at
// the range end; that one falls back to the last record when
// `endFallsBackToLast`, else the count fails (false).
bool CountSaveRange(CaptureReader& file, const SaveRange& range, bool endFallsBackToLast,
                    uint64_t& total);

// Percent of done over total, rounded down to a multiple of 10.
int SaveProgressPercent(uint64_t done, uint64_t total);

// Reports kProgress to a sink each time the percent of a job moves on a step.
class SaveProgress {
  public:
    SaveProgress(ISaveReport* sink, uint64_t total) : m_sink(sink), m_total(total) {}
    void Update(uint64_t done);

  private:
    ISaveReport* m_sink;
    uint64_t m_total;
    int m_last = 0;
};

// Moves a save job's reader to the next record: nullopt when there is one,
// else the report that ends the job (end of the capture, or a failure).
std::optional<SaveReport> NextSaveRecord(CaptureReader& file);

// Writes the 30-character record time text of a date number and a signed
// time of day (moved into the neighbouring day when it runs over) to `out`;
// returns the end. Gives the same text as the reader's time texts.
char* WriteRecordTimeText(char* out, int yymmdd, int64_t ticks);
inline constexpr size_t kRecordTimeTextSize = 30;

}  // namespace qv
