#include "device/MonitoringRun.h"

#include <algorithm>

#include "capture/ChunkData.h"
#include "core/FileUtil.h"

namespace qv {

MonitoringRun::MonitoringRun(SettingsStore& store, ViewConf& conf, Log& log,
                             DeviceAccess& devices, IPrompt* prompt, RunNoticeSink* notices,
                             View view)
    : m_thread(std::make_unique<CaptureThread>(store, conf, log, devices, prompt, notices,
                                               view == View::kShown)) {}

MonitoringRun::~MonitoringRun() = default;

double MonitoringRun::FinishedFraction() const {
    if (!m_thread || !m_thread->Finishing()) return 1.0;
    const uint64_t total = m_thread->BytesToWriteAtStop();
    if (total == 0) return 0.0;
    const uint64_t left = std::min(m_thread->BytesToWrite(), total);
    return static_cast<double>(total - left) / static_cast<double>(total);
}

std::string MonitoringRun::IndexPath() const {
    std::string folder = CaptureFolder();
    return folder.empty() ? "" : JoinPath(folder, IndexName());
}

int MonitoringRun::GetCaptureName(std::string& name) const {
    name = IndexName();
    return name.empty() ? kErrNotRunning : 0;
}

}  // namespace qv
