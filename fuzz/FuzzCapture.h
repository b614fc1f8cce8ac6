// A scratch capture folder shared by the fuzz targets: an index whose
// settings and chunk entries the targets overwrite with fuzzer input.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"

namespace qv::fuzz {

inline std::string ScratchFolder() {
    static std::string folder = [] {
        // RAM-backed when it can be: the targets rewrite their files on every input.
        std::string base = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                           "/qvfuzz." + std::to_string(::getpid());
        ::setenv("QVORT_HOME", base.c_str(), 1);
        std::string f = base + "/20240101000000";
        std::system(("mkdir -p " + f).c_str());
        return f;
    }();
    return folder;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Opens the capture and exercises every movement and accessor.
inline void Walk(CaptureReader& f, const std::string& index) {
    f.Open(index);
    std::vector<uint8_t> buf;
    std::string text;
    uint64_t ticks;
    KindOrdinals k;
    for (int i = 0; i < 200 && f.HasRecord(); ++i) {
        f.GetData(buf);
        f.GetRawRecord(buf);
        f.GetStartTime(text, ticks);
        f.GetEndTime(text, ticks);
        f.GetKindOrdinals(k);
        if (f.NextRecord() != 0) break;
    }
    for (int type = kJumpSd; type <= kJumpData; ++type) {
        f.NextOfType(type);
        f.PrevOfType(type);
    }
    f.GoToNthOfDirection(3, 0);
    f.GoToTime("240101", 1000);
    f.GoToFrame(f.GetTotalRecords() / 2);
    while (f.PrevRecord() == 0) {
    }
}

}  // namespace qv::fuzz
