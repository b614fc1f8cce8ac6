#include "export/RangeCopier.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capture/ChunkScan.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureFrame.h"
#include "core/FileUtil.h"
#include "core/TimeText.h"
#include "capture/CaptureIndex.h"
#include "capture/ChunkWriter.h"
#include "export/SaveRangeWalk.h"
#include "settings/MonitorSettings.h"

namespace qv {

int CopyIndexSettings(const std::string& sourceIndex, CaptureIndex& target) {
    CaptureIndex source;
    source.SetPath(sourceIndex);
    target.BeginBatch();
    int rc = 0;
    // Values are copied as text, so the copy carries them exactly as read,
    // words this version does not know included.
    auto copy = [&](std::string_view section, std::string_view key) {
        std::string value;
        if (source.ReadString(section, key, value) == 0 &&
            target.WriteString(section, key, value) != 0)
            rc = -1;
    };
    for (auto key : {"Product", "SerialNumber", "Alias"})
        copy(kRegistInfoSection, key);
    for (const MonitorKey& k : MonitorKeys())
        copy(k.section, k.key);
    for (int n = 1; n <= CaptureIndex::kIndexFormatRows; ++n)
        copy(CaptureIndex::kFormat, std::to_string(n));
    if (std::string zone; source.ReadTimeZone(zone) == 0 && target.WriteTimeZone(zone) != 0)
        rc = -1;
    if (target.EndBatch() != 0) rc = -1;
    return rc;
}

namespace {

bool SameDirectory(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string FolderOf(const std::string& indexPath) {
    const size_t slash = indexPath.find_last_of('/');
    return slash == std::string::npos ? "." : indexPath.substr(0, slash + 1);
}

// Removes the numbered chunk files ("%09d.qvd") a folder holds.
void RemoveNumberedChunks(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name.size() != 13 || !name.ends_with(ChunkWriter::kChunkExtension)) continue;
        if (name.substr(0, 9).find_first_not_of("0123456789") != std::string_view::npos) continue;
        ::unlink(JoinPath(folder, name).c_str());
    }
    ::closedir(dir);
}

}  // namespace

void DiscardCopy(const std::string& folder, bool madeFolder) {
    ::unlink(CaptureIndexPathOf(folder).c_str());
    RemoveNumberedChunks(folder);
    if (madeFolder) ::rmdir(folder.c_str());  // only when empty
}

CopyTarget CheckCopyTarget(const std::string& sourceIndex, const std::string& folder,
                           bool overwrite) {
    if (SameDirectory(FolderOf(sourceIndex), folder)) return CopyTarget::kSourceFolder;
    if (!overwrite && (PathExists(CaptureIndexPathOf(folder)) ||
                       PathExists(JoinPath(folder, ChunkWriter::FinalChunkName(1)))))
        return CopyTarget::kHoldsCapture;
    return CopyTarget::kFree;
}

RangeCopier::RangeCopier(CaptureReader& file, std::string folder, uint64_t fileRecords)
    : m_file(file), m_folder(std::move(folder)), m_fileRecords(fileRecords) {}

RangeCopier::~RangeCopier() = default;

bool RangeCopier::OpenChunk(const char* date, uint8_t lineState) {
    ++m_chunk;
    m_writer->SetChunkName(ChunkWriter::FinalChunkName(m_chunk));
    m_entry = {};
    std::copy(date, date + kDateFieldSize, m_entry.date);
    m_entryOpen = true;
    // The counting starts from the line state in force at the chunk start,
    // the one its leading record carries: a chunk's change counters must
    // never miss a change, or the type searches would pass over the chunk.
    m_prevLine = lineState;
    m_eventBefore = m_prevEvent;
    if (m_writer->OpenChunk() != 0) return false;
    uint8_t lead[kShortRecordSize];
    EncodeRotatedLeadingRecord(lead, lineState);
    return m_writer->Append(lead, sizeof lead) == 0;
}

bool RangeCopier::EndChunk() {
    if (!m_entryOpen) return true;
    m_entryOpen = false;
    bool ok = m_writer->FlushAndClose() == 0;
    if (!ok || m_writeFailed) {
        // A failed write lost what the buffer held: the entry and the total
        // count what the file holds, not what was sent to it.
        ChunkScan scan;
        const uint64_t counted = m_entry.RecordCount();
        if (!ScanChunkFile(JoinPath(m_folder, ChunkWriter::FinalChunkName(m_chunk)),
                           m_file.GetProtocol(), m_eventBefore, scan)) {
            // No file was made: no entry may name it.
            m_frames -= std::min(m_frames, counted);
            return false;
        }
        ChunkEntry disk = scan.entry;
        std::copy(m_entry.date, m_entry.date + kDateFieldSize, disk.date);
        if (disk.RecordCount() == 0) disk.startTime = m_entry.startTime;
        m_frames -= std::min(m_frames, counted - std::min(counted, disk.RecordCount()));
        m_entry = disk;
        ok = false;
    }
    if (m_index->WriteChunkEntry(m_entry, m_chunk) != 0) ok = false;
    return ok;
}

SaveReport RangeCopier::Run(const DayTime& a, const DayTime& b, ISaveReport* sink,
                            const std::atomic<bool>& cancel) {
    SaveRange range;
    if (!CheckSaveRange(m_file, a, b, range)) return SaveReport::kStartRefused;
    if (CheckCopyTarget(m_file.GetIndexPath(), m_folder, m_overwrite) != CopyTarget::kFree)
        return SaveReport::kStartRefused;
    if (m_overwrite) RemoveNumberedChunks(m_folder);
    if (!IsDirectory(m_folder)) m_madeFolder = true;
    // From here on a refusal takes back whatever the copy made: "nothing was
    // saved" must be true of the folder too.
    auto refuse = [this] {
        if (m_writer) m_writer->FlushAndClose();
        m_writer.reset();
        m_index.reset();
        DiscardCopy(m_folder, m_madeFolder);
        m_discarded = true;
        m_frames = m_chunk = 0;
        return SaveReport::kStartRefused;
    };
    m_indexPath = CaptureIndexPathOf(m_folder);
    m_index = std::make_unique<CaptureIndex>();
    m_index->SetPath(m_indexPath);
    if (m_index->CreateNew() != 0 || CopyIndexSettings(m_file.GetIndexPath(), *m_index) != 0 ||
        m_index->WriteFilterFlag(1) != 0)
        return refuse();
    m_writer = std::make_unique<ChunkWriter>();
    m_writer->SetFolder(m_folder);
    // The first chunk file is made before anything is read, so that a folder
    // that takes no files is refused at once.
    m_writer->SetChunkName(ChunkWriter::FinalChunkName(1));
    if (m_writer->OpenChunk() != 0) return refuse();

    SaveRangeWalk walk(m_file);
    if (!walk.Begin(range, true, sink)) return refuse();

    uint8_t lastLine = 0;
    bool first = true;
    IndexTime firstTime;
    char lastDate[kDateFieldSize] = {};
    uint64_t lastEnd = 0;
    SaveReport r = walk.Run(cancel, [&](const SaveRecord& rec) {
        const CaptureFrame& frame = rec.frame;
        const auto& date = rec.chunk.date;  // the date field of the record's chunk
        const RecordKind kind = frame.Kind();
        if (first) {
            // The state in force before the first record: its own unless it
            // is a line change, which brings a new one.
            lastLine = frame.LineState();
            if (kind == RecordKind::kLineChange && m_file.PrevRecord() == kQvrOk) {
                m_file.GetLineState(lastLine);
                m_file.NextRecord();
            }
            m_writer->FlushAndClose();  // the empty file made at the start
            m_chunk = 0;
            if (!OpenChunk(date, lastLine)) {
                m_writeFailed = true;
                return false;
            }
            firstTime = {std::string(DateFieldText(date)), frame.StartTicks()};
            first = false;
        } else if (m_entry.RecordCount() >= m_fileRecords ||
                   DateTextNumber(DateFieldText(m_entry.date)) != rec.date) {
            // A full chunk, or a new date: a chunk holds the records of one
            // date only, since its records carry no date of their own.
            if (!EndChunk() || !OpenChunk(date, lastLine)) {
                m_writeFailed = true;
                return false;
            }
        }
        if (m_entry.RecordCount() == 0) m_entry.startTime = frame.StartTicks();

        auto raw = frame.RawHeader();
        int wrc = m_writer->Append(raw.data(), raw.size());
        if (wrc == 0 && frame.IsFrameRecord() && frame.DataLength() > 0)
            wrc = m_writer->Append(frame.Data().data(), frame.Data().size());
        if (wrc != 0) {
            m_writeFailed = true;
            return false;
        }
        switch (kind) {
            case RecordKind::kSdData:
                ++m_entry.sdRecords;
                break;
            case RecordKind::kRdData:
                ++m_entry.rdRecords;
                break;
            case RecordKind::kLineChange:
                m_entry.CountLineChange(m_prevLine, frame.Value());
                m_prevLine = frame.Value();
                break;
            case RecordKind::kEvent:
                m_entry.CountEvent(m_prevEvent, frame.Value());
                m_prevEvent = frame.Value();
                break;
        }
        lastLine = frame.LineState();
        std::copy(date, date + kDateFieldSize, lastDate);
        lastEnd = frame.EndTicks();
        ++m_frames;
        return true;
    });

    // Every ending leaves a readable capture of what was copied, unless the
    // caller wants a failed write to leave nothing.
    if (m_writer->IsOpen() && m_chunk == 0) m_writer->FlushAndClose();  // nothing copied
    if (!EndChunk()) {
        m_writeFailed = true;
        r = SaveReport::kFailed;
    }
    m_index->BeginBatch();
    if (m_frames > 0) {
        m_index->WriteStartTime(firstTime.date, firstTime.ticks);
        m_index->WriteEndTime(DateFieldText(lastDate), lastEnd);
    }
    m_index->WriteFrameNum(m_frames);
    if (m_index->EndBatch() != 0) {
        m_writeFailed = true;
        r = SaveReport::kFailed;
    }
    if (r == SaveReport::kFailed && m_writeFailed && m_discardOnFailure) {
        m_writer.reset();
        m_index.reset();
        DiscardCopy(m_folder, m_madeFolder);
        m_discarded = true;
    }
    return r;
}

}  // namespace qv
