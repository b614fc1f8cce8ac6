// umockdev's preload library, which routes a program's /sys, /dev, netlink
// and ioctl calls to the test bed named by $UMOCKDEV_DIR.
#pragma once

namespace qv::sim {

// The library's name, for LD_PRELOAD.
inline constexpr const char* kUmockdevPreload = "libumockdev-preload.so.0";

// True when this process was started with the library preloaded.
bool UmockdevPreloaded();

// Makes sure this process runs under the library: when it does not yet, it
// is started again (same arguments) with the library added to LD_PRELOAD.
// Returns only when it already runs under it, or when the restart failed
// (false, with a message on stderr).
bool RunUnderUmockdevPreload(char** argv);

}  // namespace qv::sim
