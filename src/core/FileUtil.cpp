#include "core/FileUtil.h"

#include "core/Leftovers.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace qv {

int OpenRegularFile(const std::string& path, int flags, bool followLink) {
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer forever;
    // the type check below then refuses it.
    int fd = ::open(path.c_str(),
                    flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

bool IsRegularFileNoFollow(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int CreateFileExclusive(const std::string& path, mode_t mode) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                  mode);
}

int MakeDirectoryExclusive(const std::string& path, mode_t mode) {
    // mkdir never follows a link at the path: it fails with EEXIST.
    return ::mkdir(path.c_str(), mode) == 0 ? 0 : -1;
}

std::optional<std::string> ReadWholeFile(const std::string& path, bool followLink) {
    int fd = OpenRegularFile(path, O_RDONLY, followLink);
    if (fd < 0) return std::nullopt;
    std::string data;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

namespace {
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}
}  // namespace

namespace {
// Closes a descriptor when it goes out of scope.
struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) ::close(fd);
    }
};

// A fresh temporary name: process, a counter and the clock, so that two
// programs (or threads) writing beside each other never pick the same one;
// the exclusive create retries on the rare clash anyway.
std::string TemporaryName() {
    static std::atomic<unsigned> counter{0};
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    char name[64];
    std::snprintf(name, sizeof name, ".qvtmp.%d.%u.%llx", static_cast<int>(::getpid()),
                  counter.fetch_add(1), static_cast<unsigned long long>(now) & 0xFFFFFF);
    return name;
}
}  // namespace

// The temporary copies a killed writer left in a folder go the first time
// this process rewrites a file there.
static void RemoveDeadCopiesOnce(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(folder).second) return;
    }
    RemoveLeftovers(folder, ".qvtmp.");
}

int WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string base = BaseName(path);
    if (base.empty() || base == "." || base == "..") {
        errno = EISDIR;
        return -1;
    }
    // Everything happens relative to the folder's descriptor, so the folder
    // cannot be swapped between the checks and the rename.
    FdCloser dir{::open(DirName(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0) return -1;
    struct stat st {};
    const bool exists = ::fstatat(dir.fd, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists) {
        if (S_ISLNK(st.st_mode)) {
            errno = ELOOP;
            return -1;
        }
        if (!S_ISREG(st.st_mode)) {
            errno = EINVAL;
            return -1;
        }
        if (::faccessat(dir.fd, base.c_str(), W_OK, 0) != 0) return -1;
    }
    mode_t mode = exists ? (st.st_mode & 07777) : 0;
    if (!exists) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    RemoveDeadCopiesOnce(DirName(path));
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = TemporaryName();
        fd = ::openat(dir.fd, tmp.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return -1;
    }
    if (fd < 0) return -1;
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    // rename replaces whatever is at the name now, a link included, and never
    // writes through it.
    if (ok && ::renameat(dir.fd, tmp.c_str(), dir.fd, base.c_str()) == 0) return 0;
    if (ok) saved = errno;
    ::unlinkat(dir.fd, tmp.c_str(), 0);
    errno = saved;
    return -1;
}

struct FileLockEntry {
    std::recursive_mutex mutex;  // other threads of this process wait here
    int fd = -1;                 // the lock file, flock'ed while depth > 0
    int depth = 0;               // nesting within the owning thread
    std::string path;            // the lock file's path
};

namespace {
FileLockEntry* LockEntryFor(const std::string& lockPath) {
    static std::mutex registryMutex;
    static std::map<std::string, std::unique_ptr<FileLockEntry>> registry;
    std::lock_guard<std::mutex> guard(registryMutex);
    auto& slot = registry[lockPath];
    if (!slot) {
        slot = std::make_unique<FileLockEntry>();
        slot->path = lockPath;
    }
    return slot.get();
}

// The lock file is removed by whoever gives the lock back (a capture folder
// must not carry it along when copied), so a lock taken on a file that was
// removed or replaced meanwhile is no lock: it is taken again on the file
// the name holds now.
int OpenLockFile(const std::string& lockPath) {
    const int common = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    for (;;) {
        int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | common, 0666);
        // A lock file another user made, in a folder we share: reading is enough to lock.
        if (fd < 0) fd = ::open(lockPath.c_str(), O_RDONLY | common);
        if (fd < 0) return -1;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return -1;
        }
        int rc;
        do {
            rc = ::flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(fd);
            return -1;
        }
        struct stat now {};
        if (::lstat(lockPath.c_str(), &now) == 0 && now.st_dev == st.st_dev &&
            now.st_ino == st.st_ino)
            return fd;
        ::close(fd);
    }
}
}  // namespace

namespace {
std::string BusyLockPath(const std::string& path) {
    return JoinPath(DirName(path), "." + BaseName(path) + ".run");
}
}  // namespace

BusyLock::~BusyLock() {
    Release();
}

bool BusyLock::TryTake(const std::string& path) {
    Release();
    const std::string lockPath = BusyLockPath(path);
    // flock conflicts between two open files, in one process as across two.
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_lockPath = lockPath;
    return true;
}

void BusyLock::Release() {
    if (m_fd < 0) return;
    // Removed while still held: whoever opens it afterwards makes a new file
    // and finds the work over.
    ::unlink(m_lockPath.c_str());
    ::close(m_fd);
    m_fd = -1;
}

bool BusyLock::HeldElsewhere(const std::string& path) {
    int fd = ::open(BusyLockPath(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;  // no file: nobody works on it
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

FileLock::FileLock(const std::string& path) {
    if (path.empty()) return;
    const std::string lockPath = LockPathFor(path);
    FileLockEntry* e = LockEntryFor(lockPath);
    e->mutex.lock();
    if (e->depth++ == 0) e->fd = OpenLockFile(lockPath);
    m_entry = e;
}

FileLock::~FileLock() {
    Release();
}

FileLock::FileLock(FileLock&& other) noexcept : m_entry(other.m_entry) {
    other.m_entry = nullptr;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_entry = other.m_entry;
        other.m_entry = nullptr;
    }
    return *this;
}

bool FileLock::Held() const {
    return m_entry && m_entry->fd >= 0;
}

void FileLock::Release() {
    if (!m_entry) return;
    if (--m_entry->depth == 0 && m_entry->fd >= 0) {
        // Removed while still held, so nobody can take the lock on it after
        // this; one who opened it meanwhile sees it gone and opens anew. A
        // file of another user's stays (no right to remove it).
        ::unlink(m_entry->path.c_str());
        ::close(m_entry->fd);  // gives the flock back
        m_entry->fd = -1;
    }
    m_entry->mutex.unlock();
    m_entry = nullptr;
}

std::string FileLock::LockPathFor(const std::string& path) {
    return JoinPath(DirName(path), "." + BaseName(path) + ".lock");
}

int WriteFileInPlace(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    int err = bytes.empty() ? 0 : ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
    bool ok = err == 0;
    if (ok) {
        off_t at = 0;
        std::string_view rest = bytes;
        while (ok && !rest.empty()) {
            const ssize_t n = ::pwrite(fd, rest.data(), rest.size(), at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = false;
                err = n < 0 ? errno : ENOSPC;
                break;
            }
            rest.remove_prefix(static_cast<size_t>(n));
            at += n;
        }
        if (ok && (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0)) {
            ok = false;
            err = errno;
        }
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    errno = err;
    return ok ? 0 : -1;
}

int ReserveSpace(const std::string& path, uint64_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    int err = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes));
    if (err == ENOSPC || err == EDQUOT) {
        // Less is free than asked for: hold what there is, a page at a time
        // (a failed allocation may give back all it took), since a part of
        // the space still lets a smaller rewrite through.
        constexpr off_t kStep = 4096;
        struct stat st {};
        off_t have = ::fstat(fd, &st) == 0 ? st.st_size : 0;
        while (have < static_cast<off_t>(bytes) && ::posix_fallocate(fd, have, kStep) == 0)
            have += kStep;
    }
    ::close(fd);
    if (err != 0) {
        errno = err;
        return -1;
    }
    return 0;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int MakeDirectories(const std::string& path) {
    if (path.empty()) return -1;
    if (IsDirectory(path)) return 0;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return -1;
    }
    return IsDirectory(path) ? 0 : -1;
}

int EnsureFolder(const std::string& path) {
    if (PathExists(path)) return 0;
    return MakeDirectories(path);
}

std::string DirName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string out(dir);
    if (!out.empty() && out.back() != '/') out += '/';
    out += name;
    return out;
}

}  // namespace qv
