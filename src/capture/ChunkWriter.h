// The chunk file writer of a monitoring run: records go into a 64 KiB buffer
// and reach the open chunk file in 64 KiB pieces. Chunks are written under
// temporary names ("t000000001.qvd") and get their final, chronological
// names when the run stops.
//
// A failed write never leaves a torn record behind: the file is cut back to
// the end of the last piece that was written whole, so everything already in
// a chunk stays readable when the disk fills up.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace qv {

class Log;

class ChunkWriter {
  public:
    static constexpr size_t kBufferSize = 65536;
    static constexpr const char* kChunkExtension = ".qvd";
    static constexpr const char* kLogSource = "MonitorFileCtrl";

    // `log` receives the log entries; without one nothing is logged.
    explicit ChunkWriter(qv::Log* log = nullptr);
    ~ChunkWriter();
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    const std::string& SetFolder(const std::string& path);
    const std::string& GetFolder() const { return m_folder; }

    // "t%09d.qvd" of a 1-based slot number; the name a chunk has while the
    // run goes on.
    static std::string ChunkName(uint64_t slot);
    // "%09d.qvd": the name of chunk file n of a finished capture.
    static std::string FinalChunkName(uint64_t n);
    void SetChunkName(const std::string& name) { m_chunkName = name; }
    const std::string& GetChunkName() const { return m_chunkName; }

    // Deletes any file of the current chunk name in the folder and creates it
    // empty; the buffer is emptied. 0 or -1.
    int OpenChunk();
    bool IsOpen() const { return m_fd >= 0; }

    // Appends one whole record. When it does not fit behind the buffered
    // bytes, the buffer is written first; if that fails the buffered bytes and
    // this record are lost ("File Write Error." is logged) and -1 comes back.
    // A record longer than the buffer is written directly after the buffer.
    int Append(const uint8_t* bytes, size_t length) {
        if (m_count + length <= kBufferSize) {
            std::memcpy(m_buffer.get() + m_count, bytes, length);
            m_count += static_cast<uint32_t>(length);
            return 0;
        }
        return AppendSlow(bytes, length);
    }

    // Appends an 8-byte short record: header, value, 48-bit little-endian
    // time. The per-record path of every ASYNC/LOGIC capture, so it builds
    // the record in place instead of copying it.
    int AppendShort(uint8_t header, uint8_t value, uint64_t time) {
        if constexpr (std::endian::native == std::endian::little) {
            if (m_count + 8 <= kBufferSize) {
                const uint64_t word = header | (uint64_t{value} << 8) | (time << 16);
                std::memcpy(m_buffer.get() + m_count, &word, 8);
                m_count += 8;
                return 0;
            }
        }
        const uint8_t record[8] = {header,
                                   value,
                                   static_cast<uint8_t>(time),
                                   static_cast<uint8_t>(time >> 8),
                                   static_cast<uint8_t>(time >> 16),
                                   static_cast<uint8_t>(time >> 24),
                                   static_cast<uint8_t>(time >> 32),
                                   static_cast<uint8_t>(time >> 40)};
        return Append(record, sizeof record);
    }

    // For records built in place: the free room behind the buffered bytes
    // (its size in `bytes`), and Appended to count what was put there. A
    // record that does not fit the room goes through Append, which writes
    // the buffer out first.
    uint8_t* FreeSpace(size_t& bytes) {
        bytes = kBufferSize - m_count;
        return m_buffer.get() + m_count;
    }
    void Appended(size_t bytes) { m_count += static_cast<uint32_t>(bytes); }

    // Writes the buffered bytes (whole records) to the open chunk and keeps
    // the file open, so that a crash or power loss later costs only what
    // came after: a slow line may take minutes to fill the buffer. On
    // failure the bytes are lost as in Append ("File Write Error.") and -1
    // comes back.
    int Flush();

    // Writes the buffered bytes, empties the buffer when `reset` is set and
    // closes the file. On any failure "File Write or Close Error." is logged
    // and -1 returned; the file is closed in either case.
    int FlushAndClose(bool reset = true);

    // Renames the temporary chunk files to their final names: slot `oldest`
    // becomes chunk file 1, the following slots (wrapping after `count` to
    // slot 1) chunk files 2 to `count`. Only the first `keep` in that order
    // are named; the files of the rest are removed (a last chunk that holds
    // no record). Rename failures are ignored. 0.
    int FinalNames(uint64_t oldest, uint64_t count, uint64_t keep = UINT64_MAX);

    uint32_t BufferedBytes() const { return m_count; }

    // Holds back disk space for the index of the run in the file `path`:
    // `base` bytes, and `perChunk` more for every chunk opened from now on,
    // taken before the chunk's records need the disk. A reserve that cannot
    // grow (the disk is full) keeps what it has.
    void SetIndexReserve(const std::string& path, uint64_t base, uint64_t perChunk);
    // Removes the reserve file, giving its space back for the index rewrite.
    void DropIndexReserve();

  private:
    int AppendSlow(const uint8_t* bytes, size_t length);
    void GrowIndexReserve();
    // Writes all bytes to the open file; on failure cuts the file back to
    // where it was. 0 or -1 (errno set).
    int WriteAll(const uint8_t* bytes, size_t length);
    void Log(int line, const char* message);

    qv::Log* m_log;
    std::string m_folder;
    std::string m_chunkName;
    std::unique_ptr<uint8_t[]> m_buffer;
    uint32_t m_count = 0;
    int m_fd = -1;
    uint64_t m_fileSize = 0;  // bytes of whole pieces in the open file
    static constexpr uint64_t kReserveAhead = 64;  // chunks a growth of the reserve covers
    std::string m_reservePath;
    uint64_t m_reserved = 0;       // bytes the reserve file holds
    uint64_t m_reserveNeeded = 0;  // bytes the chunks opened so far need
    uint64_t m_reservePerChunk = 0;
};

}  // namespace qv
