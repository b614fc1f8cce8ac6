#include "capture/RecordStart.h"

#include "settings/MonitorSettings.h"

namespace qv {

AsyncCharTiming CharTimingOf(const MonitorSettings& m, double frequency) {
    return AsyncCharTiming{m.SD_Baudrate, m.RD_Baudrate,  m.DataLen,      m.Parity,
                           m.StopBit,     m.SD_ClockRate, m.RD_ClockRate, frequency};
}

RecordStart::RecordStart(Protocol protocol, const AsyncCharTiming& timing) {
    if (!TraitsOf(protocol).startStopCharacters) return;
    m_sd = timing.CharTicks(true);
    m_rd = timing.CharTicks(false);
}

}  // namespace qv
