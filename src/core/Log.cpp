#include "core/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/AppPaths.h"
#include "core/Prompt.h"

namespace qv {

Log::Log() : Log(AppFile("qv-ort.log")) {}

Log::Log(std::string path, uint64_t limit) : m_path(std::move(path)), m_limit(limit) {}

int Log::Write(std::string_view kind, std::string_view source, int line, std::string_view message,
               bool showBox) {
    int status = Append(kind, source, line, message);
    if (showBox && m_prompt) m_prompt->ShowMessage(std::string(message));
    return status;
}

int Log::WriteSystemError(int code) {
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    return Write("ERR", "QvrCmn", __LINE__, text, false);
}

int Log::WriteLastSystemError() {
    return WriteSystemError(errno);
}

int Log::Append(std::string_view kind, std::string_view source, int line,
                std::string_view message) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  now.tv_nsec / 1'000'000);
    std::string entry = std::string(stamp) + " " + std::string(kind) + " " + std::string(source) +
                        " " + std::to_string(line) + " ";
    // One entry is one line: line breaks inside a message would split it.
    for (char c : message)
        entry += (c == '\n' || c == '\r') ? ' ' : c;
    entry += '\n';

    std::lock_guard lock(m_mutex);
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) >= m_limit)
        ::rename(m_path.c_str(), (m_path + ".1").c_str());
    int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    // O_APPEND keeps entries from two processes whole.
    ssize_t n = ::write(fd, entry.data(), entry.size());
    ::close(fd);
    return n == static_cast<ssize_t>(entry.size()) ? 0 : -1;
}

}  // namespace qv
