#include "core/IniFile.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <fstream>
#include <vector>

#include "support/AsUser.h"
#include "support/TempDir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class IniFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir.file("a.qvs");
};

TEST_F(IniFileTest, MatchingIgnoresCaseAndBlanksAroundValues) {
    WriteBytes(path, "[MonitorStatus]\nProtocol =  ASYNC \t\nLine=\n");
    IniFile ini;
    ASSERT_EQ(ini.Open(path), 0);
    std::string v;
    EXPECT_EQ(ini.ReadString("monitorstatus", "PROTOCOL", v), 0);
    EXPECT_EQ(v, "ASYNC");
    // Present but empty: absent for the caller, and the buffer is empty.
    EXPECT_EQ(ini.ReadString("MonitorStatus", "Line", v), -1);
    EXPECT_EQ(v, "");
    EXPECT_EQ(ini.ReadString("MonitorStatus", "Missing", v), -1);
    EXPECT_EQ(v, "NOKEY");
    EXPECT_EQ(ini.ReadString("NoSection", "Line", v), -1);
    EXPECT_EQ(v, "NOKEY");
}

TEST_F(IniFileTest, AnyValueBeginningWithNoKeyIsAbsent) {
    WriteBytes(path, "[S]\na=NOKEY\nb=NOKEYS and more\nc=NOKE\n");
    IniFile ini;
    ini.Open(path);
    std::string v;
    EXPECT_EQ(ini.ReadString("S", "a", v), -1);
    EXPECT_EQ(ini.ReadString("S", "b", v), -1);
    EXPECT_EQ(v, "NOKEYS and more");
    EXPECT_EQ(ini.ReadString("S", "c", v), 0);
}

TEST_F(IniFileTest, MissingKeyGoesToTheEndOfItsSectionAndMissingSectionToTheEnd) {
    // Template lines end in LF; untouched lines must stay byte for byte.
    WriteBytes(path, "[A]\nx=1\n\n[B]\ny=2\n");
    IniFile ini;
    ini.Open(path);
    ASSERT_EQ(ini.WriteString("a", "z", "3"), 0);
    ASSERT_EQ(ini.WriteString("C", "w", "4"), 0);
    ASSERT_EQ(ini.WriteString("B", "Y", "5"), 0);
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\nz=3\r\n\n[B]\nY=5\r\n[C]\r\nw=4\r\n");
}

TEST_F(IniFileTest, AppendsAfterALastLineWithoutLineEnd) {
    WriteBytes(path, "[A]\r\nx=1");
    IniFile ini;
    ini.Open(path);
    ASSERT_EQ(ini.WriteString("A", "y", "2"), 0);
    ASSERT_EQ(ini.WriteString("B", "z", "3"), 0);
    EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
}

// A lone CR ends a line as CR LF and LF do: a key is found and changed in
// place, never appended a second time.
TEST_F(IniFileTest, EveryKindOfLineEndEndsALine) {
    for (const char* eol : {"\r", "\n", "\r\n"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(eol)));
        const std::string e = eol;
        WriteBytes(path, "[A]" + e + "x=1" + e + "y=2" + e);
        IniFile ini;
        ini.Open(path);
        EXPECT_EQ(ini.ReadValue("A", "x"), "1");
        EXPECT_EQ(ini.ReadValue("A", "y"), "2");
        ASSERT_EQ(ini.WriteString("A", "x", "3"), 0);
        const std::string text = ReadBytes(path);
        EXPECT_EQ(text.find("x="), text.rfind("x=")) << text;
        EXPECT_EQ(text.find("x=3"), 3 + e.size()) << text;
        EXPECT_NE(text.find("y=2" + e), std::string::npos) << text;
    }
}

// A cancelled batch writes nothing, and the file reads as it was.
TEST_F(IniFileTest, ACancelledBatchLeavesTheFileAsItWas) {
    WriteBytes(path, "[A]\nx=1\n");
    IniFile ini;
    ini.SetPath(path);
    ini.BeginBatch();
    ASSERT_EQ(ini.WriteString("A", "x", "2"), 0);
    ASSERT_EQ(ini.WriteString("B", "y", "3"), 0);
    ini.CancelBatch();
    EXPECT_EQ(ini.EndBatch(), -1);
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
    EXPECT_EQ(ini.ReadValue("A", "x"), "1");
    EXPECT_EQ(ini.ReadValue("B", "y"), "NOKEY");
    ASSERT_EQ(ini.WriteString("A", "x", "4"), 0);  // the next write is not cancelled
    EXPECT_EQ(ini.ReadValue("A", "x"), "4");
}

TEST_F(IniFileTest, FirstOfDuplicatesWins) {
    WriteBytes(path, "[A]\nk=first\nk=second\n[a]\nk=third\n");
    IniFile ini;
    ini.Open(path);
    EXPECT_EQ(ini.ReadValue("A", "k"), "first");
}

TEST_F(IniFileTest, OpenCreatesOnlyWhenMissing) {
    IniFile ini;
    EXPECT_EQ(ini.Open(path), 0);
    EXPECT_EQ(ReadBytes(path), "");
    WriteBytes(path, "[A]\nx=1\n");
    EXPECT_EQ(ini.Open(path), 0);
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
    IniFile bad;
    EXPECT_EQ(bad.Open(dir.file("no/such/folder/x.qvs")), -1);
    EXPECT_EQ(bad.GetPath(), dir.file("no/such/folder/x.qvs"));
    EXPECT_EQ(bad.ReadValue("A", "x"), "NOKEY");
    EXPECT_EQ(bad.WriteString("A", "x", "1"), -1);
}

TEST_F(IniFileTest, JapaneseTextIsCp932OnDiskAndUtf8InMemory) {
    IniFile ini;
    ini.Open(path);
    const std::string alias = "モニタ１号機";
    ASSERT_EQ(ini.WriteString("RegistInfo", "Alias", alias), 0);
    // モ = 83 82 in CP932.
    std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("Alias=\x83\x82"), std::string::npos);
    EXPECT_EQ(bytes.find("\xE3\x83"), std::string::npos);  // no UTF-8 on disk
    IniFile other;
    other.Open(path);
    EXPECT_EQ(other.ReadValue("RegistInfo", "Alias"), alias);

    // A file someone saved as UTF-8 reads as well, and is written back as CP932.
    WriteBytes(path, "[RegistInfo]\nAlias=" + alias + "\n");
    EXPECT_EQ(other.ReadValue("RegistInfo", "Alias"), alias);
    ASSERT_EQ(other.WriteString("RegistInfo", "SerialNumber", "A1"), 0);
    EXPECT_NE(ReadBytes(path).find("Alias=\x83\x82"), std::string::npos);
}

TEST_F(IniFileTest, TextWithoutCp932FormIsRefusedAndChangesNothing) {
    WriteBytes(path, "[A]\nx=1\n");
    IniFile ini;
    ini.Open(path);
    EXPECT_EQ(ini.WriteString("A", "x", "\xF0\x9F\x98\x80"), -1);  // an emoji
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
    EXPECT_EQ(ini.ReadValue("A", "x"), "1");
}

TEST_F(IniFileTest, LinesNotWrittenKeepTheirBytesWhateverTheyHold) {
    // Neither CP932 nor UTF-8: a stray byte and a lead byte without its trail.
    WriteBytes(path, "[A]\r\nx=\xFF\x81 odd\r\ny=1\n[B]\r\nz=\x83\x82\r\n");
    IniFile ini;
    ini.Open(path);
    ASSERT_EQ(ini.WriteString("A", "y", "2"), 0);
    ASSERT_EQ(ini.WriteString("B", "w", "モ"), 0);
    EXPECT_EQ(ReadBytes(path), "[A]\r\nx=\xFF\x81 odd\r\ny=2\r\n[B]\r\nz=\x83\x82\r\nw=\x83\x82\r\n");
    EXPECT_EQ(ini.ReadValue("B", "z"), "モ");
    EXPECT_NE(ini.ReadValue("A", "x").find("odd"), std::string::npos);
    // A value CP932 cannot hold is refused as such and changes nothing.
    EXPECT_FALSE(ini.CanStore("5€"));
    EXPECT_TRUE(ini.CanStore("モ"));
    const std::string before = ReadBytes(path);
    EXPECT_EQ(ini.WriteString("A", "y", "5€"), -1);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(ini.DeleteKey("A", "x"), 0);
    EXPECT_EQ(ReadBytes(path), "[A]\r\ny=2\r\n[B]\r\nz=\x83\x82\r\nw=\x83\x82\r\n");
}

TEST_F(IniFileTest, AUtf8FileWithTextCp932LacksStaysUtf8) {
    WriteBytes(path, "[Owner]\nName=Jürgen 5€\n");
    IniFile ini;
    ini.Open(path);
    EXPECT_TRUE(ini.CanStore("ü"));
    ASSERT_EQ(ini.WriteString("Owner", "Town", "Köln"), 0);
    EXPECT_EQ(ReadBytes(path), "[Owner]\nName=Jürgen 5€\nTown=Köln\r\n");
    EXPECT_EQ(ini.ReadValue("Owner", "Name"), "Jürgen 5€");
    // Once nothing needs UTF-8 any more, the file goes back to CP932.
    ASSERT_EQ(ini.WriteString("Owner", "Name", "モ"), 0);
    ASSERT_EQ(ini.WriteString("Owner", "Town", "x"), 0);
    EXPECT_EQ(ReadBytes(path), "[Owner]\nName=\x83\x82\r\nTown=x\r\n");
}

TEST_F(IniFileTest, ABatchHoldsTheFileAgainstOtherWriters) {
    IniFile a, b;
    a.Open(path);
    b.Open(path);
    a.BeginBatch();
    std::atomic<bool> written{false};
    std::thread other([&] {
        EXPECT_EQ(b.WriteString("S", "fromB", "1"), 0);
        written = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(written.load());  // waits for the batch
    ASSERT_EQ(a.WriteString("S", "fromA", "1"), 0);
    ASSERT_EQ(a.EndBatch(), 0);
    other.join();
    IniFile c;
    c.Open(path);
    EXPECT_EQ(c.ReadValue("S", "fromA"), "1");
    EXPECT_EQ(c.ReadValue("S", "fromB"), "1");
    // A batch reads the file afresh: b's change is not overwritten by a's
    // next batch, though a read the file before it.
    a.BeginBatch();
    a.WriteString("S", "again", "1");
    a.EndBatch();
    EXPECT_EQ(c.ReadValue("S", "fromB"), "1");
}

TEST_F(IniFileTest, ALinkAtThePathIsNeverWrittenThrough) {
    const std::string victim = dir.file("victim.txt");
    WriteBytes(victim, "precious\n");
    ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
    IniFile ini;
    ini.SetPath(path);
    EXPECT_EQ(ini.WriteString("A", "x", "1"), -1);
    EXPECT_EQ(ReadBytes(victim), "precious\n");
    ini.BeginNewFile();
    ini.WriteLine("[A]\r\n");
    EXPECT_EQ(ini.EndNewFile(), -1);
    EXPECT_EQ(ReadBytes(victim), "precious\n");
}

TEST_F(IniFileTest, ValuesAreCutAt255Cp932BytesOnACharacterBoundary) {
    IniFile ini;
    ini.Open(path);
    std::string ascii(300, 'a');
    ini.WriteString("A", "x", ascii);
    EXPECT_EQ(ini.ReadValue("A", "x").size(), 255u);
    // 128 two-byte characters are 256 CP932 bytes: the last one does not fit whole.
    std::string wide;
    for (int i = 0; i < 128; ++i)
        wide += "ア";
    ini.WriteString("A", "y", wide);
    std::string cut = ini.ReadValue("A", "y");
    EXPECT_EQ(cut.size(), 127u * 3);
    EXPECT_EQ(ini.ReadValue("A", "y", 1000), wide);
}

TEST_F(IniFileTest, ChangesByAnotherWriterAreSeen) {
    IniFile a, b;
    a.Open(path);
    b.Open(path);
    a.WriteString("A", "x", "1");
    EXPECT_EQ(b.ReadValue("A", "x"), "1");
    b.WriteString("A", "x", "22");
    EXPECT_EQ(a.ReadValue("A", "x"), "22");
    // An outside edit of the same size still replaces the file (new inode).
    WriteBytes(dir.file("tmp"), ReadBytes(path));
    std::string text = ReadBytes(path);
    text.replace(text.find("22"), 2, "33");
    WriteBytes(dir.file("tmp"), text);
    ASSERT_EQ(::rename(dir.file("tmp").c_str(), path.c_str()), 0);
    EXPECT_EQ(a.ReadValue("A", "x"), "33");
}

TEST_F(IniFileTest, BatchWritesTheFileOnce) {
    IniFile ini;
    ini.Open(path);
    ini.WriteString("DataFile", "StartTime", "x");
    ini.WriteString("Mark", "M1", "");
    std::string before = ReadBytes(path);
    ini.BeginBatch();
    for (int i = 1; i <= 5000; ++i)
        ASSERT_EQ(ini.WriteString("DataFile", std::to_string(i), "v" + std::to_string(i)), 0);
    EXPECT_EQ(ReadBytes(path), before);  // nothing written until the batch ends
    EXPECT_EQ(ini.ReadValue("DataFile", "4999"), "v4999");
    ASSERT_EQ(ini.EndBatch(), 0);
    IniFile other;
    other.Open(path);
    EXPECT_EQ(other.ReadValue("DataFile", "5000"), "v5000");
    // The chunk keys stay inside their section, before [Mark].
    std::string after = ReadBytes(path);
    EXPECT_LT(after.find("5000=v5000"), after.find("[Mark]"));
}

TEST_F(IniFileTest, ReadOnlyFileIsNotReplaced) {
    WriteBytes(path, "[A]\nx=1\n");
    ::chmod(path.c_str(), 0444);
    test::AsUser(dir.path(), [&] {
        IniFile ini;
        ini.Open(path);
        EXPECT_EQ(ini.WriteString("A", "x", "2"), -1);
    });
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
}

TEST_F(IniFileTest, UnwritableFolderFailsAndKeepsTheFile) {
    WriteBytes(path, "[A]\nx=1\n");
    ::chmod(dir.path().c_str(), 0555);
    test::AsUser(dir.path(), [&] {
        IniFile ini;
        ini.Open(path);
        EXPECT_EQ(ini.WriteString("A", "x", "2"), -1);
        EXPECT_EQ(ini.ReadValue("A", "x"), "1");
    });
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
}

TEST_F(IniFileTest, DeleteKeyAndSection) {
    WriteBytes(path, "[A]\nx=1\ny=2\n[B]\nz=3\n");
    IniFile ini;
    ini.Open(path);
    EXPECT_EQ(ini.DeleteKey("A", "X"), 0);
    EXPECT_EQ(ini.DeleteSection("b"), 0);
    EXPECT_EQ(ReadBytes(path), "[A]\ny=2\n");
    EXPECT_EQ(ini.DeleteKey("Nope", "x"), 0);
}

TEST(IniFields, GetFieldCountsCommasAndKeepsBlanks) {
    EXPECT_EQ(IniFile::GetField("a, b ,c", 1), "a");
    EXPECT_EQ(IniFile::GetField("a, b ,c", 2), " b ");
    EXPECT_EQ(IniFile::GetField("a, b ,c", 3), "c");
    EXPECT_EQ(IniFile::GetField("a, b ,c", 4), "");
    EXPECT_EQ(IniFile::GetField("a,,c", 2), "");
    EXPECT_EQ(IniFile::GetField("", 1), "");
    EXPECT_EQ(IniFile::GetField("a", 0), "");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// On a disk without room for the temporary copy, a file whose loss would
// cost more than a torn rewrite (a capture index) is written in place;
// any other file keeps its old content.
TEST(IniFileFullDiskTest, InPlaceRewriteOnlyWhereAllowed) {
    test::TempDir dir;
    if (::geteuid() != 0 || ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    const std::string path = dir.file("x.qvr");
    test::WriteBytes(path, "[DataFile]\r\nStartTime=\r\n");
    {
        std::ofstream filler(dir.file("filler"), std::ios::binary);
        std::vector<char> block(1024, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
            filler.flush();
    }
    IniFile plain;
    plain.SetPath(path);
    EXPECT_EQ(plain.WriteString("DataFile", "1", "241106,00:00:00 000:000:000"), -1);
    EXPECT_EQ(test::ReadBytes(path), "[DataFile]\r\nStartTime=\r\n");

    IniFile index;
    index.SetPath(path);
    index.SetInPlaceFallback(true);
    EXPECT_EQ(index.WriteString("DataFile", "1", "241106,00:00:00 000:000:000"), 0);
    IniFile reader;
    reader.SetPath(path);
    EXPECT_EQ(reader.ReadValue("DataFile", "1"), "241106,00:00:00 000:000:000");
    ::umount(dir.path().c_str());
}

}  // namespace
}  // namespace qv
