#include "core/SettingsStore.h"

#include <charconv>
#include <cstdlib>

#include "core/AppPaths.h"
#include "core/FileUtil.h"
#include "core/NumberText.h"

namespace qv {

namespace {

constexpr const char* kStoreSection = "QV-S";

// A store value is read like a registry string: "FrameMax" is decimal
// floating point, truncated towards zero into 64 bits.
uint64_t FloatTextToU64(std::string_view text) {
    double v = std::strtod(std::string(text).c_str(), nullptr);
    if (!(v > 0)) return 0;
    if (v >= 18446744073709551615.0) return UINT64_MAX;
    return static_cast<uint64_t>(v);
}

std::string FormatDouble(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

}  // namespace

SettingsStore::SettingsStore() {
    m_store.SetPath(AppFile("settings.ini"));
}

int SettingsStore::Load() {
    // The store must exist (or be creatable) before any value changes.
    std::string path = m_store.GetPath();
    if (!PathExists(path) && m_store.Open(path) != 0) return -1;

    struct Item {
        const char* name;
        const char* defaultText;
    };
    static constexpr Item kItems[] = {{kFrequency, "1000000"},
                                      {kFrameMax, "100000000"},
                                      {kFileRecordsName, "20000"},
                                      {kVenderId, "5330"},
                                      {kProductId, "0016"}};
    std::string values[5];
    for (int i = 0; i < 5; ++i) {
        if (m_store.ReadString(kStoreSection, kItems[i].name, values[i]) != 0) {
            m_store.WriteString(kStoreSection, kItems[i].name, kItems[i].defaultText);
            if (m_store.ReadString(kStoreSection, kItems[i].name, values[i]) != 0)
                values[i] = kItems[i].defaultText;  // store not writable: use the default
        }
    }
    m_frequency = std::strtod(values[0].c_str(), nullptr);
    m_frameMax = FloatTextToU64(values[1]);
    // The chunk size is fixed: readers of older captures rely on 50000.
    m_fileRecords = kFileRecords;
    m_vendorId = static_cast<int>(ParseLeadingInt(values[3]));
    m_productId = static_cast<int>(ParseLeadingInt(values[4]));
    std::string queue;
    m_readQueueMiB = m_store.ReadString(kStoreSection, kReadQueueMb, queue) == 0
                         ? FloatTextToU64(queue)
                         : 0;
    return 0;
}

int SettingsStore::SetFrameMax(uint64_t value) {
    if (m_store.WriteString(kStoreSection, kFrameMax, std::to_string(value)) != 0) return -1;
    m_frameMax = value;
    return 0;
}

int SettingsStore::SetFrequency(double hz) {
    if (m_store.WriteString(kStoreSection, kFrequency, FormatDouble(hz)) != 0) return -1;
    m_frequency = hz;
    return 0;
}

}  // namespace qv
