#include "device/MonitoringRun.h"

#include "capture/ChunkData.h"
#include "core/FileUtil.h"

namespace qv {

MonitoringRun::MonitoringRun(SettingsStore& store, ViewConf& conf, Log& log,
                             DeviceAccess& devices, IPrompt* prompt, RunNoticeSink* notices,
                             View view)
    : m_thread(std::make_unique<CaptureThread>(store, conf, log, devices, prompt, notices,
                                               view == View::kShown)) {}

MonitoringRun::~MonitoringRun() = default;

std::string MonitoringRun::IndexPath() const {
    std::string folder = CaptureFolder();
    return folder.empty() ? "" : JoinPath(folder, IndexName());
}

int MonitoringRun::GetCaptureName(std::string& name) const {
    name = IndexName();
    return name.empty() ? kErrNotRunning : 0;
}

}  // namespace qv
