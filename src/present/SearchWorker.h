// The search over a stored capture: one pass that walks a reader record by
// record from a start position until a record meets the conditions, and the
// worker that runs such a pass on its own thread with its own reader, so
// that the window's reader and the user interface are never touched.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "capture/RecordTime.h"
#include "core/MessageText.h"
#include "core/WorkerThread.h"
#include "present/SearchCondition.h"

namespace qv {

class CaptureReader;

// The reports of a search, numbered as the search dialog knows them.
enum class SearchReport : int {
    kFound = 2024,
    kNotFound = 2025,
    kBadParameters = 2026,
    kEnded = 2027,  // the worker's thread is about to end; always the last report
    kEndOfCapture = 2028,
    kError = 2029,
    kProgress = 2030,
};

struct SearchResult {
    SearchReport report = SearchReport::kNotFound;
    // kFound: the record's end time, its record time text and frame number.
    // kProgress: the frame number of the record being tested. kError: the
    // reader's code.
    DayTime at;
    std::string timeText;
    uint64_t frame = 0;
    int code = 0;
};

// Receives the reports; a worker calls it on its own thread.
class ISearchReport {
  public:
    virtual ~ISearchReport() = default;
    virtual void OnSearchReport(const SearchResult& result) = 0;
};

enum class SearchFrom {
    kCurrent,  // the calling window's record: `frame` when given, else `at`
    kFirst,    // the capture's first record, which is tested too
    kLast,     // the capture's last record, which is tested too
};

struct SearchStart {
    SearchFrom from = SearchFrom::kCurrent;
    DayTime at;
    std::optional<uint64_t> frame;
};

// Progress is reported after every this many records tested.
inline constexpr uint64_t kSearchProgressStep = 250;

// One search on `file`. Progress goes to `sink` (may be null); the ending
// report is returned, not sent. A set `cancel` ends the pass quietly with
// kEnded before the next record. A forward search stays on the last record
// of a matched string, a backward one on its first; any other ending puts
// the reader back where the pass began only when it could not move at all.
SearchResult RunSearch(CaptureReader& file, const SearchCondition& condition,
                       const SearchStart& start, SearchDirection direction, ISearchReport* sink,
                       const std::atomic<bool>& cancel);

class SearchWorker {
  public:
    explicit SearchWorker(ISearchReport& sink) : m_sink(sink) {}
    ~SearchWorker() { Stop(); }
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    // Starts one search of the capture at `indexPath` on a new thread. The
    // thread reports the ending (found, not found, bad parameters, end of
    // capture or error; nothing when cancelled) and then kEnded. -1 while a
    // search still runs.
    int Start(const std::string& indexPath, const SearchCondition& condition,
              const SearchStart& start, SearchDirection direction);
    // Asks the running search to stop before its next record and waits for
    // its thread. The thread is never killed.
    void Stop();
    // Waits for the running search to end by itself.
    void Wait();
    bool Running() const { return m_thread.Running(); }

  private:
    void Run(const std::string& indexPath, const SearchCondition& condition,
             const SearchStart& start, SearchDirection direction, const std::atomic<bool>& cancel);

    ISearchReport& m_sink;
    WorkerThread m_thread;
};

}  // namespace qv
