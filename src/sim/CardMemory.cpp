#include "sim/CardMemory.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace qv::sim {

namespace {

// "QVCARD01": marks a figures block this emulator wrote.
constexpr uint8_t kMagic[8] = {'Q', 'V', 'C', 'A', 'R', 'D', '0', '1'};

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

CardMemory::CardMemory(std::string path, uint32_t blocks, uint32_t nowSeconds)
    : m_path(std::move(path)), m_blocks(std::max(blocks, kDataFirstBlock + 64)) {
    if (!m_path.empty())
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    else
        m_memory.assign(static_cast<size_t>(m_blocks) * kBlockSize, 0);
    LoadFigures();
    if (m_fig.created == 0) {
        m_fig.created = nowSeconds;
        m_fig.maxSector = m_blocks - 1;
        SaveFigures();
    }
}

CardMemory::~CardMemory() {
    if (m_fd >= 0) ::close(m_fd);
}

bool CardMemory::ReadBlock(uint32_t block, uint8_t* out) {
    std::lock_guard lock(m_mutex);
    if (block >= m_blocks) return false;
    size_t off = static_cast<size_t>(block) * kBlockSize;
    if (m_fd < 0) {
        if (!m_path.empty()) return false;
        std::memcpy(out, m_memory.data() + off, kBlockSize);
        return true;
    }
    ssize_t got = ::pread(m_fd, out, kBlockSize, static_cast<off_t>(off));
    if (got < 0) return false;
    // Past the end of a sparse file: the card reads as erased.
    std::memset(out + got, 0, kBlockSize - static_cast<size_t>(got));
    return true;
}

bool CardMemory::WriteBlock(uint32_t block, const uint8_t* data) {
    std::lock_guard lock(m_mutex);
    if (block >= m_blocks) return false;
    size_t off = static_cast<size_t>(block) * kBlockSize;
    if (m_fd < 0) {
        if (!m_path.empty()) return false;
        std::memcpy(m_memory.data() + off, data, kBlockSize);
        return true;
    }
    return ::pwrite(m_fd, data, kBlockSize, static_cast<off_t>(off)) ==
           static_cast<ssize_t>(kBlockSize);
}

void CardMemory::LoadFigures() {
    uint8_t b[kBlockSize];
    if (!ReadBlock(0, b) || std::memcmp(b, kMagic, sizeof kMagic) != 0) return;
    m_fig.minSector = Get32(b + 8);
    m_fig.maxSector = Get32(b + 12);
    m_fig.cfStarts = Get32(b + 16);
    m_fig.ringLaps = Get32(b + 20);
    m_fig.lastSector = Get32(b + 24);
    m_fig.created = Get32(b + 28);
    m_fig.lastWrite = Get32(b + 32);
    m_fig.storedBytes = Get32(b + 36) | (uint64_t{Get32(b + 40)} << 32);
    m_fig.protocol = static_cast<int>(Get32(b + 44));
    m_writePos = m_fig.storedBytes % DataAreaBytes();
}

void CardMemory::SaveFigures() {
    uint8_t b[kBlockSize] = {};
    std::memcpy(b, kMagic, sizeof kMagic);
    Put32(b + 8, m_fig.minSector);
    Put32(b + 12, m_fig.maxSector);
    Put32(b + 16, m_fig.cfStarts);
    Put32(b + 20, m_fig.ringLaps);
    Put32(b + 24, m_fig.lastSector);
    Put32(b + 28, m_fig.created);
    Put32(b + 32, m_fig.lastWrite);
    Put32(b + 36, static_cast<uint32_t>(m_fig.storedBytes));
    Put32(b + 40, static_cast<uint32_t>(m_fig.storedBytes >> 32));
    Put32(b + 44, static_cast<uint32_t>(m_fig.protocol));
    WriteBlock(0, b);
}

uint64_t CardMemory::DataAreaBytes() const {
    return uint64_t{m_blocks - kDataFirstBlock} * kBlockSize;
}

CardMemory::Figures CardMemory::GetFigures() {
    std::lock_guard lock(m_mutex);
    return m_fig;
}

void CardMemory::BeginRun(uint32_t nowSeconds, int protocol) {
    m_fig.protocol = protocol;
    m_fig.cfStarts++;
    m_fig.storedBytes = 0;
    m_fig.lastWrite = nowSeconds;
    m_writePos = 0;
    SaveFigures();
}

void CardMemory::AppendStream(const uint8_t* data, size_t n, uint32_t nowSeconds) {
    uint64_t area = DataAreaBytes();
    uint8_t block[kBlockSize];
    while (n > 0) {
        uint32_t b = kDataFirstBlock + static_cast<uint32_t>(m_writePos / kBlockSize);
        size_t in = static_cast<size_t>(m_writePos % kBlockSize);
        size_t take = std::min(n, kBlockSize - in);
        if (!ReadBlock(b, block)) return;
        std::memcpy(block + in, data, take);
        if (!WriteBlock(b, block)) return;
        data += take;
        n -= take;
        m_fig.storedBytes += take;
        m_fig.lastSector = b;
        m_writePos += take;
        if (m_writePos >= area) {
            m_writePos = 0;
            m_fig.ringLaps++;
        }
    }
    m_fig.lastWrite = nowSeconds;
    SaveFigures();
}

std::vector<uint8_t> CardMemory::StoredStream() {
    uint64_t area = DataAreaBytes();
    uint64_t len = std::min(m_fig.storedBytes, area);
    // After a lap the oldest kept byte is the one the next write would replace.
    uint64_t pos = m_fig.storedBytes > area ? m_writePos : 0;
    std::vector<uint8_t> out;
    out.reserve(len);
    uint8_t block[kBlockSize];
    while (out.size() < len) {
        uint32_t b = kDataFirstBlock + static_cast<uint32_t>(pos / kBlockSize);
        size_t in = static_cast<size_t>(pos % kBlockSize);
        size_t take = static_cast<size_t>(std::min<uint64_t>(kBlockSize - in, len - out.size()));
        if (!ReadBlock(b, block)) break;
        out.insert(out.end(), block + in, block + in + take);
        pos = (pos + take) % area;
    }
    return out;
}

}  // namespace qv::sim
