#include "device/RunSnapshot.h"

#include <algorithm>

#include "capture/CaptureReader.h"
#include "capture/CaptureRecord.h"
#include "capture/ChunkData.h"
#include "capture/RecordTime.h"
#include "core/Log.h"
#include "device/CaptureSession.h"

namespace qv {

void RunSnapshot::Clear(bool ring) {
    for (auto& t : m_totals)
        t.store(0, std::memory_order_relaxed);
    m_bufferFull = false;
    m_overflows = m_gapTicks = m_writeFailures = m_frozenTotal = 0;
    std::lock_guard lock(m_ringMutex);
    m_ring.Clear();
    m_hasRing = ring;
}

void RunSnapshot::Publish(const CaptureSession& session) {
    const CaptureTotals& t = session.Capture().Totals();
    m_totals[0].store(t.records, std::memory_order_relaxed);
    for (int i = 0; i < 4; ++i)
        m_totals[1 + i].store(t.kinds[i], std::memory_order_relaxed);
    for (int i = 0; i < 10; ++i)
        m_totals[5 + i].store(t.changes[i], std::memory_order_relaxed);
    m_bufferFull.store(session.Decoder().BufferFull(), std::memory_order_relaxed);
    const CaptureGaps& gaps = session.Capture().Gaps();
    m_overflows.store(gaps.Count(), std::memory_order_relaxed);
    m_gapTicks.store(gaps.CoveredTicks(), std::memory_order_relaxed);
    m_writeFailures.store(session.Capture().WriteFailures(), std::memory_order_relaxed);
    const LiveRing* ring = session.Ring();
    if (!ring) return;
    std::lock_guard lock(m_ringMutex);
    m_ring.TakeNewest(*ring);
}

uint64_t RunSnapshot::Total(int field) const {
    if (field >= kCountSd && field <= kCountEvents)
        return m_totals[1 + field - kCountSd].load(std::memory_order_relaxed);
    if (field >= kCountBit7Changes && field <= kCountEventBit6Changes)
        return m_totals[5 + field - kCountBit7Changes].load(std::memory_order_relaxed);
    return 0;
}

void RunSnapshot::Freeze() {
    std::lock_guard lock(m_ringMutex);
    m_ring.Freeze();
    m_frozenTotal = Records();
}

int RunSnapshot::Rows(bool frozen, int first, int count, std::vector<LiveRow>& out,
                      Log& log) const {
    out.clear();
    std::lock_guard lock(m_ringMutex);
    if (!m_hasRing || first < 0 || first >= LiveRing::kSlots) return kQvrNoRecord;
    const int end = std::min(m_ring.Count(frozen), first + std::max(count, 0));
    if (end > first) out.reserve(static_cast<size_t>(end - first));
    for (int i = first; i < end; ++i) {
        const int slot = m_ring.SlotOfOldest(i, frozen);
        const LiveRecord& r = *m_ring.At(slot, frozen);
        const CountTriple& c = *m_ring.TripleAt(slot, frozen);
        LiveRow row;
        row.header = r.header;
        row.value = r.value;
        row.tr = c.records;
        row.sd = c.sd;
        row.rd = c.rd;
        // The end time moved into the day it falls in, as the stored
        // capture will show it; each record keeps the day its ticks count
        // from, since a run that crossed midnight holds two.
        const int date = r.date;
        const int64_t ticks = static_cast<int64_t>(r.end);
        if (auto moved = NormaliseDayTime(date, ticks)) {
            row.time = *moved;
        } else {
            log.Write("ERR", "CommThread", __LINE__, "CTimeコンストラクタＮＧ！");
            row.time = DayTime{date, ticks < 0 ? 0 : static_cast<uint64_t>(ticks)};
        }
        out.push_back(row);
    }
    return 0;
}

}  // namespace qv
