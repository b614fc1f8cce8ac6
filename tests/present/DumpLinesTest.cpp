#include "present/DumpLines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "present/DumpPageText.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

using test::AppHome;
using test::CaptureBuilder;

class DumpLinesTest : public ::testing::Test {
  protected:
    // Opens what the builder wrote.
    CaptureReader& Open(CaptureBuilder& b) {
        std::string index = b.Finish();
        EXPECT_EQ(m_reader.Open(index), 0);
        return m_reader;
    }
    std::string Folder(const std::string& name) {
        std::string f = m_home.file(name);
        std::filesystem::create_directories(f);
        return f;
    }

    AppHome m_home;
    SettingsStore m_store;
    Log m_log;
    CaptureReader m_reader{m_store, m_log};
};

// A capture of random SD, RD, line-change and event records over several
// chunks.
void BuildMixed(CaptureBuilder& b, int chunks, int perChunk, uint32_t seed) {
    std::mt19937 rng(seed);
    uint64_t t = 100;
    uint8_t line = 0;
    for (int c = 0; c < chunks; ++c) {
        b.StartChunk("241106", line, t);
        for (int i = 0; i < perChunk; ++i) {
            t += 1 + rng() % 1000;
            switch (rng() % 5) {
                case 0:
                case 1:
                    b.Add(RecordKind::kSdData, static_cast<uint8_t>(rng()), t);
                    break;
                case 2:
                    b.Add(RecordKind::kRdData, static_cast<uint8_t>(rng()), t);
                    break;
                case 3:
                    line ^= 0x80;
                    b.Add(RecordKind::kLineChange, line, t);
                    break;
                default:
                    b.Add(RecordKind::kEvent, 0x40, t);
            }
        }
    }
}

std::vector<DumpByte> Expected(const CaptureBuilder& b, int mode) {
    std::vector<DumpByte> out;
    for (const auto& r : b.records()) {
        RecordKind k = HeaderKind(r.header);
        bool shown = mode == kDumpSd   ? k == RecordKind::kSdData
                     : mode == kDumpRd ? k == RecordKind::kRdData
                                       : IsDataKind(k);
        if (shown) out.push_back({r.frame, r.header, r.value});
    }
    return out;
}

TEST_F(DumpLinesTest, PagesNumberOnlyTheShownBytesAcrossChunks) {
    CaptureBuilder b(Folder("mixed"), kProtocolAsync);
    BuildMixed(b, 4, 300, 7);
    CaptureReader& f = Open(b);
    DumpLines lines(f);
    for (int mode : {kDumpDual, kDumpSd, kDumpRd}) {
        SCOPED_TRACE(mode);
        const auto all = Expected(b, mode);
        lines.SetShape(mode, 7, 5);
        ASSERT_EQ(lines.TotalBytes(), all.size());
        // Every page, including those that straddle a chunk boundary, holds
        // exactly the shown bytes from its line on, and nothing else: in RD
        // mode no SD byte, line change or event ever appears.
        for (uint64_t line = 0; line <= lines.LastPageLine(); line += 3) {
            std::vector<DumpByte> page;
            ASSERT_EQ(lines.FillPage(line, page), line);
            size_t first = line * 7;
            size_t n = std::min<size_t>(35, all.size() - first);
            ASSERT_EQ(page.size(), n);
            for (size_t i = 0; i < n; ++i)
                ASSERT_EQ(page[i], all[first + i]) << line << " " << i;
        }
        // Stepping back a line at a time from the end reads the same bytes
        // as positioning afresh.
        for (uint64_t line = lines.LastPageLine(); line-- > lines.LastPageLine() - 20;) {
            std::vector<DumpByte> page;
            ASSERT_EQ(lines.FillPage(line, page), line);
            ASSERT_EQ(page.front(), all[line * 7]) << line;
            ASSERT_EQ(page.back(), all[std::min<size_t>(all.size(), line * 7 + 35) - 1]) << line;
        }
        // The reader's cursor and the byte numbering agree both ways.
        for (uint64_t byte : {uint64_t{0}, uint64_t{all.size() / 2}, uint64_t{all.size() - 1}}) {
            ASSERT_EQ(lines.GoToByte(byte), 0);
            uint64_t back = 0;
            ASSERT_EQ(lines.ByteAtCursor(back), 0);
            EXPECT_EQ(back, byte);
        }
        EXPECT_NE(lines.GoToByte(all.size()), 0);
    }
}

TEST_F(DumpLinesTest, LastFullPageEndsWithThePartlyFilledLastLine) {
    CaptureBuilder b(Folder("last"), kProtocolAsync);
    b.StartChunk("241106", 0, 10);
    for (int i = 0; i < 23; ++i)
        b.Add(RecordKind::kSdData, static_cast<uint8_t>(i), 100 + i);
    CaptureReader& f = Open(b);
    DumpLines lines(f);
    lines.SetShape(kDumpDual, 4, 3);  // 23 bytes: five full lines and one of 3
    EXPECT_EQ(lines.TotalLines(), 6u);
    EXPECT_EQ(lines.LastPageLine(), 3u);
    std::vector<DumpByte> page;
    // Asking past the end gives the last full page: lines 3, 4 and 5.
    EXPECT_EQ(lines.FillPage(100, page), 3u);
    ASSERT_EQ(page.size(), 11u);
    EXPECT_EQ(page.front().value, 12);
    EXPECT_EQ(page.back().value, 22);
    // A page exactly as long as the capture has nowhere to scroll.
    lines.SetShape(kDumpDual, 4, 6);
    EXPECT_EQ(lines.LastPageLine(), 0u);
    lines.SetShape(kDumpDual, 23, 1);
    EXPECT_EQ(lines.LastPageLine(), 0u);
    EXPECT_EQ(lines.TotalLines(), 1u);
    // No byte of the shown direction at all: an empty page, not a failure.
    lines.SetShape(kDumpRd, 4, 3);
    EXPECT_EQ(lines.TotalBytes(), 0u);
    EXPECT_EQ(lines.FillPage(0, page), 0u);
    EXPECT_TRUE(page.empty());
    uint64_t byte = 0;
    EXPECT_EQ(lines.LocateTime({241106, 105}, byte), -12);
}

TEST_F(DumpLinesTest, TimeBetweenBytesLooksBackInDualAndForwardInOneDirection) {
    CaptureBuilder b(Folder("time"), kProtocolAsync);
    b.StartChunk("241106", 0, 10);
    b.Add(RecordKind::kSdData, 0x41, 100);      // frame 0, SD byte 0
    b.Add(RecordKind::kRdData, 0x42, 200);      // frame 1, RD byte 0
    b.Add(RecordKind::kLineChange, 0x80, 300);  // frame 2
    b.Add(RecordKind::kEvent, 0x40, 400);       // frame 3
    b.Add(RecordKind::kSdData, 0x43, 500);      // frame 4, SD byte 1
    CaptureReader& f = Open(b);
    DumpLines lines(f);
    uint64_t byte = 99;
    CursorPosition pos;

    lines.SetShape(kDumpDual, 8, 2);
    ASSERT_EQ(lines.LocateTime({241106, 400}, byte), 0);
    EXPECT_EQ(byte, 1u);  // the RD byte before the line change
    ASSERT_EQ(f.GetCursor(pos), 0);
    EXPECT_EQ(pos.frame, 1u);

    lines.SetShape(kDumpSd, 8, 2);
    ASSERT_EQ(lines.LocateTime({241106, 300}, byte), 0);
    EXPECT_EQ(byte, 1u);  // the next SD byte
    ASSERT_EQ(f.GetCursor(pos), 0);
    EXPECT_EQ(pos.frame, 4u);

    // Nothing of the direction after the time: the last one before it.
    lines.SetShape(kDumpRd, 8, 2);
    ASSERT_EQ(lines.LocateTime({241106, 450}, byte), 0);
    EXPECT_EQ(byte, 0u);
    ASSERT_EQ(f.GetCursor(pos), 0);
    EXPECT_EQ(pos.frame, 1u);
}

TEST_F(DumpLinesTest, FrameRecordsCountOnceWithTheirFirstByte) {
    CaptureBuilder b(Folder("frames"), kProtocolHdlc);
    b.StartChunk("241106", 0, 10);
    b.AddFrame(RecordKind::kSdData, 100, 150, {0x7E, 0x01, 0x02});
    b.AddFrame(RecordKind::kRdData, 200, 250, {});
    b.AddFrame(RecordKind::kRdData, 300, 350, {0x55});
    CaptureReader& f = Open(b);
    DumpLines lines(f);
    lines.SetShape(kDumpDual, 4, 1);
    std::vector<DumpByte> page;
    ASSERT_EQ(lines.FillPage(0, page), 0u);
    ASSERT_EQ(page.size(), 3u);
    EXPECT_EQ(page[0].value, 0x7E);
    EXPECT_EQ(page[1].value, 0);
    EXPECT_EQ(page[2].value, 0x55);
}

TEST_F(DumpLinesTest, PageFollowsTheSelectionAndTheScrollBarCoversHugeCaptures) {
    CaptureBuilder b(Folder("scroll"), kProtocolAsync);
    b.StartChunk("241106", 0, 10);
    for (int i = 0; i < 100; ++i)
        b.Add(RecordKind::kSdData, static_cast<uint8_t>(i), 100 + i);
    CaptureReader& f = Open(b);
    DumpLines lines(f);
    lines.SetShape(kDumpSd, 10, 4);           // 10 lines, last page from line 6
    EXPECT_EQ(lines.LineShowing(35, 0), 0u);  // byte 35 on line 3: on the page
    EXPECT_EQ(lines.LineShowing(45, 0), 1u);  // one line off: one line down
    EXPECT_EQ(lines.LineShowing(5, 3), 0u);   // above: its line becomes the top
    EXPECT_EQ(lines.LineShowing(99, 0), 6u);  // the last byte: the last full page
    EXPECT_TRUE(lines.ScrollEnabled());
    EXPECT_FALSE(lines.ChunkScale());
    EXPECT_EQ(lines.ScrollMaximum(), 6);
    EXPECT_EQ(lines.LineForThumb(99), 6u);
    lines.SetShape(kDumpSd, 10, 10);
    EXPECT_FALSE(lines.ScrollEnabled());
    EXPECT_EQ(lines.ScrollMaximum(), 0);
}

TEST_F(DumpLinesTest, ScrollPositionsStandForChunksFromTwoGigabytesOn) {
    CaptureBuilder b(Folder("huge"), kProtocolAsync);
    b.StartChunk("241106", 0, 10);
    b.Add(RecordKind::kSdData, 1, 100);
    // Only the counters of the index are read for the totals.
    b.entries()[0].sdRecords = 3'000'000'000u;
    CaptureReader& f = Open(b);
    DumpLines lines(f);
    lines.SetShape(kDumpDual, 1, 10);
    lines.SetScrollStep(50000);
    ASSERT_TRUE(lines.ChunkScale());
    const uint64_t last = 3'000'000'000u - 10;
    EXPECT_EQ(lines.LastPageLine(), last);
    EXPECT_EQ(lines.ScrollMaximum(), static_cast<int>((last + 49999) / 50000));
    EXPECT_EQ(lines.ThumbFor(last), static_cast<int>(last / 50000));
    EXPECT_EQ(lines.LineForThumb(2), 100000u);
    EXPECT_EQ(lines.LineForThumb(lines.ScrollMaximum()), last);
}

// --- page texts ---------------------------------------------------------------

DumpByte Sd(uint8_t v, uint64_t frame = 0) {
    return {frame, MakeHeader(RecordKind::kSdData), v};
}
DumpByte Rd(uint8_t v, uint64_t frame = 0) {
    return {frame, MakeHeader(RecordKind::kRdData), v};
}

TEST(DumpPageTextTest, DualRowsInterleaveInTimeOrderInEveryDisplayCode) {
    CodeTable table;
    const std::vector<DumpByte> bytes = {Sd(0x41), Rd(0x42), Sd(0x43)};
    struct Case {
        int code;
        std::string sdChars, rdChars;
    };
    // The HEX code shows the ASCII texts in the character column.
    const Case cases[] = {
        {kDisplayHex, "Ａ  Ｃ", "  Ｂ  "},    {kDisplayAscii, "Ａ  Ｃ", "  Ｂ  "},
        {kDisplayJis7, "Ａ  Ｃ", "  Ｂ  "},   {kDisplayJis8, "Ａ  Ｃ", "  Ｂ  "},
        {kDisplayEbcdic, "RS    ", "      "},  // 41 is RS; 42 and 43 have no text
        {kDisplayShiftJis, "AC", "B"},         // raw bytes, no padding
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        DumpTextOptions o{kDumpDual, 4, c.code, "送信", "受信"};
        auto rows = DumpPageTexts(bytes, o, table);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].name, "送信");
        EXPECT_EQ(rows[1].name, "受信");
        EXPECT_EQ(rows[0].cells, (std::vector<std::string>{"41", "", "43", ""}));
        EXPECT_EQ(rows[1].cells, (std::vector<std::string>{"", "42", "", ""}));
        EXPECT_EQ(rows[0].chars, c.sdChars);
        EXPECT_EQ(rows[1].chars, c.rdChars);
    }
    // EBCDIC letters and a second line.
    DumpTextOptions o{kDumpDual, 2, kDisplayEbcdic};
    auto rows = DumpPageTexts({Sd(0xC1), Rd(0xC2), Rd(0x81)}, o, table);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].chars, "Ａ  ");
    EXPECT_EQ(rows[1].chars, "  Ｂ");
    EXPECT_EQ(rows[2].chars, "  ");  // the SD row of a line of RD bytes
    EXPECT_EQ(rows[3].chars, "ａ");
    EXPECT_EQ(rows[3].cells, (std::vector<std::string>{"81", ""}));
}

TEST(DumpPageTextTest, Jis7ShiftsEachDirectionOnItsOwnAndRestartsPerPage) {
    CodeTable table;
    // SD shifts out; RD's 31 stays a digit; SD's 31 is katakana until SI.
    const std::vector<DumpByte> bytes = {Sd(0x0E), Rd(0x31), Sd(0x31), Sd(0x0F), Sd(0x31)};
    DumpTextOptions o{kDumpDual, 8, kDisplayJis7};
    auto rows = DumpPageTexts(bytes, o, table);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].chars, "SO  アSI１");
    EXPECT_EQ(rows[1].chars, "  １      ");
    // The same page again reads the same.
    EXPECT_EQ(DumpPageTexts(bytes, o, table)[0].chars, rows[0].chars);
}

TEST(DumpPageTextTest, OneDirectionFillsEveryRowWithItsBytes) {
    CodeTable table;
    DumpTextOptions o{kDumpRd, 2, kDisplayAscii, "SD", "RD"};
    auto rows = DumpPageTexts({Rd(0x30), Rd(0x31), Rd(0x32)}, o, table);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[0].sd);
    EXPECT_EQ(rows[0].name, "RD");
    EXPECT_EQ(rows[0].cells, (std::vector<std::string>{"30", "31"}));
    EXPECT_EQ(rows[0].chars, "０１");
    EXPECT_EQ(rows[1].cells, (std::vector<std::string>{"32", ""}));
    EXPECT_EQ(rows[1].chars, "２");
}

TEST(DumpPageTextTest, ShiftJisJoinsPairsAndNeverPassesControlBytes) {
    EXPECT_EQ(ShiftJisDisplayText("\x82\xA0"), "あ");
    EXPECT_EQ(ShiftJisDisplayText("A\xB1Z"), "AｱZ");
    // Control codes, a lead byte cut off at the end of the row and an
    // unassigned pair are dots, and what surrounds them still converts.
    EXPECT_EQ(ShiftJisDisplayText(std::string("a\0\n\r", 4) + "\x82\xA0\x82"), "a...あ.");
    EXPECT_EQ(ShiftJisDisplayText("\x85\x40\x82\xA2"), ".い");
    EXPECT_EQ(ShiftJisDisplayText("\xFD\xFF\x80"), "...");
}

}  // namespace
}  // namespace qv
