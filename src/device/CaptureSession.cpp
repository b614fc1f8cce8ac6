#include "device/CaptureSession.h"

#include <algorithm>
#include <cstring>

namespace qv {

CaptureSession::CaptureSession(Log* log, RunNoticeSink* notices)
    : m_files(log, notices),
      m_buffer(std::make_unique<ReceiveBuffer>()),
      m_decoder(m_files.Sink(), notices) {}

CaptureSession::~CaptureSession() = default;

void CaptureSession::KeepLiveRing(bool keep) {
    if (!keep)
        m_live.reset();
    else if (!m_live)
        m_live = std::make_unique<LiveRingSink>(m_files.Sink().Totals());
    m_decoder.SetLiveSink(m_live.get());
}

void CaptureSession::DecodeBlock(const uint8_t* p, size_t n) {
    // Enough to complete any item left at the end of the previous block.
    constexpr size_t kJoin = 4096;
    ReceiveBuffer& buffer = *m_buffer;
    while (n > 0) {
        if (buffer.Fill() == 0) {
            const size_t taken = m_decoder.Decode(p, n);
            p += taken;
            n -= taken;
            if (n == 0) break;
        }
        const size_t before = buffer.Fill();
        const size_t k = std::min({n, buffer.FreeSize(), kJoin});
        if (k == 0) break;  // decoding has stopped in front of a full buffer: dropped
        std::memcpy(buffer.FreeSpace(), p, k);
        buffer.Commit(k);
        p += k;
        n -= k;
        m_decoder.Decode(buffer);
        // Once decoding has gone past the bytes that waited, what is left in
        // the buffer is the end of the piece just copied: decode it where it
        // lies again.
        const size_t left = buffer.Fill();
        if (left <= k && before + k > left) {
            p -= left;
            n += left;
            buffer.Clear();
        }
    }
}

int CaptureSession::Start(const CaptureStartInfo& info) {
    m_buffer->Clear();
    m_decoder.Reset(
        ProtocolFromCode(info.settings.status.monitor.Protocol).value_or(Protocol::kAsync));
    if (m_live) m_live->Ring().Clear();
    return m_files.Start(info);
}

}  // namespace qv
