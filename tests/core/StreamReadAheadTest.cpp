#include "core/StreamReadAhead.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <vector>

namespace qv {
namespace {

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    uint32_t x = 7;
    for (uint8_t& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fd), 0); }
    ~Pipe() {
        CloseWriteEnd();
        if (fd[0] >= 0) ::close(fd[0]);
    }
    void CloseWriteEnd() {
        if (fd[1] >= 0) ::close(fd[1]);
        fd[1] = -1;
    }
};

// A reader that leaves a varying tail of every span undecoded, as a decoder
// leaves an item cut at a block's end: what it takes, in order, must be the
// stream, whether the stream comes from a pipe in odd pieces or several
// blocks at once.
TEST(StreamReadAheadTest, CarriedBytesAndBlocksGiveBackTheWholeStreamInOrder) {
    const std::vector<uint8_t> stream = Pattern(3 * StreamReadAhead::kBlockSize + 12345);
    Pipe pipe;
    std::thread writer([&] {
        size_t at = 0, piece = 1;
        while (at < stream.size()) {
            const size_t n = std::min(piece, stream.size() - at);
            ASSERT_EQ(::write(pipe.fd[1], stream.data() + at, n), static_cast<ssize_t>(n));
            at += n;
            piece = piece * 7 % 100003 + 1;
        }
        pipe.CloseWriteEnd();
    });
    std::vector<uint8_t> taken;
    size_t carried = 0, spans = 0;
    {
        StreamReadAhead input(pipe.fd[0]);
        for (std::span<const uint8_t> bytes; !(bytes = input.Next(bytes.last(carried))).empty();) {
            ++spans;
            // Leave 0..300 bytes, never more than the span holds.
            const size_t leave = std::min<size_t>(bytes.size(), (spans * 37) % 301);
            taken.insert(taken.end(), bytes.begin(), bytes.end() - leave);
            carried = leave;
        }
        EXPECT_FALSE(input.Failed());
    }
    writer.join();
    taken.insert(taken.end(), stream.end() - carried, stream.end());
    ASSERT_EQ(taken.size(), stream.size());
    EXPECT_TRUE(taken == stream);
    EXPECT_GE(spans, 4u);
}

// A file whose length is a whole number of blocks: the last span is the last
// block, with nothing after it.
TEST(StreamReadAheadTest, AFileOfWholeBlocksEndsAfterItsLastBlock) {
    const std::vector<uint8_t> stream = Pattern(2 * StreamReadAhead::kBlockSize);
    char path[] = "/tmp/readaheadXXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::unlink(path);
    ASSERT_EQ(::write(fd, stream.data(), stream.size()), static_cast<ssize_t>(stream.size()));
    ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
    std::vector<size_t> sizes;
    {
        StreamReadAhead input(fd);
        for (std::span<const uint8_t> bytes; !(bytes = input.Next(bytes.last(0))).empty();)
            sizes.push_back(bytes.size());
        EXPECT_FALSE(input.Failed());
    }
    ::close(fd);
    EXPECT_EQ(sizes,
              (std::vector<size_t>{StreamReadAhead::kBlockSize, StreamReadAhead::kBlockSize}));
}

// A stream that cannot be read (here a folder) ends at once and says so.
TEST(StreamReadAheadTest, AReadErrorEndsTheStreamAndIsReported) {
    const int fd = ::open("/tmp", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    {
        StreamReadAhead input(fd);
        EXPECT_TRUE(input.Next({}).empty());
        EXPECT_TRUE(input.Failed());
    }
    ::close(fd);
}

// Decoding may end before the stream does (a full capture): the reader must
// not wait for a writer that never sends another byte nor closes the pipe.
// What a pipe gives is handed on when it pauses, not when a block is full.
TEST(StreamReadAheadTest, APipeIsHandedOnAsItPausesAndEndingEarlyDoesNotWaitForIt) {
    Pipe pipe;
    const std::vector<uint8_t> some = Pattern(1000);
    ASSERT_EQ(::write(pipe.fd[1], some.data(), some.size()), 1000);
    {
        StreamReadAhead input(pipe.fd[0]);
        const std::span<const uint8_t> first = input.Next({});
        ASSERT_EQ(first.size(), 1000u);
        EXPECT_EQ(0, std::memcmp(first.data(), some.data(), 1000));
    }  // the reader now waits for more: this must end it
    SUCCEED();
}

}  // namespace
}  // namespace qv
