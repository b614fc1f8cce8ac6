// The print job: produces the listing's pages on its own thread with its own
// reader and hands each page to the caller, who draws it on a printer (the
// print dialog) or writes it out (qvtool print). Cancel stops it before the
// next page.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "core/MessageText.h"
#include "core/WorkerThread.h"
#include "print/PrintListing.h"

namespace qv {

// Messages of the print dialogs, named by their numbers.
inline constexpr int kPrintProgressMessage = 1025;
inline constexpr int kPrintFailedMessage = 1026;

// Called on the job's thread.
class IPrintReport {
  public:
    virtual ~IPrintReport() = default;
    // One page of 60 lines, numbered from 1. Returning false fails the job
    // (the printer or the output file took no more).
    virtual bool OnPrintPage(int number, const std::vector<std::string>& lines) = 0;
    // Why the last page was refused, as the failure says it: a printer out
    // of reach unless the report writes a file, which names the file and the
    // system's reason (a full disk is not an unreachable printer).
    virtual std::string PageRefusal() const {
        return std::string(MessageText(MessageId::kPrinterUnreachable));
    }
    // Pages estimated and pages done (1025).
    virtual void OnPrintProgress(int total, int printed) = 0;
    // The capture could not be read or a page was refused (1026).
    virtual void OnPrintFailed(std::string_view reason) = 0;
    // Always the last call; `cancelled` when the cancel flag stopped it.
    virtual void OnPrintEnded(bool cancelled) = 0;
};

// The job's range from the dialog's choices: the capture's span cut down by
// the picked times (the end time taken to the end of its second) and by the
// picked marks, each pair put in order first.
struct PrintRangeChoice {
    std::optional<std::pair<DayTime, DayTime>> times;
    std::optional<std::pair<DayTime, DayTime>> marks;
};
std::pair<DayTime, DayTime> ResolvePrintRange(const DayTime& captureStart,
                                              const DayTime& captureEnd,
                                              const PrintRangeChoice& choice);

// Writes the listing of an opened reader, page by page, to `report`. Used by
// the job's thread; also usable on the caller's thread.
void RunPrintListing(CaptureReader& file, const CodeTable& table, const PrintListingInput& input,
                     IPrintReport& report, const std::atomic<bool>& cancel);

class PrintJob {
  public:
    explicit PrintJob(IPrintReport& report) : m_report(report) {}
    ~PrintJob() { Cancel(); }
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // Starts the job on the capture at `indexPath`. -1 while one runs.
    int Start(const std::string& indexPath, const PrintListingInput& input);
    // Sets the cancel flag and waits for the thread to end.
    void Cancel();
    void Wait();
    bool Running() const { return m_thread.Running(); }

  private:
    void Run(const std::string& indexPath, PrintListingInput input,
             const std::atomic<bool>& cancel);

    IPrintReport& m_report;
    WorkerThread m_thread;
};

}  // namespace qv
