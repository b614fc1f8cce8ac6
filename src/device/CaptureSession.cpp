#include "device/CaptureSession.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "core/CaptureIndexText.h"
#include "core/FileUtil.h"
#include "core/Prompt.h"
#include "core/AppContext.h"
#include "core/TimeText.h"

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

CaptureSession::CaptureSession(AppContext* cmn, IMonitorEvents* events)
    : m_cmn(cmn),
      m_writer(cmn),
      m_buffer(std::make_unique<ReceiveBuffer>()),
      m_decoder(std::make_unique<StreamDecoder>(m_writer, events, cmn)) {}

CaptureSession::~CaptureSession() = default;

std::string CaptureSession::IndexPath() const {
    return JoinPath(m_folder, m_folderName + ".qvr");
}

int CaptureSession::Fail(int code, const std::string& message) {
    if (m_cmn) {
        m_cmn->WriteLog("ERR", "MonitorWnd", __LINE__, message);
        if (IPrompt* prompt = m_cmn->GetPrompt()) prompt->ShowMessage(message);
    }
    return code;
}

int CaptureSession::Start(const CaptureStartInfo& info) {
    const MonitorSettings& monitor = info.settings.status.monitor;
    m_folderName = CaptureFolderName(info.folderTime);
    m_folder = JoinPath(info.directory, m_folderName);
    // One level only: a missing save folder is a failure, not something to make.
    if (!IsDirectory(m_folder) && ::mkdir(m_folder.c_str(), 0755) != 0 && errno != EEXIST)
        return Fail(kErrCaptureFolder,
                    info.directory + " に管理ファイルを作成することができませんでした.");

    DecoderConfig config;
    config.protocol = monitor.Protocol;
    config.memory = monitor.Memory;
    config.frameMax = monitor.Memory == kMemoryFix ? kFixFrameMax : info.frameMax;
    config.fileRecords = info.fileRecords;
    m_buffer->Clear();
    m_decoder->Reset(config);
    m_writer.SetFolder(m_folder);

    if (m_index.OpenIndex(IndexPath()) != 0) return kErrCaptureFiles;
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

    if (m_decoder->OpenFirstChunk() != 0) return kErrCaptureFiles;

    std::string date;
    uint64_t ticks = 0;
    LocalDateAndTicks(info.startClock, date, ticks);
    m_index.WriteStartTime(date, ticks);
    m_running = true;
    return 0;
}

int CaptureSession::Stop(std::time_t stopClock) {
    if (!m_running) return 0;
    m_running = false;
    StreamDecoder& dec = *m_decoder;
    dec.FinishRun();

    const ChunkTable& table = dec.Table();
    m_writer.FinalNames(table.OldestSlot(), table.Used());

    std::string date;
    uint64_t ticks = 0;
    LocalDateAndTicks(stopClock, date, ticks);

    m_index.BeginBatch();
    m_index.WriteEndTime(date, IndexEndTicks(ticks));
    m_index.WriteFrameNum(dec.Totals().records);
    for (uint64_t i = 0; i < table.Used(); ++i)
        if (m_index.WriteChunkEntry(table.Chronological(i), i + 1) != 0) break;
    const auto& triggers = dec.TriggerEvents();
    for (size_t i = 0; i < triggers.size(); ++i)
        if (m_index.WriteTriggerRecord(triggers[i], static_cast<int>(i + 1)) != 0) break;
    ChunkEntry first;
    if (m_index.ReadChunkEntry(1, first) == 0)
        m_index.WriteStartTime(DateFieldText(first.date), first.startTime);
    return m_index.EndBatch() == 0 ? 0 : -1;
}

}  // namespace qv
