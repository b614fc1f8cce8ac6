// Small file helpers shared by every writer of settings and index files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The whole content of a file; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces the file's content as one step: the bytes go to a temporary file in
// the same folder, are flushed to disk, and the temporary file is renamed over
// the old one, so readers see either the old or the new content, never a
// half-written file. A file the user may not write stays unchanged (-1), as
// does the old content on any failure (full disk included). 0 or -1; errno
// tells why.
int WriteFileAtomically(const std::string& path, std::string_view bytes);

// The last resort when the disk has no room for a temporary copy: the file's
// own space is first extended to the new size (nothing is touched when even
// that fails), then the bytes are written over the old content and the file
// is cut to their length. A crash in between can leave it mixed; callers use
// it only where not writing at all would lose more. 0 or -1 (errno set).
int WriteFileInPlace(const std::string& path, std::string_view bytes);

// Holds `bytes` of disk space in a file of its own (made or grown), so that
// a later write can have it back by removing the file. 0 or -1 (errno set).
int ReserveSpace(const std::string& path, uint64_t bytes);

// True when something (file or folder) exists at the path.
bool PathExists(const std::string& path);
// True when the path is a folder.
bool IsDirectory(const std::string& path);
// Creates the folder and any missing parents. 0 or -1.
int MakeDirectories(const std::string& path);
// The folder part of a path ("." when it has none).
std::string DirName(const std::string& path);
// Joins two path pieces with one "/".
std::string JoinPath(std::string_view dir, std::string_view name);

}  // namespace qv
