#include "capture/CaptureFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "capture/CaptureIndexText.h"
#include "capture/CaptureRecovery.h"
#include "capture/RecordTime.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/NumberText.h"
#include "core/TimeText.h"
#include "core/TimeZone.h"

namespace qv {

std::string CaptureFolderName(std::time_t t) {
    struct tm local {};
    localtime_r(&t, &local);
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return name;
}

void LocalDateAndTicks(std::time_t t, std::string& date, uint64_t& ticks) {
    struct tm local {};
    localtime_r(&t, &local);
    date = FormatDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).value_or("");
    ticks = FieldsToTicks(local.tm_hour, local.tm_min, local.tm_sec, 0, 0, 0);
}

CaptureFiles::CaptureFiles(Log* log, RunNoticeSink* notices)
    : m_log(log), m_writer(log), m_sink(m_writer, notices, log) {}

CaptureFiles::~CaptureFiles() = default;

std::string CaptureFiles::IndexPath() const {
    return JoinPath(m_folder, m_folderName + ".qvr");
}

int CaptureFiles::Fail(int code, const std::string& message) {
    if (m_log) m_log->Write("ERR", "MonitorWnd", __LINE__, message, true);
    return code;
}

int CaptureFiles::Start(const CaptureStartInfo& info) {
    const MonitorSettings& monitor = info.settings.status.monitor;
    // One level only: a missing save folder is a failure, not something to
    // make. The folder must be new: one that exists already (another run's
    // that started in the same second, or one planted in a shared save folder)
    // is never written into; the run takes the next second's name instead.
    std::time_t named = info.folderTime;
    for (int tries = 0;; ++tries, ++named) {
        m_folderName = CaptureFolderName(named);
        m_folder = JoinPath(info.directory, m_folderName);
        if (MakeDirectoryExclusive(m_folder, 0755) == 0) break;
        if (errno != EEXIST || tries >= kFolderTries)
            return Fail(kErrCaptureFolder,
                        info.directory + " に管理ファイルを作成することができませんでした.");
    }

    ChunkConfig config;
    // An unknown code is read as ASYNC, whose 4-byte layout it gets anyway.
    config.protocol = ProtocolFromCode(monitor.Protocol).value_or(Protocol::kAsync);
    config.memory = monitor.Memory;
    config.frameMax = monitor.Memory == kMemoryFix ? kFixFrameMax : info.frameMax;
    config.fileRecords = info.fileRecords;
    m_sink.Reset(config);
    m_writer.SetFolder(m_folder);

    m_runLock.TryTake(IndexPath());  // a fresh folder: nobody else holds it
    if (m_index.OpenIndex(IndexPath()) != 0) return kErrCaptureFiles;
    m_index.SetUnit(info.unit);
    // The settings of the run, in one rewrite of the index.
    m_index.BeginBatch();
    m_index.WriteMonitorStatus(monitor, info.settings.status.sampling, info.settings.status.sync);
    m_index.WriteTriggerOption(info.settings.option);
    int triggerRc = 0;
    for (int n = 1; n <= kTriggerCount; ++n)
        triggerRc = m_index.WriteTrigger(info.settings.triggers[n - 1], n);
    m_index.WriteFormatTable(info.settings.format, kFormatRows);
    const int batchRc = m_index.EndBatch();
    if (triggerRc != 0 || batchRc != 0) return kErrTriggerWrite;

    ReserveIndexSpace();
    if (m_sink.OpenFirstChunk() != 0) {
        m_writer.DropIndexReserve();
        return kErrCaptureFiles;
    }

    std::string date;
    uint64_t ticks = 0;
    LocalDateAndTicks(info.startClock, date, ticks);
    m_startDate = date;
    m_index.WriteStartTime(date, ticks);
    // The instrument's clock follows this computer's, so its times are in
    // this machine's zone: kept, so that they mean the same instants wherever
    // the capture is read.
    if (auto zone = TimeZone::LocalName()) m_index.WriteTimeZone(*zone);
    m_running = true;
    return 0;
}

std::string CaptureFiles::ReservePath() const {
    return JoinPath(m_folder, kIndexReserveName);
}

void CaptureFiles::ReserveIndexSpace() {
    // What the index grows by at Stop, on top of what it holds now: the
    // trigger records, and one entry for each chunk the run opens.
    struct stat st {};
    const uint64_t now =
        ::stat(IndexPath().c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    // A run on a disk too full for the reserve still runs; only its index
    // rewrite is no longer certain (and falls back to writing in place).
    m_writer.SetIndexReserve(ReservePath(),
                             now + kMaxTriggerEvents * kTriggerRecordBytes + kReserveSlack,
                             kEntryBytes);
}

int CaptureFiles::Stop(std::time_t stopClock) {
    if (!m_running) return 0;
    m_running = false;
    m_sink.FinishRun();

    std::string date;
    uint64_t ticks = 0;
    LocalDateAndTicks(stopClock, date, ticks);
    // An overflow the stream never recovered from lost everything up to the stop.
    m_sink.EndGaps(DateTextNumber(date), ticks);

    const ChunkTable& table = m_sink.Table();
    // A last chunk without a record gives readers nothing to land on.
    uint64_t keep = table.Used();
    if (keep > 1 && table.Chronological(keep - 1).RecordCount() == 0) --keep;
    m_writer.FinalNames(table.OldestSlot(), table.Used(), keep);
    m_keptChunks = keep;

    // The reserve's space is what the rewrite below needs on a full disk.
    m_writer.DropIndexReserve();
    m_index.BeginBatch();
    m_index.WriteEndTime(date, IndexEndTicks(ticks));
    uint64_t records = 0;
    for (uint64_t i = 0; i < keep; ++i) {
        ChunkEntry entry = table.Chronological(i);
        // A run that never saw a date item dates its chunks by its start.
        if (!IsValidDateText(DateFieldText(entry.date))) SetDateField(entry.date, m_startDate);
        records += entry.RecordCount();
        if (m_index.WriteChunkEntry(entry, i + 1) != 0) break;
    }
    m_index.WriteFrameNum(records);
    // Trigger records are numbered without a gap, since readers stop at the
    // first absent one; a time past 24 h (no date item came at midnight) is
    // carried into the following day.
    int written = 0;
    for (TriggerEvent ev : m_sink.TriggerEvents()) {
        if (ev.time > kTicksPerDay) {
            const int day = DateTextNumber(DateFieldText(ev.date));
            if (auto moved = NormaliseDayTime(day, static_cast<int64_t>(ev.time))) {
                char text[8];
                std::snprintf(text, sizeof text, "%06d", moved->date);
                SetDateField(ev.date, text);
                ev.time = moved->ticks;
            }
        }
        if (m_index.WriteTriggerRecord(ev, written + 1) == 0) ++written;
    }
    ChunkEntry first;
    if (m_index.ReadChunkEntry(1, first) == 0 && IsValidDateText(DateFieldText(first.date)))
        m_index.WriteStartTime(DateFieldText(first.date), first.startTime);
    const int rc = m_index.EndBatch() == 0 ? 0 : -1;
    m_runLock.Release();
    return rc;
}

}  // namespace qv
