#include "traffic/StreamEncoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/TimeText.h"

namespace qv::sim {
namespace {

// Walks a stream the way the decoder keeps time and returns the data items in
// order with their time of day and day count.
struct Seen {
    ItemType type;
    uint8_t header, value;
    uint64_t time;
    int dates;
};

std::vector<Seen> Walk(const std::vector<uint8_t>& s, StreamLayout layout) {
    std::vector<Seen> seen;
    uint64_t running = 0;
    int dates = 0;
    size_t pos = 0;
    while (pos < s.size()) {
        StreamItem it;
        const size_t n = ParseStreamItem(s.data() + pos, s.size() - pos, layout, it);
        EXPECT_NE(n, 0u) << "truncated item at " << pos;
        if (n == 0) break;
        pos += n;
        switch (it.type) {
            case ItemType::kDate:
                ++dates;
                running = 0;
                break;
            case ItemType::kTime:
                running = it.time;
                break;
            case ItemType::kFiller:
                pos += it.fillerLength;
                break;
            case ItemType::kData:
                running += it.step;
                seen.push_back({it.type, it.first, it.value, running, dates});
                break;
            case ItemType::kLineChange:
            case ItemType::kEvent:
                seen.push_back({it.type, it.first, it.value, it.time, dates});
                break;
            case ItemType::kFrame:
                seen.push_back({it.type, it.first, it.dataLength, it.endTime, dates});
                break;
            case ItemType::kTriggerStep:
                running += it.step;
                break;
            case ItemType::kTriggerTime:
                running = it.time;
                break;
            default:
                ADD_FAILURE() << "unexpected item " << int(it.first);
        }
    }
    return seen;
}

TEST(StreamEncoderTest, AsyncEventsKeepTheirTimesAcrossLongGapsAndMidnight) {
    TrafficOptions opt;
    opt.sdBaudrate = opt.rdBaudrate = 9600;  // characters 1 ms apart: steps overflow
    opt.startTicks = kTicksPerDay - 2ULL * kTicksPerSecond;
    opt.seed = 7;
    LineTraffic traffic(opt);
    StreamEncoder enc(kProtocolAsync, {2024, 12, 31});
    std::vector<uint8_t> s;
    LineEvent first = traffic.Next();
    enc.Begin(s, first.time, first.value);
    std::vector<LineEvent> events;
    for (int i = 0; i < 3000; ++i) {
        events.push_back(traffic.Next());
        enc.Add(s, events.back());
    }
    const std::vector<Seen> seen = Walk(s, StreamLayout::kShort);
    // Leading records: one at Begin and one per midnight.
    ASSERT_GE(enc.Day().year, 2025);
    EXPECT_EQ(enc.Day().month, 1);
    size_t j = 1;  // seen[0] is the opening line change
    for (const LineEvent& ev : events) {
        if (ev.kind == LineEventKind::kTrigger) continue;
        while (j < seen.size() && seen[j].time == 0 && seen[j].header == 0xC0 &&
               seen[j].dates != seen[j - 1].dates)
            ++j;  // the leading record after a date
        ASSERT_LT(j, seen.size());
        EXPECT_EQ(seen[j].time + uint64_t(seen[j].dates - 1) * kTicksPerDay, ev.time);
        EXPECT_EQ(seen[j].value, ev.value);
        ++j;
    }
}

TEST(StreamEncoderTest, LongFramesGoOutAsPiecesOf255) {
    std::vector<uint8_t> data(600, 0x55);
    LineEvent ev;
    ev.kind = LineEventKind::kFrame;
    ev.start = 1000;
    ev.time = 61000;
    ev.header = 0x80;
    ev.bytes = data;
    StreamEncoder enc(kProtocolHdlc, {2024, 1, 1});
    std::vector<uint8_t> s;
    enc.Begin(s, 500, 0x30);
    enc.Add(s, ev);
    const std::vector<Seen> seen = Walk(s, StreamLayout::kWide);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].header, 0x90);
    EXPECT_EQ(seen[1].value, 255);
    EXPECT_EQ(seen[2].header, 0x90);
    EXPECT_EQ(seen[3].header, 0x80);
    EXPECT_EQ(seen[3].value, 90);
    EXPECT_EQ(seen[3].time, 61000u);
}

TEST(StreamEncoderTest, SameSeedSameTraffic) {
    for (int protocol : {kProtocolAsync, kProtocolSync, kProtocolHdlc, kProtocolLogic}) {
        TrafficOptions opt;
        opt.protocol = protocol;
        opt.seed = 42;
        LineTraffic a(opt), b(opt);
        uint64_t last = 0;
        for (int i = 0; i < 2000; ++i) {
            LineEvent x = a.Next(), y = b.Next();
            ASSERT_EQ(x.time, y.time);
            ASSERT_EQ(x.value, y.value);
            ASSERT_GE(x.time, last) << "events must come in time order";
            last = x.time;
        }
    }
}

TEST(StreamEncoderTest, NextDayWalksTheCalendar) {
    EXPECT_EQ(NextDay({2024, 2, 28}).day, 29);
    EXPECT_EQ(NextDay({2023, 2, 28}).month, 3);
    StreamDate d = NextDay({2024, 12, 31});
    EXPECT_EQ(d.year, 2025);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
}

}  // namespace
}  // namespace qv::sim
