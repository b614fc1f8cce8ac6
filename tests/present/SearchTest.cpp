#include <gtest/gtest.h>

#include <random>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "present/MarkList.h"
#include "present/SearchWorker.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "support/EqualTimes.h"

namespace qv {
namespace {

using test::AppHome;
using test::CaptureBuilder;
using test::WrittenRecord;

// Random ASYNC or LOGIC records over several chunks, with a small alphabet so
// that strings match now and then, and some error flags.
std::string BuildRandom(CaptureBuilder& b, int chunks, int perChunk, uint32_t seed,
                        bool rdOnlyLastChunk = false) {
    std::mt19937 rng(seed);
    uint64_t t = 1000;
    uint8_t line = 0x80;
    for (int c = 0; c < chunks; ++c) {
        b.StartChunk("241106", line);
        for (int i = 0; i < perChunk; ++i) {
            t += 1 + rng() % 5000;
            int r = static_cast<int>(rng() % 10);
            uint8_t flags = static_cast<uint8_t>((rng() % 8 == 0) ? (rng() % 8) << 2 : 0);
            if (b.protocol() == kProtocolLogic) flags = static_cast<uint8_t>(rng() % 4);
            if (rdOnlyLastChunk && c < chunks - 1) r = 9;
            if (r < 4) {
                b.Add(RecordKind::kSdData, static_cast<uint8_t>(0x41 + rng() % 3), t, flags);
            } else if (r < 8 || (rdOnlyLastChunk && c == chunks - 1)) {
                b.Add(RecordKind::kRdData, static_cast<uint8_t>(0x41 + rng() % 3), t, flags);
            } else if (r == 8) {
                line = static_cast<uint8_t>(line ^ (0x80 >> (rng() % 3)));
                b.Add(RecordKind::kLineChange, line, t);
            } else {
                b.Add(RecordKind::kEvent, static_cast<uint8_t>((rng() % 4) << 6), t);
            }
        }
    }
    return b.Finish();
}

// The brute-force oracle: the records that satisfy `c` when tested at index
// i, scanning from `from` in the given direction. Returns the reported
// record index or -1.
bool Holds(const std::vector<WrittenRecord>& r, size_t i, const SearchCondition& c, int protocol,
           bool forward, size_t& reported) {
    reported = i;
    auto local = [&](bool en, bool v, std::vector<std::pair<bool, bool>>& out) {
        out.push_back({en, v});
    };
    std::vector<std::pair<bool, bool>> tests;
    const uint8_t h = r[i].header;
    local(c.sdLevelEnabled, protocol == kProtocolLogic && ((h >> 1) & 1) == c.sdLevel, tests);
    local(c.rdLevelEnabled, protocol == kProtocolLogic && (h & 1) == c.rdLevel, tests);
    bool lines = false;
    if (c.AnyLine()) {
        size_t n = forward ? i - 1 : i + 1;
        bool has = forward ? i > 0 : i + 1 < r.size();
        if (has && r[n].lineState != r[i].lineState) {
            lines = true;
            for (int b = 0; b < 8; ++b)
                if (c.lineEnabled[b] && ((r[i].lineState >> (7 - b)) & 1) != c.lineLevel[b])
                    lines = false;
        }
    }
    local(c.AnyLine(), lines, tests);
    local(c.parity, protocol == kProtocolAsync && (h & 0x04), tests);
    local(c.overrun, protocol == kProtocolAsync && (h & 0x08), tests);
    local(c.framing, protocol == kProtocolAsync && (h & 0x10), tests);
    auto str = [&](const SearchPattern& p, RecordKind kind) {
        if (HeaderKind(r[i].header) != kind) return false;
        int pos = 0;
        for (size_t j = i; j < r.size(); ++j) {
            if (HeaderKind(r[j].header) != kind) continue;
            if (p.care[pos] && r[j].value != p.bytes[pos]) return false;
            if (++pos == p.Length()) {
                if (forward) reported = j;
                return true;
            }
        }
        return false;
    };
    if (c.andMode) {
        for (auto [en, v] : tests)
            if (en && !v) return false;
        if (c.sd.enabled && c.rd.enabled) return false;
        if (c.sd.enabled) return str(c.sd, RecordKind::kSdData);
        if (c.rd.enabled) return str(c.rd, RecordKind::kRdData);
        return true;
    }
    for (auto [en, v] : tests)
        if (en && v) return true;
    if (c.sd.enabled && str(c.sd, RecordKind::kSdData)) return true;
    if (c.rd.enabled && str(c.rd, RecordKind::kRdData)) return true;
    return false;
}

long Oracle(const std::vector<WrittenRecord>& r, const SearchCondition& c, int protocol, long from,
            bool forward, bool testFrom) {
    long i = testFrom ? from : (forward ? from + 1 : from - 1);
    for (; i >= 0 && i < static_cast<long>(r.size()); i += forward ? 1 : -1) {
        size_t reported;
        if (Holds(r, static_cast<size_t>(i), c, protocol, forward, reported))
            return static_cast<long>(reported);
    }
    return -1;
}

SearchCondition Pattern(const char* sd, const char* rd = nullptr) {
    SearchCondition c;
    if (sd) c.sd = *ParsePattern(sd);
    if (rd) c.rd = *ParsePattern(rd);
    return c;
}

class SearchTest : public ::testing::Test {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;
    std::atomic<bool> cancel{false};

    // Every result of `c` from many start positions, both directions,
    // against the oracle.
    // Returns how many searches found a record.
    int CheckAgainstOracle(CaptureBuilder& b, const std::string& index, const SearchCondition& c) {
        int found = 0;
        CaptureReader f(store, log);
        EXPECT_EQ(f.Open(index), 0);
        const auto& r = b.records();
        for (long from = 0; from < static_cast<long>(r.size()); from += 37) {
            for (bool forward : {true, false}) {
                SearchStart s;
                s.frame = static_cast<uint64_t>(from);
                SearchResult got = RunSearch(
                    f, c, s, forward ? SearchDirection::kForward : SearchDirection::kBackward,
                    nullptr, cancel);
                long want = Oracle(r, c, b.protocol(), from, forward, false);
                SCOPED_TRACE(testing::Message() << "from " << from << " fwd " << forward);
                if (want < 0) {
                    EXPECT_EQ(got.report, SearchReport::kEndOfCapture);
                } else {
                    EXPECT_EQ(got.report, SearchReport::kFound);
                    ++found;
                    EXPECT_EQ(got.frame, static_cast<uint64_t>(want));
                    EXPECT_EQ(got.at.ticks, r[static_cast<size_t>(want)].end);
                    CursorPosition pos;
                    f.GetCursor(pos);
                    EXPECT_EQ(pos.frame, got.frame);
                }
            }
        }
        return found;
    }
};

TEST_F(SearchTest, ConditionsMatchABruteForceScan) {
    CaptureBuilder b(home.file("cap"), kProtocolAsync);
    std::filesystem::create_directories(home.file("cap"));
    std::string index = BuildRandom(b, 3, 700, 11);
    std::vector<SearchCondition> conditions = {Pattern("41 42"), Pattern("41 ** 43"),
                                               Pattern(nullptr, "43 43 41"), Pattern("42", "41")};
    SearchCondition orStrings = Pattern("43 43 43", "42 42");
    orStrings.andMode = false;
    conditions.push_back(orStrings);
    SearchCondition lines;
    lines.lineEnabled[0] = true;
    lines.lineLevel[0] = 1;
    conditions.push_back(lines);
    SearchCondition errors;
    errors.parity = errors.framing = true;
    conditions.push_back(errors);
    errors.andMode = false;
    conditions.push_back(errors);
    SearchCondition mixed = Pattern("41");
    mixed.overrun = true;
    conditions.push_back(mixed);
    for (size_t i = 0; i < conditions.size(); ++i) {
        SCOPED_TRACE(i);
        int found = CheckAgainstOracle(b, index, conditions[i]);
        // An SD and an RD string together can never hold on one record.
        if (i == 3)
            EXPECT_EQ(found, 0);
        else
            EXPECT_GT(found, 0);
    }
}

TEST_F(SearchTest, EqualTimesFromAFrameAndFromATime) {
    for (int protocol : {kProtocolAsync, kProtocolLogic}) {
        SCOPED_TRACE(protocol);
        CaptureBuilder b(home.file("eq" + std::to_string(protocol)), protocol);
        std::string index = test::BuildEqualTimes(b, 3, 400, 17);
        const auto& r = b.records();
        SearchCondition either = Pattern("43 43", "41 42");
        either.andMode = false;
        SearchCondition lines;
        lines.lineEnabled[1] = true;
        lines.lineLevel[1] = 1;
        for (const SearchCondition& c :
             {Pattern("41 42"), Pattern(nullptr, "42 ** 41"), either, lines}) {
            EXPECT_GT(CheckAgainstOracle(b, index, c), 0);
            // From a window's record time: the search starts on the first
            // record of that tick and tests the ones after it.
            CaptureReader f(store, log);
            ASSERT_EQ(f.Open(index), 0);
            for (size_t i = 0; i < r.size(); i += 7) {
                SearchStart s;
                s.at = MakeDayTime(r[i].date, r[i].end);
                const long from = static_cast<long>(test::ScanForTime(r, r[i].date, r[i].end));
                for (bool forward : {true, false}) {
                    SearchResult got = RunSearch(
                        f, c, s, forward ? SearchDirection::kForward : SearchDirection::kBackward,
                        nullptr, cancel);
                    long want = Oracle(r, c, b.protocol(), from, forward, false);
                    SCOPED_TRACE(testing::Message() << "time " << s.at.ticks << " fwd " << forward);
                    if (want < 0) {
                        EXPECT_EQ(got.report, SearchReport::kEndOfCapture);
                    } else {
                        ASSERT_EQ(got.report, SearchReport::kFound);
                        EXPECT_EQ(got.frame, static_cast<uint64_t>(want));
                    }
                }
            }
        }
    }
}

TEST_F(SearchTest, LogicLevelsAndNoErrorsInOtherProtocols) {
    CaptureBuilder b(home.file("logic"), kProtocolLogic);
    std::filesystem::create_directories(home.file("logic"));
    std::string index = BuildRandom(b, 2, 400, 5);
    SearchCondition c;
    c.sdLevelEnabled = true;
    c.sdLevel = 1;
    c.rdLevelEnabled = true;
    c.rdLevel = 0;
    EXPECT_GT(CheckAgainstOracle(b, index, c), 0);
    SearchCondition errors;
    errors.parity = true;
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    SearchStart s;
    s.from = SearchFrom::kFirst;
    EXPECT_EQ(RunSearch(f, errors, s, SearchDirection::kForward, nullptr, cancel).report,
              SearchReport::kEndOfCapture);
}

TEST_F(SearchTest, StartPositionsAndRepeatedSearches) {
    std::filesystem::create_directories(home.file("s"));
    CaptureBuilder b(home.file("s"), kProtocolAsync);
    b.StartChunk("241106", 0);
    b.Add(RecordKind::kSdData, 0x41, 100);  // frame 0
    b.Add(RecordKind::kSdData, 0x42, 200);
    b.Add(RecordKind::kRdData, 0x41, 250);
    b.Add(RecordKind::kSdData, 0x41, 300);
    b.Add(RecordKind::kSdData, 0x42, 400);  // frame 4
    std::string index = b.Finish();
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    SearchCondition c = Pattern("41 42");
    // From the start, a match on the very first record is found.
    SearchStart s;
    s.from = SearchFrom::kFirst;
    SearchResult r = RunSearch(f, c, s, SearchDirection::kForward, nullptr, cancel);
    ASSERT_EQ(r.report, SearchReport::kFound);
    EXPECT_EQ(r.frame, 1u);  // left on the string's last record
    EXPECT_EQ(r.timeText, "24/11/06 00:00:00 000m002u000n");
    // A second search from there continues after it.
    s.from = SearchFrom::kCurrent;
    s.frame = r.frame;
    r = RunSearch(f, c, s, SearchDirection::kForward, nullptr, cancel);
    ASSERT_EQ(r.report, SearchReport::kFound);
    EXPECT_EQ(r.frame, 4u);
    // The same by time: the window's record time text.
    s.frame.reset();
    s.at = {241106, 200};
    EXPECT_EQ(RunSearch(f, c, s, SearchDirection::kForward, nullptr, cancel).frame, 4u);
    // Backward from the end stops on a string's first record.
    s.from = SearchFrom::kLast;
    r = RunSearch(f, c, s, SearchDirection::kBackward, nullptr, cancel);
    ASSERT_EQ(r.report, SearchReport::kFound);
    EXPECT_EQ(r.frame, 3u);
    // No cared byte: refused.
    SearchCondition none;
    none.sd = *ParsePattern("** **");
    EXPECT_FALSE(none.IsSet());
    EXPECT_EQ(RunSearch(f, none, s, SearchDirection::kForward, nullptr, cancel).report,
              SearchReport::kBadParameters);
}

// A chunk that cannot be read stops every search there with the reader's
// code: a record beyond it is never reported as the next match, whether the
// search steps by record type (strings, errors alone) or record by record,
// or a string runs into the chunk.
TEST_F(SearchTest, AMissingChunkStopsEverySearchThatReachesIt) {
    std::filesystem::create_directories(home.file("m"));
    CaptureBuilder b(home.file("m"), kProtocolAsync);
    uint64_t t = 100;
    for (int c = 0; c < 3; ++c) {
        b.StartChunk("241106", 0);
        b.Add(RecordKind::kSdData, 0x41, t += 100);
        b.Add(RecordKind::kSdData, static_cast<uint8_t>(c == 1 ? 0x0A : 0x30), t += 100,
              kFlagParityError);
        b.Add(RecordKind::kSdData, 0x0A, t += 100, kFlagParityError);
    }
    std::string index = b.Finish();
    std::filesystem::remove(b.ChunkPath(2));
    struct Case {
        const char* name;
        SearchCondition condition;
        SearchDirection direction;
        uint64_t from;
    };
    SearchCondition parity;
    parity.parity = true;
    SearchCondition line;
    line.lineEnabled[0] = true;
    const Case cases[] = {
        {"string forward", Pattern("0a"), SearchDirection::kForward, 2},
        {"string running into it", Pattern("0a 41"), SearchDirection::kForward, 1},
        {"string backward", Pattern("0a"), SearchDirection::kBackward, 6},
        {"error forward", parity, SearchDirection::kForward, 2},
        {"line forward", line, SearchDirection::kForward, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureReader f(store, log);
        ASSERT_EQ(f.Open(index), 0);
        SearchStart s;
        s.frame = c.from;
        SearchResult r = RunSearch(f, c.condition, s, c.direction, nullptr, cancel);
        EXPECT_EQ(r.report, SearchReport::kError);
        EXPECT_EQ(r.code, kQvrChunkOpen);
    }
}

TEST(SearchPatternTest, ParsesBytesAndWildcards) {
    auto p = ParsePattern("41 ** 43");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Length(), 3);
    EXPECT_FALSE(p->care[1]);
    EXPECT_EQ(p->bytes[2], 0x43);
    EXPECT_EQ(ParsePattern("41 ** **")->Length(), 1);
    EXPECT_FALSE(ParsePattern("4"));
    EXPECT_FALSE(ParsePattern("4G"));
    EXPECT_FALSE(ParsePattern("414243"));
    EXPECT_FALSE(ParsePattern("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10"));
}

class Collect : public ISearchReport {
  public:
    void OnSearchReport(const SearchResult& r) override {
        std::lock_guard<std::mutex> lock(m);
        reports.push_back(r);
    }
    std::mutex m;
    std::vector<SearchResult> reports;
};

TEST_F(SearchTest, WorkerReportsProgressThenTheEndingThenEnded) {
    std::filesystem::create_directories(home.file("w"));
    CaptureBuilder b(home.file("w"), kProtocolAsync);
    b.StartChunk("241106", 0);
    for (int i = 0; i < 1000; ++i)
        b.Add(RecordKind::kSdData, 0x30, 100 + i);
    std::string index = b.Finish();
    Collect sink;
    SearchWorker worker(sink);
    SearchCondition c;
    c.framing = true;  // not skippable: every record is tested
    SearchStart s;
    s.from = SearchFrom::kFirst;
    ASSERT_EQ(worker.Start(index, c, s, SearchDirection::kForward), 0);
    worker.Wait();
    ASSERT_EQ(sink.reports.size(), 6u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sink.reports[i].report, SearchReport::kProgress);
        EXPECT_EQ(sink.reports[i].frame, 249u + 250u * i);
    }
    EXPECT_EQ(sink.reports[4].report, SearchReport::kEndOfCapture);
    EXPECT_EQ(sink.reports[5].report, SearchReport::kEnded);

    // A capture that cannot be opened: the error, then kEnded.
    Collect quiet;
    SearchWorker w2(quiet);
    w2.Start(home.file("missing.qvr"), c, s, SearchDirection::kForward);
    w2.Wait();
    ASSERT_EQ(quiet.reports.size(), 2u);
    EXPECT_EQ(quiet.reports[0].report, SearchReport::kError);
}

TEST_F(SearchTest, MarksAndTriggerRecords) {
    std::filesystem::create_directories(home.file("m"));
    CaptureBuilder b(home.file("m"), kProtocolAsync);
    b.StartChunk("241106", 0);
    for (int i = 0; i < 10; ++i)
        b.Add(RecordKind::kSdData, 0x30, 1000 * (i + 1));
    std::string index = b.Finish();
    IniFile ini;
    ini.SetPath(index);
    ini.WriteString("TriggerRecord", "1", "1,241106,00:00:00 000:050:000,2");
    ini.WriteString("TriggerRecord", "2", "1,241106,00:00:00 000:008:000,255");
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    ASSERT_EQ(f.GoToFrame(6), 0);
    EXPECT_EQ(SetMarkHere(f, 3), 0);
    EXPECT_EQ(SetMarkHere(f, 6), kQvrNoRecord);
    auto marks = ReadMarks(f);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].number, 3);
    EXPECT_EQ(marks[0].comment, marks[0].timeText);
    EXPECT_EQ(marks[0].timeText, "24/11/06 00:00:00 000m070u000n");
    f.GoToFrame(0);
    ASSERT_EQ(JumpToMark(f, 3), 0);
    CursorPosition pos;
    f.GetCursor(pos);
    EXPECT_EQ(pos.frame, 6u);
    EXPECT_EQ(JumpToMark(f, 2), kQvrNoIndex);

    auto triggers = ReadTriggerRecords(index);
    ASSERT_EQ(triggers.size(), 2u);
    EXPECT_EQ(triggers[0].listText, "24/11/06  00:00:00 000m050u000n");
    EXPECT_EQ(triggers[0].event.code, 2);
    EXPECT_EQ(TriggerJumpTitle(2), "トリガジャンプ - トリガ2");
    EXPECT_FALSE(TriggerRecordDescription(index, 2).empty());
    EXPECT_TRUE(TriggerRecordDescription(index, 255).empty());
    ASSERT_EQ(JumpToTrigger(f, triggers[0]), 0);
    f.GetCursor(pos);
    EXPECT_EQ(pos.frame, 4u);
}

}  // namespace
}  // namespace qv
