// The error and trace log: one line per entry in "qv-ort.log" in the
// application folder (local time, level word, source, line, message). When the
// file passes its size limit it is moved to "qv-ort.log.1" and started anew,
// so hours of monitoring cannot fill the disk with traces.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace qv {

class TraceLog {
  public:
    static constexpr uint64_t kDefaultLimit = 4u << 20;  // bytes before the log is rotated

    explicit TraceLog(std::string path, uint64_t limit = kDefaultLimit);

    // Appends one entry; 0, or -1 when the log cannot be written. Safe to
    // call from any thread.
    int Write(std::string_view kind, std::string_view source, int line, std::string_view message);

    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
    uint64_t m_limit;
    std::mutex m_mutex;
};

}  // namespace qv
