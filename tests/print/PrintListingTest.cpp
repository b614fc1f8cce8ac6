#include "print/PrintListing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "capture/CaptureReader.h"
#include "core/CodeTable.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TimeText.h"
#include "print/PrintJob.h"
#include "settings/StatusFile.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"

namespace qv {
namespace {

using test::AppHome;
using test::CaptureBuilder;

class PrintListingTest : public ::testing::Test {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;

    // SD "A" with a parity error, a line change, RD "1", then `more` SD bytes.
    std::string Build(int more) {
        std::filesystem::create_directories(home.file("cap"));
        CaptureBuilder b(home.file("cap"), kProtocolAsync);
        b.StartChunk("241106", 0);
        uint64_t t = 100'000'000;
        b.Add(RecordKind::kSdData, 0x41, t += 1000, kFlagParityError);
        b.Add(RecordKind::kLineChange, 0x80, t += 1000);
        b.Add(RecordKind::kRdData, 0x31, t += 1000);
        for (int i = 0; i < more; ++i)
            b.Add(RecordKind::kSdData, static_cast<uint8_t>(0x30 + i % 10), t += 1000);
        std::string index = b.Finish();
        StatusFile status;
        status.SetPath(index);
        std::vector<FormatEntry> rows(10);
        rows[0].line = 2, rows[0].name = "TxD";
        rows[1].line = 3, rows[1].name = "RxD";
        status.WriteFormatTable(rows, 10);
        return index;
    }
    static PrintListingInput WholeDay() {
        PrintListingInput in;
        in.start = MakeDayTime("241106", 0);
        in.end = MakeDayTime("241106", kTicksPerDay);
        return in;
    }
};

TEST_F(PrintListingTest, HeaderAndRowsLineByLine) {
    std::string index = Build(12);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    PrintListingInput in = WholeDay();
    in.codeMode = kDisplayHex;  // prints ASCII characters
    in.triggers[1].enabled = 1;
    in.triggers[1].action1 = 16;
    in.triggers[1].action2 = 113;
    PrintListing listing(f, DisplayCodeTable(), in);
    ASSERT_EQ(listing.Begin(), 0);
    EXPECT_EQ(listing.Rows(), 2u);  // 14 data records
    std::vector<std::string> page;
    ASSERT_TRUE(listing.NextPage(page));
    ASSERT_EQ(page.size(), 60u);
    std::string start, end;
    f.GetCaptureStartText(start);
    f.GetCaptureEndText(end);
    const std::vector<std::string> want = {
        "START-20" + start + "  STOP-20" + end,
        "",
        "*MONITOR LINE*  RS-232",
        "",
        "*MONITOR MODE*  BAUD RATE  TxD:9600  RxD:9600",
        "                DATA BIT-8  PARITY-NONE",
        "",
        "                TRIG1-OFF    ACT1-何もしない                  ACT2-何もしない",
        "*TRIGGER     *  TRIG2-ON     ACT1-蓄積停止                    ACT2-カウンタ1をインクリメント",
        "                TRIG3-OFF    ACT1-何もしない                  ACT2-何もしない",
        "                TRIG4-OFF    ACT1-何もしない                  ACT2-何もしない",
        "                TRIG5-OFF    ACT1-何もしない                  ACT2-何もしない",
        "",
        "*DATA COUNT  *  TOTAL 15  TxD 13   RxD 1",
        "",
        "*DATA MODE   *            CODE-HEX                                   CODE-ASCII",
        "",
        " 000001 TxD:  p41      30  31  32  33  34  35  36  37    Ａ      ０  １  ２  ３  ４  "
        "５  ６  ７",
        " 000001 RxD:       31                                        １",
        "",
        " 000002 TxD:   38  39  30  31                            ８  ９  ０  １",
        " 000002 RxD:",
    };
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(page[i], want[i]) << "line " << i;
    for (size_t i = want.size(); i < page.size(); ++i)
        EXPECT_EQ(page[i], "") << "line " << i;
    EXPECT_FALSE(listing.NextPage(page));
}

TEST_F(PrintListingTest, PagesKeepEveryRowWholeAndRepeatTheModeLine) {
    std::string index = Build(400);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    PrintListing listing(f, DisplayCodeTable(), WholeDay());
    ASSERT_EQ(listing.Begin(), 0);
    const uint64_t rows = listing.Rows();  // 402 data records: 41 rows
    EXPECT_EQ(rows, 41u);
    std::vector<std::string> page;
    uint64_t seen = 0;
    int pages = 0;
    while (listing.NextPage(page)) {
        ++pages;
        if (pages > 1) {
            EXPECT_EQ(page[0].substr(0, 12), "*DATA MODE  ");
        }
        for (size_t i = 0; i < page.size(); ++i) {
            if (page[i].find("TxD:") == 8) {
                ++seen;
                ASSERT_LT(i + 1, page.size()) << "an SD line without its RD line";
                EXPECT_EQ(page[i + 1].find("RxD:"), 8u);
            }
        }
    }
    EXPECT_EQ(seen, rows);
    EXPECT_EQ(pages, 3);  // 14 rows on the first page, 19 on the next ones
}

TEST_F(PrintListingTest, RangeWithoutDataPrintsTheHeaderOnly) {
    std::string index = Build(5);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    PrintListingInput in = WholeDay();
    in.end = MakeDayTime("241106", 1000);
    PrintListing listing(f, DisplayCodeTable(), in);
    ASSERT_EQ(listing.Begin(), 0);
    EXPECT_EQ(listing.Rows(), 0u);
    std::vector<std::string> page;
    ASSERT_TRUE(listing.NextPage(page));
    EXPECT_EQ(page[17], "");
    EXPECT_FALSE(listing.NextPage(page));
}

class Pages : public IPrintReport {
  public:
    bool OnPrintPage(int, const std::vector<std::string>&) override { return ++pages < stopAt; }
    void OnPrintProgress(int total, int printed) override { progress.push_back({total, printed}); }
    void OnPrintFailed(std::string_view r) override { failed = r; }
    void OnPrintEnded(bool c) override { cancelled = c, ended = true; }
    int pages = 0, stopAt = 1000;
    std::vector<std::pair<int, int>> progress;
    std::string failed;
    bool cancelled = false, ended = false;
};

TEST_F(PrintListingTest, JobReportsPagesAndFailures) {
    std::string index = Build(400);
    Pages pages;
    PrintJob job(pages);
    ASSERT_EQ(job.Start(index, WholeDay()), 0);
    job.Wait();
    EXPECT_EQ(pages.pages, 3);
    ASSERT_FALSE(pages.progress.empty());
    EXPECT_EQ(pages.progress.back(), std::make_pair(41 * 3 / 60 + 1, 41 * 3 / 60 + 1));
    EXPECT_TRUE(pages.ended);
    EXPECT_FALSE(pages.cancelled);

    Pages refused;
    refused.stopAt = 1;  // the printer takes no page
    PrintJob job2(refused);
    job2.Start(index, WholeDay());
    job2.Wait();
    EXPECT_EQ(refused.failed, MessageText(MessageId::kPrinterUnreachable));

    Pages missing;
    PrintJob job3(missing);
    job3.Start(home.file("none.qvr"), WholeDay());
    job3.Wait();
    EXPECT_EQ(missing.failed, MessageText(MessageId::kPrintBadArgument));
}

// A trigger line names each action as the trigger editor does, from the one
// action table: codes the listing once mislabelled (external output high as
// a counter reset, external events as messages) and numbered actions.
TEST(PrintActionTest, ActionsAreNamedByTheActionTable) {
    const struct {
        uint8_t code;
        uint16_t option;
        const char* name;
    } cases[] = {
        {0x91, kNoOption, "EXT OUT HIGH"},
        {0x90, kNoOption, "EXT OUT LOW"},
        {0x60, 3, "外部イベント3 OFF"},
        {0x61, 8, "外部イベント8 ON"},
        {0x51, 2, "イベント2 ON"},
        {0x31, 2, "LED-2　ON"},
        {0x84, kNoOption, "カウンタ4をリセット"},
        {0x62, kNoOption, "?62"},
        {0x30, 4, "?30"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrintActionName(c.code, c.option), c.name) << int(c.code);
    TriggerSetting t;
    t.enabled = 1;
    t.action1 = 0x61;
    t.option1 = 1;
    t.action2 = 0x91;
    t.option2 = kNoOption;
    EXPECT_EQ(PrintTriggerLine(1, t),
              "                TRIG1-ON     ACT1-外部イベント1 ON            ACT2-EXT OUT HIGH");
}

TEST(PrintRangeTest, TimesAndMarksNarrowTheCaptureSpan) {
    auto k = [](uint64_t t) { return MakeDayTime("241106", t); };
    PrintRangeChoice c;
    c.times = {k(500'000'000), k(100'000'000)};  // picked backwards
    auto r = ResolvePrintRange(k(0), k(1'000'000'000), c);
    EXPECT_EQ(r.first.ticks, 100'000'000u);
    EXPECT_EQ(r.second.ticks, 599'999'999u);  // the whole last second
    c.marks = {k(300'000'000), k(200'000'000)};
    r = ResolvePrintRange(k(0), k(1'000'000'000), c);
    EXPECT_EQ(r.first.ticks, 200'000'000u);
    EXPECT_EQ(r.second.ticks, 300'000'000u);
    EXPECT_EQ(PrintErrorMark(MakeHeader(RecordKind::kSdData, kFlagParityError | kFlagFramingError)),
              'j');
}

}  // namespace
}  // namespace qv
