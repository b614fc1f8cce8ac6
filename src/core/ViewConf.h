// "QV-ORT.conf" in the application folder: the seven view colours, the Line
// window frame count, the folder captures are saved under and the captures
// opened last. Constructing
// reads the file; each setter writes its value at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/IniFile.h"

namespace qv {

class Log;

// The seven view colours. A colour holds red in the low byte, green in the
// second and blue in the third (top byte 0).
enum class ViewColor {
    DumpOdd,
    DumpEven,
    DumpBoundary,
    MonitorSd,
    MonitorRd,
    MonitorControl,
    MonitorOther
};
inline constexpr int kViewColorCount = 7;

// The conf key of a colour ("dco", "dce", "dcs", "mcs", "mcr", "mcc", "mco").
std::string_view ViewColorKey(ViewColor c);
uint32_t ViewColorDefault(ViewColor c);
std::optional<ViewColor> ViewColorFromKey(std::string_view key);

class ViewConf {
  public:
    // `log` takes the reasons a save folder is refused.
    explicit ViewConf(Log& log);
    ViewConf(const ViewConf&) = delete;
    ViewConf& operator=(const ViewConf&) = delete;

    uint32_t GetColor(ViewColor c) const { return m_colors[static_cast<int>(c)]; }
    // Stores the colour and writes it to the conf file at once. 0 or -1.
    int SetColor(ViewColor c, uint32_t value);
    // Line window frame count (the conf file holds it in hundreds, 0..100).
    int GetLineFrameCount() const { return m_lineFrameCount; }
    int SetLineFrameNums(int hundreds);

    // The folder captures are saved under. SetSaveDirectory stores the path and
    // writes it to the conf file; -1 (logged) for a path SaveDirectoryProblem
    // names, or when the file cannot be written.
    int SetSaveDirectory(const std::string& path);
    // Why a path cannot be kept as the save folder, for a message: a
    // character the conf file's encoding (CP932) has no form for, or a path
    // too long to be read back whole. Empty when it can.
    std::string SaveDirectoryProblem(const std::string& path);
    // The stored folder, or the application folder when the stored one is not
    // a folder; no trailing "/" except for "/" itself.
    std::string GetSaveDirectory();

    // The captures opened last (index paths), most recent first, at most
    // kRecentCaptures; those no longer there are left out.
    static constexpr size_t kRecentCaptures = 8;
    std::vector<std::string> GetRecentCaptures();
    // Puts `index` first and writes the list; a path the conf file cannot
    // hold is not kept. 0 or -1.
    int RememberCapture(const std::string& index);

    // The folder the capture browser was last in for `use` ("Open", "Save"),
    // so that it opens there again; the save folder when there is none.
    std::string GetBrowserFolder(std::string_view use);
    int SetBrowserFolder(std::string_view use, const std::string& folder);

    std::string GetPath() const { return m_conf.GetPath(); }
    int LastWriteError() const { return m_conf.LastWriteError(); }

  private:
    Log& m_log;
    uint32_t m_colors[kViewColorCount];
    int m_lineFrameCount = 100;
    std::string m_saveDirectory;
    IniFile m_conf;
};

}  // namespace qv
