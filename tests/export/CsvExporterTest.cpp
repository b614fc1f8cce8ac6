#include "export/CsvExporter.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capture/CaptureReader.h"
#include "capture/RecordTime.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "core/TextCodec.h"
#include "core/TimeText.h"
#include "export/ExportCaptures.h"
#include "support/AppHome.h"
#include "support/TempDir.h"

namespace qv {
namespace {

using test::AppHome;
using test::CaptureBuilder;
using test::Key;
using test::SaveSink;
using test::WrittenRecord;

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        out.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

// The row as the file format describes it, from what the builder wrote.
std::string ExpectedRow(int protocol, const WrittenRecord& r, const std::string& start,
                        const std::string& stop) {
    std::string cells(16, ' ');
    auto bit = [](uint8_t v, int b) { return ((v >> b) & 1) ? '1' : '0'; };
    const RecordKind kind = HeaderKind(r.header);
    std::string sd = " ", rd = " ";
    auto hex = [](const std::vector<uint8_t>& d) {
        if (d.empty()) return std::string(" ");
        std::string s;
        char buf[4];
        for (uint8_t b : d) {
            std::snprintf(buf, sizeof buf, "%02x ", b);
            s += buf;
        }
        return s;
    };
    std::vector<uint8_t> data = UsesFrameRecords(protocol) ? r.data : std::vector<uint8_t>{r.value};
    if (protocol == kProtocolLogic) {
        sd = std::string(1, bit(r.header, 1));
        rd = std::string(1, bit(r.header, 0));
        for (int i = 0; i < 8; ++i)
            cells[static_cast<size_t>(i)] = bit(r.value, 7 - i);
    } else {
        if (kind == RecordKind::kSdData) sd = hex(data);
        if (kind == RecordKind::kRdData) rd = hex(data);
        if (kind == RecordKind::kLineChange)
            for (int i = 0; i < 8; ++i)
                cells[static_cast<size_t>(i)] = bit(r.value, 7 - i);
        if (protocol == kProtocolAsync) {
            if (kind == RecordKind::kEvent) cells[8] = bit(r.value, 7), cells[9] = bit(r.value, 6);
            cells[10] = bit(r.header, 4), cells[11] = bit(r.header, 3);
            cells[12] = bit(r.header, 2), cells[13] = bit(r.header, 1);
        } else {
            cells[14] = bit(r.header, 3), cells[15] = bit(r.header, 1);
        }
    }
    std::string row = start + "," + stop + "," + sd + "," + rd;
    for (char c : cells)
        row += std::string(",") + c;
    return row + " ";
}

class CsvExporterTest : public ::testing::TestWithParam<int> {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;
    std::atomic<bool> cancel{false};
};

TEST_P(CsvExporterTest, RowsMatchTheCaptureRecordByRecord) {
    const int protocol = GetParam();
    CaptureBuilder b(home.file("cap"), protocol);
    std::string index = test::BuildExportCapture(b, 3, 120, 7);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    std::filesystem::create_directories(home.file("out"));
    CsvExporter csv(f, home.file("out"), 100);
    SaveSink sink;
    // The whole capture, range keys given backwards.
    SaveReport r = csv.Run(Key("241107", kTicksPerDay), Key("241106", 0), &sink, cancel);
    EXPECT_EQ(r, SaveReport::kCaptureEnd);
    const auto& recs = b.records();
    ASSERT_EQ(csv.RowsWritten(), recs.size());
    ASSERT_EQ(csv.FilesWritten(), 4u);  // 360 rows, 100 a file

    CaptureReader times(store, log);
    ASSERT_EQ(times.Open(index), 0);
    size_t n = 0;
    for (uint64_t file = 1; file <= 4; ++file) {
        std::string bytes = test::ReadBytes(csv.FilePath(file));
        auto lines = Lines(bytes);
        ASSERT_FALSE(lines.empty());
        // The capture has no display format rows: every title is empty.
        EXPECT_EQ(lines[0], *Utf8ToCp932("スタート時間,ストップ時間,,,,,,,,,,,"
                                         "SD Break,RD Break,フレーミングエラー,オーバーランエラー,"
                                         "パリティエラー,MPビット,FCS,アボート"));
        for (size_t i = 1; i < lines.size(); ++i, ++n) {
            ASSERT_LT(n, recs.size());
            ASSERT_EQ(times.GoToFrame(n), 0);
            std::string start, stop;
            uint64_t t;
            times.GetStartTime(start, t);
            times.GetEndTime(stop, t);
            EXPECT_EQ(lines[i], ExpectedRow(protocol, recs[n], start, stop)) << "record " << n;
        }
    }
    EXPECT_EQ(n, recs.size());
    EXPECT_EQ(sink.progress, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

INSTANTIATE_TEST_SUITE_P(Protocols, CsvExporterTest,
                         ::testing::Values(kProtocolAsync, kProtocolSync, kProtocolHdlc,
                                           kProtocolLogic));

class CsvRangeTest : public ::testing::Test {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;
    std::atomic<bool> cancel{false};
};

TEST_F(CsvRangeTest, PartOfARangeAndRefusals) {
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::string index = test::BuildExportCapture(b, 2, 50, 3);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    const auto& r = b.records();
    std::string out = home.file("out");
    std::filesystem::create_directories(out);
    {
        // Records 10..20 of the first day, by their end times.
        CsvExporter csv(f, out, 50000);
        EXPECT_EQ(csv.Run(Key("241106", r[10].end), Key("241106", r[20].end), nullptr, cancel),
                  SaveReport::kRangeDone);
        EXPECT_EQ(csv.RowsWritten(), 11u);
        auto lines = Lines(test::ReadBytes(csv.FilePath(1)));
        ASSERT_EQ(lines.size(), 12u);
        EXPECT_EQ(lines[1].substr(31, 30), *FormatRecordTime("241106", r[10].end));
    }
    // Outside the capture, a time beyond 24 h: refused, no file.
    std::string out2 = home.file("out2");
    std::filesystem::create_directories(out2);
    for (auto [a, b2] : {std::pair{Key("241105", 0), Key("241105", 100)},
                         std::pair{Key("241108", 0), Key("241108", 100)},
                         std::pair{Key("241106", 0), Key("241106", 8'640'000'000'001)}}) {
        CsvExporter csv(f, out2, 50000);
        EXPECT_EQ(csv.Run(a, b2, nullptr, cancel), SaveReport::kStartRefused);
    }
    EXPECT_TRUE(std::filesystem::is_empty(out2));
    // A folder that takes no files.
    CsvExporter bad(f, home.file("no/such/folder"), 50000);
    EXPECT_EQ(bad.Run(Key("241106", 0), Key("241107", 1000), nullptr, cancel),
              SaveReport::kStartRefused);
}

// In a folder others may write in, a link planted at a CSV file's name is
// never written through: the export fails there and the link's target stays.
TEST_F(CsvRangeTest, ALinkAtAFileNameIsNotWrittenThrough) {
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::string index = test::BuildExportCapture(b, 1, 200, 5);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    const std::string out = home.file("shared");
    std::filesystem::create_directories(out);
    const std::string victim = home.file("victim.txt");
    test::WriteBytes(victim, "precious\n");
    CsvExporter first(f, out, 70);
    std::filesystem::create_symlink(victim, first.FilePath(2));
    first.SetOverwrite(true);
    // Replacing the folder's export removes the link, never its target.
    EXPECT_EQ(first.Run(Key("241106", 0), Key("241107", 0), nullptr, cancel),
              SaveReport::kCaptureEnd);
    EXPECT_EQ(test::ReadBytes(victim), "precious\n");
    EXPECT_FALSE(std::filesystem::is_symlink(first.FilePath(2)));
    EXPECT_EQ(first.FilesWritten(), 3u);
}

// A second export into a folder that holds one would leave the first's
// later files beside the new ones: refused unless asked to replace, and then
// the folder holds the new export's files only.
TEST_F(CsvRangeTest, AFolderHoldingAnExportIsReplacedOnlyWhenAsked) {
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::string index = test::BuildExportCapture(b, 1, 200, 5);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    const std::string out = home.file("out");
    std::filesystem::create_directories(out);
    CsvExporter whole(f, out, 70);
    ASSERT_EQ(whole.Run(Key("241106", 0), Key("241107", 0), nullptr, cancel),
              SaveReport::kCaptureEnd);
    ASSERT_EQ(whole.FilesWritten(), 3u);
    EXPECT_TRUE(HoldsCsvExport(out));
    const std::string before = test::ReadBytes(whole.FilePath(1));

    CsvExporter part(f, out, 70);
    EXPECT_EQ(part.Run(Key("241106", 0), Key("241106", 2'000'000), nullptr, cancel),
              SaveReport::kStartRefused);
    EXPECT_EQ(test::ReadBytes(whole.FilePath(1)), before);
    part.SetOverwrite(true);
    EXPECT_EQ(part.Run(Key("241106", 0), Key("241106", 2'000'000), nullptr, cancel),
              SaveReport::kRangeDone);
    EXPECT_EQ(part.FilesWritten(), 1u);
    EXPECT_TRUE(std::filesystem::exists(part.FilePath(1)));
    EXPECT_FALSE(std::filesystem::exists(part.FilePath(2)));
    EXPECT_FALSE(std::filesystem::exists(part.FilePath(3)));
}

TEST_F(CsvRangeTest, CancelLeavesCompleteFiles) {
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::string index = test::BuildExportCapture(b, 1, 500, 9);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    std::string out = home.file("out");
    std::filesystem::create_directories(out);
    // Cancel from the progress report at 30 %.
    class Canceller : public ISaveReport {
      public:
        explicit Canceller(std::atomic<bool>& c) : m_c(c) {}
        void OnSaveReport(SaveReport r, int percent) override {
            if (r == SaveReport::kProgress && percent >= 30) m_c = true;
        }
        std::atomic<bool>& m_c;
    } canceller(cancel);
    CsvExporter csv(f, out, 70);
    EXPECT_EQ(csv.Run(Key("241106", 0), Key("241107", 0), &canceller, cancel), SaveReport::kEnded);
    EXPECT_EQ(csv.RowsWritten(), 150u);
    EXPECT_EQ(csv.FilesWritten(), 3u);
    uint64_t rows = 0;
    for (uint64_t n = 1; n <= csv.FilesWritten(); ++n) {
        std::string bytes = test::ReadBytes(csv.FilePath(n));
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(bytes.size() - 3), " \r\n");
        rows += Lines(bytes).size() - 1;
    }
    EXPECT_EQ(rows, 150u);
}

// A disk that fills during the export: the pass fails, every file it left
// ends on a whole row, no file comes after the one that failed, and the rows
// it says it wrote are the rows the files hold.
TEST_F(CsvRangeTest, AFullDiskEndsThePassAndTheCountIsWhatTheFilesHold) {
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::string index = test::BuildExportCapture(b, 4, 2500, 11);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    for (uint64_t fileRecords : {uint64_t{700}, uint64_t{50000}}) {
        SCOPED_TRACE(fileRecords);
        test::TempDir disk;
        if (::geteuid() != 0 || ::mount("tmpfs", disk.path().c_str(), "tmpfs", 0, "size=256k") != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here";
        CsvExporter csv(f, disk.path(), fileRecords);
        EXPECT_EQ(csv.Run(Key("241106", 0), Key("241107", 8'640'000'000'000), nullptr, cancel),
                  SaveReport::kFailed);
        const std::string header = Lines(test::ReadBytes(csv.FilePath(1))).at(0);
        uint64_t rows = 0;
        for (uint64_t n = 1; n <= csv.FilesWritten(); ++n) {
            const std::string bytes = test::ReadBytes(csv.FilePath(n));
            const std::vector<std::string> lines = Lines(bytes);
            ASSERT_FALSE(lines.empty()) << "file " << n;
            EXPECT_EQ(lines[0], header) << "file " << n;
            EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "file " << n;
            if (n < csv.FilesWritten()) {
                EXPECT_EQ(lines.size() - 1, fileRecords) << "file " << n;
            }
            rows += lines.size() - 1;
        }
        EXPECT_FALSE(std::filesystem::exists(csv.FilePath(csv.FilesWritten() + 1)));
        EXPECT_LT(rows, 10'000u);
        EXPECT_EQ(csv.RowsWritten(), rows);
        ::umount(disk.path().c_str());
    }
}

TEST(CsvTextTest, HeaderTitlesAndTimeTexts) {
    std::vector<FormatEntry> rows(20);
    rows[0].line = 3, rows[0].name = "RxD";
    rows[1].line = 2, rows[1].name = "TxD";
    rows[12].line = 2, rows[12].name = "T+";
    auto titles = CsvLineTitles(rows, 0);
    EXPECT_EQ(titles[0], "TxD");
    EXPECT_EQ(titles[1], "RxD");
    EXPECT_EQ(titles[2], "");
    EXPECT_EQ(CsvLineTitles(rows, 1)[0], "T+");
    // The fast time text is the reader's, across midnight both ways.
    char buf[kRecordTimeTextSize];
    for (int64_t t : {int64_t{0}, int64_t{-98958}, int64_t{8'640'000'000'000},
                      int64_t{8'640'000'000'050}, int64_t{4'937'123'456'789}}) {
        WriteRecordTimeText(buf, 241101, t);
        auto moved = NormaliseDayTime(241101, t);
        EXPECT_EQ(std::string(buf, sizeof buf), FormatRecordTimeText(moved->date, moved->ticks));
    }
}

// The time texts of a run of rows keep the date and second of the row
// before; whatever the run, each text is the one written from scratch.
TEST(CsvTextTest, TimeTextsOfConsecutiveRowsAreWrittenInFull) {
    RecordTimeTextWriter writer;
    char kept[kRecordTimeTextSize], full[kRecordTimeTextSize];
    auto same = [&](int date, int64_t t) {
        char* end = writer.Write(kept, date, t);
        EXPECT_EQ(end, kept + kRecordTimeTextSize);
        WriteRecordTimeText(full, date, t);
        return std::string(kept, sizeof kept) == std::string(full, sizeof full);
    };
    const int64_t day = static_cast<int64_t>(kTicksPerDay), second = kTicksPerSecond;
    // Steps inside a second, across seconds, back in time, past midnight
    // both ways, a new date with the same second, and back to the old one.
    const std::vector<std::pair<int, int64_t>> run = {
        {241101, 0},          {241101, 1},         {241101, second - 1}, {241101, second},
        {241101, 3 * second + 12345}, {241101, 3 * second + 99'999'999}, {241101, 3 * second},
        {241101, -98958},     {241101, -1},        {241101, day - 1},    {241101, day},
        {241101, day + 50},   {241101, day - 1},   {241102, day - 1},    {241102, 7},
        {241101, 7},          {991231, day + 10},  {991231, day - 10}};
    for (auto [date, t] : run)
        EXPECT_TRUE(same(date, t)) << date << " " << t;
    // A long sweep of rows 730 ticks apart.
    for (int64_t t = 5 * second - 700'000; t < 5 * second + 700'000; t += 730)
        ASSERT_TRUE(same(241101, t)) << t;
    // The sub-second part alone, against the printf form.
    for (uint32_t rest = 0; rest < 100'000'000; rest += 9'973) {
        char text[12], want[16];
        WriteSubSecondText(text, rest);
        std::snprintf(want, sizeof want, "%03um%03uu%02u0n", rest / 100'000, rest / 100 % 1000,
                      rest % 100);
        ASSERT_EQ(std::string(text, 12), want) << rest;
    }
}

// Progress reports when the percent moves on a step of ten, and only then,
// though it is asked after every row.
TEST(CsvTextTest, ProgressReportsEachStepOnce) {
    struct Steps : ISaveReport {
        std::vector<std::pair<uint64_t, int>> seen;
        uint64_t at = 0;
        void OnSaveReport(SaveReport r, int percent) override {
            if (r == SaveReport::kProgress) seen.emplace_back(at, percent);
        }
    };
    for (uint64_t total : {uint64_t{1}, uint64_t{3}, uint64_t{7}, uint64_t{10}, uint64_t{99},
                           uint64_t{1001}, uint64_t{123457}}) {
        Steps sink;
        SaveProgress progress(&sink, total);
        std::vector<std::pair<uint64_t, int>> want;
        int last = 0;
        for (uint64_t done = 1; done <= total + 2; ++done) {
            sink.at = done;
            progress.Update(done);
            const int p = SaveProgressPercent(done, total);
            if (p > last) want.emplace_back(done, last = p);
        }
        EXPECT_EQ(sink.seen, want) << total;
        EXPECT_EQ(sink.seen.back().second, 100);
    }
}

}  // namespace
}  // namespace qv
