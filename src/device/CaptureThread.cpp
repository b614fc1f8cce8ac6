#include "device/CaptureThread.h"

#include <algorithm>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/TimeText.h"

namespace qv {

CaptureThread::CaptureThread(SettingsStore& store, ViewConf& conf, Log& log,
                             DeviceAccess& devices, IPrompt* prompt, RunNoticeSink* notices,
                             bool liveRing)
    : m_log(log),
      m_wnd(std::make_unique<RunControl>(store, conf, log, devices, prompt, notices, liveRing)) {
    m_thread = std::thread([this] { Loop(); });
}

CaptureThread::~CaptureThread() {
    Stop();
    m_quit = true;
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CaptureThread::Loop() {
    bool backlog = false;
    while (!m_quit) {
        // A step that left data waiting in the instrument is followed at once;
        // the step lock is released in between so Pause and Stop get in.
        if (!backlog) {
            std::unique_lock lock(m_wakeMutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(kStepMs),
                            [this] { return m_quit.load(); });
        }
        if (m_quit) break;
        std::lock_guard step(m_stepMutex);
        backlog = m_wnd->Running() && m_wnd->ReadStep(m_stateMutex);
    }
}

// A start runs on the caller's thread with no lock held while it asks its
// questions: the prompt may run an event loop in which the live views read
// the run through the accessors below. The read step is not disturbed either:
// it does nothing until the run reports itself running, which a start does
// last. Another Start, Pause or Stop arriving from inside that event loop is
// answered at once instead of waiting for the start that is still asking.
int CaptureThread::Start() {
    if (m_starting.exchange(true)) return kErrAlreadyRunning;
    int rc;
    if (m_paused) {
        std::lock_guard step(m_stepMutex);
        m_paused = false;
        rc = m_wnd->Start(true, m_stateMutex);
    } else {
        rc = m_wnd->Start(false, m_stateMutex);
        Started(rc);
    }
    m_starting = false;
    return rc;
}

int CaptureThread::StartRetrieval() {
    if (m_starting.exchange(true)) return kErrAlreadyRunning;
    m_paused = false;
    int rc = m_wnd->StartRetrieval(m_stateMutex);
    Started(rc);
    m_starting = false;
    return rc;
}

// Carries out a Stop that arrived while the start was asking.
void CaptureThread::Started(int rc) {
    if (!m_stopWhileStarting.exchange(false) || rc != 0) return;
    std::lock_guard step(m_stepMutex);
    std::lock_guard state(m_stateMutex);
    m_wnd->Stop();
}

int CaptureThread::Pause() {
    if (m_starting) return kErrNotRunning;
    std::lock_guard step(m_stepMutex);
    std::lock_guard state(m_stateMutex);
    int rc = m_wnd->Pause();
    if (rc == 0) m_paused = true;
    return rc;
}

int CaptureThread::Stop() {
    if (m_starting) {
        m_stopWhileStarting = true;
        return 0;
    }
    std::lock_guard step(m_stepMutex);
    std::lock_guard state(m_stateMutex);
    m_paused = false;
    return m_wnd->Stop();
}

bool CaptureThread::Running() const {
    return m_wnd->Running();
}

uint64_t CaptureThread::RecordTotal(bool frozen) const {
    std::lock_guard state(m_stateMutex);
    if (frozen) return m_wnd->FrozenTotal();
    const CaptureSession* d = m_wnd->Session();
    return d ? d->Capture().Totals().records : 0;
}

uint64_t CaptureThread::Total(int field) const {
    std::lock_guard state(m_stateMutex);
    const CaptureSession* d = m_wnd->Session();
    if (!d) return 0;
    const CaptureTotals& t = d->Capture().Totals();
    if (field >= kCountSd && field <= kCountEvents) return t.kinds[field - kCountSd];
    if (field >= kCountBit7Changes && field <= kCountEventBit6Changes)
        return t.changes[field - kCountBit7Changes];
    return 0;
}

bool CaptureThread::BufferFull() const {
    std::lock_guard state(m_stateMutex);
    const CaptureSession* d = m_wnd->Session();
    return d && d->Decoder().BufferFull();
}

uint64_t CaptureThread::WriteFailures() const {
    std::lock_guard state(m_stateMutex);
    const CaptureSession* d = m_wnd->Session();
    return d ? d->Capture().WriteFailures() : 0;
}

uint64_t CaptureThread::BytesRead() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->BytesRead();
}

bool CaptureThread::RunStatus(StatusSet& out) const {
    std::lock_guard state(m_stateMutex);
    if (!m_wnd->Session()) return false;
    out = m_wnd->Status();
    return true;
}

int CaptureThread::LiveRows(bool frozen, int first, int count, std::vector<LiveRow>& out) const {
    out.clear();
    std::lock_guard state(m_stateMutex);
    const CaptureSession* d = m_wnd->Session();
    if (!d) return kErrNotRunning;
    const LiveRing* ring = d->Ring();
    if (!ring || first < 0 || first >= LiveRing::kSlots) return kQvrNoRecord;
    const int end = std::min(ring->Count(frozen), first + std::max(count, 0));
    if (end > first) out.reserve(static_cast<size_t>(end - first));
    const int date = static_cast<int>(ParseLeadingInt(d->Decoder().DateText()));
    for (int i = first; i < end; ++i) {
        const int slot = ring->SlotOfOldest(i, frozen);
        const qv::LiveRecord& r = *ring->At(slot, frozen);
        const CountTriple& c = *ring->TripleAt(slot, frozen);
        LiveRow row;
        row.header = r.header;
        row.value = r.value;
        row.tr = c.records;
        row.sd = c.sd;
        row.rd = c.rd;
        // The end time moved into the day it falls in, as the stored
        // capture will show it.
        const int64_t ticks = static_cast<int64_t>(r.end);
        if (auto moved = NormaliseDayTime(date, ticks)) {
            row.time = *moved;
        } else {
            m_log.Write("ERR", "CommThread", __LINE__, "CTimeコンストラクタＮＧ！");
            row.time = DayTime{date, ticks < 0 ? 0 : static_cast<uint64_t>(ticks)};
        }
        out.push_back(row);
    }
    return 0;
}

std::string CaptureThread::CaptureFolder() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->CaptureFolder();
}
std::string CaptureThread::IndexName() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->IndexName();
}
std::string CaptureThread::ChunkName() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->ChunkName();
}

}  // namespace qv
