#include "capture/CaptureRecovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <vector>

#include "capture/CaptureIndex.h"
#include "capture/CaptureIndexText.h"
#include "capture/ChunkScan.h"
#include "capture/ChunkWriter.h"
#include "capture/RecordTime.h"
#include "core/FileUtil.h"
#include "core/TimeText.h"
#include "settings/MonitorSettings.h"

namespace qv {

namespace {

struct FolderChunks {
    std::map<uint64_t, std::string> temporary;  // slot -> name
    std::map<uint64_t, std::string> numbered;   // chunk number -> name
    std::vector<std::string> foreign;  // chunk names that are not regular files
    bool reserve = false;
};

bool NineDigits(std::string_view s, uint64_t& n) {
    if (s.size() != 9 || s.find_first_not_of("0123456789") != std::string_view::npos) return false;
    n = std::stoull(std::string(s));
    return n > 0;
}

std::string FolderOf(const std::string& indexPath) {
    const size_t slash = indexPath.find_last_of('/');
    return slash == std::string::npos ? "./" : indexPath.substr(0, slash + 1);
}

FolderChunks ListChunks(const std::string& folder) {
    FolderChunks out;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return out;
    const std::string_view ext = ChunkWriter::kChunkExtension;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        uint64_t n = 0;
        if (name == kIndexReserveName) out.reserve = true;
        if (!name.ends_with(ext)) continue;
        const std::string_view stem = name.substr(0, name.size() - ext.size());
        const bool temporary = stem.size() == 10 && stem[0] == 't' && NineDigits(stem.substr(1), n);
        if (!temporary && !NineDigits(stem, n)) continue;
        // A link (or anything but a file) in a chunk's place is not the
        // run's: cutting or renaming it would change what it points to.
        if (!IsRegularFileNoFollow(JoinPath(folder, name)))
            out.foreign.emplace_back(name);
        else if (temporary)
            out.temporary[n] = std::string(name);
        else
            out.numbered[n] = std::string(name);
    }
    ::closedir(dir);
    return out;
}

// Chunk entries the index holds, counted from "1" to the first absent one.
uint64_t IndexEntries(CaptureIndex& index) {
    return index.ChunkTotals().chunks;
}

int64_t ModifiedNs(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

// The temporary chunks in the order they were written. A FIX run fills its
// slots once, in slot order. A RING run starts over at slot 1 when its slots
// are used up; its order is the slot order turned to end with the chunk
// being written when the run ended. That one is the only chunk without even
// a leading record on disk when its first piece was never written; else it
// is the file modified last; among files modified in the same clock tick,
// the one after which the records go back in time.
std::vector<std::string> WrittenOrder(const std::string& folder,
                                      const std::map<uint64_t, std::string>& slots,
                                      Protocol protocol, bool ring) {
    std::vector<std::string> names;
    for (const auto& [slot, name] : slots)
        names.push_back(name);
    if (!ring || names.size() < 2) return names;
    const size_t n = names.size();
    std::vector<ChunkScan> scans(n);
    std::vector<int64_t> modified(n);
    std::vector<size_t> blank;
    for (size_t i = 0; i < n; ++i) {
        ScanChunkFile(JoinPath(folder, names[i]), protocol, 0, scans[i]);
        modified[i] = ModifiedNs(JoinPath(folder, names[i]));
        if (!scans[i].hasLeading) blank.push_back(i);
    }
    size_t newest = n - 1;
    if (blank.size() == 1) {
        newest = blank.front();
    } else {
        const int64_t latest = *std::max_element(modified.begin(), modified.end());
        std::vector<size_t> tied, goesBack;
        for (size_t i = 0; i < n; ++i) {
            if (modified[i] != latest) continue;
            tied.push_back(i);
            const ChunkScan& next = scans[(i + 1) % n];
            if (scans[i].Records() > 0 && next.Records() > 0 &&
                next.firstTicks < scans[i].lastTicks)
                goesBack.push_back(i);
        }
        newest = goesBack.size() == 1 ? goesBack.front() : tied.back();
    }
    std::rotate(names.begin(), names.begin() + static_cast<std::ptrdiff_t>((newest + 1) % n),
                names.end());
    return names;
}

// Cuts the file to `bytes` without following a link at its path.
bool CutFile(const std::string& path, uint64_t bytes) {
    const int fd = OpenRegularFile(path, O_WRONLY, false);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(bytes)) == 0;
    ::close(fd);
    return ok;
}

int NextDay(int yymmdd) {
    auto moved = NormaliseDayTime(yymmdd, static_cast<int64_t>(kTicksPerDay) + 1);
    return moved ? moved->date : yymmdd;
}

std::string DateText(int yymmdd) {
    char text[8];
    std::snprintf(text, sizeof text, "%06d", yymmdd);
    return text;
}

}  // namespace

bool CaptureNeedsRecovery(const std::string& indexPath) {
    if (indexPath.find(".qvr") == std::string::npos || !PathExists(indexPath)) return false;
    // A run still going looks like a killed one, but its files are in use.
    if (BusyLock::HeldElsewhere(indexPath)) return false;
    const FolderChunks chunks = ListChunks(FolderOf(indexPath));
    if (!chunks.temporary.empty() || chunks.reserve) return true;
    if (chunks.numbered.empty()) return false;
    CaptureIndex index;
    index.SetPath(indexPath);
    return chunks.numbered.rbegin()->first > IndexEntries(index);
}

bool CaptureIsIndexAlone(const std::string& indexPath) {
    if (indexPath.find(".qvr") == std::string::npos || !PathExists(indexPath)) return false;
    if (BusyLock::HeldElsewhere(indexPath)) return false;
    const FolderChunks chunks = ListChunks(FolderOf(indexPath));
    if (!chunks.temporary.empty() || !chunks.numbered.empty() || !chunks.foreign.empty())
        return false;
    CaptureIndex index;
    index.SetPath(indexPath);
    return IndexEntries(index) == 0;
}

int RecoverCapture(const std::string& indexPath, RecoveryResult& result) {
    result = RecoveryResult{};
    auto fail = [&](std::string message) {
        result.message = std::move(message);
        return -1;
    };
    if (indexPath.find(".qvr") == std::string::npos || !PathExists(indexPath))
        return fail("no capture index at " + indexPath);
    // The run's own lock, taken for the recovery: a run still going (another
    // program's, or this one's) keeps its chunk files, and two recoveries
    // never rename the same files.
    BusyLock busy;
    if (!busy.TryTake(indexPath) && BusyLock::HeldElsewhere(indexPath))
        return fail(indexPath + " is being recorded now; only a run that ended without Stop is recovered");
    const std::string folder = FolderOf(indexPath);
    CaptureIndex index;
    index.SetPath(indexPath);
    MonitorSettings monitor;
    SamplingSettings sampling;
    SyncSetting sync = 0;
    index.ReadMonitorStatus(monitor, sampling, sync);
    const std::optional<Protocol> protocol = ProtocolFromCode(monitor.Protocol);
    if (!protocol)
        return fail("the chunk files cannot be read: the index names no protocol");

    const FolderChunks found = ListChunks(folder);
    if (!found.foreign.empty())
        return fail(JoinPath(folder, found.foreign.front()) +
                    " is not a regular file (a link or other); a chunk must be the run's own "
                    "file, so nothing was changed");
    const uint64_t entries = IndexEntries(index);
    const bool extraNumbered = !found.numbered.empty() && found.numbered.rbegin()->first > entries;
    if (found.temporary.empty() && !extraNumbered) {
        if (found.reserve) ::unlink(JoinPath(folder, kIndexReserveName).c_str());
        result.chunks = entries;
        result.records = index.ChunkTotals().records;
        return 0;
    }

    // Chunks already under their final names come first (Stop names the
    // oldest first), then the temporary ones in the order they were written.
    std::vector<std::string> order;
    for (uint64_t n = 1; found.numbered.count(n); ++n)
        order.push_back(found.numbered.at(n));
    for (const std::string& name : WrittenOrder(folder, found.temporary, *protocol,
                                                   monitor.Memory == kMemoryRing))
        order.push_back(name);

    // The first chunk's date: from the index's entry 1 when it has one, else
    // from the run's start time. Every later chunk that a new day opened
    // (its leading record is not a chunk switch's, or its time runs
    // backwards) is a day later.
    int date = 0;
    ChunkEntry first;
    IndexTime start;
    if (index.ReadChunkEntry(1, first) == 0)
        date = DateTextNumber(DateFieldText(first.date));
    else if (index.ReadStartTime(start) == 0)
        date = DateTextNumber(start.date);
    if (date <= 0) return fail("the index holds no start date to date the chunks by");

    struct Kept {
        std::string name;
        ChunkScan scan;
    };
    std::vector<Kept> kept;
    uint8_t event = 0;
    uint64_t lastTicks = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const std::string path = JoinPath(folder, order[i]);
        ChunkScan scan;
        if (!ScanChunkFile(path, *protocol, event, scan))
            return fail(path + " cannot be read");
        if (!kept.empty() && scan.Records() > 0 &&
            (!scan.RotatedLeading() || scan.firstTicks < lastTicks))
            date = NextDay(date);
        SetDateField(scan.entry.date, DateText(date));
        if (scan.wholeBytes < scan.fileBytes) {
            // A record the write cut short: no reader can use its bytes.
            if (!CutFile(path, scan.wholeBytes))
                return fail(path + " cannot be cut back to its last whole record");
            result.tornBytes += scan.fileBytes - scan.wholeBytes;
        }
        if (scan.Records() > 0) {
            event = scan.lastEvent;
            lastTicks = scan.lastTicks;
        }
        kept.push_back({order[i], scan});
    }
    // Chunks without a record at the end (a run stopped right after a chunk
    // switch or a new day) give readers nothing; one stays if all are empty.
    std::vector<std::string> empties;
    while (kept.size() > 1 && kept.back().scan.Records() == 0) {
        empties.push_back(kept.back().name);
        kept.pop_back();
    }

    // Final names in written order. A name is never reused: a temporary file
    // moves only onto a number no file holds.
    for (size_t i = 0; i < kept.size(); ++i) {
        const std::string target = ChunkWriter::FinalChunkName(i + 1);
        if (kept[i].name == target) continue;
        const std::string from = JoinPath(folder, kept[i].name);
        const std::string to = JoinPath(folder, target);
        if (PathExists(to)) return fail(to + " is in the way of " + from);
        if (::rename(from.c_str(), to.c_str()) != 0) return fail(from + " cannot be renamed");
        kept[i].name = target;
    }

    // The reserve goes first: its space is what the rewrite of the index
    // needs on a full disk.
    const std::string reserve = JoinPath(folder, kIndexReserveName);
    ::unlink(reserve.c_str());
    uint64_t records = 0;
    index.BeginBatch();
    for (size_t i = 0; i < kept.size(); ++i) {
        index.WriteChunkEntry(kept[i].scan.entry, i + 1);
        records += kept[i].scan.Records();
    }
    for (uint64_t n = kept.size() + 1; n <= entries; ++n)
        index.DeleteKey(CaptureIndex::kDataFile, std::to_string(n));
    index.WriteFrameNum(records);
    // A run killed before its first record keeps the start time it was
    // given at its start; a chunk without records has none to tell.
    const ChunkEntry& head = kept.front().scan.entry;
    if (kept.front().scan.Records() > 0)
        index.WriteStartTime(DateFieldText(head.date), head.startTime);
    const ChunkScan* last = nullptr;
    for (const Kept& k : kept)
        if (k.scan.Records() > 0) last = &k.scan;
    if (last) {
        index.WriteEndTime(DateFieldText(last->entry.date),
                           IndexEndTicks(std::min(last->lastTicks, kTicksPerDay)));
    }
    if (index.EndBatch() != 0) return fail("the index " + indexPath + " cannot be written");
    for (const std::string& name : empties) {
        ::unlink(JoinPath(folder, name).c_str());
        ++result.emptyRemoved;
    }
    result.chunks = kept.size();
    result.records = records;
    return 0;
}

}  // namespace qv
