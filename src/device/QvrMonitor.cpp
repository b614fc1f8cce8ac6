#include "device/QvrMonitor.h"

#include "core/FileUtil.h"

namespace qv {

CQvrMonitor::CQvrMonitor(CQvrCmn& cmn, IPrompt* prompt, IMonitorEvents* events)
    : m_thread(std::make_unique<CCommThread>(cmn, prompt, events)) {}

CQvrMonitor::~CQvrMonitor() = default;

std::string CQvrMonitor::IndexPath() const {
    std::string folder = CaptureFolder();
    return folder.empty() ? "" : JoinPath(folder, IndexName());
}

}  // namespace qv
