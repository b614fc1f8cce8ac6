#include "core/Log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "core/Prompt.h"
#include "support/AppHome.h"

namespace qv {
namespace {

using test::AppHome;
using test::ReadBytes;

struct RecordingPrompt : IPrompt {
    std::vector<std::string> shown;
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
    bool AskYesNo(const std::string&) override { return false; }
};

TEST(LogTest, EntriesAreSingleLinesAndBoxesGoThroughThePrompt) {
    AppHome home;
    Log log;
    EXPECT_EQ(log.Path(), home.file("qv-ort.log"));
    EXPECT_EQ(log.Write("INF", "QvrCmn", 2, "before a prompt is set", true), 0);
    RecordingPrompt prompt;
    log.SetPrompt(&prompt);
    EXPECT_EQ(log.Write("ERR", "MonitorFileCtrl", 181, "File Write Error.", false), 0);
    EXPECT_EQ(log.Write("INF", "QvrCmn", 1, "two\nlines", true), 0);
    EXPECT_EQ(log.WriteSystemError(ENOSPC), 0);
    errno = ENOENT;
    EXPECT_EQ(log.WriteLastSystemError(), 0);
    std::string text = ReadBytes(home.file("qv-ort.log"));
    EXPECT_NE(text.find(" ERR MonitorFileCtrl 181 File Write Error.\n"), std::string::npos);
    EXPECT_NE(text.find(" INF QvrCmn 1 two lines\n"), std::string::npos);
    EXPECT_NE(text.find("No space left on device"), std::string::npos);
    EXPECT_NE(text.find("No such file or directory"), std::string::npos);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], "two\nlines");
}

TEST(LogTest, AFullLogIsMovedAsideAndStartedAnew) {
    AppHome home;
    const std::string path = home.file("small.log");
    Log log(path, 100);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(log.Write("DBG", "Test", i, std::string(40, 'x')), 0);
    // The third entry found the file past its limit: the first two moved.
    EXPECT_TRUE(std::filesystem::exists(path + ".1"));
    EXPECT_NE(ReadBytes(path + ".1").find(" DBG Test 1 "), std::string::npos);
    const std::string now = ReadBytes(path);
    EXPECT_NE(now.find(" DBG Test 2 "), std::string::npos);
    EXPECT_EQ(now.find(" DBG Test 1 "), std::string::npos);
}

TEST(LogTest, AnUnwritableLogSaysSo) {
    AppHome home;
    Log log(home.file("no-such-folder/qv-ort.log"));
    EXPECT_EQ(log.Write("ERR", "Test", 1, "lost"), -1);
}

}  // namespace
}  // namespace qv
