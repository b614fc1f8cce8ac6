// The error and trace log: one line per entry in "qv-ort.log" in the
// application folder (local time, level word, source, line, message). When the
// file passes its size limit it is moved to "qv-ort.log.1" and started anew,
// so hours of monitoring cannot fill the disk with traces. An entry may also
// be shown to the user through the prompt the application sets.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace qv {

class IPrompt;

class Log {
  public:
    static constexpr uint64_t kDefaultLimit = 4u << 20;  // bytes before the log is rotated

    // The application's own log, "qv-ort.log" in the application folder.
    Log();
    explicit Log(std::string path, uint64_t limit = kDefaultLimit);
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // Appends one entry; with showBox the message is also shown through the
    // prompt (when one is set). 0, or -1 when nothing was logged. Safe to
    // call from any thread.
    int Write(std::string_view kind, std::string_view source, int line, std::string_view message,
              bool showBox = false);
    // Logs the system's text for an error number.
    int WriteSystemError(int code);
    // Logs the calling thread's last error (errno).
    int WriteLastSystemError();

    void SetPrompt(IPrompt* prompt) { m_prompt = prompt; }
    IPrompt* GetPrompt() const { return m_prompt; }
    const std::string& Path() const { return m_path; }

  private:
    int Append(std::string_view kind, std::string_view source, int line, std::string_view message);

    std::string m_path;
    uint64_t m_limit;
    std::mutex m_mutex;
    IPrompt* m_prompt = nullptr;
};

}  // namespace qv
