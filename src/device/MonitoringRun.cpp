#include "device/MonitoringRun.h"

#include "capture/ChunkData.h"
#include "core/FileUtil.h"

namespace qv {

MonitoringRun::MonitoringRun(SettingsStore& store, ViewConf& conf, Log& log, IPrompt* prompt,
                             RunNoticeSink* notices, View view)
    : m_thread(std::make_unique<CaptureThread>(store, conf, log, prompt, notices,
                                               view == View::kShown)) {}

MonitoringRun::~MonitoringRun() = default;

std::string MonitoringRun::IndexPath() const {
    std::string folder = CaptureFolder();
    return folder.empty() ? "" : JoinPath(folder, IndexName());
}

int MonitoringRun::SelectSlot(int slot, bool frozen) {
    m_selected = false;
    if (!m_thread || !m_thread->Decoding()) return kErrNotRunning;
    if (slot < 0 || slot >= kLiveRingSlots) return kQvrNoRecord;
    int rc = m_thread->LiveRecord(slot, m_row, frozen);
    m_selected = rc == 0;
    return rc;
}

int MonitoringRun::GetHeaderByte(uint8_t& header) const {
    if (!m_selected) return kErrNotRunning;
    header = m_row.header;
    return 0;
}

int MonitoringRun::GetDataByte(uint8_t& value) const {
    if (!m_selected) return kErrNotRunning;
    value = m_row.length > 0 && !m_row.data.empty() ? m_row.data[0] : m_row.value;
    return 0;
}

int MonitoringRun::GetRecordTime(std::string& text, uint64_t& ticks) const {
    if (!m_selected) return kErrNotRunning;
    text = m_row.endText;
    ticks = m_row.end;
    return 0;
}

int MonitoringRun::GetCounters(uint64_t& tr, uint64_t& sd, uint64_t& rd) const {
    if (!m_selected) return kErrNotRunning;
    tr = m_row.counts.records;
    sd = m_row.counts.sd;
    rd = m_row.counts.rd;
    return 0;
}

int MonitoringRun::GetCaptureName(std::string& name) const {
    name = IndexName();
    return name.empty() ? kErrNotRunning : 0;
}

}  // namespace qv
