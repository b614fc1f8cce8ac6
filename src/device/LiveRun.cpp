#include "device/LiveRun.h"

#include <algorithm>
#include <chrono>

#include "core/FileUtil.h"
#include "core/Log.h"

namespace qv {

LiveRun::LiveRun(SettingsStore& store, Log& log, DeviceAccess& devices, LiveRunRequest request)
    : m_log(log),
      m_wnd(std::make_unique<RunControl>(store, std::move(request.saveFolder), log, devices,
                                         request.prompt, request.notices, request.shown)),
      m_queue(0) {
    m_wnd->SetStream(request.stream);
    m_reader = std::thread([this] { ReadLoop(); });
    m_writer = std::thread([this] { WriteLoop(); });
}

LiveRun::~LiveRun() {
    BeginStop();
    WaitFinished();
    m_quit = true;
    m_wake.notify_all();
    m_queue.Quit();
    if (m_reader.joinable()) m_reader.join();
    if (m_writer.joinable()) m_writer.join();
}

void LiveRun::ReadLoop() {
    bool backlog = false;
    while (!m_quit) {
        // A step that left data waiting in the instrument is followed at
        // once; a stream that waits to learn whether a message has ended
        // may ask for the next step sooner.
        bool asked = false;
        if (!backlog) {
            const auto stepEnd =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(kStepMs);
            std::unique_lock lock(m_wakeMutex);
            for (;;) {
                const auto due = std::min(stepEnd, m_readSoon);
                if (m_quit || m_stopAsked || std::chrono::steady_clock::now() >= due) break;
                m_wake.wait_until(lock, due);
            }
            // A read asked for later than this step stays asked for.
            asked = m_readSoon <= std::chrono::steady_clock::now();
            if (asked) m_readSoon = std::chrono::steady_clock::time_point::max();
        }
        if (m_quit) break;
        if (m_stopAsked.exchange(false)) {
            // The reading ends here; the writing thread finishes the capture
            // once it has written everything read before.
            m_stopClock = m_wnd->StopReading(m_queue);
            m_bytesAtStop = m_queue.QueuedBytes();
            m_log.Write("INF", "CommThread", __LINE__,
                        "stopped: " + std::to_string(m_bytesAtStop) + " bytes read to write, " +
                            std::to_string(m_queue.TimesFull()) + " steps found the queue full");
            m_queue.Close();
            backlog = false;
            continue;
        }
        // The stream's question is answered by a probe when the instrument
        // holds nothing: a read would wait for its transfer's timeout.
        if (asked && !m_stopAsked && m_wnd->Running() && m_wnd->Probe()) {
            backlog = false;
            continue;
        }
        backlog = m_wnd->Running() && m_wnd->ReadStep(m_queue);
    }
}

void LiveRun::WriteLoop() {
    using Clock = std::chrono::steady_clock;
    for (;;) {
        std::unique_ptr<StreamBlock> block;
        // Woken at least a few times a second, so that a quiet line's
        // records reach the disk within the flush interval; a stream is
        // woken often enough to end a message soon after the line fell idle.
        LiveStream* stream = m_wnd->Stream();
        const auto wait = std::chrono::milliseconds(stream ? LiveStream::kTickMs : 250);
        const BlockQueue::Got got = m_queue.Pop(block, wait);
        if (got == BlockQueue::Got::kQuit) break;
        const CaptureSession* session = m_wnd->Session();
        if (got == BlockQueue::Got::kTimedOut) {
            m_wnd->FlushWhenDue();
            if (stream) TickStream(*stream);
            continue;
        }
        if (got == BlockQueue::Got::kBlock) {
            const auto begin = Clock::now();
            if (stream) stream->BlockRead(block->lastRead);
            m_wnd->DecodeBlock(*block);
            m_wnd->FlushWhenDue();
            if (stream) TickStream(*stream);
            if (session) m_snapshot.Publish(*session);
            m_queue.Done(std::move(block),
                         std::chrono::duration<double>(Clock::now() - begin).count());
            continue;
        }
        const int rc = m_wnd->FinishCapture(m_stopClock);
        if (stream) stream->End();
        // The finish may still change the totals (a chunk that lost records
        // to a failed write) and ends a gap still open.
        if (session) m_snapshot.Publish(*session);
        {
            std::lock_guard lock(m_finishMutex);
            m_finishCode = rc;
            m_finishing = false;
        }
        m_finished.notify_all();
    }
}

void LiveRun::TickStream(LiveStream& stream) {
    // What the reads told counts only once every block read before has been
    // decoded: the time is taken first, so a block handed over before it
    // is seen still queued.
    const auto heard = m_wnd->HeardUntil();
    if (!m_queue.HasBlocks()) stream.Heard(heard);
    stream.Tick();
    const auto wanted = stream.ReadWanted();
    if (wanted == m_readAsked || wanted == std::chrono::steady_clock::time_point::max()) return;
    m_readAsked = wanted;  // asked once, so that failing reads are not hurried
    {
        std::lock_guard lock(m_wakeMutex);
        m_readSoon = std::min(m_readSoon, wanted);
    }
    m_wake.notify_all();
}

void LiveRun::Prepare() {
    m_queue.Reset(m_wnd->ReadQueueBytes());
    m_snapshot.Clear(m_wnd->KeepsLiveRing());
}

// A start runs on the caller's thread with no lock held while it asks its
// questions: the prompt may run an event loop in which the live views read
// the run through the accessors below. The read step is not disturbed either:
// it does nothing until the run reports itself running, which a start does
// last. Another Start, Pause or Stop arriving from inside that event loop is
// answered at once instead of waiting for the start that is still asking.
int LiveRun::Start() {
    if (m_finishing) return kErrAlreadyRunning;
    if (m_starting.exchange(true)) return kErrAlreadyRunning;
    int rc;
    if (m_paused) {
        m_paused = false;
        rc = m_wnd->Start(true, m_stateMutex);
    } else {
        if (!m_wnd->Running()) Prepare();
        rc = m_wnd->Start(false, m_stateMutex);
        Started(rc);
    }
    m_starting = false;
    return rc;
}

int LiveRun::StartRetrieval() {
    if (m_finishing) return kErrAlreadyRunning;
    if (m_starting.exchange(true)) return kErrAlreadyRunning;
    m_paused = false;
    if (!m_wnd->Running()) Prepare();
    int rc = m_wnd->StartRetrieval(m_stateMutex);
    Started(rc);
    m_starting = false;
    return rc;
}

// Carries out a Stop that arrived while the start was asking.
void LiveRun::Started(int rc) {
    if (!m_stopWhileStarting.exchange(false) || rc != 0) return;
    m_starting = false;
    BeginStop();
}

int LiveRun::Pause() {
    if (m_starting) return kErrNotRunning;
    int rc = m_wnd->Pause();
    if (rc == 0) {
        m_snapshot.Freeze();
        m_paused = true;
    }
    return rc;
}

int LiveRun::BeginStop() {
    if (m_starting) {
        m_stopWhileStarting = true;
        return 0;
    }
    m_paused = false;
    if (!m_wnd->Running()) {
        // A run on the instrument's card has no capture to finish here.
        if (!m_finishing) m_wnd->StopCardRun();
        return 0;
    }
    if (m_finishing.exchange(true)) return 0;
    m_stopAsked = true;
    m_wake.notify_all();
    return 0;
}

int LiveRun::WaitFinished() const {
    std::unique_lock lock(m_finishMutex);
    m_finished.wait(lock, [this] { return !m_finishing; });
    return m_finishCode;
}

int LiveRun::Stop() {
    if (m_starting) return BeginStop();
    const bool wait = m_wnd->Running() || m_finishing;
    BeginStop();
    return wait ? WaitFinished() : 0;
}

bool LiveRun::Running() const {
    return m_wnd->Running();
}

uint64_t LiveRun::RecordTotal(bool frozen) const {
    return frozen ? m_snapshot.FrozenTotal() : m_snapshot.Records();
}

bool LiveRun::RunStatus(StatusSet& out) const {
    std::lock_guard state(m_stateMutex);
    if (!m_wnd->Session()) return false;
    out = m_wnd->Status();
    return true;
}

int LiveRun::LiveRows(bool frozen, int first, int count, std::vector<LiveRow>& out) const {
    {
        std::lock_guard state(m_stateMutex);
        if (!m_wnd->Session()) {
            out.clear();
            return kErrNotRunning;
        }
    }
    return m_snapshot.Rows(frozen, first, count, out, m_log);
}

std::string LiveRun::CaptureFolder() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->CaptureFolder();
}
std::string LiveRun::IndexName() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->IndexName();
}
std::string LiveRun::ChunkName() const {
    std::lock_guard state(m_stateMutex);
    return m_wnd->ChunkName();
}

double LiveRun::FinishedFraction() const {
    if (!m_finishing) return 1.0;
    const uint64_t total = BytesToWriteAtStop();
    if (total == 0) return 0.0;
    const uint64_t left = std::min(BytesToWrite(), total);
    return static_cast<double>(total - left) / static_cast<double>(total);
}

std::string LiveRun::IndexPath() const {
    std::lock_guard state(m_stateMutex);
    const std::string folder = m_wnd->CaptureFolder();
    return folder.empty() ? "" : JoinPath(folder, m_wnd->IndexName());
}

int LiveRun::GetCaptureName(std::string& name) const {
    name = IndexName();
    return name.empty() ? kErrNotRunning : 0;
}

}  // namespace qv
