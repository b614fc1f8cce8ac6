#include "present/SearchWorker.h"

#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "core/Log.h"
#include "core/SettingsStore.h"

namespace qv {

namespace {

int GoToStart(CaptureReader& file, const SearchStart& start) {
    switch (start.from) {
        case SearchFrom::kFirst:
            return file.GoToFrame(0);
        case SearchFrom::kLast:
            return file.GetTotalRecords() == 0 ? kQvrNotFound
                                               : file.GoToFrame(file.GetTotalRecords() - 1);
        case SearchFrom::kCurrent:
            break;
    }
    if (start.frame) return file.GoToFrame(*start.frame);
    return file.GoToTime(start.at);
}

SearchResult Ending(SearchReport r, int code = 0) {
    SearchResult out;
    out.report = r;
    out.code = code;
    return out;
}

}  // namespace

SearchResult RunSearch(CaptureReader& file, const SearchCondition& condition,
                       const SearchStart& start, SearchDirection direction, ISearchReport* sink,
                       const std::atomic<bool>& cancel) {
    if (!condition.IsSet()) return Ending(SearchReport::kBadParameters);
    const bool forward = direction == SearchDirection::kForward;
    // The limit: a forward match may not lie after the capture's end time, a
    // backward one not before its start time. Without the time, no limit.
    std::string limitText;
    std::optional<DayTime> limit;
    if ((forward ? file.GetCaptureEndText(limitText) : file.GetCaptureStartText(limitText)) == 0)
        limit = ParseRecordTime(limitText);

    if (GoToStart(file, start) != kQvrOk) return Ending(SearchReport::kNotFound);

    SearchMatcher matcher(condition);
    const int jump = matcher.CandidateType();
    // From the first record forward (or the last backward) that record is
    // tested as well: stepping first would pass over a match on it.
    bool testHere = (start.from == SearchFrom::kFirst && forward) ||
                    (start.from == SearchFrom::kLast && !forward);
    uint64_t tested = 0;
    CursorPosition pos;
    for (;;) {
        if (cancel.load(std::memory_order_relaxed)) return Ending(SearchReport::kEnded);
        std::optional<uint8_t> neighbour;
        if (!testHere) {
            uint8_t fromLine = 0;
            file.GetLineState(fromLine);
            int rc;
            if (jump != 0)
                rc = forward ? file.NextOfType(jump) : file.PrevOfType(jump);
            else
                rc = forward ? file.NextRecord() : file.PrevRecord();
            if (rc == kQvrNotFound) return Ending(SearchReport::kEndOfCapture);
            if (rc != kQvrOk) return Ending(SearchReport::kError, rc);
            neighbour = fromLine;
        }
        testHere = false;
        if (file.GetCursor(pos) != kQvrOk) return Ending(SearchReport::kError, kQvrNoRecord);
        const uint64_t matchStart = pos.frame;
        const bool hit = matcher.Test(file, neighbour);
        if (matcher.ReadError() != 0) return Ending(SearchReport::kError, matcher.ReadError());
        if (!hit || !forward) {
            CursorPosition now;
            if (file.GetCursor(now) != kQvrOk || now.frame != matchStart) {
                int rc = file.GoToFrame(matchStart);
                if (rc != kQvrOk) return Ending(SearchReport::kError, rc);
            }
        }
        if (hit) break;
        if (++tested % kSearchProgressStep == 0 && sink) {
            SearchResult progress;
            progress.report = SearchReport::kProgress;
            progress.frame = matchStart;
            sink->OnSearchReport(progress);
        }
    }

    SearchResult found;
    uint64_t ticks = 0;
    std::string text;
    file.GetEndTime(text, ticks);
    file.GetCursor(pos);
    auto when = ParseRecordTime(text);
    if (!when) return Ending(SearchReport::kError, kQvrNoRecord);
    if (limit) {
        if (forward ? *when > *limit : *when < *limit) return Ending(SearchReport::kNotFound);
    }
    found.report = SearchReport::kFound;
    found.at = *when;
    found.timeText = text;
    found.frame = pos.frame;
    return found;
}

int SearchWorker::Start(const std::string& indexPath, const SearchCondition& condition,
                        const SearchStart& start, SearchDirection direction) {
    return m_thread.Start(
        [=, this](const std::atomic<bool>& cancel) {
            Run(indexPath, condition, start, direction, cancel);
        },
        [this] { m_sink.OnSearchReport(Ending(SearchReport::kEnded)); });
}

void SearchWorker::Stop() {
    m_thread.Stop();
}

void SearchWorker::Wait() {
    m_thread.Wait();
}

void SearchWorker::Run(const std::string& indexPath, const SearchCondition& condition,
                       const SearchStart& start, SearchDirection direction,
                       const std::atomic<bool>& cancel) {
    // A reader and settings store of its own: opening a reader reloads the
    // store's values, which the window's objects must not see change under
    // them from another thread.
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    int rc = file.Open(indexPath);
    SearchResult result;
    if (rc != kQvrOk && !(rc == kQvrChunkRead && file.HasRecord()))
        result = Ending(SearchReport::kError, rc);
    else
        result = RunSearch(file, condition, start, direction, &m_sink, cancel);
    if (result.report != SearchReport::kEnded) m_sink.OnSearchReport(result);
}

}  // namespace qv
