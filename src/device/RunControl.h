// The state of one monitoring run and its control: Start (configure the
// instrument and open a capture), the read step that moves the capture stream
// into the decoder, Pause, Stop, the retrieval of a card run, and the reopening
// of an instrument that was unplugged. It holds no thread of its own;
// LiveRun calls the read step every 50 ms on the capture thread and the
// other operations from the user-interface thread. The read step only
// reads: it hands what it read to the writing side through a BlockQueue,
// whose thread decodes it into the capture (DecodeBlock) and, after a stop,
// finishes the capture (FinishCapture).
//
// A start asks the user questions and may show messages; it does so holding
// no lock, because the prompt may run an event loop in which the live views
// poll the run. The new capture becomes visible to them in one step under
// the state lock, and the run counts as running only once it is wholly set up.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "core/FileUtil.h"
#include "core/MessageText.h"
#include "device/BlockQueue.h"
#include "device/CaptureSession.h"
#include "device/DeviceAccess.h"
#include "device/DeviceCommand.h"
#include "settings/StatusSet.h"

namespace qv {

class Log;
class LiveStream;
class SettingsStore;
class IPrompt;

// Codes of Start and Pause beyond those of the capture files.
inline constexpr int kErrNoDeviceObject = -1;
inline constexpr int kErrStatusFile = -2;
inline constexpr int kErrNoWindow = -6;
inline constexpr int kErrNotRunning = -7;
inline constexpr int kErrCommand = -9;
inline constexpr int kErrCardWrite = -10;
inline constexpr int kErrAlreadyRunning = -18;
inline constexpr int kErrUnitNotFound = -22;
inline constexpr int kErrNotMonitoring = -23;  // the instrument refused the start
// Another run (of this program or another) records from the unit now.
inline constexpr int kErrUnitBusy = -24;

class RunControl {
  public:
    // `store` gives FrameMax and the clock, `saveFolder` the folder the
    // capture's own folder is made in, `log`
    // takes the failures; `devices` gives the device object and the unit to
    // open (taken once at each start); `prompt` answers the questions of a start (null:
    // every question is answered No);
    // `events` receives the decoder's reports to the main window;
    // `liveRing`: a view shows the run, so its decoder keeps the live ring.
    RunControl(SettingsStore& store, std::string saveFolder, Log& log, DeviceAccess& devices,
               IPrompt* prompt, RunNoticeSink* notices, bool liveRing);
    ~RunControl();

    // Both lock `stateMutex` only to publish the new capture, never while
    // the user is asked something.
    int Start(bool resume, std::mutex& stateMutex);
    int StartRetrieval(std::mutex& stateMutex);
    int Pause();
    // Stops the instrument and ends the reading: the block being filled is
    // handed over. Returns the clock of the stop, for FinishCapture. On the
    // capture thread.
    std::time_t StopReading(BlockQueue& queue);
    // After every block read has been decoded: closes the last chunk, names
    // the chunk files and writes the index. 0, or the index's failure code.
    // On the writing thread.
    int FinishCapture(std::time_t stopClock);
    // Stop in one go: StopReading, decoding what was read, FinishCapture.
    int Stop();
    // Stops a run the instrument keeps on its card (no capture here).
    void StopCardRun();
    // Writes what the chunk buffer holds once a second at most, while the
    // run is active (the writing thread).
    void FlushWhenDue();
    // One read step: read the stream into a block and hand the block over.
    // Called every 50 ms while the run is active, and at once again while it
    // returns true: the instrument still held more than one step takes, so
    // waiting would let its buffer fill on a busy line. Nothing is read while
    // the queue is full.
    bool ReadStep(BlockQueue& queue);
    // Decodes a block read from the instrument into the capture (the writing thread).
    void DecodeBlock(const StreamBlock& block) { m_session->DecodeBlock(block.bytes.get(), block.size); }
    // Plugging, from the device object's listener (any thread).
    void OnPlug(PlugEvent event);

    bool Running() const { return m_running; }
    bool KeepsLiveRing() const { return m_liveRing; }
    // A stream that also takes every decoded record of the runs from now on
    // (not with a live ring); null for none. Must outlive the runs.
    void SetStream(LiveStream* stream) { m_stream = stream; }
    LiveStream* Stream() const { return m_stream; }
    // The decoder of the run (valid while a capture exists, also after Stop
    // until the next Start).
    const CaptureSession* Session() const { return m_session.get(); }
    const std::string& CaptureFolder() const { return m_folder; }
    std::string IndexName() const { return m_indexName; }
    std::string ChunkName() const;
    uint64_t BytesRead() const { return m_bytesRead; }
    // Asks the instrument whether it holds anything, without a read that
    // would wait for it: true when it holds nothing (HeardUntil moves on),
    // false when a read step should follow.
    bool Probe();
    // When the latest read began that found the instrument holding nothing
    // more, with everything read until then handed over; the epoch before
    // any. Any thread.
    std::chrono::steady_clock::time_point HeardUntil() const {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(m_heardUntil.load()));
    }
    // The memory the blocks read and not yet written may take: the settings
    // store's ReadQueueMB, else a share of the machine's memory. Logged.
    size_t ReadQueueBytes();
    const MonitorSettings& Settings() const { return m_set.status.monitor; }
    const StatusSet& Status() const { return m_set; }

  private:
    // Takes the selected unit for this run; false when another run has it.
    bool TakeUnit();
    int StartOnUnit(std::mutex& stateMutex);
    int StartRetrievalOnUnit(std::mutex& stateMutex);
    int OpenUnit();
    int LoadAndConfigure(bool send);
    int OpenCapture(bool forceFix, std::mutex& stateMutex);
    std::time_t InstrumentClock();
    void Reopen();
    // Reads up to `want` bytes into the block being filled; false when the
    // transfer failed (the unit is reopened then) or brought nothing.
    // `got` (when given) takes the bytes read, or SIZE_MAX for a failure.
    bool Read(size_t want, size_t* got = nullptr);
    void HandOver(BlockQueue& queue);
    int Message(int code, const std::string& text);
    // Shows the message in the user's language and logs its Japanese.
    int Message(int code, MessageId id);

    SettingsStore& m_store;
    const std::string m_saveFolder;
    Log& m_log;
    DeviceAccess& m_devices;
    IPrompt* m_prompt;
    RunNoticeSink* m_notices;
    std::shared_ptr<UsbDevice> m_device;
    SelectedUnit m_unit;  // the unit the run was started on
    std::unique_ptr<DeviceCommand> m_cmd;
    std::unique_ptr<CaptureSession> m_session;
    StatusSet m_set;
    std::string m_folder, m_indexName;
    std::atomic<bool> m_running{false};
    // Held from a start until Stop: one run per unit, as a USB claim would
    // have it, whatever a start's questions are answered.
    BusyLock m_unitBusy;
    bool m_cardRun = false;  // the start left the instrument storing to its card
    bool m_liveRing;
    LiveStream* m_stream = nullptr;
    std::atomic<uint64_t> m_bytesRead{0};
    std::atomic<std::chrono::steady_clock::rep> m_heardUntil{0};
    std::unique_ptr<StreamBlock> m_block;  // being filled by the read steps
    std::chrono::steady_clock::time_point m_lastFlush;  // the writing thread's
    std::atomic<bool> m_arrived{false}, m_removed{false};
    bool m_reopening = false;  // a reopen found no unit: the loss is logged already
};

}  // namespace qv
