// The live pcapng stream ends a message only on what the reads tell: a read
// that found the instrument holding nothing, begun at least the gap (and the
// hand-over allowance) after the read that brought the message's last
// character. Wall time alone never ends it, since the next character may
// still wait in a read that is late.
#include "export/PcapngStream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "support/TempDir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;

// Packet blocks in a little-endian pcapng file.
size_t PacketBlocks(const std::string& bytes) {
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
        return v;
    };
    size_t n = 0;
    for (size_t at = 0; at + 12 <= bytes.size();) {
        const uint32_t length = u32(at + 4);
        if (length < 12 || at + length > bytes.size()) break;
        n += u32(at) == 6;
        at += length;
    }
    return n;
}

TEST(PcapngStreamTest, OnlyAReadThatFoundTheGapPassedEndsAMessage) {
    using Clock = LiveStream::Clock;
    using std::chrono::milliseconds;
    TempDir dir;
    const std::string file = dir.file("live.pcapng");
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    PcapngStream stream(fd, PayloadKind::kNone, "test");
    CaptureStartInfo info;  // 9600 bit/s 8N1: the gap is 3.5 x 1.04 ms
    stream.Begin(info, dir.file("x.qvr"), 1e8);
    ASSERT_EQ(stream.Refusal(), "");
    stream.DateSet("261208");

    const auto read = Clock::now();
    stream.BlockRead(read);
    DecodedRecord r;
    r.header = MakeHeader(RecordKind::kSdData);
    for (uint64_t i = 0; i < 2; ++i) {
        r.value = static_cast<uint8_t>(0x41 + i);
        r.start = r.end = 1'000'000'000 + i * 104'167;
        stream.Record(r);
    }
    const auto decoded = Clock::now();
    stream.Tick();
    EXPECT_EQ(PacketBlocks(ReadBytes(file)), 0u);
    // The read it waits for: the gap and the allowance after the block's read.
    const auto wanted = stream.ReadWanted();
    EXPECT_GE(wanted, read + PcapngStream::kHandOverAllowance + milliseconds(3));
    EXPECT_LE(wanted, read + PcapngStream::kHandOverAllowance + milliseconds(4));

    // However long no read comes (longer than a read step and the gap), the
    // message stays open.
    while (Clock::now() - decoded < milliseconds(200)) {
        std::this_thread::sleep_for(milliseconds(10));
        stream.Tick();
    }
    EXPECT_EQ(PacketBlocks(ReadBytes(file)), 0u);
    // A read begun before the gap had passed tells too little.
    stream.Heard(wanted - milliseconds(1));
    stream.Tick();
    EXPECT_EQ(PacketBlocks(ReadBytes(file)), 0u);
    EXPECT_EQ(stream.ReadWanted(), wanted);
    // One begun after it ends the message.
    stream.Heard(wanted);
    stream.Tick();
    EXPECT_EQ(PacketBlocks(ReadBytes(file)), 1u);
    EXPECT_EQ(stream.ReadWanted(), Clock::time_point::max());
    stream.End();
    ::close(fd);
}

}  // namespace
}  // namespace qv
