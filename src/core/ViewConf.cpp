#include "core/ViewConf.h"

#include "core/AppPaths.h"
#include "core/FileUtil.h"
#include "core/Log.h"
#include "core/NumberText.h"
#include "core/TextCodec.h"

namespace qv {

namespace {

struct ColorInfo {
    std::string_view key;
    uint32_t defaultValue;
};
constexpr ColorInfo kColors[kViewColorCount] = {
    {"dco", 16777215},  // Dump window, odd rows: white
    {"dce", 16776960},  // Dump window, even rows: cyan
    {"dcs", 16764006},  // Dump window, boundary: light blue
    {"mcs", 0},         // Monitor window, SD data: black
    {"mcr", 16776960},  // Monitor window, RD data: cyan
    {"mcc", 16711935},  // Monitor window, control lines: magenta
    {"mco", 65280},     // Monitor window, other records: green
};

constexpr uint32_t kMaxColor = 0xFFFFFF;
// Log entries keep the source name they always had.
constexpr const char* kLogSource = "QvrCmn";

}  // namespace

std::string_view ViewColorKey(ViewColor c) {
    return kColors[static_cast<int>(c)].key;
}
uint32_t ViewColorDefault(ViewColor c) {
    return kColors[static_cast<int>(c)].defaultValue;
}

std::optional<ViewColor> ViewColorFromKey(std::string_view key) {
    for (int i = 0; i < kViewColorCount; ++i)
        if (kColors[i].key == key) return static_cast<ViewColor>(i);
    return std::nullopt;
}

ViewConf::ViewConf(Log& log) : m_log(log) {
    for (int i = 0; i < kViewColorCount; ++i)
        m_colors[i] = kColors[i].defaultValue;
    m_conf.SetPath(AppFile("QV-ORT.conf"));
    for (int i = 0; i < kViewColorCount; ++i) {
        std::string v;
        if (m_conf.ReadString("c", kColors[i].key, v) != 0) continue;
        int64_t n = ParseLeadingInt(v);
        // -1 is what the conf reader gives for "absent"; values that are no
        // colour at all leave the default too.
        if (n >= 0 && n <= kMaxColor) m_colors[i] = static_cast<uint32_t>(n);
    }
    std::string nums;
    if (m_conf.ReadString("LineWindow", "FrameNums", nums) == 0) {
        int64_t n = ParseLeadingInt(nums);
        if (n >= 0 && n <= 100) m_lineFrameCount = static_cast<int>(n * 100);
    }
    std::string dir;
    m_saveDirectory = m_conf.ReadString("App", "Directory", dir) == 0 ? dir : AppFolder() + "/";
}

std::string ViewConf::SaveDirectoryProblem(const std::string& path) {
    if (path.empty()) return "an empty path";
    if (!m_conf.CanStore(path))
        return "a character of it has no CP932 (Shift-JIS) form, which " + m_conf.GetPath() +
               " is kept in";
    // The conf file gives back at most 255 bytes; a longer path would come
    // back cut and name another folder.
    std::string stored = Utf8ToCp932(path).value_or(path);
    if (stored.size() > IniFile::kValueBufferSize - 1)
        return "longer than " + std::to_string(IniFile::kValueBufferSize - 1) + " bytes";
    return {};
}

int ViewConf::SetSaveDirectory(const std::string& path) {
    if (std::string why = SaveDirectoryProblem(path); !why.empty()) {
        m_log.Write("ERR", kLogSource, __LINE__, "Directory " + path + " not stored: " + why);
        return -1;
    }
    m_saveDirectory = path;
    if (m_conf.WriteString("App", "Directory", path) != 0) {
        m_log.Write("ERR", kLogSource, __LINE__, "cannot write Directory to " + m_conf.GetPath());
        return -1;
    }
    return 0;
}

std::string ViewConf::GetSaveDirectory() {
    if (!IsDirectory(m_saveDirectory)) m_saveDirectory = AppFolder();
    std::string out = m_saveDirectory;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::vector<std::string> ViewConf::GetRecentCaptures() {
    std::vector<std::string> list;
    for (size_t i = 1; i <= kRecentCaptures; ++i) {
        std::string path;
        if (m_conf.ReadString("Recent", std::to_string(i), path) == 0 && !path.empty() &&
            PathExists(path) && !IsDirectory(path))
            list.push_back(path);
    }
    return list;
}

int ViewConf::RememberCapture(const std::string& index) {
    if (!SaveDirectoryProblem(index).empty()) return -1;
    std::vector<std::string> list{index};
    for (const std::string& p : GetRecentCaptures())
        if (p != index && list.size() < kRecentCaptures) list.push_back(p);
    int rc = 0;
    m_conf.BeginBatch();
    for (size_t i = 1; i <= kRecentCaptures; ++i)
        if (m_conf.WriteString("Recent", std::to_string(i), i <= list.size() ? list[i - 1] : "") !=
            0)
            rc = -1;
    return m_conf.EndBatch() == 0 ? rc : -1;
}

std::string ViewConf::GetBrowserFolder(std::string_view use) {
    std::string folder;
    if (m_conf.ReadString("Browser", use, folder) == 0 && IsDirectory(folder)) return folder;
    return GetSaveDirectory();
}

int ViewConf::SetBrowserFolder(std::string_view use, const std::string& folder) {
    if (!SaveDirectoryProblem(folder).empty()) return -1;
    return m_conf.WriteString("Browser", use, folder);
}

int ViewConf::SetColor(ViewColor c, uint32_t value) {
    m_colors[static_cast<int>(c)] = value;
    return m_conf.WriteString("c", ViewColorKey(c), std::to_string(value));
}

int ViewConf::SetLineFrameNums(int hundreds) {
    if (hundreds < 0 || hundreds > 100) return -1;
    if (m_conf.WriteString("LineWindow", "FrameNums", std::to_string(hundreds)) != 0) return -1;
    m_lineFrameCount = hundreds * 100;
    return 0;
}

}  // namespace qv
