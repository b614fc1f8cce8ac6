#include "export/SaveWorker.h"

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "export/CsvExporter.h"
#include "export/RangeCopier.h"

namespace qv {

SaveWorker::SaveWorker(ISaveReport& sink, SaveKind kind, std::string sourceIndex,
                         std::string folder, uint64_t fileRecords)
    : m_sink(sink),
      m_kind(kind),
      m_source(std::move(sourceIndex)),
      m_folder(std::move(folder)),
      m_fileRecords(fileRecords) {}

int SaveWorker::Start(const RangeTimeKey& a, const RangeTimeKey& b) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_running.load()) return -1;
    if (m_thread.joinable()) m_thread.join();
    m_cancel = false;
    m_running = true;
    m_written = 0;
    m_files = 0;
    m_thread = std::thread(&SaveWorker::Run, this, a, b);
    return 0;
}

void SaveWorker::Stop() {
    m_cancel = true;
    Wait();
}

void SaveWorker::Wait() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_thread.joinable()) m_thread.join();
}

void SaveWorker::Run(RangeTimeKey a, RangeTimeKey b) {
    {
        // Its own reader and settings store: opening a reader reloads the
        // store's values, which must not change under the dialog's objects.
        SettingsStore store;
        Log log;
        CaptureReader file(store, log);
        int rc = file.Open(m_source);
        SaveReport result = SaveReport::kStartRefused;
        if (rc == kQvrOk || (rc == kQvrChunkRead && file.HasRecord())) {
            if (m_kind == SaveKind::kCsv) {
                CsvExporter csv(file, m_folder, m_fileRecords);
                result = csv.Run(a, b, &m_sink, m_cancel);
                m_written = csv.RowsWritten();
                m_files = csv.FilesWritten();
            } else {
                RangeCopier copier(file, m_folder, m_fileRecords);
                copier.SetOverwrite(m_overwrite);
                result = copier.Run(a, b, &m_sink, m_cancel);
                m_written = copier.FramesCopied();
                m_files = copier.ChunksWritten();
            }
        }
        m_unreadable = file.GetFailedChunk() != 0 ? file.ChunkPath(file.GetFailedChunk()) : "";
        if (result != SaveReport::kEnded) m_sink.OnSaveReport(result, 0);
    }
    m_running = false;
    m_sink.OnSaveReport(SaveReport::kEnded, 0);
}

}  // namespace qv
