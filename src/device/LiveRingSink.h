// The live ring as a sink of the decoder: a watched run's newest records,
// each with its numbers in the capture (taken from the capture's totals
// before the record is counted, so the live sink goes ahead of the files).
#pragma once

#include "capture/ChunkSink.h"
#include "capture/DecodeSink.h"
#include "device/LiveRing.h"

namespace qv {

class LiveRingSink final : public DecodeSink {
  public:
    // `totals` are the capture's, which must outlive the sink.
    explicit LiveRingSink(const CaptureTotals& totals) : m_totals(totals) {}

    LiveRing& Ring() { return m_ring; }
    const LiveRing& Ring() const { return m_ring; }

    void Record(const DecodedRecord& record) override {
        LiveRecord& live = m_ring.NextSlot();
        live.header = record.header;
        live.value = record.value;
        live.lineState = record.lineState;
        live.start = record.start;
        live.end = record.end;
        live.length = record.length;
        if (record.stored) {
            live.data.assign(record.data, record.data + (record.data ? record.length : 0));
        } else {
            // The record's own numbers (1-based), as the stored capture numbers it.
            const RecordKind kind = HeaderKind(record.header);
            CountTriple& triple = m_ring.NextTriple();
            triple.records = m_totals.records + 1;
            triple.sd = kind == RecordKind::kSdData ? m_totals.kinds[0] + 1 : 0;
            triple.rd = kind == RecordKind::kRdData ? m_totals.kinds[1] + 1 : 0;
        }
        m_ring.Advance();
    }

  private:
    const CaptureTotals& m_totals;
    LiveRing m_ring;
};

}  // namespace qv
