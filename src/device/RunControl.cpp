#include "device/RunControl.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "capture/LiveStream.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "device/CardRun.h"
#include "device/CommandEncoding.h"
#include "device/RunPrecheck.h"
#include "device/UnitList.h"
#include "settings/StatusFile.h"

namespace qv {

namespace {
constexpr size_t kFirstRead = 512;
constexpr uint32_t kBigRead = 0x100000;  // 1 MiB: the most one status-driven read takes
constexpr auto kFlushInterval = std::chrono::seconds(1);
}  // namespace

RunControl::RunControl(SettingsStore& store, std::string saveFolder, Log& log,
                       DeviceAccess& devices, IPrompt* prompt, RunNoticeSink* notices,
                       bool liveRing)
    : m_store(store),
      m_saveFolder(std::move(saveFolder)),
      m_log(log),
      m_devices(devices),
      m_prompt(prompt),
      m_notices(notices),
      m_liveRing(liveRing) {}

RunControl::~RunControl() {
    if (m_running) Stop();
    if (m_device) m_device->SetPlugListener({});
}

std::string RunControl::ChunkName() const {
    return m_session ? ChunkWriter::ChunkName(1) : std::string();
}

int RunControl::Message(int code, MessageId id) {
    if (m_prompt) m_prompt->ShowMessage(MessageText(id));
    m_log.Write("ERR", "MonitorWnd", __LINE__, MessageText(id, UiLanguage::kJapanese));
    return code;
}

int RunControl::Message(int code, const std::string& text) {
    if (m_prompt) m_prompt->ShowMessage(text);
    m_log.Write("ERR", "MonitorWnd", __LINE__, text);
    return code;
}

int RunControl::OpenUnit() {
    m_unit = m_devices.Selected();
    m_device = m_devices.DeviceOrNew();
    if (!m_device) return kErrNoDeviceObject;
    if (!FindUnit(*m_device, m_unit.Identity(), true)) return kErrUnitNotFound;
    m_cmd = std::make_unique<DeviceCommand>(m_device);
    m_device->SetPlugListener([this](PlugEvent e, const std::string&) { OnPlug(e); });
    return 0;
}

// Loads the unit's status file into the run's settings and, when `send`,
// configures the instrument from it. Stops at the first failure.
int RunControl::LoadAndConfigure(bool send) {
    const SelectedUnit& unit = m_unit;
    StatusFile status;
    if (status.OpenStatusFile(SettingsHome(unit)) != 0)
        return kErrStatusFile;
    LoadStatusSet(status, m_set, std::time(nullptr));
    if (!send) return 0;
    if (SendMonitorSettings(*m_cmd, m_set.status.monitor, m_set.status.sampling) != 0)
        return kErrCommand;
    if (SendTriggerOption(*m_cmd, m_set.option) != 0) return kErrCommand;
    int storing = 0;
    for (int n = 1; n <= 5; ++n) {
        const TriggerSetting& t = m_set.triggers[static_cast<size_t>(n - 1)];
        if (t.enabled && StartsStoring(t)) ++storing;
        if (SendTriggerSetting(*m_cmd, n, t) != 0) return kErrCommand;
    }
    if (storing == 0 &&
        (!m_prompt || !m_prompt->AskYesNo(MessageText(MessageId::kAskNoStoreTrigger))))
        return -1;
    return 0;
}

std::time_t RunControl::InstrumentClock() {
    // The monitoring time (reply word 1), not the built-in clock.
    uint32_t monitoring = 0, builtIn = 0;
    if (m_cmd && m_cmd->ReadClocks(monitoring, builtIn) == 0 && monitoring != 0)
        return static_cast<std::time_t>(monitoring);
    return std::time(nullptr);
}

// Makes the capture of the run. The session is built and started unlocked (a
// failure shows its message), then swapped in under `stateMutex`, so that the
// live accessors see either the previous capture or the new one, whole.
int RunControl::OpenCapture(bool forceFix, std::mutex& stateMutex) {
    if (forceFix) m_set.status.monitor.Memory = kMemoryFix;
    CaptureStartInfo info;
    info.directory = m_saveFolder;
    info.folderTime = std::time(nullptr);
    info.settings = m_set;
    info.frameMax = m_store.GetFrameMax();
    info.fileRecords =
        m_store.GetFileRecords() ? m_store.GetFileRecords() : SettingsStore::kFileRecords;
    info.unit = StatusUnit{m_unit.productId, m_unit.serial, m_unit.name};
    auto session = std::make_unique<CaptureSession>(&m_log, m_notices);
    session->KeepLiveRing(m_liveRing);
    // The start time is the instrument's when it answers: records carry its clock.
    info.startClock = InstrumentClock();
    if (int rc = session->Start(info); rc != 0) return rc;
    if (m_stream && !m_liveRing) {
        m_stream->Begin(info, session->IndexPath(), m_store.GetFrequency());
        session->Decoder().SetLiveSink(m_stream);
    }
    std::lock_guard lock(stateMutex);
    m_session = std::move(session);
    m_folder = m_session->FolderPath();
    m_indexName = m_session->FolderName() + ".qvr";
    m_bytesRead = 0;
    m_lastFlush = std::chrono::steady_clock::now();
    return 0;
}

bool RunControl::TakeUnit() {
    const SelectedUnit unit = m_devices.Selected();
    return m_unitBusy.TryTake(UnitStatusFilePath(unit.vendorId, unit.productId, unit.serial));
}

int RunControl::Start(bool resume, std::mutex& stateMutex) {
    if (resume) return m_running ? 0 : kErrNotRunning;
    // A run in progress is refused before anything reaches the instrument:
    // the pre-check would otherwise offer to stop our own run.
    if (m_running) return kErrAlreadyRunning;
    // So is another program's run on the unit: its pre-check's "stop it?"
    // answered Yes would take the stream from under that run.
    if (!TakeUnit()) return kErrUnitBusy;
    const int rc = StartOnUnit(stateMutex);
    if (!m_running) m_unitBusy.Release();
    return rc;
}

int RunControl::StartOnUnit(std::mutex& stateMutex) {
    m_store.Load();
    if (int rc = OpenUnit(); rc != 0) return rc;
    if (int rc = PrecheckInstrument(*m_cmd, m_prompt, std::time(nullptr)); rc != 0) return rc;
    if (int rc = LoadAndConfigure(true); rc != 0) return rc;

    const uint32_t saveDevice = m_set.status.monitor.SaveDevice;
    if (saveDevice == kSaveDeviceCf) {
        // The instrument stores the run on its card; nothing comes to the computer.
        int rc = StoreSettingsInCard(*m_cmd, SettingsHome(m_unit),
                                     m_set.status.monitor.Memory == kMemoryFix);
        if (rc == -1) return kErrCommand;
        if (rc != 0) return kErrCardWrite;
        m_cmd->Stop();
        // Whoever stops this run stops the card's run too: a window that
        // was opened for it must not leave the instrument storing.
        m_cardRun = true;
        return m_cmd->StartToCard();
    }
    if (saveDevice != kSaveDevicePc) return Message(-1, MessageId::kBadMonitorParameter);

    if (int rc = OpenCapture(false, stateMutex); rc != 0) return rc;
    m_cmd->Stop();
    int rc = m_cmd->StartToComputer();
    // An instrument that did not take the start (an emulated one whose ports
    // cannot be opened) is still stopped: the run fails rather than record
    // nothing, and its empty capture goes.
    uint32_t state = 0;
    if (rc == 0 && m_cmd->QueryState(state) == 0 && !(state & kStateMonitoring)) {
        m_session->Stop(InstrumentClock());
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
        m_log.Write("ERR", "MonitorWnd", __LINE__, "the instrument did not start monitoring");
        return kErrNotMonitoring;
    }
    m_running = true;
    return rc;
}

int RunControl::StartRetrieval(std::mutex& stateMutex) {
    if (m_running) return kErrAlreadyRunning;
    if (!TakeUnit()) return kErrUnitBusy;
    const int rc = StartRetrievalOnUnit(stateMutex);
    if (!m_running) m_unitBusy.Release();
    return rc;
}

int RunControl::StartRetrievalOnUnit(std::mutex& stateMutex) {
    m_store.Load();
    if (int rc = OpenUnit(); rc != 0) return rc;
    if (int rc = PrecheckInstrument(*m_cmd, m_prompt, std::time(nullptr)); rc != 0) return rc;
    if (CheckCard(*m_cmd, m_prompt, CardUse::kRetrieval) != 0) return -1;

    // The settings of the card run come back into the unit's status file, so
    // that the capture carries the settings it was made with.
    std::vector<uint8_t> block;
    if (m_cmd->ReadCardBlocks(kCardSettingsAddress, kCardSettingsBytes / 512, block) > 0) {
        size_t end = std::find(block.begin(), block.end(), uint8_t{0}) - block.begin();
        if (end > 0) {
            std::string path = SettingsHome(m_unit);
            FileLock lock(path);
            // Written over the start of the old file, which keeps any tail
            // beyond the new text, as the instrument's own tools expect.
            std::string content = ReadWholeFile(path).value_or(std::string());
            if (content.size() < end) content.resize(end);
            std::memcpy(content.data(), block.data(), end);
            WriteFileAtomically(path, content);
        }
    }
    if (int rc = LoadAndConfigure(false); rc != 0) return rc;
    if (int rc = OpenCapture(true, stateMutex); rc != 0) return rc;
    int rc = m_cmd->StartCardRetrieval();
    m_running = true;
    return rc;
}

size_t RunControl::ReadQueueBytes() {
    m_store.Load();
    const uint64_t mib = m_store.GetReadQueueMiB();
    const size_t bytes = mib ? static_cast<size_t>(mib) << 20 : DefaultReadQueueBytes();
    m_log.Write("INF", "CommThread", __LINE__,
                "read queue " + std::to_string(bytes >> 20) + " MiB" +
                    (mib ? " (ReadQueueMB)" : " (from the machine's memory)"));
    return bytes;
}

int RunControl::Pause() {
    return m_running && m_session ? 0 : kErrNotRunning;
}

std::time_t RunControl::StopReading(BlockQueue& queue) {
    if (m_cmd) m_cmd->Stop();
    m_running = false;
    HandOver(queue);
    return InstrumentClock();
}

int RunControl::FinishCapture(std::time_t stopClock) {
    const int rc = m_session ? m_session->Stop(stopClock) : 0;
    m_unitBusy.Release();
    return rc;
}

void RunControl::StopCardRun() {
    if (m_cardRun && m_cmd) m_cmd->Stop();
    m_cardRun = false;
}

int RunControl::Stop() {
    StopCardRun();
    if (!m_running) return 0;
    // Without a writing thread: whatever the block holds is decoded here.
    BlockQueue queue(2 * StreamBlock::kCapacity);
    const std::time_t clock = StopReading(queue);
    std::unique_ptr<StreamBlock> block;
    queue.Close();
    while (queue.Pop(block) == BlockQueue::Got::kBlock) {
        DecodeBlock(*block);
        queue.Done(std::move(block), 0);
    }
    return FinishCapture(clock);
}

void RunControl::Reopen() {
    // The failed transfer is logged whether or not the unit is back yet, but
    // once per loss: while it stays away every read step tries again.
    const bool log = !m_reopening;
    bool found = false;
    if (m_device) {
        m_device->Close();
        found = FindUnit(*m_device, m_unit.Identity(), true);
        if (log) m_log.Write("ERR", "MonitorWnd", __LINE__, "USBDevice Close -> Open.");
    } else {
        m_device = m_devices.CreateDevice();
        found = m_device && FindUnit(*m_device, m_unit.Identity(), true);
        if (log) m_log.Write("ERR", "MonitorWnd", __LINE__, "USBDevice Initialize -> Open.");
        m_cmd = std::make_unique<DeviceCommand>(m_device);
    }
    m_reopening = !found;
}

void RunControl::OnPlug(PlugEvent event) {
    (event == PlugEvent::kArrival ? m_arrived : m_removed) = true;
}

void RunControl::HandOver(BlockQueue& queue) {
    if (m_block) queue.Push(std::move(m_block));
}

bool RunControl::Read(size_t want, size_t* gotOut) {
    size_t got = std::min(want, m_block->FreeSize());
    TransferStatus st = m_device ? m_device->Transfer(kEpStream, m_block->FreeSpace(), got)
                                 : TransferStatus::kNoDevice;
    if (gotOut) *gotOut = SIZE_MAX;
    if (st == TransferStatus::kNoDevice || st == TransferStatus::kError) {
        Reopen();
        return false;
    }
    if (gotOut) *gotOut = got;
    if (got == 0) return false;
    m_block->size += std::min(got, m_block->FreeSize());
    m_block->lastRead = std::chrono::steady_clock::now();
    m_bytesRead += got;
    return true;
}

// A slow line takes minutes to fill the chunk buffer; what it holds reaches
// the disk at least once per kFlushInterval, so that a killed program or a
// power loss costs at most that much of the run. On the writing thread,
// between blocks and while it waits for one.
void RunControl::FlushWhenDue() {
    if (!m_running || !m_session) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastFlush < kFlushInterval) return;
    m_lastFlush = now;
    m_session->FlushBuffered();
}

bool RunControl::Probe() {
    if (!m_running || !m_session || !m_cmd || (m_device && !m_device->IsOpen())) return false;
    if (m_block && m_block->size > 0) return false;  // read bytes wait to be handed over
    const auto begun = std::chrono::steady_clock::now();
    uint32_t waiting = 0;
    if (m_cmd->QueryRunStatus(waiting) != 0 || waiting != 0) return false;
    m_heardUntil = begun.time_since_epoch().count();
    return true;
}

bool RunControl::ReadStep(BlockQueue& queue) {
    if (!m_running || !m_session) return false;
    if (m_removed.exchange(false) && m_device) m_device->Close();
    if (m_arrived.exchange(false) && m_device && !m_device->IsOpen()) Reopen();

    if (m_block && m_block->FreeSize() < kFirstRead) HandOver(queue);
    if (!m_block) m_block = queue.Take();
    if (!m_block) return false;  // the queue is full: the instrument holds the stream
    // What the writing side can take in good time; the rest stays in the
    // instrument's buffer.
    const size_t allowed = queue.Room(m_block->size);
    bool more = false;
    // Whether this step took all the instrument held when it began.
    bool emptied = false;
    auto begun = std::chrono::steady_clock::now();
    size_t first = SIZE_MAX;
    if (allowed >= kFirstRead && Read(kFirstRead, &first)) {
        // The instrument says how much more waits: take it in 512-byte
        // multiples, at most 1 MiB a step, and never more than the block
        // holds or the queue takes.
        uint32_t waiting = 0;
        const bool asked = m_cmd->QueryRunStatus(waiting) == 0;
        emptied = first < kFirstRead || (asked && waiting == 0);
        if (asked && waiting != 0) {
            const size_t room = std::min(m_block->FreeSize(), allowed - kFirstRead) / 512 * 512;
            const size_t want = waiting >= kBigRead + 1 ? kBigRead : waiting / 512 * 512;
            const size_t take = std::min(want, room);
            if (take > 0 && Read(take)) more = waiting > take + kFirstRead;
        }
    } else if (first == 0) {
        // Answered with nothing: the instrument had nothing until the answer.
        emptied = true;
        begun = std::chrono::steady_clock::now();
    }
    // A block goes over at once while the writing side waits for work, so
    // that the live views follow the line; while it is busy, small reads
    // gather in the block, so that a quiet line does not take a block a step.
    if (m_block && m_block->size > 0 &&
        (m_block->size >= StreamBlock::kCapacity / 2 || queue.WriterIdle()))
        HandOver(queue);
    // Told once everything read has been handed over.
    if (emptied && (!m_block || m_block->size == 0)) m_heardUntil = begun.time_since_epoch().count();
    return more;
}

}  // namespace qv
