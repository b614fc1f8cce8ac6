#include "capture/ChunkWriter.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "support/TempDir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;

TEST(ChunkWriterTest, BufferFillsExactlyBeforeItsFirstWriteAndLongRecordsStayInOrder) {
    TempDir dir;
    ChunkWriter w;
    w.SetFolder(dir.path());
    w.SetChunkName(ChunkWriter::ChunkName(1));
    EXPECT_EQ(w.GetChunkName(), "t000000001.qvd");
    ASSERT_EQ(w.OpenChunk(), 0);
    const std::string path = dir.file("t000000001.qvd");

    std::vector<uint8_t> rec(8, 0x11);
    for (size_t i = 0; i < ChunkWriter::kBufferSize / 8; ++i)
        ASSERT_EQ(w.Append(rec.data(), rec.size()), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);  // exactly full: nothing written yet
    rec.assign(8, 0x22);
    ASSERT_EQ(w.Append(rec.data(), rec.size()), 0);
    EXPECT_EQ(std::filesystem::file_size(path), ChunkWriter::kBufferSize);

    // A record longer than the buffer goes straight after what was buffered.
    std::vector<uint8_t> frame(16 + 65535, 0x33);
    ASSERT_EQ(w.Append(frame.data(), frame.size()), 0);
    rec.assign(8, 0x44);
    ASSERT_EQ(w.Append(rec.data(), rec.size()), 0);
    ASSERT_EQ(w.FlushAndClose(true), 0);
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), ChunkWriter::kBufferSize + 8 + frame.size() + 8);
    EXPECT_EQ(bytes[ChunkWriter::kBufferSize], 0x22);
    EXPECT_EQ(bytes[ChunkWriter::kBufferSize + 8], 0x33);
    EXPECT_EQ(bytes.back(), 0x44);

    // Opening a chunk again starts it empty.
    ASSERT_EQ(w.OpenChunk(), 0);
    ASSERT_EQ(w.FlushAndClose(), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(ChunkWriterTest, FinalNamesFollowTheOldestSlot) {
    struct Case {
        uint64_t oldest;
        std::vector<int> expectSlots;  // slot whose file becomes chunk 1, 2, 3
    } cases[] = {{1, {1, 2, 3}}, {2, {2, 3, 1}}};
    for (const Case& c : cases) {
        TempDir dir;
        ChunkWriter w;
        w.SetFolder(dir.path());
        for (int slot = 1; slot <= 3; ++slot) {
            w.SetChunkName(ChunkWriter::ChunkName(slot));
            ASSERT_EQ(w.OpenChunk(), 0);
            const uint8_t b = static_cast<uint8_t>(slot);
            w.Append(&b, 1);
            w.FlushAndClose();
        }
        EXPECT_EQ(w.FinalNames(c.oldest, 3), 0);
        for (int n = 1; n <= 3; ++n)
            EXPECT_EQ(ReadBytes(dir.file(ChunkWriter::FinalChunkName(n))),
                      std::string(1, static_cast<char>(c.expectSlots[n - 1])));
        EXPECT_FALSE(std::filesystem::exists(dir.file("t000000001.qvd")));
    }
}

TEST(ChunkWriterTest, WriteFailuresLoseThePieceButNeverTearARecord) {
    // A small tmpfs that fills mid-piece: the file ends on a whole piece.
    TempDir dir;
    if (::geteuid() != 0 || ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    ChunkWriter w;
    w.SetFolder(dir.path());
    w.SetChunkName(ChunkWriter::ChunkName(1));
    ASSERT_EQ(w.OpenChunk(), 0);
    std::vector<uint8_t> frame(16 + 3000, 0x5A);
    int failures = 0;
    for (int i = 0; i < 200; ++i)
        if (w.Append(frame.data(), frame.size()) != 0) ++failures;
    EXPECT_GT(failures, 0);
    EXPECT_EQ(w.FlushAndClose(), -1);
    const auto size = std::filesystem::file_size(dir.file("t000000001.qvd"));
    EXPECT_GT(size, 0u);
    EXPECT_EQ(size % frame.size(), 0u);
    ::umount(dir.path().c_str());
}

}  // namespace
}  // namespace qv
