#include "export/SaveWorker.h"

#include "capture/CaptureReader.h"
#include "capture/OpenFailure.h"
#include "core/Log.h"
#include "export/CaptureTexts.h"

namespace qv {

SaveWorker::SaveWorker(ISaveReport& sink, const ExportFormat& format, ExportRequest request)
    : m_sink(sink), m_format(format), m_request(std::move(request)) {}

int SaveWorker::Start() {
    if (m_thread.Running()) return -1;
    m_result = ExportResult{};
    return m_thread.Start([this](const std::atomic<bool>& cancel) { Run(cancel); },
                          [this] { m_sink.OnSaveReport(SaveReport::kEnded, 0); });
}

void SaveWorker::Stop() { m_thread.Stop(); }

void SaveWorker::Wait() { m_thread.Wait(); }

void SaveWorker::Run(const std::atomic<bool>& cancel) {
    // Its own reader and settings store: opening a reader reloads the
    // store's values, which must not change under the dialog's objects.
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    const int rc = file.Open(m_request.source);
    if (rc == kQvrOk || (rc == kQvrChunkRead && file.HasRecord())) {
        if (auto refused = m_format.Refusal(file, m_request))
            m_result = std::move(*refused);
        else
            m_result = m_format.Run(file, m_request, &m_sink, cancel);
    } else {
        m_result.ending = SaveReport::kStartRefused;
        m_result.error = m_request.source + ": " + ReaderCodeText(rc);
    }
    if (m_result.ending != SaveReport::kEnded) m_sink.OnSaveReport(m_result.ending, 0);
}

}  // namespace qv
