// The emulated instrument's memory card: a file of 512-byte blocks. The file
// is sparse and grows on writing; a block never written reads as zeros. The
// figures the status query reports are kept in the card's own first block, so
// a card file carries its history from one emulator run to the next.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace qv::sim {

class CardMemory {
  public:
    static constexpr size_t kBlockSize = 512;
    // 128 MiB: room for the run settings at block 0x10020 and a data area.
    static constexpr uint32_t kDefaultBlocks = 262144;
    // Card runs store their stream from this block on, as a ring up to the end.
    static constexpr uint32_t kDataFirstBlock = 0x11000;

    struct Figures {
        uint32_t minSector = kDataFirstBlock;
        uint32_t maxSector = 0;
        uint32_t cfStarts = 0;     // card runs started; 1 after the first
        uint32_t ringLaps = 0;     // times the data area was filled and begun again
        uint32_t lastSector = 0;   // last block written by a card run
        uint32_t created = 0;      // seconds since 1970: the figures block was made
        uint32_t lastWrite = 0;    // seconds since 1970: the last card run write
        uint64_t storedBytes = 0;  // stream bytes of the last card run
        int protocol = 0;          // of the last card run: decides the item layout
    };

    // An empty path keeps the card in memory only.
    CardMemory(std::string path, uint32_t blocks, uint32_t nowSeconds);
    ~CardMemory();
    CardMemory(const CardMemory&) = delete;
    CardMemory& operator=(const CardMemory&) = delete;

    bool Ok() const { return m_fd >= 0 || m_path.empty(); }
    uint32_t Blocks() const { return m_blocks; }

    // False beyond the card's end or on an I/O failure.
    bool ReadBlock(uint32_t block, uint8_t* out);
    bool WriteBlock(uint32_t block, const uint8_t* data);

    Figures GetFigures();
    // Begins a card run: counts the start and empties the stored stream.
    void BeginRun(uint32_t nowSeconds, int protocol);
    // Appends stream bytes of a card run; wraps around the data area.
    void AppendStream(const uint8_t* data, size_t n, uint32_t nowSeconds);
    // The stream stored by the last card run, oldest byte first.
    std::vector<uint8_t> StoredStream();

  private:
    void LoadFigures();
    void SaveFigures();
    uint64_t DataAreaBytes() const;

    std::string m_path;
    uint32_t m_blocks;
    int m_fd = -1;
    std::mutex m_mutex;
    std::vector<uint8_t> m_memory;  // the card without a file
    Figures m_fig;
    uint64_t m_writePos = 0;  // byte offset in the data area of the next stream byte
};

}  // namespace qv::sim
