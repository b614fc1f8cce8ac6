#include "core/FileUtil.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "support/TempDir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Whether another process could take the lock of `path` right now.
bool LockFreeForAnotherProcess(const std::string& path) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int fd = ::open(FileLock::LockPathFor(path).c_str(), O_RDONLY | O_CREAT, 0666);
        _exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SafeFiles, NothingIsWrittenThroughALink) {
    TempDir dir;
    const std::string victim = dir.file("victim");
    WriteBytes(victim, "precious");
    const std::string link = dir.file("ours");
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);

    EXPECT_EQ(WriteFileAtomically(link, "new"), -1);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_EQ(CreateFileExclusive(link), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(OpenRegularFile(link, O_RDWR, false), -1);
    EXPECT_EQ(ReadBytes(victim), "precious");

    // A dangling link must not create its target either.
    const std::string dangling = dir.file("dangling");
    ASSERT_EQ(::symlink(dir.file("target").c_str(), dangling.c_str()), 0);
    EXPECT_EQ(CreateFileExclusive(dangling), -1);
    EXPECT_EQ(WriteFileAtomically(dangling, "x"), -1);
    EXPECT_FALSE(PathExists(dir.file("target")));

    // Folders: an existing one (or a link) is never taken as new.
    EXPECT_EQ(MakeDirectoryExclusive(dir.file("sub")), 0);
    EXPECT_EQ(MakeDirectoryExclusive(dir.file("sub")), -1);
    EXPECT_EQ(MakeDirectoryExclusive(link), -1);

    // Our own regular files are still replaced whole, keeping their mode.
    const std::string own = dir.file("own");
    int fd = CreateFileExclusive(own, 0640);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(WriteFileAtomically(own, "one"), 0);
    ASSERT_EQ(WriteFileAtomically(own, "two"), 0);
    EXPECT_EQ(ReadBytes(own), "two");
    struct stat st {};
    ASSERT_EQ(::stat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(SafeFiles, AFifoOrFolderIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // Without a writer, a blocking open of a FIFO would never return.
    EXPECT_EQ(OpenRegularFile(fifo, O_RDONLY), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(ReadWholeFile(fifo).has_value());
    EXPECT_EQ(WriteFileAtomically(fifo, "x"), -1);
    EXPECT_EQ(OpenRegularFile(dir.path(), O_RDONLY), -1);
    EXPECT_FALSE(ReadWholeFile(dir.path()).has_value());
    WriteBytes(dir.file("plain"), "abc");
    EXPECT_EQ(ReadWholeFile(dir.file("plain")), "abc");
}

TEST(SafeFiles, ALockExcludesOtherProcessesAndThreadsAndNestsWithinOne) {
    TempDir dir;
    const std::string path = dir.file("index.qvr");
    {
        FileLock outer(path);
        ASSERT_TRUE(outer.Held());
        EXPECT_FALSE(LockFreeForAnotherProcess(path));
        {
            FileLock inner(path);  // the same thread: no deadlock
            EXPECT_TRUE(inner.Held());
        }
        EXPECT_FALSE(LockFreeForAnotherProcess(path));  // still the outer one's

        std::atomic<bool> got{false};
        std::thread other([&] {
            FileLock lock(path);
            got = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(got.load());
        outer.Release();
        other.join();
        EXPECT_TRUE(got.load());
    }
    EXPECT_TRUE(LockFreeForAnotherProcess(path));
    EXPECT_EQ(FileLock::LockPathFor("/a/b/index.qvr"), "/a/b/.index.qvr.lock");
}

// A lock given back leaves no lock file in the folder (a capture folder
// copied later would carry it along), and the next lock is a lock again.
TEST(SafeFiles, AGivenBackLockLeavesNoFile) {
    TempDir dir;
    const std::string path = dir.file("cap.qvr");
    const std::string lockPath = FileLock::LockPathFor(path);
    for (int i = 0; i < 2; ++i) {
        {
            FileLock lock(path);
            EXPECT_TRUE(lock.Held());
            EXPECT_TRUE(std::filesystem::exists(lockPath));
            EXPECT_FALSE(LockFreeForAnotherProcess(path));
        }
        EXPECT_FALSE(std::filesystem::exists(lockPath));
    }
}

TEST(SafeFiles, ALockFileThatCannotBeMadeLeavesTheLockUnheld) {
    TempDir dir;
    const std::string lockPath = FileLock::LockPathFor(dir.file("x"));
    ASSERT_EQ(::mkfifo(lockPath.c_str(), 0644), 0);  // not a file: never waited on
    FileLock lock(dir.file("x"));
    EXPECT_FALSE(lock.Held());
}

TEST(SafeFiles, EnsureFolderAcceptsWhatExists) {
    TempDir dir;
    EXPECT_EQ(EnsureFolder(dir.file("a/b")), 0);
    EXPECT_TRUE(IsDirectory(dir.file("a/b")));
    WriteBytes(dir.file("f"), "x");
    EXPECT_EQ(EnsureFolder(dir.file("f")), 0);
    EXPECT_EQ(EnsureFolder(dir.file("f/sub")), -1);
}

}  // namespace
}  // namespace qv
