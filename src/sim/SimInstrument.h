// The emulated instrument as its USB peer sees it: identity, clock, state
// bits, the answer to every command, the memory card and the capture stream.
// The socket server (SimServer) hands it the transfers of every connection;
// it is safe to call from several threads.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "device/DeviceBackend.h"
#include "sim/CardMemory.h"
#include "sim/SimRun.h"

namespace qv::sim {

struct SimConfig {
    uint16_t productId = kProductQvS1;
    std::string serial = "00000001";
    uint16_t release = 0x0100;
    int64_t clockOffset = 0;  // seconds the instrument's clock is ahead of the computer's
    // >= 0: the clock stands still at this many seconds since 1970 (setting
    // it moves it there), so that runs of the same script come out the same
    // byte for byte whenever they are made.
    int64_t clockFixed = -1;
    // Seconds the monitoring clock (the one records, the run's start and stop
    // and time triggers go by) runs ahead of the built-in clock; setting the
    // clock sets both.
    int64_t monitorClockOffset = 0;
    bool acPower = true;
    bool cardInserted = true;
    bool cardFault = false;
    bool cardIndexDamaged = false;
    bool master = false;
    std::string cardFile;  // empty: a card in memory only
    uint32_t cardBlocks = CardMemory::kDefaultBlocks;
    SourceSelection source;
    bool rateMax = false;
    size_t bufferBytes = 8u << 20;  // stream bytes held before the buffer overflows
    bool accessDenied = false;      // refuses every open, as a device without permission
};

// Version words of the 72/1 query: the instrument, firmware and FPGA versions.
inline constexpr uint32_t kSimVersion = 0x01110000;
inline constexpr uint32_t kSimFirmware = 0x00010203;
inline constexpr uint32_t kSimFpga = 0x20240101;

class SimInstrument {
  public:
    explicit SimInstrument(SimConfig config);
    ~SimInstrument();

    DeviceDescriptors Descriptors() const;
    bool AccessDenied() const;

    // One transfer each; the result is a status of the socket wire.
    uint8_t Out(uint8_t endpoint, const uint8_t* data, size_t n, size_t& taken);
    // `requesterGone` says whether the program that asked has gone meanwhile:
    // a dead program's transfer takes nothing, as a host cancels a killed
    // process's transfers, so the next program's run loses none of its start.
    uint8_t In(uint8_t endpoint, size_t maxLength, unsigned timeoutMs, std::string& out,
               const std::function<bool()>& requesterGone = {});

    // While detached every waiting transfer ends at once with an error.
    void SetAttached(bool attached);

    // Seconds since 1970 on the instrument's built-in clock and on its
    // monitoring clock.
    uint32_t Clock() const;
    uint32_t MonitoringClock() const;
    uint32_t StateBits();
    // Stream items the computer has taken over endpoint 0x88.
    uint64_t ItemsSent();
    // Of those, the items that become records of the computer's capture.
    uint64_t RecordsSent();

  private:
    void Command(const uint8_t* p, size_t n);
    void Reply(uint8_t cmd, uint8_t sub, std::initializer_list<uint32_t> words,
               uint32_t status = 0);
    // False when the run's source cannot be opened: the instrument stays stopped.
    bool StartRun(RunMode mode);
    void StopRun();
    RunSetup Setup() const;
    uint32_t StateBitsLocked();
    uint64_t ItemsSentLocked();
    bool CardUsable() const;

    SimConfig m_cfg;
    CardMemory m_card;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_attached = true;
    std::deque<std::string> m_replies;  // answers waiting on endpoint 0x86
    int64_t m_clockOffset;
    int64_t m_clockFixed;
    int64_t m_monitorOffset;
    bool m_master;
    // Card block writes in progress: blocks still expected and the next address.
    uint32_t m_writeBlocks = 0;
    uint32_t m_writeAddress = 0;
    uint8_t m_writeCmd = 0, m_writeSub = 0;  // each block is answered as the command was
    // The configuration the computer sent, kept until the next run starts.
    std::array<uint32_t, 7> m_line{};
    std::array<uint32_t, 10> m_sampling{};
    std::array<std::array<uint8_t, 16>, 8> m_patterns{};
    std::array<std::array<uint8_t, 16>, 8> m_scopes{};
    std::array<std::array<uint32_t, 6>, 5> m_triggers{};
    std::array<uint32_t, 4> m_timers{};
    std::array<uint32_t, 4> m_counters{};
    uint32_t m_cardMode = 0;
    std::unique_ptr<SimRun> m_run;
    uint64_t m_itemsSentBefore = 0;  // by runs already ended
    uint64_t m_recordsSentBefore = 0;
};

}  // namespace qv::sim
