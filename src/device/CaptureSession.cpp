#include "device/CaptureSession.h"

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

int CaptureSession::Start(const CaptureStartInfo& info) {
    m_buffer->Clear();
    m_decoder.Reset(
        ProtocolFromCode(info.settings.status.monitor.Protocol).value_or(Protocol::kAsync));
    if (m_live) m_live->Ring().Clear();
    return m_files.Start(info);
}

}  // namespace qv
