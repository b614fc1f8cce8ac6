#include "export/PcapngWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv {

namespace {
constexpr uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr uint32_t kInterfaceBlock = 0x00000001;
constexpr uint32_t kEnhancedPacketBlock = 0x00000006;
constexpr uint16_t kOptEnd = 0, kOptComment = 1;
constexpr uint16_t kShbUserAppl = 4;
constexpr uint16_t kIfName = 2, kIfDescription = 3, kIfTsresol = 9;
constexpr uint16_t kEpbFlags = 2;
constexpr size_t kFlushSize = 1 << 20;
}  // namespace

void PcapngWriter::U16(uint16_t v) {
    const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
    m_buf.append(b, 2);
}

void PcapngWriter::U32(uint32_t v) {
    const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
    m_buf.append(b, 4);
}

void PcapngWriter::Bytes(const void* p, size_t n) {
    m_buf.append(static_cast<const char*>(p), n);
}

void PcapngWriter::Pad() {
    m_buf.append((4 - m_buf.size() % 4) % 4, '\0');
}

void PcapngWriter::Option(uint16_t code, std::string_view value) {
    if (value.empty()) return;
    // An option's length is 16 bits; a longer text is cut.
    const size_t n = value.size() > 65'000 ? 65'000 : value.size();
    U16(code);
    U16(static_cast<uint16_t>(n));
    Bytes(value.data(), n);
    Pad();
}

// Blocks are built in place: the total length is written once the block is
// complete, at its start and again at its end.
void PcapngWriter::EndBlock(size_t blockStart) {
    const uint32_t total = static_cast<uint32_t>(m_buf.size() - blockStart + 4);
    U32(total);
    for (int i = 0; i < 4; ++i)
        m_buf[blockStart + 4 + static_cast<size_t>(i)] = static_cast<char>(total >> (8 * i));
    if (m_buf.size() >= kFlushSize) Flush();
}

void PcapngWriter::SectionHeader(std::string_view application, std::string_view comment) {
    const size_t at = m_buf.size();
    U32(kSectionHeaderBlock);
    U32(0);
    U32(0x1A2B3C4D);  // byte order mark
    U16(1);           // version 1.0
    U16(0);
    U32(0xFFFFFFFF);  // section length: not given
    U32(0xFFFFFFFF);
    Option(kOptComment, comment);
    Option(kShbUserAppl, application);
    U32(kOptEnd);
    EndBlock(at);
}

void PcapngWriter::Interface(uint16_t linkType, uint32_t snapLength, std::string_view name,
                             std::string_view description, uint8_t tsresolPower) {
    const size_t at = m_buf.size();
    U32(kInterfaceBlock);
    U32(0);
    U16(linkType);
    U16(0);
    U32(snapLength);
    Option(kIfName, name);
    Option(kIfDescription, description);
    const char tsresol = static_cast<char>(tsresolPower);
    Option(kIfTsresol, std::string_view(&tsresol, 1));
    U32(kOptEnd);
    EndBlock(at);
}

void PcapngWriter::Packet(uint32_t interfaceId, uint64_t timestamp, std::span<const uint8_t> head,
                          std::span<const uint8_t> body, uint32_t flags,
                          std::string_view comment) {
    const size_t at = m_buf.size();
    const uint32_t length = static_cast<uint32_t>(head.size() + body.size());
    U32(kEnhancedPacketBlock);
    U32(0);
    U32(interfaceId);
    U32(static_cast<uint32_t>(timestamp >> 32));
    U32(static_cast<uint32_t>(timestamp));
    U32(length);  // captured
    U32(length);  // on the line
    Bytes(head.data(), head.size());
    Bytes(body.data(), body.size());
    Pad();
    if (flags != 0 || !comment.empty()) {
        Option(kOptComment, comment);
        if (flags != 0) {
            U16(kEpbFlags);
            U16(4);
            U32(flags);
        }
        U32(kOptEnd);
    }
    ++m_packets;
    EndBlock(at);
}

bool PcapngWriter::Flush() {
    size_t done = 0;
    while (m_ok && done < m_buf.size()) {
        const ssize_t n = ::write(m_fd, m_buf.data() + done, m_buf.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) m_ok = false;
        else done += static_cast<size_t>(n);
    }
    m_buf.clear();
    return m_ok;
}

}  // namespace qv
