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
    if (m_thread.Running()) return -1;
    m_written = 0;
    m_files = 0;
    return m_thread.Start([this, a, b](const std::atomic<bool>& cancel) { Run(a, b, cancel); },
                          [this] { m_sink.OnSaveReport(SaveReport::kEnded, 0); });
}

void SaveWorker::Stop() { m_thread.Stop(); }

void SaveWorker::Wait() { m_thread.Wait(); }

void SaveWorker::Run(RangeTimeKey a, RangeTimeKey b, const std::atomic<bool>& cancel) {
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
            csv.SetOverwrite(m_overwrite);
            result = csv.Run(a, b, &m_sink, cancel);
            m_written = csv.RowsWritten();
            m_files = csv.FilesWritten();
        } else {
            RangeCopier copier(file, m_folder, m_fileRecords);
            copier.SetOverwrite(m_overwrite);
            copier.SetDiscardOnFailure(m_discard, m_madeFolder);
            result = copier.Run(a, b, &m_sink, cancel);
            m_discarded = copier.Discarded();
            m_written = copier.FramesCopied();
            m_files = copier.ChunksWritten();
        }
    }
    m_unreadable = file.GetFailedChunk() != 0 ? file.ChunkPath(file.GetFailedChunk()) : "";
    if (result != SaveReport::kEnded) m_sink.OnSaveReport(result, 0);
}

}  // namespace qv
