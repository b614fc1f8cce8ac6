// Points the application folder ($QVORT_HOME) at a fresh temporary folder for
// the life of a test, and restores the previous value afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "support/TempDir.h"

namespace qv::test {

class AppHome {
  public:
    AppHome() {
        if (const char* old = std::getenv("QVORT_HOME")) m_old = old;
        ::setenv("QVORT_HOME", m_dir.path().c_str(), 1);
    }
    ~AppHome() {
        if (m_old)
            ::setenv("QVORT_HOME", m_old->c_str(), 1);
        else
            ::unsetenv("QVORT_HOME");
    }
    const std::string& path() const { return m_dir.path(); }
    std::string file(const std::string& name) const { return m_dir.file(name); }

  private:
    TempDir m_dir;
    std::optional<std::string> m_old;
};

}  // namespace qv::test
