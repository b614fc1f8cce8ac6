// The decoder on its own: what it hands its sinks, with no file anywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "capture/DecodeSink.h"
#include "core/TimeText.h"
#include "device/StreamDecoder.h"
#include "traffic/LineTraffic.h"
#include "traffic/StreamEncoder.h"

namespace qv {
namespace {

// Writes every event down as a line, records one per record whether they
// came one by one or in a sweep, and checks on the way that the line state
// and event byte the decoder reports are the ones its records set.
class EventLog final : public DecodeSink {
  public:
    explicit EventLog(uint64_t room) : m_room(room), m_space(room * kShortRecordSize) {}

    std::vector<std::string> lines;
    uint64_t kinds[4] = {};

    void NewDay(std::string_view date, bool started) override {
        lines.push_back("day " + std::string(date) + (started ? " started" : ""));
        m_first = true;
    }
    void DateSet(std::string_view date) override { lines.push_back("date " + std::string(date)); }
    void LeadingRecord(const DecodedRecord& r) override {
        lines.push_back("lead " + Text(r));
        m_line = r.lineState;
        m_event = r.eventByte;
    }
    bool Record(const DecodedRecord& r) override {
        // A frame record sets nothing: it counts without a value.
        Follow(r.header, r.data ? 0 : r.value);
        EXPECT_EQ(r.lineState, m_line);
        EXPECT_EQ(r.eventByte, m_event);
        lines.push_back("rec " + Text(r));
        m_first = false;
        return false;
    }
    uint8_t* ShortRoom(uint64_t& records) override {
        // The first record of a day comes alone, as a chunk's first does.
        records = m_first ? 0 : m_room;
        return m_space.data();
    }
    bool ShortWritten(const ShortSweep& sweep) override {
        EXPECT_LE(sweep.records, m_room);
        EXPECT_EQ(sweep.stored, m_space.data());
        EXPECT_EQ(sweep.lineBefore, m_line);
        uint64_t kindsBefore[4];
        std::memcpy(kindsBefore, kinds, sizeof kinds);
        for (uint64_t i = 0; i < sweep.records; ++i) {
            const ShortRecord s = DecodeShortRecord(m_space.data() + i * kShortRecordSize);
            DecodedRecord r;
            r.header = s.header;
            r.value = s.value;
            r.start = r.end = s.time;
            Follow(r.header, r.value);
            r.lineState = m_line;
            r.eventByte = m_event;
            lines.push_back("rec " + Text(r));
        }
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(sweep.kinds[k], kinds[k] - kindsBefore[k]);
        EXPECT_EQ(sweep.lineState, m_line);
        EXPECT_EQ(sweep.eventByte, m_event);
        return false;
    }
    void BufferFull() override { lines.push_back("buffer full"); }
    void Trigger(uint8_t code, uint64_t time) override {
        lines.push_back("trigger " + std::to_string(code) + " " + std::to_string(time));
    }

  private:
    static std::string Text(const DecodedRecord& r) {
        std::string t = std::to_string(r.header) + " " + std::to_string(r.value) + " " +
                        std::to_string(r.start) + " " + std::to_string(r.end) + " " +
                        std::to_string(r.length) + " line " + std::to_string(r.lineState) +
                        " event " + std::to_string(r.eventByte);
        if (r.stored) t += " stored " + std::string(reinterpret_cast<const char*>(r.stored), r.storedSize);
        return t;
    }
    // The line state and event byte a record of `header` carrying `value` sets.
    void Follow(uint8_t header, uint8_t value) {
        const RecordKind kind = HeaderKind(header);
        ++kinds[static_cast<int>(kind) & 3];
        if (kind == RecordKind::kLineChange) m_line = value;
        if (kind == RecordKind::kEvent) m_event = value;
    }

    uint64_t m_room;
    std::vector<uint8_t> m_space;
    bool m_first = true;
    uint8_t m_line = 0, m_event = 0;
};

struct NoticeLog : RunNoticeSink {
    std::vector<RunNotice> notices;
    void OnNotice(RunNotice n) override { notices.push_back(n); }
};

// A generated stream of `protocol` crossing midnight, with fillers, trigger
// events, a memory overflow and (4-byte layout) the instrument's stop notice.
std::vector<uint8_t> Stream(Protocol protocol) {
    sim::TrafficOptions opt;
    opt.protocol = ProtocolCode(protocol);
    opt.seed = 5;
    opt.startTicks = kTicksPerDay - 2 * kTicksPerSecond;
    sim::LineTraffic traffic(opt);
    sim::StreamEncoder enc(ProtocolCode(protocol), {2024, 12, 31});
    std::vector<uint8_t> out;
    sim::LineEvent first = traffic.Next();
    enc.Begin(out, first.time, first.value);
    for (int i = 0; i < 3000; ++i) {
        enc.Add(out, traffic.Next());
        if (i % 101 == 0) enc.AddFiller(out, static_cast<uint32_t>(i % 11));
        if (i % 499 == 0) AppendStreamItem(out, StreamItem::TriggerStep(3, 7));
    }
    AppendStreamItem(out, StreamItem::TriggerTime(kTriggerCodeBufferFull, 12345));
    enc.AddNotice(out);  // the 4-byte layout only
    return out;
}

struct Decoded {
    std::vector<std::string> lines;
    std::vector<RunNotice> notices;
    size_t left = 0;
};

Decoded DecodeInReads(Protocol protocol, const std::vector<uint8_t>& stream, size_t read,
                      uint64_t room) {
    EventLog log(room);
    NoticeLog notices;
    StreamDecoder decoder(log, &notices);
    decoder.Reset(protocol);
    ReceiveBuffer buffer;
    for (size_t at = 0; at < stream.size(); at += read)
        decoder.Feed(buffer, {stream.data() + at, std::min(read, stream.size() - at)});
    return {log.lines, notices.notices, buffer.Fill()};
}

TEST(DecoderEventsTest, AStreamSplitAtEveryByteGivesTheEventsOfTheWholeStream) {
    for (Protocol protocol : {Protocol::kAsync, Protocol::kSync, Protocol::kHdlc, Protocol::kLogic}) {
        SCOPED_TRACE(ProtocolCode(protocol));
        const std::vector<uint8_t> stream = Stream(protocol);
        const Decoded whole = DecodeInReads(protocol, stream, stream.size(), 1000);
        ASSERT_GT(whole.lines.size(), 1000u);
        EXPECT_EQ(whole.left, 0u);
        if (!UsesFrameRecords(protocol)) {
            EXPECT_EQ(whole.notices, std::vector<RunNotice>{RunNotice::kStop});
        }
        EXPECT_NE(std::find(whole.lines.begin(), whole.lines.end(), "buffer full"),
                  whole.lines.end());
        // Reads of 1 to 13 bytes cut every item at every byte; a small room
        // cuts the sweeps of short records anywhere too.
        for (size_t read : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{13}}) {
            for (uint64_t room : {uint64_t{1}, uint64_t{37}}) {
                SCOPED_TRACE(testing::Message() << "read " << read << " room " << room);
                const Decoded split = DecodeInReads(protocol, stream, read, room);
                ASSERT_EQ(split.lines.size(), whole.lines.size());
                for (size_t i = 0; i < whole.lines.size(); ++i)
                    ASSERT_EQ(split.lines[i], whole.lines[i]) << "event " << i;
                EXPECT_EQ(split.notices, whole.notices);
                EXPECT_EQ(split.left, whole.left);
            }
        }
    }
}

}  // namespace
}  // namespace qv
