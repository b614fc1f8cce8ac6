// The settings store: the machine-wide values "Frequency", "FrameMax",
// "FileRecords", "Vender_ID" and "Product_ID", kept in section "QV-S" of
// "settings.ini" in the application folder. Constructing reads nothing; Load
// reads the values, writing the default of each missing one. The save device
// is not kept here: it lives in the status file a run starts from, which is
// what every reader of it reads.
// "ReadQueueMB" (the memory a monitoring run may hold between reading the
// instrument and writing the disk) is read when present and never written.
#pragma once

#include <cstdint>
#include <string>

#include "core/IniFile.h"

namespace qv {

class SettingsStore {
  public:
    // Records per data chunk file, whatever the store says.
    static constexpr uint64_t kFileRecords = 50000;
    // The names of the store's values.
    static constexpr const char* kFrequency = "Frequency";
    static constexpr const char* kFrameMax = "FrameMax";
    static constexpr const char* kFileRecordsName = "FileRecords";
    static constexpr const char* kVenderId = "Vender_ID";
    static constexpr const char* kProductId = "Product_ID";
    static constexpr const char* kReadQueueMb = "ReadQueueMB";

    SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Reads "Frequency", "FrameMax", "FileRecords", "Vender_ID", "Product_ID",
    // writing the default of each one that is missing. -1 only when the store
    // cannot be opened or created; then nothing changes.
    int Load();
    int SetFrameMax(uint64_t value);
    // Not a setter the dialogs have; lets a Linux user change the value that
    // the registry editor would change elsewhere.
    int SetFrequency(double hz);

    // Clock frequency in Hz; 0 until loaded.
    double GetFrequency() const { return m_frequency; }
    uint64_t GetFrameMax() const { return m_frameMax; }
    // kFileRecords once loaded, 0 before.
    uint64_t GetFileRecords() const { return m_fileRecords; }
    int GetVendorId() const { return m_vendorId; }
    int GetProductId() const { return m_productId; }
    // MiB from "ReadQueueMB"; 0 when absent or not a positive number (the
    // run then sizes the queue from the machine's memory).
    uint64_t GetReadQueueMiB() const { return m_readQueueMiB; }

    std::string GetPath() const { return m_store.GetPath(); }
    int LastWriteError() const { return m_store.LastWriteError(); }

  private:
    double m_frequency = 0.0;
    uint64_t m_frameMax = 0;
    uint64_t m_fileRecords = 0;
    uint64_t m_readQueueMiB = 0;
    int m_vendorId = 1204;
    int m_productId = 4100;
    IniFile m_store;
};

}  // namespace qv
