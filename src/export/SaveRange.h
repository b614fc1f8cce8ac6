// What the range copier and the CSV exporter share: the range of a capture
// given by two range time keys, the reports of a save pass and the progress
// rule, and the record time text written without allocating.
#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "core/TimeText.h"

namespace qv {

// How a save pass ended, or its progress.
enum class SaveReport : int {
    kRangeDone,     // a record after the range end was reached
    kStartRefused,  // bad range, first file not created, or the range not found
    kEnded,         // the worker's thread is about to end; always the last report
    kCaptureEnd,    // the capture ended before the range did
    kFailed,        // a read or write error
    kProgress,      // percent in steps of 10
};

// Receives progress during a pass; a worker also sends the ending and
// kEnded. A worker calls it on its own thread.
class ISaveReport {
  public:
    virtual ~ISaveReport() = default;
    // `percent` is set for kProgress only.
    virtual void OnSaveReport(SaveReport report, int percent) = 0;
    // A sentence about records the pass could not read ("records 12 to 40
    // are missing: ..."); the pass goes on.
    virtual void OnSaveNotice(const std::string& /*text*/) {}
};

struct SaveRange {
    DayTime start, end;  // in order
};

// The start checks: both times of day at most 24 h, the times in order (a
// range given backwards is swapped) and the range meeting the capture
// between its first and last frame time (StartTime and EndTime of its index;
// without them, its first and last record). false: refused.
bool CheckSaveRange(CaptureReader& file, const DayTime& a, const DayTime& b, SaveRange& out);

// The times of the capture's whole span, from its index's start and end
// times; false when the index holds neither.
bool CaptureSpan(CaptureReader& file, DayTime& start, DayTime& end);

// Moves the reader to the range start (the first record when that fails)
// and returns the frames of the range, counted from there to the record at
// the range end; that one falls back to the last record when
// `endFallsBackToLast`, else the count fails (false).
bool CountSaveRange(CaptureReader& file, const SaveRange& range, bool endFallsBackToLast,
                    uint64_t& total);

// Percent of done over total, rounded down to a multiple of 10.
int SaveProgressPercent(uint64_t done, uint64_t total);

// Reports kProgress to a sink each time the percent of a job moves on a step.
// Called for every record, so it keeps the count at which the next step is
// due and costs one comparison until then.
class SaveProgress {
  public:
    SaveProgress(ISaveReport* sink, uint64_t total);
    void Update(uint64_t done) {
        if (done >= m_nextAt) Report(done);
    }

  private:
    void Report(uint64_t done);
    // The first count whose percent is beyond the last one reported.
    uint64_t NextStepAt() const;

    ISaveReport* m_sink;
    uint64_t m_total;
    int m_last = 0;
    uint64_t m_nextAt = 0;
};

// Moves a save job's reader to the next record: nullopt when there is one,
// else the report that ends the job (end of the capture, or a failure).
inline std::optional<SaveReport> NextSaveRecord(CaptureReader& file) {
    const int rc = file.NextRecord();
    if (rc == kQvrOk) [[likely]]
        return std::nullopt;
    return rc == kQvrNotFound ? SaveReport::kCaptureEnd : SaveReport::kFailed;
}

// Writes the 30-character record time text of a date number and a signed
// time of day (moved into the neighbouring day when it runs over) to `out`;
// returns the end. Gives the same text as the reader's time texts.
char* WriteRecordTimeText(char* out, int yymmdd, int64_t ticks);
inline constexpr size_t kRecordTimeTextSize = 30;
// "YY/MM/DD hh:mm:ss " comes before the sub-second part "mmmmuuuTT0n".
inline constexpr size_t kSubSecondOffset = 18;
// Writes the 12-character sub-second part of a record time text for
// `rest` ticks (below one second) into the second: "000m000u000n". Inline:
// it runs twice for every CSV row.
inline char* WriteSubSecondText(char* p, uint32_t rest) {
    if constexpr (std::endian::native == std::endian::little) {
        // The eight digits of `rest` (below 10^8) at once, one per byte of a
        // 64-bit word, highest digit in the lowest byte: the two halves of
        // four digits in 32-bit lanes, each split by 100 into 16-bit lanes,
        // each of those split by 10 into bytes. The multiplications by 10486
        // / 2^20 and 103 / 2^10 divide by 100 and 10 exactly in those ranges.
        uint64_t x = (rest / 10'000) | (uint64_t{rest % 10'000} << 32);
        uint64_t q = ((x * 10486) >> 20) & 0x0000007F0000007FULL;
        x = q | ((x - q * 100) << 16);
        q = ((x * 103) >> 10) & 0x000F000F000F000FULL;
        x = (q | ((x - q * 10) << 8)) | 0x3030303030303030ULL;
        // "ddd" 'm' "ddd" 'u' "dd" "0n".
        const uint64_t first = (x & 0xFFFFFF) | (uint64_t{'m'} << 24) |
                               ((x & 0xFFFFFF000000ULL) << 8) | (uint64_t{'u'} << 56);
        const uint32_t second =
            static_cast<uint32_t>(x >> 48) | (uint32_t{'0'} << 16) | (uint32_t{'n'} << 24);
        std::memcpy(p, &first, 8);
        std::memcpy(p + 8, &second, 4);
        return p + 12;
    } else {
        char digits[9];
        for (int i = 7; i >= 0; --i, rest /= 10)
            digits[i] = static_cast<char>('0' + rest % 10);
        const char text[12] = {digits[0], digits[1], digits[2], 'm', digits[3], digits[4],
                               digits[5], 'u', digits[6], digits[7], '0', 'n'};
        std::memcpy(p, text, sizeof text);
        return p + sizeof text;
    }
}

// Writes the record time texts of records taken in time order. Neighbouring
// records mostly share their date and second, so the text of the previous
// one is kept and only its sub-second part is written again while they stay
// the same. Gives exactly WriteRecordTimeText's text.
class RecordTimeTextWriter {
  public:
    char* Write(char* out, int yymmdd, int64_t ticks) {
        const uint64_t t = static_cast<uint64_t>(ticks);
        if (yymmdd == m_date && t - m_second < kTicksPerSecond) {
            std::memcpy(out, m_text, kSubSecondOffset);
            return WriteSubSecondText(out + kSubSecondOffset, static_cast<uint32_t>(t - m_second));
        }
        return WriteNewSecond(out, yymmdd, ticks);
    }

  private:
    char* WriteNewSecond(char* out, int yymmdd, int64_t ticks);

    int m_date = -1;        // no second kept yet
    uint64_t m_second = 0;  // first tick of the kept second
    char m_text[kRecordTimeTextSize] = {};
};

}  // namespace qv
