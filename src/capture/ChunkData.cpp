#include "capture/ChunkData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "capture/CaptureRecord.h"
#include "core/FileUtil.h"

namespace qv {

namespace {

// Reads the whole file into `out` (keeping its capacity for the next chunk).
int ReadFile(const std::string& path, ChunkBytes& out) {
    // A FIFO or device in a chunk's place would block the open or never end;
    // a link could make any file of the machine read as records.
    int fd = OpenRegularFile(path, O_RDONLY, false);
    if (fd < 0) return kQvrChunkOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return kQvrChunkRead;
    }
    size_t size = static_cast<size_t>(st.st_size);
    try {
        out.resize(size + 8);  // room to complete a short last record
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return kQvrNoMemory;
    }
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd, out.data() + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the file shrank while we read: keep what we have
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    out.resize(done);
    return kQvrOk;
}

}  // namespace

void ChunkData::Clear() {
    m_number = 0;
    m_count = 0;
}

void ChunkData::Swap(ChunkData& other) noexcept {
    std::swap(m_number, other.m_number);
    std::swap(m_count, other.m_count);
    std::swap(m_frames, other.m_frames);
    m_bytes.swap(other.m_bytes);
    m_offsets.swap(other.m_offsets);
    m_lineStates.swap(other.m_lineStates);
    m_checkpoints.swap(other.m_checkpoints);
}

void ChunkData::AddCheckpoints() {
    m_checkpoints.clear();
    std::array<uint32_t, 4> counts{};
    for (uint32_t i = 0; i < m_count; ++i) {
        if (i % kCheckpointStep == 0) m_checkpoints.push_back(counts);
        ++counts[static_cast<size_t>(HeaderKind(Record(i)[0]))];
    }
}

std::array<uint32_t, 4> ChunkData::KindCountsBefore(uint32_t n) const {
    if (n > m_count) n = m_count;
    if (n == 0 || m_checkpoints.empty()) return {};
    const uint32_t k = std::min<uint32_t>((n - 1) / kCheckpointStep,
                                          static_cast<uint32_t>(m_checkpoints.size() - 1));
    std::array<uint32_t, 4> counts = m_checkpoints[k];
    for (uint32_t i = k * kCheckpointStep; i < n; ++i)
        ++counts[static_cast<size_t>(HeaderKind(Record(i)[0]))];
    return counts;
}

int ChunkData::Load(const std::string& path, uint32_t chunkNumber, Protocol protocol) {
    Clear();
    m_frames = UsesFrameRecords(protocol);
    int rc = ReadFile(path, m_bytes);
    if (rc != kQvrOk) return rc;
    const size_t size = m_bytes.size();
    m_offsets.clear();
    m_lineStates.clear();
    // The leading record only gives the line state for the records before the
    // chunk's first line change; it is not a record of its own.
    uint8_t lineState = size >= 2 ? m_bytes[1] : 0;
    if (size < kLeading) {
        m_number = chunkNumber;
        return kQvrOk;
    }

    if (!m_frames) {
        uint64_t records = (size - kLeading + 7) / 8;
        if (records > kMaxChunkRecords) return kQvrChunkTooLarge;
        // Complete a short last record with zeros.
        m_bytes.resize(kLeading + records * 8);
        std::fill(m_bytes.begin() + static_cast<ptrdiff_t>(size), m_bytes.end(), uint8_t{0});
        m_lineStates.resize(records);
        m_checkpoints.clear();
        const bool async = TraitsOf(protocol).startStopCharacters;
        // One pass gives each record's line state and the kind checkpoints.
        std::array<uint32_t, 4> counts{};
        const uint8_t* r = m_bytes.data() + kLeading;
        for (uint32_t base = 0; base < records; base += kCheckpointStep) {
            m_checkpoints.push_back(counts);
            const uint32_t end = std::min<uint32_t>(static_cast<uint32_t>(records), base + kCheckpointStep);
            for (uint32_t i = base; i < end; ++i, r += 8) {
                const RecordKind kind = HeaderKind(r[0]);
                ++counts[static_cast<size_t>(kind)];
                // LOGIC records carry their own sample; ASYNC data and events
                // take the line state of the latest line change.
                if (!async || kind == RecordKind::kLineChange) lineState = r[1];
                m_lineStates[i] = lineState;
            }
        }
        m_count = static_cast<uint32_t>(records);
        m_number = chunkNumber;
        return kQvrOk;
    }

    // SYNC/HDLC: 8-byte line changes and events mixed with frame records.
    rc = kQvrOk;
    size_t pos = kLeading;
    while (pos < size) {
        const uint8_t* r = m_bytes.data() + pos;
        size_t len;
        if (!IsDataKind(HeaderKind(r[0]))) {
            len = kShortRecordSize;
            if (pos + len > size) {
                rc = kQvrChunkRead;
                break;
            }
            lineState = r[1];
        } else {
            if (pos + kFrameHeaderSize > size) {
                rc = kQvrChunkRead;
                break;
            }
            len = FrameRecordSize(ReadLe16(r + 14));
            if (pos + len > size) {
                rc = kQvrChunkRead;
                break;
            }
        }
        // Offsets are 32-bit: a legitimate chunk (50 000 frames of at most
        // 64 KiB) stays below 4 GiB.
        if (pos > UINT32_MAX) {
            rc = kQvrChunkRead;
            break;
        }
        if (m_offsets.size() == kMaxChunkRecords) {
            rc = kQvrChunkTooLarge;
            break;
        }
        m_offsets.push_back(static_cast<uint32_t>(pos));
        m_lineStates.push_back(lineState);
        pos += len;
    }
    if (rc == kQvrChunkTooLarge) return rc;
    m_count = static_cast<uint32_t>(m_offsets.size());
    m_number = chunkNumber;
    AddCheckpoints();
    return rc;
}

}  // namespace qv
