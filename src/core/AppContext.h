// The common services of the application: the values of the settings store
// (frame limit, clock frequency, ...), the view colours, the Line window frame
// count and the save folder of "QV-ORT.conf", the error log, and the time-of-
// day texts. One instance lives for the whole application; dialogs may build
// short-lived ones, which read the same stores when constructed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/CodeTable.h"
#include "core/IniFile.h"

namespace qv {

class IPrompt;
class TraceLog;

// The seven view colours of "QV-ORT.conf". A colour holds red in the low byte,
// green in the second and blue in the third (top byte 0).
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

class AppContext {
  public:
    // Records per data chunk file, whatever the settings store says.
    static constexpr uint64_t kFileRecords = 50000;
    // The names of the settings-store values.
    static constexpr const char* kFrequency = "Frequency";
    static constexpr const char* kFrameMax = "FrameMax";
    static constexpr const char* kFileRecordsName = "FileRecords";
    static constexpr const char* kVenderId = "Vender_ID";
    static constexpr const char* kProductId = "Product_ID";
    static constexpr const char* kSaveDevice = "SaveDevice";

    // Reads "QV-ORT.conf" and opens the log; the settings store is read only
    // by LoadRegistrySettings.
    AppContext();
    ~AppContext();
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // Reads "Frequency", "FrameMax", "FileRecords", "Vender_ID", "Product_ID",
    // writing the default of each one that is missing. -1 only when the store
    // cannot be opened or created; then nothing changes.
    int LoadRegistrySettings();
    int SetFrameMax(uint64_t value);
    int SetSaveDevice(int index);
    // Not a setter the dialogs have; lets a Linux user change the value that
    // the registry editor would change elsewhere.
    int SetFrequency(double hz);

    double GetFrequency() const { return m_frequency; }
    uint64_t GetFrameMax() const { return m_frameMax; }
    uint64_t GetFileRecords() const { return m_fileRecords; }
    int GetVendorId() const { return m_vendorId; }
    int GetProductId() const { return m_productId; }
    // The save device as last written (0 PC, 1 CF); never read back, as before.
    const std::string& GetStartupFile() const { return m_startupFile; }
    void SetStartupFile(const std::string& path) { m_startupFile = path; }

    // The folder captures are saved under. SetSaveDirectory stores the path and
    // writes it to the conf file; -1 for a path too long to be read back whole.
    int SetSaveDirectory(const std::string& path);
    // The stored folder, or the application folder when the stored one is not
    // a folder; no trailing "/" except for "/" itself.
    std::string GetSaveDirectory();
    // Creates the folder when nothing exists at the path. 0 or -1.
    static int EnsureFolder(const std::string& path);

    uint32_t GetColor(ViewColor c) const { return m_colors[static_cast<int>(c)]; }
    // Stores the colour and writes it to the conf file at once. 0 or -1.
    int SetColor(ViewColor c, uint32_t value);
    // Line window frame count (the conf file holds it in hundreds, 0..100).
    int GetLineFrameCount() const { return m_lineFrameCount; }
    int SetLineFrameNums(int hundreds);

    // Appends an entry to the log; with showBox the message is also shown
    // through the prompt (when one is set). 0, or -1 when nothing was logged.
    int WriteLog(std::string_view kind, std::string_view source, int line, std::string_view message,
                 bool showBox = false);
    // Logs the system's text for an error number.
    int LogSystemError(int code);
    // Logs the calling thread's last error (errno).
    int LogLastSystemError();
    void SetPrompt(IPrompt* prompt) { m_prompt = prompt; }
    IPrompt* GetPrompt() const { return m_prompt; }
    std::string GetLogPath() const;

    // Time-of-day ticks (10 ns) and the lettered text "13:05:09 004m210u560n".
    // TicksToText fails (-1) above 24 h and leaves `out` untouched.
    static int TicksToText(uint64_t ticks, std::string& out);
    static uint64_t TextToTicks(std::string_view text);
    static uint64_t FieldsToTicks(uint64_t h, uint64_t m, uint64_t s, uint64_t ms, uint64_t us,
                                  uint64_t ns);
    // Decimal digits with "," every three digits: 1,234,567 and -1,000.
    static std::string FormatThousands(int32_t value);

    // The 256-row table that turns data bytes into display text.
    const CodeTable& GetCodeTable() const { return m_codeTable; }

    std::string GetConfPath() const { return m_conf.GetPath(); }
    std::string GetStorePath() const { return m_store.GetPath(); }

  private:
    void LoadViewConf();

    double m_frequency = 0.0;
    std::string m_saveDirectory;
    int m_vendorId = 1204;
    int m_productId = 4100;
    std::string m_startupFile;
    uint64_t m_frameMax = 0;
    uint64_t m_fileRecords = 0;
    uint32_t m_colors[kViewColorCount];
    int m_lineFrameCount = 100;
    CodeTable m_codeTable;
    IniFile m_conf;
    IniFile m_store;
    std::unique_ptr<TraceLog> m_log;
    IPrompt* m_prompt = nullptr;
};

}  // namespace qv
