// A capture being recorded from a stream: the capture's files (CaptureFiles),
// the receive buffer and the decoder that feeds them, and, while a view
// watches the run, the live ring of its newest records.
#pragma once

#include <ctime>
#include <memory>
#include <span>
#include <string>

#include "capture/CaptureFiles.h"
#include "core/RunNotice.h"
#include "device/LiveRingSink.h"
#include "device/StreamDecoder.h"

namespace qv {

class Log;

class CaptureSession {
  public:
    // `log` (which also shows failures through its prompt) and `notices` may be null.
    CaptureSession(Log* log, RunNoticeSink* notices);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Whether the decoded records also go to the live ring, for a view that
    // shows the run as it goes. Off until asked for.
    void KeepLiveRing(bool keep);

    // Makes the capture on disk (see CaptureFiles::Start) and readies the
    // decoder for the run's protocol. 0, -1, -5, -19 or -20.
    int Start(const CaptureStartInfo& info);
    // Finishes the capture on disk (see CaptureFiles::Stop).
    int Stop(std::time_t stopClock) { return m_files.Stop(stopClock); }

    StreamDecoder& Decoder() { return m_decoder; }
    const StreamDecoder& Decoder() const { return m_decoder; }
    ReceiveBuffer& Buffer() { return *m_buffer; }
    // Appends bytes read from the instrument and decodes them.
    void Feed(std::span<const uint8_t> bytes) { m_decoder.Feed(*m_buffer, bytes); }
    // Decodes what the buffer holds.
    void Decode() { m_decoder.Decode(*m_buffer); }
    // Writes the records buffered for the chunk file to disk now.
    void FlushBuffered() { m_files.Sink().FlushBuffered(); }
    // Decodes `n` bytes read from the instrument, held elsewhere (a block
    // handed over by the reading side). Most are decoded where they lie:
    // only an item split between two blocks, and what waits behind an item
    // decoding stopped in front of, go through the receive buffer.
    void DecodeBlock(const uint8_t* bytes, size_t n);

    // The capture's side: totals, chunk table, trigger events, write failures.
    const ChunkSink& Capture() const { return m_files.Sink(); }
    // The live ring; null unless KeepLiveRing asked for it.
    LiveRing* Ring() { return m_live ? &m_live->Ring() : nullptr; }
    const LiveRing* Ring() const { return m_live ? &m_live->Ring() : nullptr; }

    bool Running() const { return m_files.Running(); }
    uint64_t KeptChunks() const { return m_files.KeptChunks(); }
    const std::string& FolderPath() const { return m_files.FolderPath(); }
    const std::string& FolderName() const { return m_files.FolderName(); }
    std::string IndexPath() const { return m_files.IndexPath(); }
    CaptureIndex& Index() { return m_files.Index(); }

  private:
    CaptureFiles m_files;
    std::unique_ptr<ReceiveBuffer> m_buffer;
    StreamDecoder m_decoder;
    std::unique_ptr<LiveRingSink> m_live;  // only while a view watches
};

}  // namespace qv
