// Starting and finishing a capture on disk, the file side of a monitoring
// run: the capture folder named after the start time, the index with the
// settings of the run, the first chunk and the start time; at the end the last
// chunk, the final chunk names and the index entries. In between the decoded
// records reach the chunk files through Sink(). The monitoring run and
// `qvtool decode` share it, so a capture rebuilt from a stream dump is made
// exactly as a live one.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "capture/CaptureIndex.h"
#include "capture/ChunkSink.h"
#include "capture/ChunkWriter.h"
#include "core/FileUtil.h"
#include "core/RunNotice.h"
#include "settings/StatusSet.h"

namespace qv {

class Log;

// Codes of Start beyond -1.
inline constexpr int kErrTriggerWrite = -5;    // trigger 5 could not be written to the index
inline constexpr int kErrCaptureFolder = -19;  // the capture folder could not be made
inline constexpr int kErrCaptureFiles = -20;   // the index or the first chunk could not be made

struct CaptureStartInfo {
    std::string directory;       // the save folder the capture folder goes in
    std::time_t folderTime = 0;  // local time that names the folder (when Start was called)
    // The clock at the start (the instrument's, or the computer's): the index
    // StartTime until Stop replaces it with chunk 1's.
    std::time_t startClock = 0;
    StatusSet settings;     // monitor settings, triggers, options, display table
    uint64_t frameMax = 0;  // the settings store's FrameMax; FIX runs use 2 000 000 000
    uint64_t fileRecords = 50000;
    // The unit the run records, for the index's [RegistInfo].
    StatusUnit unit;
};

// "%04d%02d%02d%02d%02d%02d" of the local time: the capture folder's name.
std::string CaptureFolderName(std::time_t t);
// The date text (YYMMDD) and time of day (10 ns ticks) of a clock value.
void LocalDateAndTicks(std::time_t t, std::string& date, uint64_t& ticks);

class CaptureFiles {
  public:
    // `log` (which also shows failures through its prompt) and `notices` may be null.
    CaptureFiles(Log* log, RunNoticeSink* notices);
    ~CaptureFiles();
    CaptureFiles(const CaptureFiles&) = delete;
    CaptureFiles& operator=(const CaptureFiles&) = delete;

    // Makes the folder, the index with the run's settings and the first chunk,
    // and writes StartTime. The folder is the run's own: when a folder of the
    // start second exists (another run started in it), the next second names
    // it. Room for the final index rewrite is held back in a reserve file, so
    // that a full disk cannot keep the index from being written at Stop.
    // 0, -1, -5, -19 or -20 (the failure's message goes to the prompt and the
    // log as a monitoring start shows it).
    int Start(const CaptureStartInfo& info);

    // Where the decoded records of the run go.
    ChunkSink& Sink() { return m_sink; }
    const ChunkSink& Sink() const { return m_sink; }

    // Closes the last chunk, gives the chunks their final names and writes
    // EndTime (stop clock + 99 999 999 ticks, at most 24 h), FrameNum, the
    // chunk entries, the trigger records and StartTime of chunk 1, all in
    // one rewrite of the index. A last chunk without a record (the run
    // stopped right after a chunk switch or a new day) is removed. 0, or -1
    // when the index could not be written (the chunk files are named in any
    // case, and `qvtool recover` rebuilds the index from them).
    int Stop(std::time_t stopClock);

    bool Running() const { return m_running; }
    // The chunk files the finished capture keeps (its index lists them).
    uint64_t KeptChunks() const { return m_keptChunks; }
    const std::string& FolderPath() const { return m_folder; }
    const std::string& FolderName() const { return m_folderName; }
    std::string IndexPath() const;
    CaptureIndex& Index() { return m_index; }

  private:
    // Two runs never share a folder: this many later seconds are tried.
    static constexpr int kFolderTries = 1000;
    // Room per chunk entry and trigger record line, and for the rest.
    static constexpr uint64_t kEntryBytes = 192;
    static constexpr uint64_t kTriggerRecordBytes = 64;
    static constexpr uint64_t kReserveSlack = 16384;

    int Fail(int code, const std::string& message);
    std::string ReservePath() const;
    void ReserveIndexSpace();

    Log* m_log;
    ChunkWriter m_writer;
    ChunkSink m_sink;
    CaptureIndex m_index;
    // Held from Start to Stop: a run still going is not a killed one, and
    // recovery leaves its files alone.
    BusyLock m_runLock;
    std::string m_folder;
    std::string m_folderName;
    std::string m_startDate;  // YYMMDD of the start clock
    bool m_running = false;
    uint64_t m_keptChunks = 0;
};

}  // namespace qv
