// A save range over a capture whose last chunk holds no record.
#include <gtest/gtest.h>

#include <filesystem>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "export/SaveRange.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

TEST(SaveRange, CountPassesOverAnEmptyLastChunk) {
    test::AppHome home;
    SettingsStore store;
    Log log;
    const std::string folder = home.file("20241106100000");
    std::filesystem::create_directories(folder);
    test::CaptureBuilder b(folder, kProtocolAsync);
    for (int c = 0; c < 2; ++c) {
        b.StartChunk("241106", 0);
        for (int i = 0; i < 10; ++i)
            b.Add(RecordKind::kSdData, static_cast<uint8_t>(i), 1000 + c * 100 + i);
    }
    b.StartChunk("241106", 0);
    b.entries()[2].startTime = b.entries()[1].startTime;
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(b.Finish()), kQvrOk);

    // The CSV exporter's range count starts from the range end's record.
    SaveRange range;
    ASSERT_TRUE(CheckSaveRange(f, {241106, 0}, {241106, 8000}, range));
    uint64_t total = 0;
    ASSERT_TRUE(CountSaveRange(f, range, false, total));
    EXPECT_EQ(total, 20u);
}

}  // namespace
}  // namespace qv
