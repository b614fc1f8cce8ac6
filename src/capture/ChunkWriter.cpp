#include "capture/ChunkWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/FileUtil.h"
#include "core/Log.h"

namespace qv {

ChunkWriter::ChunkWriter(qv::Log* log) : m_log(log), m_buffer(new uint8_t[kBufferSize]) {}

ChunkWriter::~ChunkWriter() {
    if (m_fd >= 0) ::close(m_fd);
}

const std::string& ChunkWriter::SetFolder(const std::string& path) {
    m_folder = path;
    return m_folder;
}

std::string ChunkWriter::ChunkName(uint64_t slot) {
    char name[64];
    std::snprintf(name, sizeof name, "t%09llu%s", static_cast<unsigned long long>(slot),
                  kChunkExtension);
    return name;
}

std::string ChunkWriter::FinalChunkName(uint64_t n) {
    char name[64];
    std::snprintf(name, sizeof name, "%09llu%s", static_cast<unsigned long long>(n),
                  kChunkExtension);
    return name;
}

void ChunkWriter::Log(int line, const char* message) {
    if (m_log) m_log->Write("ERR", kLogSource, line, message);
}

void ChunkWriter::SetIndexReserve(const std::string& path, uint64_t base,
                                       uint64_t perChunk) {
    m_reservePath = path;
    m_reserveNeeded = m_reserved = base;
    m_reservePerChunk = perChunk;
    if (ReserveSpace(m_reservePath, m_reserved) != 0) Log(__LINE__, "Index Reserve Error.");
}

void ChunkWriter::GrowIndexReserve() {
    m_reserveNeeded += m_reservePerChunk;
    if (m_reserveNeeded <= m_reserved) return;
    // Room for the next kReserveAhead chunks at once: growing the file is
    // three system calls, which a run of many small chunks would otherwise
    // pay for every chunk. A reserve that cannot grow keeps what it has and
    // is tried again at the next chunk.
    const uint64_t want = m_reserveNeeded + (kReserveAhead - 1) * m_reservePerChunk;
    if (ReserveSpace(m_reservePath, want) == 0) m_reserved = want;
}

void ChunkWriter::DropIndexReserve() {
    if (m_reservePath.empty()) return;
    ::unlink(m_reservePath.c_str());
    m_reservePath.clear();
}

int ChunkWriter::OpenChunk() {
    if (!m_reservePath.empty()) GrowIndexReserve();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_count = 0;
    m_fileSize = 0;
    const std::string path = JoinPath(m_folder, m_chunkName);
    // Whatever is at the name (a chunk of an earlier lap of a ring, or a link
    // someone planted) goes; the new file is created where nothing is, so a
    // write never lands in a file that is not ours. Mostly nothing is there:
    // the name is removed only when the creation finds it taken.
    m_fd = CreateFileExclusive(path, 0644);
    if (m_fd < 0 && errno == EEXIST) {
        ::unlink(path.c_str());
        m_fd = CreateFileExclusive(path, 0644);
    }
    return m_fd >= 0 ? 0 : -1;
}

int ChunkWriter::WriteAll(const uint8_t* bytes, size_t length) {
    if (m_fd < 0) {
        errno = EBADF;
        return -1;
    }
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, bytes + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Cut the torn piece off so that the chunk still ends on a record.
            const int saved = n < 0 ? errno : ENOSPC;
            if (done > 0 && ::ftruncate(m_fd, static_cast<off_t>(m_fileSize)) == 0)
                ::lseek(m_fd, static_cast<off_t>(m_fileSize), SEEK_SET);
            errno = saved;
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    m_fileSize += length;
    return 0;
}

int ChunkWriter::AppendSlow(const uint8_t* bytes, size_t length) {
    if (m_count > 0) {
        const int rc = WriteAll(m_buffer.get(), m_count);
        m_count = 0;
        if (rc != 0) {
            Log(__LINE__, "File Write Error.");
            return -1;
        }
    }
    if (length <= kBufferSize) {
        std::memcpy(m_buffer.get(), bytes, length);
        m_count = static_cast<uint32_t>(length);
        return 0;
    }
    // An assembled frame of up to 16 + 65 535 bytes: written whole, in order,
    // straight after what the buffer held.
    if (WriteAll(bytes, length) != 0) {
        Log(__LINE__, "File Write Error.");
        return -1;
    }
    return 0;
}

int ChunkWriter::Flush() {
    if (m_count == 0 || m_fd < 0) return 0;
    const int rc = WriteAll(m_buffer.get(), m_count);
    m_count = 0;
    if (rc != 0) Log(__LINE__, "File Write Error.");
    return rc;
}

int ChunkWriter::FlushAndClose(bool reset) {
    int rc = 0;
    if (m_count > 0 && WriteAll(m_buffer.get(), m_count) != 0) rc = -1;
    if (reset) m_count = 0;
    if (m_fd >= 0) {
        if (::close(m_fd) != 0) rc = -1;
        m_fd = -1;
    }
    if (rc != 0) Log(__LINE__, "File Write or Close Error.");
    return rc;
}

int ChunkWriter::FinalNames(uint64_t oldest, uint64_t count, uint64_t keep) {
    uint64_t k = oldest;
    for (uint64_t i = 1; i <= count; ++i) {
        const std::string from = JoinPath(m_folder, ChunkName(k));
        const std::string to = JoinPath(m_folder, FinalChunkName(i));
        if (i > keep)
            (void)::unlink(from.c_str());
        else
            (void)std::rename(from.c_str(), to.c_str());
        k = k < count ? k + 1 : 1;
    }
    return 0;
}

}  // namespace qv
