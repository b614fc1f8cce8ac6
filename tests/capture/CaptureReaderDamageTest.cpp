// Captures from other people's disks can be damaged. Each damage gives its
// code, the cursor stays on a valid record, and nothing is read out of bounds
// (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "capture/CaptureReader.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

using test::AppHome;
using test::CaptureBuilder;

class DamageTest : public ::testing::Test {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;
    std::string folder = Make("20241106100000");

    std::string Make(const std::string& name) {
        std::string f = home.file(name);
        std::filesystem::create_directories(f);
        return f;
    }
    // Two ASYNC chunks of 10 records each.
    std::string Build(CaptureBuilder& b) {
        for (int c = 0; c < 2; ++c) {
            b.StartChunk("241106", 0);
            for (int i = 0; i < 10; ++i)
                b.Add(RecordKind::kSdData, static_cast<uint8_t>(i), 1000 + c * 100 + i);
        }
        return b.Finish();
    }
};

TEST_F(DamageTest, IndexProblems) {
    CaptureReader f(store, log);
    EXPECT_EQ(f.Open(folder + "/x.qvs"), kQvrNoIndex);
    EXPECT_FALSE(f.HasRecord());

    CaptureBuilder none(folder, kProtocolAsync);
    none.StartChunk("241106", 0);
    std::string index = none.Finish(/*writeEntries=*/false);
    EXPECT_EQ(f.Open(index), kQvrNoIndex);
    EXPECT_EQ(f.GetTotalRecords(), 0u);
    EXPECT_EQ(f.NextRecord(), kQvrNoRecord);
    std::string text;
    uint64_t ticks = 1;
    EXPECT_EQ(f.GetStartTime(text, ticks), kQvrNoRecord);
    EXPECT_EQ(text, "");
    EXPECT_EQ(ticks, 0u);

    CaptureBuilder eight(Make("20241106100001"), 8);
    eight.StartChunk("241106", 0);
    eight.Add(RecordKind::kSdData, 1, 1);
    std::string eightIndex = eight.Finish();
    IniFile ini;
    ini.SetPath(eightIndex);
    ini.WriteString("MonitorStatus", "Protocol", "BSC");  // a word no reader knows
    EXPECT_EQ(f.Open(eightIndex), kQvrBadProtocol);
}

// The chunk table ends at an entry with the wrong number of fields: read as
// an empty chunk it would give the records after it frame numbers the totals
// do not count and the date of no chunk ("00/00/00").
TEST_F(DamageTest, TheChunkTableEndsAtAnEntryWithWrongCommas) {
    CaptureBuilder b(folder, kProtocolAsync);
    std::string index = Build(b);
    IniFile ini;
    ini.SetPath(index);
    ini.WriteString("DataFile", "2", "241106,00:00:00 000:000:000,10,0,0");
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    EXPECT_EQ(f.GetMalformedEntry(), 2u);
    EXPECT_EQ(f.GetChunkCount(), 1u);
    EXPECT_EQ(f.GetTotalRecords(), 10u);
    int steps = 0;
    do {
        std::string text;
        uint64_t ticks = 0;
        ASSERT_EQ(f.GetEndTime(text, ticks), 0);
        EXPECT_EQ(text.substr(0, 8), "24/11/06");
    } while (f.NextRecord() == 0 && ++steps < 100);
    EXPECT_EQ(steps, 9);
    EXPECT_EQ(f.GoToFrame(10), kQvrNotFound);

    // Malformed from the first entry: no chunk at all.
    ini.WriteString("DataFile", "1", "241106,00:00:00 000:000:000,10");
    EXPECT_EQ(f.Open(index), kQvrNoIndex);
    EXPECT_EQ(f.GetMalformedEntry(), 1u);
}

TEST_F(DamageTest, MissingAndTruncatedChunks) {
    CaptureBuilder b(folder, kProtocolAsync);
    std::string index = Build(b);
    std::filesystem::remove(b.ChunkPath(2));
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    ASSERT_EQ(f.GoToFrame(9), 0);
    EXPECT_EQ(f.NextRecord(), kQvrChunkOpen);  // not the end: records are missing
    EXPECT_EQ(f.GoToFrame(15), kQvrChunkOpen);
    CursorPosition pos;
    ASSERT_EQ(f.GetCursor(pos), 0);
    EXPECT_EQ(pos.frame, 9u);

    // A chunk cut inside its last record: the record is completed with zeros.
    std::filesystem::resize_file(b.ChunkPath(1), 8 + 9 * 8 + 3);
    ASSERT_EQ(f.Open(index), 0);
    ASSERT_EQ(f.GoToFrame(9), 0);
    CaptureFrame fr;
    f.GetFrame(fr);
    EXPECT_EQ(fr.Value(), 9);
    EXPECT_EQ(fr.EndTicks(), 1009u & 0xFF);           // one byte of the stamp was left
    std::filesystem::resize_file(b.ChunkPath(1), 3);  // not even a leading record
    ASSERT_EQ(f.Open(index), 0);
    EXPECT_FALSE(f.HasRecord());
    EXPECT_EQ(f.GoToFrame(0), kQvrNotFound);

    std::filesystem::remove(b.ChunkPath(1));
    EXPECT_EQ(f.Open(index), kQvrChunkOpen);
}

TEST_F(DamageTest, FrameLengthRunningPastTheEnd) {
    CaptureBuilder b(folder, kProtocolSync);
    b.StartChunk("241106", 0x80);
    b.AddFrame(RecordKind::kSdData, 10, 20, {1, 2, 3});
    b.AddFrame(RecordKind::kRdData, 30, 40, std::vector<uint8_t>(600, 0x55));
    b.AddFrame(RecordKind::kSdData, 50, 60, {});
    std::string index = b.Finish();
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    ASSERT_EQ(f.GoToFrame(1), 0);
    EXPECT_EQ(f.GetDataLength(), 600u);
    ASSERT_EQ(f.GoToFrame(2), 0);
    EXPECT_EQ(f.GetDataLength(), 0u);  // an empty frame still takes a slot
    std::vector<uint8_t> raw;
    f.GetRawRecord(raw);
    EXPECT_EQ(raw.size(), 16u);

    // Cut the 600-byte frame short: the frames before it stay readable.
    std::filesystem::resize_file(b.ChunkPath(1), 8 + 19 + 16 + 300);
    EXPECT_EQ(f.Open(index), kQvrChunkRead);
    ASSERT_TRUE(f.HasRecord());
    EXPECT_EQ(f.GetDataLength(), 3u);
    EXPECT_EQ(f.NextRecord(), kQvrNotFound);
}

TEST_F(DamageTest, ChunkWithMoreRecordsThanTheSlotsIsRefused) {
    CaptureBuilder b(folder, kProtocolAsync);
    b.StartChunk("241106", 0);
    for (uint32_t i = 0; i <= kMaxChunkRecords; ++i)
        b.Add(RecordKind::kSdData, 0, i);
    CaptureReader f(store, log);
    EXPECT_EQ(f.Open(b.Finish()), kQvrChunkTooLarge);
    EXPECT_FALSE(f.HasRecord());
}

TEST_F(DamageTest, EntryClaimingMoreRecordsThanTheFileHolds) {
    CaptureBuilder b(folder, kProtocolAsync);
    b.StartChunk("241106", 0);
    for (int i = 0; i < 10; ++i)
        b.Add(RecordKind::kSdData, 0, i);
    b.entries()[0].sdRecords = 40000;
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(b.Finish()), 0);
    EXPECT_EQ(f.GoToFrame(20000), kQvrNotFound);
    EXPECT_EQ(f.GoToNthOfDirection(30000, 1), kQvrNoRecord);
    EXPECT_EQ(f.NextOfType(kJumpRd), kQvrNotFound);
    CursorPosition pos;
    ASSERT_EQ(f.GetCursor(pos), 0);
    EXPECT_EQ(pos.frame, 0u);
}

TEST_F(DamageTest, RandomChunkBytesNeverReadOutOfBounds) {
    for (int proto : {kProtocolAsync, kProtocolSync}) {
        std::string dir = Make("rnd" + std::to_string(proto));
        CaptureBuilder b(dir, proto);
        b.StartChunk("241106", 0);
        b.Add(RecordKind::kLineChange, 1, 1);
        std::string index = b.Finish();
        uint32_t seed = 1;
        for (int round = 0; round < 50; ++round) {
            std::vector<uint8_t> junk(static_cast<size_t>(round * 37 % 700));
            for (auto& x : junk)
                x = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
            std::ofstream(b.ChunkPath(1), std::ios::binary)
                .write(reinterpret_cast<const char*>(junk.data()),
                       static_cast<std::streamsize>(junk.size()));
            CaptureReader f(store, log);
            f.Open(index);
            std::vector<uint8_t> data;
            std::string text;
            uint64_t t;
            int guard = 0;
            do {
                f.GetData(data);
                f.GetStartTime(text, t);
                f.NextOfType(kJumpData);
            } while (f.NextRecord() == 0 && ++guard < 1000);
        }
    }
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The capture a run leaves when it stops right after a chunk switch: a last
// chunk with no record, whose entry kept the previous chunk's start time.
TEST_F(DamageTest, EmptyLastChunkIsPassedOverByEveryPositioning) {
    CaptureBuilder b(folder, kProtocolAsync);
    for (int c = 0; c < 2; ++c) {
        b.StartChunk("241106", 0);
        for (int i = 0; i < 10; ++i)
            b.Add(RecordKind::kSdData, static_cast<uint8_t>(i), 1000 + c * 100 + i);
    }
    b.StartChunk("241106", 0);
    b.entries()[2].startTime = b.entries()[1].startTime;
    const std::string index = b.Finish();
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), kQvrOk);
    ASSERT_EQ(f.GetChunkCount(), 3u);
    CursorPosition pos;
    // Every time in the second chunk, and after it, lands on its records.
    for (uint64_t t : {1100u, 1105u, 1109u, 5000u}) {
        SCOPED_TRACE(t);
        ASSERT_EQ(f.GoToTime({241106, t}), kQvrOk);
        ASSERT_EQ(f.GetCursor(pos), kQvrOk);
        EXPECT_EQ(pos.chunk, 2u);
        EXPECT_EQ(pos.frame, t >= 1109 ? 19u : 10 + (t - 1100));
    }
    ASSERT_EQ(f.GoToTime({241106, 1003}), kQvrOk);
    ASSERT_EQ(f.GetCursor(pos), kQvrOk);
    EXPECT_EQ(pos.frame, 3u);
    // Walking off the end is the end, not a failure.
    ASSERT_EQ(f.GoToFrame(19), kQvrOk);
    EXPECT_EQ(f.NextRecord(), kQvrNotFound);
}

// A chunk file that is gone is reported where it is met, with its number,
// instead of passing for the end of the capture.
TEST_F(DamageTest, MissingChunkIsAFailureNotTheEnd) {
    for (uint32_t gone : {2u, 3u}) {
        SCOPED_TRACE(gone);
        CaptureBuilder b(Make("2024110610000" + std::to_string(gone)), kProtocolAsync);
        for (int c = 0; c < 3; ++c) {
            b.StartChunk("241106", 0);
            for (int i = 0; i < 10; ++i)
                b.Add(RecordKind::kSdData, static_cast<uint8_t>(i), 1000 + c * 100 + i);
        }
        const std::string index = b.Finish();
        std::filesystem::remove(b.ChunkPath(gone));
        CaptureReader f(store, log);
        ASSERT_EQ(f.Open(index), kQvrOk);
        ASSERT_EQ(f.GoToFrame(gone * 10 - 11), kQvrOk);
        EXPECT_EQ(f.NextRecord(), kQvrChunkOpen);
        EXPECT_EQ(f.GetFailedChunk(), gone);
        EXPECT_EQ(f.ChunkPath(gone), b.ChunkPath(gone));
        CursorPosition pos;
        ASSERT_EQ(f.GetCursor(pos), kQvrOk);  // the cursor stays where it was
        EXPECT_EQ(pos.frame, gone * 10 - 11);
        EXPECT_EQ(f.GoToFrame(gone * 10 - 5), kQvrChunkOpen);
        if (gone == 2) {
            // The chunk after the gap is still there to be read.
            ASSERT_EQ(f.GoToFrame(20), kQvrOk);
            EXPECT_EQ(f.PrevRecord(), kQvrChunkOpen);
        }
    }
}

}  // namespace
}  // namespace qv
