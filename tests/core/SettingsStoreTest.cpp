#include "core/SettingsStore.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/IniFile.h"
#include "support/AppHome.h"

namespace qv {
namespace {

using test::AppHome;
using test::WriteBytes;

std::string StoreValue(const AppHome& home, const char* name) {
    IniFile ini;
    ini.SetPath(home.file("settings.ini"));
    return ini.ReadValue("QV-S", name);
}

TEST(SettingsStoreTest, FreshMachineGetsTheDefaultsWritten) {
    AppHome home;
    SettingsStore store;
    EXPECT_EQ(store.GetFrameMax(), 0u);  // construction does not read the store
    ASSERT_EQ(store.Load(), 0);
    EXPECT_EQ(StoreValue(home, "Frequency"), "1000000");
    EXPECT_EQ(StoreValue(home, "FrameMax"), "100000000");
    EXPECT_EQ(StoreValue(home, "FileRecords"), "20000");
    EXPECT_EQ(StoreValue(home, "Vender_ID"), "5330");
    EXPECT_EQ(StoreValue(home, "Product_ID"), "0016");
    EXPECT_DOUBLE_EQ(store.GetFrequency(), 1e6);
    EXPECT_EQ(store.GetFrameMax(), 100000000u);
    EXPECT_EQ(store.GetFileRecords(), 50000u);
    EXPECT_EQ(store.GetVendorId(), 5330);
    EXPECT_EQ(store.GetProductId(), 16);
    // Nothing but the store is written by loading it.
    EXPECT_FALSE(std::filesystem::exists(home.file("QV-ORT.conf")));
    EXPECT_FALSE(std::filesystem::exists(home.file("qv-ort.log")));
}

TEST(SettingsStoreTest, StoredValuesAreReadAndChunkSizeStaysFixed) {
    AppHome home;
    WriteBytes(home.file("settings.ini"),
               "[QV-S]\r\nFileRecords=30000\r\nFrameMax=2.5e9\r\nFrequency=7372800\r\n");
    SettingsStore store;
    ASSERT_EQ(store.Load(), 0);
    EXPECT_EQ(store.GetFileRecords(), 50000u);
    EXPECT_EQ(store.GetFrameMax(), 2500000000u);
    EXPECT_DOUBLE_EQ(store.GetFrequency(), 7372800.0);
    // Values already present are not rewritten.
    EXPECT_EQ(StoreValue(home, "FileRecords"), "30000");

    ASSERT_EQ(store.SetFrameMax(20000000000ULL), 0);
    ASSERT_EQ(store.SetFrequency(3686400.5), 0);
    SettingsStore again;
    again.Load();
    EXPECT_EQ(again.GetFrameMax(), 20000000000ULL);
    EXPECT_DOUBLE_EQ(again.GetFrequency(), 3686400.5);
}

TEST(SettingsStoreTest, UnopenableStoreChangesNothing) {
    AppHome home;
    ::setenv("QVORT_HOME", (home.path() + "/file-not-folder").c_str(), 1);
    WriteBytes(home.path() + "/file-not-folder", "x");
    SettingsStore store;
    EXPECT_EQ(store.Load(), -1);
    EXPECT_EQ(store.GetFrameMax(), 0u);
    EXPECT_EQ(store.GetVendorId(), 1204);
}

}  // namespace
}  // namespace qv
