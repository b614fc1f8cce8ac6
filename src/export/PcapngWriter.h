// The pcapng file format at block level: a section header, interface
// descriptions and enhanced packet blocks, written little-endian (the byte
// order mark 0x1A2B3C4D tells readers so). Blocks are gathered in a buffer
// and written to a file descriptor in large pieces.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv {

// Enhanced packet block flags (pcapng epb_flags): bits 0-1 the direction,
// bits 24-31 link-layer errors.
inline constexpr uint32_t kEpbInbound = 0x1;
inline constexpr uint32_t kEpbOutbound = 0x2;
inline constexpr uint32_t kEpbCrcError = 1u << 24;
inline constexpr uint32_t kEpbTooShort = 1u << 26;
inline constexpr uint32_t kEpbUnalignedFrame = 1u << 28;
inline constexpr uint32_t kEpbSymbolError = 1u << 31;

class PcapngWriter {
  public:
    explicit PcapngWriter(int fd) : m_fd(fd) {}
    ~PcapngWriter() { Flush(); }
    PcapngWriter(const PcapngWriter&) = delete;
    PcapngWriter& operator=(const PcapngWriter&) = delete;

    void SectionHeader(std::string_view application, std::string_view comment);
    // An interface with the link type, snapshot length and time stamps in
    // units of 10^-tsresolPower seconds.
    void Interface(uint16_t linkType, uint32_t snapLength, std::string_view name,
                   std::string_view description, uint8_t tsresolPower);
    // One packet: `head` and `body` back to back as its bytes, `timestamp`
    // in the interface's units, optional flags (0: none) and comment.
    void Packet(uint32_t interfaceId, uint64_t timestamp, std::span<const uint8_t> head,
                std::span<const uint8_t> body, uint32_t flags, std::string_view comment);

    // Writes what is buffered; false once any write has failed.
    bool Flush();
    bool Ok() const { return m_ok; }
    uint64_t Packets() const { return m_packets; }

  private:
    void U16(uint16_t v);
    void U32(uint32_t v);
    void Bytes(const void* p, size_t n);
    void Pad();
    void Option(uint16_t code, std::string_view value);
    void EndBlock(size_t blockStart);

    int m_fd;
    bool m_ok = true;
    uint64_t m_packets = 0;
    std::string m_buf;
};

}  // namespace qv
