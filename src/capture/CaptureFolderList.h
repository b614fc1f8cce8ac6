// What the capture file browser lists: the sub-folders of a folder, and for
// each whether it holds a capture (an index named like the folder, with the
// extension ".qvr", that can be read) with its frame count and start time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct CaptureFolderEntry {
    std::string name;  // the sub-folder's name; ".." for the parent
    bool capture = false;
    uint64_t frames = 0;    // FrameNum of the index
    std::string startText;  // "YY/MM/DD hh:mm:ss" of StartTime; empty if unreadable
};

// The index path of a capture folder: "<folder>/<name>.qvr".
std::string CaptureIndexPathOf(const std::string& folder);
// The index a capture folder holds, found by its content: "<name>.qvr" when
// it is there, else the folder's one index file (a capture folder renamed
// after it was made keeps its index's old name). CaptureIndexPathOf when
// the folder holds none or several.
std::string FindCaptureIndex(const std::string& folder);

// Reads one sub-folder's entry (whether it holds a capture, and its details).
CaptureFolderEntry ReadCaptureFolderEntry(const std::string& parent, const std::string& name);

// The sub-folders of `folder` in name order, ".." first unless the folder is
// the root; "." is left out. False when the folder cannot be read.
bool ListCaptureFolders(const std::string& folder, std::vector<CaptureFolderEntry>& out);

// The parent of a folder ("/a/b" -> "/a", "/a" -> "/"); "/" stays "/".
std::string ParentFolder(const std::string& folder);
// "<folder>/<name>" without a doubled "/" at the root.
std::string JoinFolder(const std::string& folder, const std::string& name);

}  // namespace qv
