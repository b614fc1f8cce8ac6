#include "capture/CaptureFolderList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TempDir.h"

namespace qv {
namespace {

TEST(CaptureFolderList, PathsAtTheRootAndBelow) {
    EXPECT_EQ(ParentFolder("/a/b"), "/a");
    EXPECT_EQ(ParentFolder("/a/b/"), "/a");
    EXPECT_EQ(ParentFolder("/a"), "/");
    EXPECT_EQ(ParentFolder("/"), "/");
    EXPECT_EQ(JoinFolder("/", "a"), "/a");
    EXPECT_EQ(JoinFolder("/x", "a"), "/x/a");
    EXPECT_EQ(CaptureIndexPathOf("/x/CAP1/"), "/x/CAP1/CAP1.qvr");
}

TEST(CaptureFolderList, DamagedIndexValuesListWithoutDetails) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("CAP1"));
    std::filesystem::create_directories(dir.file("CAP2"));
    std::filesystem::create_directories(dir.file("CAP3/CAP3.qvr"));  // a folder, not an index
    std::ofstream(dir.file("CAP1/CAP1.qvr")) << "[DataFile]\nFrameNum=lots\nStartTime=1,2,3\n";
    std::ofstream(dir.file("CAP2/CAP2.qvr"))
        << "[DataFile]\nFrameNum=12\nStartTime=091205,25:00:00 000:000:000\n";
    std::ofstream(dir.file("file.txt")) << "x";
    std::vector<CaptureFolderEntry> e;
    ASSERT_TRUE(ListCaptureFolders(dir.path(), e));
    ASSERT_EQ(e.size(), 4u);  // "..", CAP1, CAP2, CAP3; the file is left out
    EXPECT_EQ(e[0].name, "..");
    EXPECT_TRUE(e[1].capture);
    EXPECT_EQ(e[1].frames, 0u);
    EXPECT_EQ(e[1].startText, "");
    EXPECT_TRUE(e[2].capture);
    EXPECT_EQ(e[2].frames, 12u);
    EXPECT_EQ(e[2].startText, "");  // a time past 24 h has no text
    EXPECT_FALSE(e[3].capture);
    EXPECT_FALSE(ListCaptureFolders(dir.file("missing"), e));
}

}  // namespace
}  // namespace qv
