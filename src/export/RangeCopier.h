// The range copier: the records of a time range of a capture written as a
// new capture (index plus numbered chunk files) in a folder, in the stored
// record layouts, with the source's settings and display format and
// FilterFlg "ON", so that the copy opens like any capture.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "capture/CaptureFolderList.h"  // CaptureIndexPathOf
#include "capture/CaptureRecord.h"
#include "export/SaveRange.h"

namespace qv {

class CaptureReader;
class ChunkWriter;
class CaptureIndex;

// Copies the registration and monitor settings sections and the display
// format rows of one index into another, value by value. 0 or -1.
int CopyIndexSettings(const std::string& sourceIndex, CaptureIndex& target);

// Whether a folder may take a copy of the capture whose index is
// `sourceIndex`. The source's own folder never may (it is recognised by
// device and inode, whatever the path text): the copy would overwrite the
// index and chunk files it is reading. A folder that already holds a capture
// (its index, or a first chunk file) may only when `overwrite` is set.
enum class CopyTarget { kFree, kSourceFolder, kHoldsCapture };
CopyTarget CheckCopyTarget(const std::string& sourceIndex, const std::string& folder,
                           bool overwrite);

// Removes what a copy made in `folder`: its index and its numbered chunk
// files, then the folder itself when `madeFolder` and nothing else is in it.
// A copy refused at its start, or one that could not be written whole, ends
// here so that no skeleton is left for a retry to trip over.
void DiscardCopy(const std::string& folder, bool madeFolder);

class RangeCopier {
  public:
    // `file` is an opened reader, used by this object alone during Run.
    RangeCopier(CaptureReader& file, std::string folder, uint64_t fileRecords);
    ~RangeCopier();

    // One copy pass over the range between keys a and b (either order).
    // Progress goes to `sink` (may be null); the ending is returned. Every
    // ending, cancellation (kEnded) included, writes the current chunk's
    // entry and closes its file, so the copy is a readable capture of the
    // records copied so far.
    SaveReport Run(const DayTime& a, const DayTime& b, ISaveReport* sink,
                   const std::atomic<bool>& cancel);

    // Lets the copy replace a capture the folder already holds (its
    // numbered chunk files are removed first, so none of them stays behind).
    void SetOverwrite(bool overwrite) { m_overwrite = overwrite; }
    // A copy whose writing failed midway (full disk) is discarded too, not
    // kept as a readable part. The caller made `folder` for this copy when
    // `madeFolder`; a folder the copier had to make counts as made anyway.
    void SetDiscardOnFailure(bool discard, bool madeFolder) {
        m_discardOnFailure = discard;
        m_madeFolder = madeFolder;
    }
    // After Run: the copy's files were removed (see DiscardCopy).
    bool Discarded() const { return m_discarded; }

    uint64_t FramesCopied() const { return m_frames; }
    uint64_t ChunksWritten() const { return m_chunk; }
    const std::string& IndexPath() const { return m_indexPath; }

  private:
    bool OpenChunk(const char* date, uint8_t lineState);
    bool EndChunk();

    CaptureReader& m_file;
    std::string m_folder;
    uint64_t m_fileRecords;
    std::string m_indexPath;
    std::unique_ptr<CaptureIndex> m_index;
    std::unique_ptr<ChunkWriter> m_writer;
    uint64_t m_chunk = 0;  // chunk file number, from 1; 0 before the first
    uint64_t m_frames = 0;
    ChunkEntry m_entry;  // the summary of the open chunk
    bool m_entryOpen = false;
    bool m_overwrite = false;
    bool m_writeFailed = false;
    bool m_discardOnFailure = false, m_madeFolder = false, m_discarded = false;
    uint8_t m_eventBefore = 0;  // event byte in force when the open chunk began
    uint8_t m_prevLine = 0, m_prevEvent = 0;
};

}  // namespace qv
