// The worker behind a save: runs one export format's pass on its own thread
// with its own reader of the source capture, reports progress and the
// ending, and stops at its cancel flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/WorkerThread.h"
#include "export/ExportFormat.h"

namespace qv {

class SaveWorker {
  public:
    SaveWorker(ISaveReport& sink, const ExportFormat& format, ExportRequest request);
    ~SaveWorker() { Stop(); }
    SaveWorker(const SaveWorker&) = delete;
    SaveWorker& operator=(const SaveWorker&) = delete;

    // Starts one pass on a new thread. The thread reports progress, then the
    // ending (range done, start refused, capture end or failed; nothing more
    // when cancelled), then kEnded. -1 while a pass still runs.
    int Start();
    // Sets the cancel flag and waits for the thread, which stops before its
    // next record with its files complete. The thread is never killed.
    void Stop();
    void Wait();
    bool Running() const { return m_thread.Running(); }

    const ExportFormat& Format() const { return m_format; }
    const ExportRequest& Request() const { return m_request; }
    // After the pass (Wait or Stop): how it ended, what it wrote and why it
    // stopped short.
    const ExportResult& Result() const { return m_result; }
    uint64_t Written() const { return m_result.written; }
    uint64_t Files() const { return m_result.files; }

  private:
    void Run(const std::atomic<bool>& cancel);

    ISaveReport& m_sink;
    const ExportFormat& m_format;
    ExportRequest m_request;
    ExportResult m_result;  // written by the pass, read after Wait
    WorkerThread m_thread;  // last: its pass uses the members above
};

}  // namespace qv
