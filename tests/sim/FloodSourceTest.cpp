// The flood source: both lines busy without a pause, for the worst case the
// instrument can be asked to record.
#include "sim/FloodSource.h"

#include <gtest/gtest.h>

#include "capture/CaptureRecord.h"

namespace qv::sim {
namespace {

LineFormat Format(int protocol, double baud) {
    LineFormat f;
    f.protocol = protocol;
    f.sdBaudrate = f.rdBaudrate = baud;
    return f;
}

TEST(Flood, CharactersBackToBackOnBothLinesWithHandshakes) {
    // 12.5 Mbit/s, 8N1: ten bits, 80 ticks a character on each line.
    FloodSource src(Format(kProtocolAsync, 12.5e6), 3, 1000);
    EXPECT_EQ(src.InitialLines(), kLineEr | kLineDr);
    std::atomic<bool> stop{false};
    uint64_t last[2] = {0, 0}, count[2] = {0, 0}, lines = 0, previous = 0;
    uint8_t state = src.InitialLines();
    LineEvent ev;
    for (int i = 0; i < 200000; ++i) {
        ASSERT_TRUE(src.Next(ev, stop));
        ASSERT_GE(ev.time, previous) << i;  // in time order
        previous = ev.time;
        if (ev.kind == LineEventKind::kLines) {
            // One handshake line changes at a time; terminal ready stays up.
            EXPECT_EQ(__builtin_popcount(ev.value ^ state), 1) << i;
            EXPECT_EQ(ev.value & (kLineEr | kLineDr), kLineEr | kLineDr);
            state = ev.value;
            ++lines;
            continue;
        }
        ASSERT_EQ(ev.kind, LineEventKind::kData);
        const RecordKind kind = HeaderKind(ev.header);
        ASSERT_TRUE(kind == RecordKind::kSdData || kind == RecordKind::kRdData);
        const size_t line = kind == RecordKind::kSdData ? 0 : 1;
        EXPECT_EQ(ev.header, MakeHeader(kind));  // no errors
        if (count[line] > 0) {
            EXPECT_EQ(ev.time - last[line], 80u) << i;
        }
        last[line] = ev.time;
        ++count[line];
    }
    // RD half a character behind SD: the lines take turns.
    EXPECT_LE(count[0] > count[1] ? count[0] - count[1] : count[1] - count[0], 1u);
    // A change every 50 to 500 us: over these 80 ms, a few hundred.
    const double ms = (previous - 1000) / 1e5;
    EXPECT_GT(lines, ms * 2);
    EXPECT_LT(lines, ms * 20);

    stop = true;
    EXPECT_FALSE(src.Next(ev, stop));
}

TEST(Flood, FramesFollowEachOtherAndLogicSamplesEveryCharacter) {
    std::atomic<bool> stop{false};
    LineEvent ev;
    {
        FloodSource src(Format(kProtocolHdlc, 1e6), 5, 0);
        uint64_t end[2] = {0, 0};
        int frames = 0;
        for (int i = 0; i < 2000; ++i) {
            ASSERT_TRUE(src.Next(ev, stop));
            if (ev.kind != LineEventKind::kFrame) continue;
            const size_t line = HeaderKind(ev.header) == RecordKind::kSdData ? 0 : 1;
            if (end[line]) {
                EXPECT_EQ(ev.start, end[line] + 1);
            }
            ASSERT_GE(ev.bytes.size(), 16u);
            ASSERT_LE(ev.bytes.size(), 512u);
            // Eight bits a byte at 1 Mbit/s: 800 ticks.
            EXPECT_GE(ev.time - ev.start, 800 * ev.bytes.size());
            end[line] = ev.time;
            ++frames;
        }
        // Frames of 2 ms on average beside a line change every 0.3 ms.
        EXPECT_GT(frames, 200);
    }
    {
        FloodSource src(Format(kProtocolLogic, 1e6), 5, 0);
        for (int i = 0; i < 2000; ++i) {
            ASSERT_TRUE(src.Next(ev, stop));
            if (ev.kind == LineEventKind::kLines) continue;
            // All samples are SD records with the levels in bits 1 and 0.
            EXPECT_EQ(HeaderKind(ev.header), RecordKind::kSdData);
            EXPECT_EQ((ev.header & kFlagLogicSdLevel) != 0, (ev.value & 0x80) != 0);
            EXPECT_EQ((ev.header & kFlagLogicRdLevel) != 0, (ev.value & 0x40) != 0);
        }
    }
}

}  // namespace
}  // namespace qv::sim
