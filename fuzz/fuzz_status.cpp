// Status files of any content: reading never fails on content, and what was
// read survives a save and a second read unchanged.
#include <cstdlib>

#include "FuzzCapture.h"
#include "settings/StatusFile.h"
#include "settings/StatusSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv;
    static const std::string folder = fuzz::ScratchFolder();
    static const std::string path = folder + "/fuzz.qvs";
    static const std::string copy = folder + "/copy.qvs";
    constexpr int64_t kNow = 1'700'000'000;
    fuzz::WriteFile(path, data, size);

    StatusFile file;
    if (file.OpenStatusFile(path) != 0) std::abort();
    StatusSet set;
    LoadStatusSet(file, set, kNow);
    ReadStatusUnit(file);
    TriggerSetting t;
    for (int n = 0; n <= 9; ++n) file.ReadTrigger(t, n);
    FormatEntry row;
    for (int n = 0; n <= 31; ++n) file.ReadFormatEntry(row, n);

    std::remove(copy.c_str());
    if (SaveStatusSet(copy, set) != 0) return 0;  // a text the file cannot hold
    StatusSet again;
    if (ImportStatusSet(copy, again, kNow) != 0) std::abort();
    // Saving lowers ASYNC sampling cycles once; a second save must not move them.
    StatusSet saved = again;
    std::remove(copy.c_str());
    if (SaveStatusSet(copy, saved) != 0) std::abort();
    StatusSet third;
    if (ImportStatusSet(copy, third, kNow) != 0) std::abort();
    if (!(third == again)) {
        std::fprintf(stderr, "fuzz_status: a saved set did not read back the same\n");
        std::abort();
    }
    return 0;
}
