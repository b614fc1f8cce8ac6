#include "app/ManualPath.h"

#include <filesystem>
#include <system_error>

#include "core/AppPaths.h"

namespace qv {

namespace fs = std::filesystem;

namespace {

// The folder of the running binary; /proc/self/exe names it even when the
// program was started through a symbolic link or a relative path.
std::string RunningBinaryDir() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

}  // namespace

std::string InstalledManualPath(const std::string& binDir) {
    return (fs::path(binDir) / QVORT_MANUAL_FROM_BIN).lexically_normal().string();
}

std::string InstalledManualHere() {
    const std::string binDir = RunningBinaryDir();
    return binDir.empty() ? std::string() : InstalledManualPath(binDir);
}

std::string FindManual() {
    for (const std::string& candidate :
         {InstalledManualHere(), std::string(QVORT_BUILD_MANUAL_PATH), AppFile("manual.pdf")}) {
        if (IsFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace qv
