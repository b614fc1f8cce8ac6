// Small file helpers shared by every writer of settings and index files.
#pragma once

#include <sys/types.h>


#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct FileLockEntry;

// The whole content of a regular file; nullopt when it cannot be read or is
// not a regular file (a FIFO or device would block or never end). With
// `followLink` false a symbolic link at the path is refused as well.
std::optional<std::string> ReadWholeFile(const std::string& path, bool followLink = true);

// True when the path itself (a link not followed) is a regular file.
bool IsRegularFileNoFollow(const std::string& path);

// Opens an existing regular file without ever blocking in the open itself:
// a FIFO, device, socket or folder at the path gives -1 (errno EINVAL for
// those, as the open's own errno otherwise). With `followLink` false a
// symbolic link as the last path piece gives -1 (ELOOP). `flags` are the
// access flags (O_RDONLY, O_RDWR, ...); the descriptor blocks as usual.
int OpenRegularFile(const std::string& path, int flags, bool followLink = true);

// Creates a new file where nothing was before. Anything already at the path,
// a symbolic link included (dangling or not), gives -1 with errno EEXIST, so
// a file planted by someone else is never written through. The descriptor
// (write only, close-on-exec) or -1.
int CreateFileExclusive(const std::string& path, mode_t mode = 0666);

// Creates a folder that did not exist before; EEXIST when anything is there.
// The parent must exist. 0 or -1.
int MakeDirectoryExclusive(const std::string& path, mode_t mode = 0777);

// Replaces the file's content as one step: the bytes go to a temporary file in
// the same folder, are flushed to disk, and the temporary file is renamed over
// the old one within that folder, so readers see either the old or the new
// content, never a half-written file. A file the user may not write stays
// unchanged (-1), as does the old content on any failure (full disk
// included). A symbolic link or anything else that is not a regular file at
// the path is refused (-1, ELOOP or EINVAL): a link could point at a file
// that is not ours. 0 or -1; errno tells why.
int WriteFileAtomically(const std::string& path, std::string_view bytes);

// An exclusive advisory lock (flock) on a lock file beside `path`
// (".<name>.lock" in the same folder), held from construction to
// destruction; the lock file is removed when the lock is given back, so that
// no folder (a capture copied elsewhere) keeps one. Every program takes it around each read-modify-write of a
// shared file, so two of them never both read the old content and each write
// back their own change. Locks of one path nest within a thread and exclude
// other threads of the process as well as other processes. When the lock
// file cannot be made (a folder the user may only read) the lock is not held
// and work goes on: such a folder's files cannot be rewritten anyway.
class FileLock {
  public:
    FileLock() = default;
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Whether another program's lock is excluded (the lock file could be used).
    bool Held() const;
    // Gives the lock back early.
    void Release();

    // The lock file of a path.
    static std::string LockPathFor(const std::string& path);

  private:
    // Shared by every FileLock of one lock file in the process; lives as
    // long as the process.
    FileLockEntry* m_entry = nullptr;
};

// A lock that marks work going on (a capture being recorded) for as long as
// it is held: others test for it without waiting. The lock file is
// ".<name>.run" beside `path`, apart from FileLock's, so that the short
// read-modify-writes of the same file go on meanwhile. The system gives the
// lock back when its holder ends, killed or not.
class BusyLock {
  public:
    BusyLock() = default;
    ~BusyLock();
    BusyLock(const BusyLock&) = delete;
    BusyLock& operator=(const BusyLock&) = delete;

    // Takes the lock; false when someone (another program, or another
    // BusyLock of this one) holds it, or when no lock file can be made.
    bool TryTake(const std::string& path);
    // Gives the lock back and removes its file.
    void Release();

    // Whether someone holds the lock of `path` now.
    static bool HeldElsewhere(const std::string& path);

  private:
    int m_fd = -1;
    std::string m_lockPath;
};

// The last resort when the disk has no room for a temporary copy: the file's
// own space is first extended to the new size (nothing is touched when even
// that fails), then the bytes are written over the old content and the file
// is cut to their length. A crash in between can leave it mixed; callers use
// it only where not writing at all would lose more. 0 or -1 (errno set).
int WriteFileInPlace(const std::string& path, std::string_view bytes);

// Holds `bytes` of disk space in a file of its own (made or grown), so that
// a later write can have it back by removing the file. 0 or -1 (errno set);
// on a disk with less free the file holds what there was.
int ReserveSpace(const std::string& path, uint64_t bytes);

// True when something (file or folder) exists at the path.
bool PathExists(const std::string& path);
// True when the path is a folder.
bool IsDirectory(const std::string& path);
// Creates the folder and any missing parents. 0 or -1.
int MakeDirectories(const std::string& path);
// Creates the folder when nothing exists at the path; anything already there,
// a file too, is accepted. 0 or -1.
int EnsureFolder(const std::string& path);
// The folder part of a path ("." when it has none).
std::string DirName(const std::string& path);
// The last piece of a path (empty when the path ends in "/").
std::string BaseName(const std::string& path);
// Joins two path pieces with one "/".
std::string JoinPath(std::string_view dir, std::string_view name);

}  // namespace qv
