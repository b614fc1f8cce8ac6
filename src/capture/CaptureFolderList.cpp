#include "capture/CaptureFolderList.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "capture/CaptureIndex.h"
#include "capture/CaptureIndexText.h"
#include "core/TimeText.h"

namespace qv {

namespace fs = std::filesystem;

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string ParentFolder(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    auto slash = f.find_last_of('/');
    if (slash == std::string::npos) return f;
    if (slash == 0) return "/";
    return f.substr(0, slash);
}

std::string CaptureIndexPathOf(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    std::string name = fs::path(f).filename().string();
    return JoinFolder(f, name + ".qvr");
}

std::string FindCaptureIndex(const std::string& folder) {
    const std::string named = CaptureIndexPathOf(folder);
    std::error_code ec;
    if (fs::is_regular_file(named, ec)) return named;
    std::string found;
    int count = 0;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        // Hidden files are the lock files beside an index, never an index.
        if (name.starts_with(".") || !name.ends_with(".qvr") || !e.is_regular_file(ec)) continue;
        found = e.path().string();
        ++count;
    }
    return count == 1 ? found : named;
}

CaptureFolderEntry ReadCaptureFolderEntry(const std::string& parent, const std::string& name) {
    CaptureFolderEntry e;
    e.name = name;
    if (name == "..") return e;
    std::string index = JoinFolder(JoinFolder(parent, name), name + ".qvr");
    std::error_code ec;
    if (!fs::is_regular_file(index, ec)) return e;
    // "Can be opened": a file the user may not read is listed as a plain folder
    // rather than offered and then refused by the reader.
    if (!std::ifstream(index, std::ios::binary)) return e;
    e.capture = true;
    CaptureIndex ini;
    ini.SetPath(index);
    e.frames = ini.ReadFrameNum();
    IndexTime start;
    if (ini.ReadStartTime(start) == 0 && start.date.size() >= 6) {
        if (auto tod = TicksToLetteredText(start.ticks)) {
            const std::string& d = start.date;
            e.startText = d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4, 2) + " " +
                          tod->substr(0, 8);
        }
    }
    return e;
}

bool ListCaptureFolders(const std::string& folder, std::vector<CaptureFolderEntry>& out) {
    out.clear();
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) return false;
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::error_code typeEc;
        if (!it->is_directory(typeEc)) continue;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    if (ParentFolder(folder) != folder) out.push_back(ReadCaptureFolderEntry(folder, ".."));
    for (const auto& n : names)
        out.push_back(ReadCaptureFolderEntry(folder, n));
    return true;
}

}  // namespace qv
