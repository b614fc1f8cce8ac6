#include "core/AppPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "core/FileUtil.h"

namespace qv {

namespace {
std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

std::string StripTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}
}  // namespace

std::string AppFolder() {
    std::string folder;
    if (const char* home = std::getenv("QVORT_HOME"); home && *home) {
        folder = home;
    } else {
        folder = JoinPath(EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share"), "qv-ort");
    }
    folder = StripTrailingSlash(folder);
    MakeDirectories(folder);  // failures show later, when a file there cannot be written
    return folder;
}

std::string AppFile(const std::string& name) {
    return JoinPath(AppFolder(), name);
}

}  // namespace qv
