// The property lists of a capture: values outside their lists show "---",
// labels take the capture's line names, and the counts come from the index.
#include "present/CaptureProperties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

std::map<std::string, std::string> AsMap(const PropertyRows& rows) {
    return {rows.begin(), rows.end()};
}

TEST(CaptureProperties, SettingsShowTheirWordsAndUnknownCodesShowDashes) {
    CaptureFacts f;
    f.names[0] = "TxD";
    f.names[1] = "RxD";
    f.names[2] = "RTS";
    f.monitor.Line = 2;
    f.monitor.Protocol = kProtocolHdlc;
    f.monitor.SD_Baudrate = 115200;
    f.monitor.RD_Baudrate = 134.5;
    f.monitor.DataLen = 7;
    f.monitor.Parity = 2;
    f.monitor.StopBit = 15;
    f.monitor.BitOrder = 0;
    f.monitor.SDDataLogic = 0;
    f.monitor.RDDataLogic = 7;
    f.records = 12;
    f.totals[0] = 5;
    f.totals[1] = 4;
    f.totals[kCountBit7Changes - kCountSd] = 3;
    auto g = AsMap(GeneralProperties(f));
    EXPECT_EQ(g["インタフェース"], "RS-422/485/530");
    EXPECT_EQ(g["モード"], "HDLC");
    EXPECT_EQ(g["TxD スピード(bps)"], "115200.0");
    EXPECT_EQ(g["RxD スピード(bps)"], "134.5");
    EXPECT_EQ(g["データビット"], "7");
    EXPECT_EQ(g["パリティビット"], "EVEN");
    EXPECT_EQ(g["ストップビット"], "1.5");
    EXPECT_EQ(g["トランスファフォーマット"], "MSB First");
    EXPECT_EQ(g["TxD データポラリティ"], "Reverse");
    EXPECT_EQ(g["RxD データポラリティ"], "---");
    EXPECT_EQ(g["モニタ開始時刻"], "---");
    EXPECT_EQ(g["フレームデータ数"], "12");
    EXPECT_EQ(g["TxD フレームデータ数"], "5");
    EXPECT_EQ(g["RxD フレームデータ数"], "4");
    EXPECT_EQ(g["RTS 変化回数"], "3");

    f.monitor.Line = 9;
    f.monitor.Protocol = 3;
    f.monitor.DataLen = 9;
    f.monitor.Parity = 6;
    f.monitor.StopBit = 0;
    g = AsMap(GeneralProperties(f));
    EXPECT_EQ(g["インタフェース"], "---");
    EXPECT_EQ(g["モード"], "---");
    EXPECT_EQ(g["データビット"], "---");
    EXPECT_EQ(g["パリティビット"], "---");
    EXPECT_EQ(g["ストップビット"], "NON");
}

TEST(CaptureProperties, ReadFromAStoredCapture) {
    test::AppHome home;
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("20091205134512"));
    test::CaptureBuilder b(dir.file("20091205134512"), kProtocolAsync);
    b.settings().SD_Baudrate = 19200;
    b.StartChunk("091205", 0);
    b.Add(RecordKind::kSdData, 0x41, 1000);
    b.Add(RecordKind::kSdData, 0x42, 2000);
    b.Add(RecordKind::kRdData, 0x43, 3000);
    std::string index = b.Finish();
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(index), 0);
    CaptureFacts f = ReadCaptureFacts(file);
    auto g = AsMap(GeneralProperties(f));
    EXPECT_EQ(g["SD スピード(bps)"], "19200.0");
    EXPECT_EQ(g["SD フレームデータ数"], "2");
    EXPECT_EQ(g["RD フレームデータ数"], "1");
    auto d = AsMap(DetailProperties(f));
    EXPECT_EQ(d["データファイル数"], "1");
    EXPECT_EQ(d["SD サンプリング"], "10 ns");
}

}  // namespace
}  // namespace qv
