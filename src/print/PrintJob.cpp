#include "print/PrintJob.h"

#include <algorithm>

#include "capture/CaptureReader.h"
#include "core/CodeTable.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"

namespace qv {

std::pair<DayTime, DayTime> ResolvePrintRange(const DayTime& captureStart,
                                              const DayTime& captureEnd,
                                              const PrintRangeChoice& choice) {
    auto ordered = [](const std::pair<DayTime, DayTime>& p) {
        return p.first <= p.second ? p : std::make_pair(p.second, p.first);
    };
    std::pair<DayTime, DayTime> byTime{captureStart, captureEnd};
    if (choice.times) {
        byTime = ordered(*choice.times);
        // The picked end is a whole second: include all of it.
        byTime.second.ticks += TextToTicks("00:00:00 999m999u999n");
    }
    std::pair<DayTime, DayTime> byMark{captureStart, captureEnd};
    if (choice.marks) byMark = ordered(*choice.marks);
    // The later start and the earlier end: the range both choices allow.
    return {std::max(byTime.first, byMark.first), std::min(byTime.second, byMark.second)};
}

void RunPrintListing(CaptureReader& file, const CodeTable& table, const PrintListingInput& input,
                     IPrintReport& report, const std::atomic<bool>& cancel) {
    PrintListing listing(file, table, input);
    if (listing.Begin() != 0) {
        report.OnPrintFailed(MessageText(MessageId::kPrintBadFormat));
        report.OnPrintEnded(false);
        return;
    }
    const int total = listing.PageEstimate();
    std::vector<std::string> lines;
    int page = 0;
    for (;;) {
        if (cancel.load()) {
            report.OnPrintEnded(true);
            return;
        }
        if (!listing.NextPage(lines)) break;
        if (!report.OnPrintPage(++page, lines)) {
            report.OnPrintFailed(report.PageRefusal());
            report.OnPrintEnded(false);
            return;
        }
        report.OnPrintProgress(total, page);
    }
    report.OnPrintProgress(total, total);
    report.OnPrintEnded(false);
}

int PrintJob::Start(const std::string& indexPath, const PrintListingInput& input) {
    return m_thread.Start([=, this](const std::atomic<bool>& cancel) {
        Run(indexPath, input, cancel);
    });
}

void PrintJob::Cancel() { m_thread.Stop(); }

void PrintJob::Wait() { m_thread.Wait(); }

void PrintJob::Run(const std::string& indexPath, PrintListingInput input,
                   const std::atomic<bool>& cancel) {
    // A settings store of its own, as printing has always had: the reader
    // reloads the store's values through it.
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    int rc = file.Open(indexPath);
    if (rc != kQvrOk && !(rc == kQvrChunkRead && file.HasRecord())) {
        m_report.OnPrintFailed(MessageText(MessageId::kPrintBadArgument));
        m_report.OnPrintEnded(false);
        return;
    }
    if (input.frequency == 0) input.frequency = store.GetFrequency();
    RunPrintListing(file, DisplayCodeTable(), input, m_report, cancel);
}

}  // namespace qv
