// One chunk file of a capture, read into memory: its bytes, where each record
// starts, and the line state that goes with each record. The reader keeps two
// of these (a pair); nothing is allocated per record, so walking 10^8 records
// costs two buffers, not 10^8 objects.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capture/CaptureRecord.h"

namespace qv {

// An allocator whose resize leaves new bytes uninitialised: a chunk's buffer
// is filled by the read right after, so zeroing it first would only cost a
// pass over memory per chunk.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using ChunkBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

// Result codes of capture reading (0 is success).
enum ReaderCode : int {
    kQvrOk = 0,
    kQvrNoIndex = -1,         // not an index path, no chunk entry, missing entry or row
    kQvrChunkOpen = -2,       // a chunk file cannot be opened
    kQvrNoRecord = -8,        // no current record, chunk number or ordinal out of range
    kQvrNotFound = -12,       // no such record; start or end of the capture
    kQvrBadProtocol = -14,    // protocol not 0/16/32/48; event byte of a non-ASYNC record
    kQvrNoArgument = -15,     // missing output or argument
    kQvrChunkRead = -16,      // read failure or damaged record inside a chunk file
    kQvrNoMemory = -17,       // a payload buffer cannot be had
    kQvrChunkTooLarge = -18,  // a chunk holds more records than the reader's slots
};

// At most this many counted records in a chunk: two chunks fill the reader's
// 100 000 slots.
inline constexpr uint32_t kMaxChunkRecords = 50'000;

class ChunkData {
  public:
    // Reads chunk file `path` of a capture with the given protocol byte.
    // A frame record whose length runs past the end of the file ends the
    // chunk with kQvrChunkRead (the records before it stay); a short last
    // record of an ASYNC/LOGIC chunk is completed with zero bytes.
    int Load(const std::string& path, uint32_t chunkNumber, Protocol protocol);
    void Clear();

    uint32_t Number() const { return m_number; }
    uint32_t Count() const { return m_count; }
    bool Empty() const { return m_number == 0; }

    // Record i (0-based, below Count()).
    const uint8_t* Record(uint32_t i) const {
        return m_bytes.data() + (m_frames ? m_offsets[i] : kLeading + size_t{i} * 8);
    }
    uint8_t LineState(uint32_t i) const { return m_lineStates[i]; }
    bool FrameRecords() const { return m_frames; }

    // Records of each kind (SD, RD, line change, event) among records 0..n-1
    // of the chunk; a checkpoint every kCheckpointStep records keeps this
    // cheap wherever n lies.
    std::array<uint32_t, 4> KindCountsBefore(uint32_t n) const;

    // Moves the content of another chunk into this one (reusing buffers).
    void Swap(ChunkData& other) noexcept;

  private:
    static constexpr size_t kLeading = 8;  // the leading record

    uint32_t m_number = 0;
    uint32_t m_count = 0;
    bool m_frames = false;
    ChunkBytes m_bytes;
    std::vector<uint32_t> m_offsets;  // SYNC/HDLC only: offset of record i
    std::vector<uint8_t> m_lineStates;
    static constexpr uint32_t kCheckpointStep = 256;
    std::vector<std::array<uint32_t, 4>> m_checkpoints;  // [k]: kinds before record k*256
    void AddCheckpoints();
};

}  // namespace qv
