#include <gtest/gtest.h>

#include <filesystem>

#include "capture/CaptureReader.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

TEST(CaptureReaderMarks, SetReadAndKeepTheName) {
    test::AppHome home;
    SettingsStore store;
    Log log;
    std::string folder = home.file("20241106090000");
    std::filesystem::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    b.StartChunk("241106", 0);
    b.Add(RecordKind::kSdData, 1, 100);
    b.Add(RecordKind::kLineChange, 0x20, 200);
    b.StartChunk("241106", 0x20);
    b.Add(RecordKind::kRdData, 2, 300);
    std::string index = b.Finish();
    IniFile ini;
    ini.SetPath(index);
    ini.WriteString("Mark", "M2", "名前,1,241106,00:00:00 000:000:000,SD_DATA,old");

    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    ASSERT_EQ(f.GoToFrame(2), 0);
    std::string comment = "ここ";
    ASSERT_EQ(f.SetMark(2, &comment), 0);
    EXPECT_EQ(ini.ReadValue("Mark", "M2"), "名前,2,241106,00:00:00 000:003:000,RD_DATA,ここ");
    ASSERT_EQ(f.GoToFrame(1), 0);
    ASSERT_EQ(f.SetMark(2, nullptr), 0);  // keeps the comment too
    uint32_t chunk = 0;
    std::string text, note;
    int kind = -1;
    ASSERT_EQ(f.ReadMark(2, chunk, text, kind, note), 0);
    EXPECT_EQ(chunk, 1u);
    EXPECT_EQ(text, "24/11/06 00:00:00 000m002u000n");
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(note, "ここ");

    std::string bad = "a,b";
    EXPECT_EQ(f.SetMark(3, &bad), kQvrNoArgument);
    EXPECT_EQ(f.ReadMark(3, chunk, text, kind, note), kQvrNoIndex);
    EXPECT_EQ(f.SetMark(6, &comment), kQvrNoRecord);
    ini.WriteString("Mark", "M4", "a,1,241106,00:00:00 000:000:000,SD_DATA");  // four commas
    EXPECT_EQ(f.ReadMark(4, chunk, text, kind, note), kQvrNoIndex);
}

}  // namespace
}  // namespace qv
