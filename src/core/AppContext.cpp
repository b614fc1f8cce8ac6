#include "core/AppContext.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/AppPaths.h"
#include "core/FileUtil.h"
#include "core/Prompt.h"
#include "core/TextCodec.h"
#include "core/TimeText.h"
#include "core/TraceLog.h"

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

constexpr const char* kStoreSection = "QV-S";
constexpr const char* kStoreFile = "settings.ini";
constexpr const char* kConfFile = "QV-ORT.conf";
constexpr uint32_t kMaxColor = 0xFFFFFF;

// A settings-store value is read like a registry string: "FrameMax" is
// decimal floating point, truncated towards zero into 64 bits.
uint64_t FloatTextToU64(std::string_view text) {
    double v = std::strtod(std::string(text).c_str(), nullptr);
    if (!(v > 0)) return 0;
    if (v >= 18446744073709551615.0) return UINT64_MAX;
    return static_cast<uint64_t>(v);
}

std::string FormatDouble(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

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

AppContext::AppContext() {
    for (int i = 0; i < kViewColorCount; ++i)
        m_colors[i] = kColors[i].defaultValue;
    m_log = std::make_unique<TraceLog>(AppFile("qv-ort.log"));
    m_store.SetPath(AppFile(kStoreFile));
    m_conf.SetPath(AppFile(kConfFile));
    LoadViewConf();
}

AppContext::~AppContext() = default;

std::string AppContext::GetLogPath() const {
    return m_log->Path();
}

void AppContext::LoadViewConf() {
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

int AppContext::LoadRegistrySettings() {
    // The store must exist (or be creatable) before any value changes.
    std::string path = m_store.GetPath();
    if (!PathExists(path) && m_store.Open(path) != 0) return -1;

    struct Item {
        const char* name;
        const char* defaultText;
    };
    static constexpr Item kItems[] = {{kFrequency, "1000000"},
                                      {kFrameMax, "100000000"},
                                      {kFileRecordsName, "20000"},
                                      {kVenderId, "5330"},
                                      {kProductId, "0016"}};
    std::string values[5];
    for (int i = 0; i < 5; ++i) {
        if (m_store.ReadString(kStoreSection, kItems[i].name, values[i]) != 0) {
            m_store.WriteString(kStoreSection, kItems[i].name, kItems[i].defaultText);
            if (m_store.ReadString(kStoreSection, kItems[i].name, values[i]) != 0)
                values[i] = kItems[i].defaultText;  // store not writable: use the default
        }
    }
    m_frequency = std::strtod(values[0].c_str(), nullptr);
    m_frameMax = FloatTextToU64(values[1]);
    // The chunk size is fixed: readers of older captures rely on 50000.
    m_fileRecords = kFileRecords;
    m_vendorId = static_cast<int>(ParseLeadingInt(values[3]));
    m_productId = static_cast<int>(ParseLeadingInt(values[4]));
    return 0;
}

int AppContext::SetFrameMax(uint64_t value) {
    if (m_store.WriteString(kStoreSection, kFrameMax, std::to_string(value)) != 0) return -1;
    m_frameMax = value;
    return 0;
}

int AppContext::SetSaveDevice(int index) {
    return m_store.WriteString(kStoreSection, kSaveDevice, std::to_string(index));
}

int AppContext::SetFrequency(double hz) {
    if (m_store.WriteString(kStoreSection, kFrequency, FormatDouble(hz)) != 0) return -1;
    m_frequency = hz;
    return 0;
}

int AppContext::SetSaveDirectory(const std::string& path) {
    // The conf file gives back at most 255 characters; a longer path would
    // come back cut and name another folder.
    std::optional<std::string> encoded = Utf8ToCp932(path);
    if (path.empty() || !encoded || encoded->size() > IniFile::kValueBufferSize - 1) return -1;
    m_saveDirectory = path;
    return m_conf.WriteString("App", "Directory", path);
}

std::string AppContext::GetSaveDirectory() {
    if (!IsDirectory(m_saveDirectory)) m_saveDirectory = AppFolder();
    std::string out = m_saveDirectory;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

int AppContext::EnsureFolder(const std::string& path) {
    if (PathExists(path)) return 0;
    return MakeDirectories(path);
}

int AppContext::SetColor(ViewColor c, uint32_t value) {
    m_colors[static_cast<int>(c)] = value;
    return m_conf.WriteString("c", ViewColorKey(c), std::to_string(value));
}

int AppContext::SetLineFrameNums(int hundreds) {
    if (hundreds < 0 || hundreds > 100) return -1;
    if (m_conf.WriteString("LineWindow", "FrameNums", std::to_string(hundreds)) != 0) return -1;
    m_lineFrameCount = hundreds * 100;
    return 0;
}

int AppContext::WriteLog(std::string_view kind, std::string_view source, int line,
                      std::string_view message, bool showBox) {
    int status = m_log ? m_log->Write(kind, source, line, message) : -1;
    if (showBox && m_prompt) m_prompt->ShowMessage(std::string(message));
    return status;
}

int AppContext::LogSystemError(int code) {
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    return WriteLog("ERR", "QvrCmn", __LINE__, text, false);
}

int AppContext::LogLastSystemError() {
    return LogSystemError(errno);
}

int AppContext::TicksToText(uint64_t ticks, std::string& out) {
    auto text = TicksToLetteredText(ticks);
    if (!text) return -1;
    out = *text;
    return 0;
}

uint64_t AppContext::TextToTicks(std::string_view text) {
    return qv::TextToTicks(text);
}

uint64_t AppContext::FieldsToTicks(uint64_t h, uint64_t m, uint64_t s, uint64_t ms, uint64_t us,
                                uint64_t ns) {
    return qv::FieldsToTicks(h, m, s, ms, us, ns);
}

std::string AppContext::FormatThousands(int32_t value) {
    // Widen first: the magnitude of INT32_MIN does not fit in 32 bits.
    int64_t v = value;
    std::string digits = std::to_string(v < 0 ? -v : v);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return v < 0 ? "-" + out : out;
}

}  // namespace qv
