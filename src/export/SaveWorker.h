// The worker behind the save progress dialog: runs the range copier or the
// CSV exporter on its own thread with its own reader of the source capture,
// reports progress and the ending, and stops at its cancel flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/SettingsStore.h"
#include "core/WorkerThread.h"
#include "export/SaveRange.h"

namespace qv {

class SaveWorker {
  public:
    // `fileRecords`: records per chunk or rows per CSV file.
    SaveWorker(ISaveReport& sink, SaveKind kind, std::string sourceIndex, std::string folder,
               uint64_t fileRecords = SettingsStore::kFileRecords);
    ~SaveWorker() { Stop(); }
    SaveWorker(const SaveWorker&) = delete;
    SaveWorker& operator=(const SaveWorker&) = delete;

    // Starts one pass over the range between a and b on a new thread. The
    // thread reports progress, then the ending (range done, start refused,
    // capture end or failed; nothing more when cancelled), then kEnded.
    // -1 while a pass still runs.
    int Start(const RangeTimeKey& a, const RangeTimeKey& b);
    // Sets the cancel flag and waits for the thread, which stops before its
    // next record with its files complete. The thread is never killed.
    void Stop();
    void Wait();
    bool Running() const { return m_thread.Running(); }

    // After the pass: records copied or rows written, and files made.
    uint64_t Written() const { return m_written.load(); }
    uint64_t Files() const { return m_files.load(); }
    // After a failed pass: the chunk file of the source that could not be
    // read, or empty.
    const std::string& UnreadableChunk() const { return m_unreadable; }
    // A copy may replace a capture the folder holds, an export the CSV files
    // of an earlier export (see RangeCopier, CsvExporter).
    void SetOverwrite(bool overwrite) { m_overwrite = overwrite; }
    // A copy whose writing fails midway leaves nothing (see RangeCopier);
    // one refused at its start never leaves anything.
    void SetDiscardOnFailure(bool discard, bool madeFolder) {
        m_discard = discard;
        m_madeFolder = madeFolder;
    }
    // After the pass: the copy's files were removed.
    bool Discarded() const { return m_discarded; }

  private:
    void Run(RangeTimeKey a, RangeTimeKey b, const std::atomic<bool>& cancel);

    ISaveReport& m_sink;
    SaveKind m_kind;
    std::string m_source, m_folder;
    uint64_t m_fileRecords;
    std::atomic<uint64_t> m_written{0}, m_files{0};
    std::string m_unreadable;  // written by the pass, read after Wait
    bool m_overwrite = false;
    bool m_discard = false, m_madeFolder = false;
    bool m_discarded = false;  // written by the pass, read after Wait
    WorkerThread m_thread;  // last: its pass uses the members above
};

}  // namespace qv
