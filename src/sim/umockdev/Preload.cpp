#include "sim/umockdev/Preload.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qv::sim {

bool UmockdevPreloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload") != nullptr;
}

bool RunUnderUmockdevPreload(char** argv) {
    if (UmockdevPreloaded()) return true;
    std::string preload = kUmockdevPreload;
    if (const char* old = std::getenv("LD_PRELOAD"); old && *old) preload += std::string(":") + old;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    std::perror("exec under libumockdev-preload");
    return false;
}

}  // namespace qv::sim
