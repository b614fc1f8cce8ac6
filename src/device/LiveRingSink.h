// The live ring as a sink of the decoder: a watched run's newest records,
// each with its numbers in the capture (taken from the capture's totals
// before the record is counted, so the live sink goes ahead of the files).
#pragma once

#include "capture/ChunkSink.h"
#include "capture/DecodeSink.h"
#include "core/NumberText.h"
#include "device/LiveRing.h"

namespace qv {

class LiveRingSink final : public DecodeSink {
  public:
    // `totals` are the capture's, which must outlive the sink.
    explicit LiveRingSink(const CaptureTotals& totals) : m_totals(totals) {}

    LiveRing& Ring() { return m_ring; }
    const LiveRing& Ring() const { return m_ring; }

    // A record's ticks count from the day in force when it was decoded; a
    // run that crosses midnight holds records of two days in the ring.
    void NewDay(std::string_view yymmdd, bool) override { SetDate(yymmdd); }
    void DateSet(std::string_view yymmdd) override { SetDate(yymmdd); }

    bool Record(const DecodedRecord& record) override {
        LiveRecord& live = m_ring.NextSlot();
        live.date = m_date;
        live.header = record.header;
        live.value = record.value;
        live.lineState = record.lineState;
        live.start = record.start;
        live.end = record.end;
        live.length = record.length;
        if (record.stored)
            live.data.assign(record.data, record.data + (record.data ? record.length : 0));
        // The record's own numbers (1-based), as the stored capture numbers
        // it; a frame is numbered like any other record.
        const RecordKind kind = HeaderKind(record.header);
        CountTriple& triple = m_ring.NextTriple();
        triple.records = m_totals.records + 1;
        triple.sd = kind == RecordKind::kSdData ? m_totals.kinds[0] + 1 : 0;
        triple.rd = kind == RecordKind::kRdData ? m_totals.kinds[1] + 1 : 0;
        m_ring.Advance();
        return false;
    }

    // Of a sweep only the newest kSlots records can stay in the ring: the
    // older ones are counted, not copied.
    bool ShortWritten(const ShortSweep& sweep) override {
        const uint64_t n = sweep.records;
        const uint64_t from = n > LiveRing::kSlots ? n - LiveRing::kSlots : 0;
        const uint8_t* p = sweep.stored;
        auto kind = [p](uint64_t k) { return HeaderKind(p[k * kShortRecordSize]); };
        // The line state in force before record `from`: set by the last line
        // change ahead of it, or by none in the sweep.
        uint8_t line = sweep.lineBefore;
        for (uint64_t k = from; k-- > 0;) {
            if (kind(k) == RecordKind::kLineChange) {
                line = p[k * kShortRecordSize + 1];
                break;
            }
        }
        // The numbers of record `from`: the sweep's counts less those of the
        // records kept.
        uint64_t sd = m_totals.kinds[0] + sweep.kinds[0], rd = m_totals.kinds[1] + sweep.kinds[1];
        for (uint64_t k = from; k < n; ++k) {
            sd -= kind(k) == RecordKind::kSdData;
            rd -= kind(k) == RecordKind::kRdData;
        }
        m_ring.Skip(from);
        for (uint64_t k = from; k < n; ++k) {
            const ShortRecord s = DecodeShortRecord(p + k * kShortRecordSize);
            const RecordKind recordKind = HeaderKind(s.header);
            if (recordKind == RecordKind::kLineChange) line = s.value;
            LiveRecord& live = m_ring.NextSlot();
            live.date = m_date;
            live.header = s.header;
            live.value = s.value;
            live.lineState = line;
            live.start = live.end = s.time;
            live.length = 1;
            CountTriple& triple = m_ring.NextTriple();
            triple.records = m_totals.records + k + 1;
            triple.sd = recordKind == RecordKind::kSdData ? ++sd : 0;
            triple.rd = recordKind == RecordKind::kRdData ? ++rd : 0;
            m_ring.Advance();
        }
        return false;
    }

  private:
    void SetDate(std::string_view yymmdd) { m_date = static_cast<int>(ParseLeadingInt(yymmdd)); }

    const CaptureTotals& m_totals;
    int m_date = 0;
    LiveRing m_ring;
};

}  // namespace qv
