#include "core/ViewConf.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/FileUtil.h"
#include "core/Log.h"
#include "support/AppHome.h"

namespace qv {
namespace {

using test::AppHome;
using test::ReadBytes;
using test::WriteBytes;

TEST(ViewConfTest, ColoursAndFrameCount) {
    AppHome home;
    Log log;
    {
        ViewConf conf(log);
        EXPECT_EQ(conf.GetColor(ViewColor::DumpEven), 16776960u);
        EXPECT_EQ(conf.GetColor(ViewColor::MonitorSd), 0u);
        EXPECT_EQ(conf.GetLineFrameCount(), 100);
    }
    WriteBytes(home.file("QV-ORT.conf"), "[c]\nmcs=255\ndco=-1\n[LineWindow]\nFrameNums=5\n");
    {
        ViewConf conf(log);
        EXPECT_EQ(conf.GetColor(ViewColor::MonitorSd), 255u);
        EXPECT_EQ(conf.GetColor(ViewColor::DumpOdd), 16777215u);  // -1 keeps the default
        EXPECT_EQ(conf.GetLineFrameCount(), 500);
        ASSERT_EQ(conf.SetColor(ViewColor::MonitorOther, 123456), 0);
        ASSERT_EQ(conf.SetLineFrameNums(7), 0);
        EXPECT_EQ(conf.SetLineFrameNums(101), -1);
        EXPECT_EQ(conf.GetLineFrameCount(), 700);
    }
    EXPECT_EQ(ViewConf(log).GetColor(ViewColor::MonitorOther), 123456u);
    EXPECT_EQ(ViewConf(log).GetLineFrameCount(), 700);
    for (const char* bad : {"101", "-1", "x"}) {
        WriteBytes(home.file("QV-ORT.conf"), std::string("[LineWindow]\nFrameNums=") + bad);
        EXPECT_EQ(ViewConf(log).GetLineFrameCount(), bad[0] == 'x' ? 0 : 100) << bad;
    }
    // The conf file is the only file the conf writes.
    EXPECT_FALSE(std::filesystem::exists(home.file("settings.ini")));
}

TEST(ViewConfTest, SaveDirectoryFallsBackToTheApplicationFolder) {
    AppHome home;
    Log log;
    ViewConf conf(log);
    EXPECT_EQ(conf.GetSaveDirectory(), home.path());  // default, without trailing "/"
    std::string caps = home.file("caps");
    ASSERT_EQ(EnsureFolder(caps), 0);
    ASSERT_EQ(conf.SetSaveDirectory(caps + "/"), 0);
    EXPECT_EQ(ViewConf(log).GetSaveDirectory(), caps);
    std::filesystem::remove(caps);
    EXPECT_EQ(ViewConf(log).GetSaveDirectory(), home.path());
    // A file is not a folder.
    WriteBytes(caps, "x");
    EXPECT_EQ(ViewConf(log).GetSaveDirectory(), home.path());
}

TEST(ViewConfTest, ARefusedSaveDirectoryIsLoggedAndKeepsTheStoredOne) {
    AppHome home;
    Log log;
    ViewConf conf(log);
    std::string caps = home.file("caps");
    ASSERT_EQ(EnsureFolder(caps), 0);
    ASSERT_EQ(conf.SetSaveDirectory(caps), 0);
    const std::string before = ReadBytes(home.file("QV-ORT.conf"));

    const std::string longPath(300, 'd');
    EXPECT_FALSE(conf.SaveDirectoryProblem(longPath).empty());
    EXPECT_EQ(conf.SetSaveDirectory(longPath), -1);
    EXPECT_EQ(conf.SetSaveDirectory("/tmp/\xF0\x9F\x98\x80"), -1);  // no CP932 form
    EXPECT_EQ(ReadBytes(home.file("QV-ORT.conf")), before);
    EXPECT_EQ(conf.GetSaveDirectory(), caps);

    const std::string entries = ReadBytes(log.Path());
    EXPECT_NE(entries.find(" ERR QvrCmn "), std::string::npos);
    EXPECT_NE(entries.find("Directory " + longPath + " not stored: longer than 255 bytes"),
              std::string::npos);
    EXPECT_NE(entries.find("no CP932 (Shift-JIS) form"), std::string::npos);
}

}  // namespace
}  // namespace qv
