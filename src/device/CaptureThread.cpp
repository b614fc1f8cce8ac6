#include "device/CaptureThread.h"

#include "capture/CaptureReader.h"
#include "core/AppContext.h"
#include "core/TimeText.h"

namespace qv {

CaptureThread::CaptureThread(AppContext& cmn, IPrompt* prompt, IMonitorEvents* events)
    : m_cmn(cmn), m_wnd(std::make_unique<RunControl>(cmn, prompt, events)) {
    m_thread = std::thread([this] { Loop(); });
}

CaptureThread::~CaptureThread() {
    Stop();
    m_quit = true;
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CaptureThread::Loop() {
    while (!m_quit) {
        {
            std::unique_lock lock(m_wakeMutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(kStepMs),
                            [this] { return m_quit.load(); });
        }
        if (m_quit) break;
        std::lock_guard step(m_stepMutex);
        if (m_wnd->Running()) m_wnd->ReadStep(m_stateMutex);
    }
}

int CaptureThread::Start() {
    std::lock_guard step(m_stepMutex);
    if (m_paused) {
        m_paused = false;
        return m_wnd->Start(true);
    }
    std::lock_guard state(m_stateMutex);
    int rc = m_wnd->Start(false);
    TakeTiming();
    return rc;
}

int CaptureThread::StartRetrieval() {
    std::lock_guard step(m_stepMutex);
    std::lock_guard state(m_stateMutex);
    m_paused = false;
    int rc = m_wnd->StartRetrieval();
    TakeTiming();
    return rc;
}

// Live ASYNC characters show their start, a character time before the stamp.
void CaptureThread::TakeTiming() {
    const MonitorSettings& m = m_wnd->Settings();
    m_async = m.Protocol == kProtocolAsync;
    m_timing = AsyncCharTiming{m.SD_Baudrate, m.RD_Baudrate,  m.DataLen,      m.Parity,
                               m.StopBit,     m.SD_ClockRate, m.RD_ClockRate, m_cmn.GetFrequency()};
}

int CaptureThread::Pause() {
    std::lock_guard step(m_stepMutex);
    std::lock_guard state(m_stateMutex);
    int rc = m_wnd->Pause();
    if (rc == 0) m_paused = true;
    return rc;
}

int CaptureThread::Stop() {
    std::lock_guard step(m_stepMutex);
    std::lock_guard state(m_stateMutex);
    m_paused = false;
    return m_wnd->Stop();
}

bool CaptureThread::Running() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->Running();
}

uint64_t CaptureThread::RecordTotal(bool frozen) const {
    std::lock_guard state(m_stateMutex);
    if (frozen) return m_wnd->FrozenTotal();
    const StreamDecoder* d = m_wnd->Decoder();
    return d ? d->Totals().records : 0;
}

uint64_t CaptureThread::Total(int field) const {
    std::lock_guard state(m_stateMutex);
    const StreamDecoder* d = m_wnd->Decoder();
    if (!d) return 0;
    const CaptureTotals& t = d->Totals();
    if (field >= kCountSd && field <= kCountEvents) return t.kinds[field - kCountSd];
    if (field >= kCountBit7Changes && field <= kCountEventBit6Changes)
        return t.changes[field - kCountBit7Changes];
    return 0;
}

bool CaptureThread::BufferFull() const {
    std::lock_guard state(m_stateMutex);
    const StreamDecoder* d = m_wnd->Decoder();
    return d && d->BufferFull();
}

uint64_t CaptureThread::BytesRead() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->BytesRead();
}

bool CaptureThread::Decoding() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->Decoder() != nullptr;
}

int CaptureThread::LiveRecord(int i, LiveRow& out, bool frozen) const {
    std::lock_guard state(m_stateMutex);
    const StreamDecoder* d = m_wnd->Decoder();
    if (!d) return kErrNotRunning;
    const qv::LiveRecord* r = d->Ring().At(i, frozen);
    const CountTriple* c = d->Ring().TripleAt(i, frozen);
    if (!r || !c) return kQvrNoRecord;
    out.header = r->header;
    out.lineState = r->lineState;
    out.value = r->value;
    out.length = r->length;
    out.data = r->data;
    out.counts = *c;
    const int date = static_cast<int>(ParseLeadingInt(d->DateText()));
    int64_t start = static_cast<int64_t>(r->start);
    RecordKind kind = HeaderKind(r->header);
    if (m_async && IsDataKind(kind))
        start -= static_cast<int64_t>(m_timing.CharTicks(kind == RecordKind::kSdData));
    auto text = [&](int64_t t, uint64_t& value) {
        auto moved = NormaliseDayTime(date, t);
        if (!moved) {
            m_cmn.WriteLog("ERR", "CommThread", __LINE__, "CTimeコンストラクタＮＧ！");
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
