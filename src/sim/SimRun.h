// One run of the emulated instrument: line events from a source, the
// instrument's triggers deciding when they are stored, the stream items they
// become, and where those go: a buffer the computer reads over endpoint 0x88,
// or the memory card. A retrieval run sends the card's stored stream instead.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/StreamItem.h"
#include "sim/CardMemory.h"
#include "sim/LineSource.h"
#include "sim/SimTriggers.h"
#include "traffic/StreamEncoder.h"

namespace qv::sim {

enum class RunMode { kToComputer, kToCard, kRetrieval };

// What the computer configured before the run, as command words.
struct RunSetup {
    std::array<uint32_t, 7> line{};
    TriggerSetup triggers;
    // The instrument's clock at the start: seconds since 1970, and the same
    // moment as local calendar day and ticks since local midnight.
    uint32_t startClock = 0;
    // The fraction of that second (0 for a clock that stands still), and the
    // steady clock at the same moment: live sources time their events from it.
    uint32_t startNanos = 0;
    std::chrono::steady_clock::time_point startSteady{};
};

// The line format the words of the line configuration command describe.
LineFormat DecodeLineConfig(const std::array<uint32_t, 7>& words);

class SimRun {
  public:
    struct Options {
        bool rateMax = false;  // as fast as the reader takes it
        size_t bufferBytes = 8u << 20;
    };

    // Opens the run's source (a source that cannot be opened says why in
    // SourceError()). `notify` is called (without locks held) when bytes
    // become available.
    SimRun(RunMode mode, RunSetup setup, const SourceSelection& source, Options options,
           CardMemory& card, std::function<void()> notify);
    // Starts the run's thread, unless the source failed.
    void Begin();
    ~SimRun();
    SimRun(const SimRun&) = delete;
    SimRun& operator=(const SimRun&) = delete;

    // State bits 1-0: 1 monitoring and waiting for a trigger, 3 storing.
    uint32_t RunBits() const { return m_storing ? 3u : 1u; }
    RunMode Mode() const { return m_mode; }
    // Stream bytes waiting to be read.
    uint32_t Waiting();
    // Takes up to `max` waiting bytes.
    size_t Take(uint8_t* out, size_t max);
    // Drops the bytes waiting (the control word does this).
    void Discard();
    // Whole items the computer has taken.
    uint64_t ItemsSent();
    // Of those, the items the computer's capture keeps as records.
    uint64_t RecordsSent();
    // Why the source could not start; empty when it did.
    const std::string& SourceError() const { return m_sourceError; }

  private:
    void Loop();
    // Hands the source's events over as their time comes, in batches: every
    // event due by the line clock at once, then a sleep until the next one
    // (a millisecond at least), so that a busy line costs no system call per
    // event.
    void PacedLoop();
    // As fast as the reader takes the bytes (or a live source gives events).
    void UnpacedLoop();
    void Retrieve();
    // Triggers and encodes one event, appending its items to `out`. A run to
    // the computer at the line's pace overflows when the bytes waiting (those
    // in the buffer, `waiting`, and those in `out`) reach the buffer size.
    void Handle(const LineEvent& ev, std::vector<uint8_t>& out, size_t waiting);
    // Carries out the actions of fired triggers at `ticks`; `linesBefore` is
    // the line state a chunk begun now starts with.
    void ApplyFires(const std::vector<TriggerFire>& fires, uint64_t ticks, uint8_t linesBefore,
                    std::vector<uint8_t>& out);
    void EnsureBegun(std::vector<uint8_t>& out, uint64_t ticks, uint8_t lines);
    void Emit(const std::vector<uint8_t>& bytes);
    // Sleeps until the line clock reaches `ticks`; false when stopped.
    bool WaitUntil(uint64_t ticks);
    // The line clock: ticks of day (counted from the first day) now.
    uint64_t LineClock() const;
    uint32_t ClockAt(uint64_t ticks) const;
    uint32_t ClockNow() const;

    RunMode m_mode;
    RunSetup m_setup;
    SourceSelection m_sourceSel;
    Options m_opt;
    CardMemory& m_card;
    std::function<void()> m_notify;
    std::string m_sourceError;
    LineFormat m_format;
    std::unique_ptr<ILineSource> m_source;
    TriggerEngine m_triggers;
    std::unique_ptr<StreamEncoder> m_encoder;
    uint64_t m_startTicks = 0;  // time of day of the start, 10 ns ticks
    StreamDate m_firstDay;
    std::chrono::steady_clock::time_point m_t0;
    uint8_t m_lines = 0;
    std::atomic<bool> m_storing{false};
    std::atomic<bool> m_stop{false};
    bool m_begun = false;
    bool m_overflow = false;
    // QVSIM_EMIT_LOG names a file that gets a line per batch handed to the
    // reader: the wall clock (ns since 1970) and the data characters handed
    // over so far, for measuring how soon they reach the computer's outputs.
    std::FILE* m_emitLog = nullptr;
    uint64_t m_dataEncoded = 0;

    std::mutex m_mutex;
    std::condition_variable m_space;  // the reader freed buffer space, or stop
    std::deque<uint8_t> m_buffer;
    // Counting the items the computer takes: the parser's pending bytes.
    std::vector<uint8_t> m_sentPartial;
    uint64_t m_sentFillerLeft = 0;
    uint64_t m_itemsSent = 0;
    uint64_t m_recordsSent = 0;
    bool m_dateSent = false, m_awaitLeading = false;
    void CountRecord(const StreamItem& it);
    std::thread m_thread;
};

}  // namespace qv::sim
