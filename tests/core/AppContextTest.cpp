#include "core/AppContext.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/IniFile.h"
#include "core/Prompt.h"
#include "support/AppHome.h"

namespace qv {
namespace {

using test::AppHome;
using test::ReadBytes;
using test::WriteBytes;

std::string StoreValue(const AppHome& home, const char* name) {
    IniFile ini;
    ini.SetPath(home.file("settings.ini"));
    return ini.ReadValue("QV-S", name);
}

TEST(SettingsStoreTest, FreshMachineGetsTheDefaultsWritten) {
    AppHome home;
    AppContext cmn;
    EXPECT_EQ(cmn.GetFrameMax(), 0u);  // construction does not read the store
    ASSERT_EQ(cmn.LoadRegistrySettings(), 0);
    EXPECT_EQ(StoreValue(home, "Frequency"), "1000000");
    EXPECT_EQ(StoreValue(home, "FrameMax"), "100000000");
    EXPECT_EQ(StoreValue(home, "FileRecords"), "20000");
    EXPECT_EQ(StoreValue(home, "Vender_ID"), "5330");
    EXPECT_EQ(StoreValue(home, "Product_ID"), "0016");
    EXPECT_DOUBLE_EQ(cmn.GetFrequency(), 1e6);
    EXPECT_EQ(cmn.GetFrameMax(), 100000000u);
    EXPECT_EQ(cmn.GetFileRecords(), 50000u);
    EXPECT_EQ(cmn.GetVendorId(), 5330);
    EXPECT_EQ(cmn.GetProductId(), 16);
}

TEST(SettingsStoreTest, StoredValuesAreReadAndChunkSizeStaysFixed) {
    AppHome home;
    WriteBytes(home.file("settings.ini"),
               "[QV-S]\r\nFileRecords=30000\r\nFrameMax=2.5e9\r\nFrequency=7372800\r\n");
    AppContext cmn;
    ASSERT_EQ(cmn.LoadRegistrySettings(), 0);
    EXPECT_EQ(cmn.GetFileRecords(), 50000u);
    EXPECT_EQ(cmn.GetFrameMax(), 2500000000u);
    EXPECT_DOUBLE_EQ(cmn.GetFrequency(), 7372800.0);
    // Values already present are not rewritten.
    EXPECT_EQ(StoreValue(home, "FileRecords"), "30000");

    ASSERT_EQ(cmn.SetFrameMax(20000000000ULL), 0);
    AppContext again;
    again.LoadRegistrySettings();
    EXPECT_EQ(again.GetFrameMax(), 20000000000ULL);
}

TEST(SettingsStoreTest, UnopenableStoreChangesNothing) {
    AppHome home;
    ::setenv("QVORT_HOME", (home.path() + "/file-not-folder").c_str(), 1);
    WriteBytes(home.path() + "/file-not-folder", "x");
    AppContext cmn;
    EXPECT_EQ(cmn.LoadRegistrySettings(), -1);
    EXPECT_EQ(cmn.GetFrameMax(), 0u);
    EXPECT_EQ(cmn.GetVendorId(), 1204);
}

TEST(ViewConfTest, ColoursAndFrameCount) {
    AppHome home;
    {
        AppContext cmn;
        EXPECT_EQ(cmn.GetColor(ViewColor::DumpEven), 16776960u);
        EXPECT_EQ(cmn.GetColor(ViewColor::MonitorSd), 0u);
        EXPECT_EQ(cmn.GetLineFrameCount(), 100);
    }
    WriteBytes(home.file("QV-ORT.conf"), "[c]\nmcs=255\ndco=-1\n[LineWindow]\nFrameNums=5\n");
    {
        AppContext cmn;
        EXPECT_EQ(cmn.GetColor(ViewColor::MonitorSd), 255u);
        EXPECT_EQ(cmn.GetColor(ViewColor::DumpOdd), 16777215u);  // -1 keeps the default
        EXPECT_EQ(cmn.GetLineFrameCount(), 500);
        ASSERT_EQ(cmn.SetColor(ViewColor::MonitorOther, 123456), 0);
    }
    EXPECT_EQ(AppContext().GetColor(ViewColor::MonitorOther), 123456u);
    for (const char* bad : {"101", "-1", "x"}) {
        WriteBytes(home.file("QV-ORT.conf"), std::string("[LineWindow]\nFrameNums=") + bad);
        EXPECT_EQ(AppContext().GetLineFrameCount(), bad[0] == 'x' ? 0 : 100) << bad;
    }
}

TEST(ViewConfTest, SaveDirectoryFallsBackToTheApplicationFolder) {
    AppHome home;
    AppContext cmn;
    EXPECT_EQ(cmn.GetSaveDirectory(), home.path());  // default, without trailing "/"
    std::string caps = home.file("caps");
    ASSERT_EQ(AppContext::EnsureFolder(caps), 0);
    ASSERT_EQ(cmn.SetSaveDirectory(caps + "/"), 0);
    EXPECT_EQ(AppContext().GetSaveDirectory(), caps);
    std::filesystem::remove(caps);
    EXPECT_EQ(AppContext().GetSaveDirectory(), home.path());
    // A file is not a folder.
    WriteBytes(caps, "x");
    EXPECT_EQ(AppContext().GetSaveDirectory(), home.path());
    EXPECT_EQ(cmn.SetSaveDirectory(std::string(300, 'd')), -1);
}

TEST(ViewConfTest, EnsureFolderAcceptsWhatExists) {
    AppHome home;
    EXPECT_EQ(AppContext::EnsureFolder(home.file("a/b")), 0);
    WriteBytes(home.file("f"), "x");
    EXPECT_EQ(AppContext::EnsureFolder(home.file("f")), 0);
    EXPECT_EQ(AppContext::EnsureFolder(home.file("f/sub")), -1);
}

struct RecordingPrompt : IPrompt {
    std::vector<std::string> shown;
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
    bool AskYesNo(const std::string&) override { return false; }
};

TEST(LogTest, EntriesAreSingleLinesAndBoxesGoThroughThePrompt) {
    AppHome home;
    AppContext cmn;
    RecordingPrompt prompt;
    cmn.SetPrompt(&prompt);
    EXPECT_EQ(cmn.WriteLog("ERR", "MonitorFileCtrl", 181, "File Write Error.", false), 0);
    EXPECT_EQ(cmn.WriteLog("INF", "QvrCmn", 1, "two\nlines", true), 0);
    EXPECT_EQ(cmn.LogSystemError(ENOSPC), 0);
    std::string log = ReadBytes(home.file("qv-ort.log"));
    EXPECT_NE(log.find(" ERR MonitorFileCtrl 181 File Write Error.\n"), std::string::npos);
    EXPECT_NE(log.find(" INF QvrCmn 1 two lines\n"), std::string::npos);
    EXPECT_NE(log.find("No space left on device"), std::string::npos);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], "two\nlines");
}

TEST(TimeTextTest, TicksToTextLeavesTheBufferOnFailure) {
    std::string out = "unchanged";
    EXPECT_EQ(AppContext::TicksToText(8'640'000'000'001ULL, out), -1);
    EXPECT_EQ(out, "unchanged");
    EXPECT_EQ(AppContext::TicksToText(0, out), 0);
    EXPECT_EQ(out, "00:00:00 000m000u000n");
}

TEST(TimeTextTest, FormatThousands) {
    EXPECT_EQ(AppContext::FormatThousands(0), "0");
    EXPECT_EQ(AppContext::FormatThousands(999), "999");
    EXPECT_EQ(AppContext::FormatThousands(1000), "1,000");
    EXPECT_EQ(AppContext::FormatThousands(1234567), "1,234,567");
    EXPECT_EQ(AppContext::FormatThousands(-1000), "-1,000");
    EXPECT_EQ(AppContext::FormatThousands(-999), "-999");
    EXPECT_EQ(AppContext::FormatThousands(INT32_MIN), "-2,147,483,648");
}

}  // namespace
}  // namespace qv
