#include "device/CaptureThread.h"

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/TimeText.h"

namespace qv {

CaptureThread::CaptureThread(SettingsStore& store, ViewConf& conf, Log& log, IPrompt* prompt,
                             RunNoticeSink* notices, bool liveRing)
    : m_log(log), m_wnd(std::make_unique<RunControl>(store, conf, log, prompt, notices, liveRing)) {
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

uint64_t CaptureThread::BytesRead() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->BytesRead();
}

bool CaptureThread::Decoding() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->Session() != nullptr;
}

bool CaptureThread::RunStatus(StatusSet& out) const {
    std::lock_guard state(m_stateMutex);
    if (!m_wnd->Session()) return false;
    out = m_wnd->Status();
    return true;
}

int CaptureThread::LiveRecord(int i, LiveRow& out, bool frozen) const {
    std::lock_guard state(m_stateMutex);
    const CaptureSession* d = m_wnd->Session();
    if (!d) return kErrNotRunning;
    const LiveRing* ring = d->Ring();
    if (!ring) return kQvrNoRecord;
    const qv::LiveRecord* r = ring->At(i, frozen);
    const CountTriple* c = ring->TripleAt(i, frozen);
    if (!r || !c) return kQvrNoRecord;
    out.header = r->header;
    out.lineState = r->lineState;
    out.value = r->value;
    out.length = r->length;
    out.data = r->data;
    out.counts = *c;
    const int date = static_cast<int>(ParseLeadingInt(d->Decoder().DateText()));
    const int64_t start =
        m_wnd->RecordStarts().Of(HeaderKind(r->header), static_cast<int64_t>(r->start));
    auto text = [&](int64_t t, uint64_t& value) {
        auto moved = NormaliseDayTime(date, t);
        if (!moved) {
            m_log.Write("ERR", "CommThread", __LINE__, "CTimeコンストラクタＮＧ！");
            value = t < 0 ? 0 : static_cast<uint64_t>(t);
            return FormatRecordTimeText(date, value);
        }
        value = moved->ticks;
        return FormatRecordTimeText(moved->date, moved->ticks);
    };
    out.startText = text(start, out.start);
    out.endText = text(static_cast<int64_t>(r->end), out.end);
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
