#include "capture/CaptureReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/Log.h"
#include "core/SettingsStore.h"
#include "support/AppHome.h"
#include "support/CaptureBuilder.h"
#include "support/EqualTimes.h"

namespace qv {
namespace {

using test::AppHome;
using test::CaptureBuilder;
using test::WrittenRecord;

// A capture of random records in `chunks` chunks of about `perChunk` records,
// with times rising by random steps; the last chunk starts a new date.
std::string BuildRandom(CaptureBuilder& b, int chunks, int perChunk, uint32_t seed) {
    std::mt19937 rng(seed);
    uint64_t t = 1000;
    uint8_t line = 0xA0;
    for (int c = 0; c < chunks; ++c) {
        bool newDay = c == chunks - 1 && chunks > 1;
        if (newDay) t = 50;
        b.StartChunk(newDay ? "241107" : "241106", line, 0);
        int n = perChunk + static_cast<int>(rng() % 50);
        for (int i = 0; i < n; ++i) {
            t += 1 + rng() % 5000;
            int k = static_cast<int>(rng() % 10);
            bool frames = UsesFrameRecords(b.protocol());
            if (k < 4 || (frames && k < 8)) {
                RecordKind kind = k % 2 ? RecordKind::kRdData : RecordKind::kSdData;
                if (frames) {
                    std::vector<uint8_t> data(rng() % 40);
                    for (auto& d : data)
                        d = static_cast<uint8_t>(rng());
                    b.AddFrame(kind, t, t + 100, data, static_cast<uint8_t>(rng() & 0x1C));
                    t += 100;
                } else {
                    b.Add(kind, static_cast<uint8_t>(rng()), t, static_cast<uint8_t>(rng() & 0x1F));
                }
            } else if (k < 8 || b.protocol() != kProtocolAsync) {
                line ^= static_cast<uint8_t>(1u << (rng() % 8));
                b.Add(RecordKind::kLineChange, line, t);
            } else {
                b.Add(RecordKind::kEvent, static_cast<uint8_t>(rng() & 0xC0), t);
            }
        }
    }
    return b.Finish();
}

void ExpectRecord(const CaptureReader& f, const WrittenRecord& w) {
    CursorPosition pos;
    ASSERT_EQ(f.GetCursor(pos), 0);
    EXPECT_EQ(pos.frame, w.frame);
    EXPECT_EQ(pos.chunk, w.chunk) << w.frame;
    EXPECT_EQ(pos.index, w.index) << w.frame;
    CaptureFrame fr;
    ASSERT_EQ(f.GetFrame(fr), 0);
    EXPECT_EQ(fr.Header(), w.header) << w.frame;
    EXPECT_EQ(fr.LineState(), w.lineState) << w.frame;
    EXPECT_EQ(fr.StartTicks(), w.start) << w.frame;
    EXPECT_EQ(fr.EndTicks(), w.end) << w.frame;
    if (fr.IsFrameRecord()) {
        EXPECT_EQ(std::vector<uint8_t>(fr.Data().begin(), fr.Data().end()), w.data);
        EXPECT_EQ(f.GetDataLength(), w.data.size());
    } else {
        EXPECT_EQ(fr.Value(), w.value) << w.frame;
        EXPECT_EQ(f.GetDataLength(), 1u);
    }
}

class ReaderTest : public ::testing::TestWithParam<int> {
  protected:
    AppHome home;
    SettingsStore store;
    Log log;
    std::string Folder(const std::string& name) {
        std::string f = home.file(name);
        std::filesystem::create_directories(f);
        return f;
    }
};

TEST_P(ReaderTest, WalksEveryRecordForwardAndBackAcrossChunks) {
    CaptureBuilder b(Folder("20241106120000"), GetParam());
    std::string index = BuildRandom(b, 4, 300, 7);
    const auto& recs = b.records();
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    EXPECT_EQ(f.GetChunkCount(), 4u);
    EXPECT_EQ(f.GetTotalRecords(), recs.size());
    for (size_t i = 0; i < recs.size(); ++i) {
        ExpectRecord(f, recs[i]);
        int rc = f.NextRecord();
        ASSERT_EQ(rc, i + 1 < recs.size() ? 0 : kQvrNotFound) << i;
    }
    ExpectRecord(f, recs.back());  // the end keeps the cursor
    for (size_t i = recs.size(); i-- > 0;) {
        ExpectRecord(f, recs[i]);
        ASSERT_EQ(f.PrevRecord(), i > 0 ? 0 : kQvrNotFound) << i;
    }
    ExpectRecord(f, recs.front());
}

TEST_P(ReaderTest, GoToFrameChunkRecordAndTheirFailures) {
    CaptureBuilder b(Folder("20241106120001"), GetParam());
    std::string index = BuildRandom(b, 5, 200, 11);
    const auto& recs = b.records();
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {
        uint64_t fr = rng() % recs.size();
        ASSERT_EQ(f.GoToFrame(fr), 0);
        ExpectRecord(f, recs[fr]);
    }
    ASSERT_EQ(f.GoToFrame(10), 0);
    EXPECT_EQ(f.GoToFrame(recs.size()), kQvrNotFound);
    ExpectRecord(f, recs[10]);
    const auto& w = recs[recs.size() / 2];
    ASSERT_EQ(f.GoToChunkRecord(w.chunk, w.index), 0);
    ExpectRecord(f, w);
    EXPECT_EQ(f.GoToChunkRecord(0, 0), kQvrNoRecord);
    EXPECT_EQ(f.GoToChunkRecord(6, 0), kQvrNoRecord);
    EXPECT_EQ(f.GoToChunkRecord(5, 100000), kQvrNotFound);
    ExpectRecord(f, w);
}

TEST_P(ReaderTest, GoToTimeMatchesABruteForceScan) {
    CaptureBuilder b(Folder("20241106120002"), GetParam());
    std::string index = BuildRandom(b, 4, 150, 5);
    const auto& recs = b.records();
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    // On one date: the first record ending exactly at t, else the last one
    // ending before t, else the date's first record.
    auto expected = [&](const std::string& date, uint64_t t) -> size_t {
        size_t lo = 0;
        while (lo < recs.size() && recs[lo].date != date)
            ++lo;
        size_t i = lo;
        while (i < recs.size() && recs[i].date == date && recs[i].end < t)
            ++i;
        if (i < recs.size() && recs[i].date == date && recs[i].end == t) return i;
        return i == lo ? lo : i - 1;
    };
    std::mt19937 rng(9);
    for (int i = 0; i < 400; ++i) {
        const auto& r = recs[rng() % recs.size()];
        uint64_t t = r.end + (i % 3 == 0 ? 0 : rng() % 3000) - (i % 3 == 2 ? 1500 : 0);
        ASSERT_EQ(f.GoToTime(MakeDayTime(r.date, t)), 0);
        CursorPosition pos;
        f.GetCursor(pos);
        ASSERT_EQ(pos.frame, expected(r.date, t)) << r.date << " " << t;
    }
    // Before the capture: its first record; after it: its last.
    ASSERT_EQ(f.GoToTime({241105, 0}), 0);
    ExpectRecord(f, recs.front());
    ASSERT_EQ(f.GoToTime({241231, 0}), 0);
    ExpectRecord(f, recs.back());
}

TEST_P(ReaderTest, GoToTimeOnEqualTimesTakesTheFirstOfThem) {
    CaptureBuilder b(Folder("20241106120004"), GetParam());
    std::string index = test::BuildEqualTimes(b, 4, 120, 21);
    const auto& recs = b.records();
    // The generator made what this test is about: SD and RD in one tick, and
    // a chunk beginning at the tick the one before it ended.
    bool sdRdTie = false, chunkTie = false;
    for (size_t i = 1; i < recs.size(); ++i) {
        if (recs[i].end != recs[i - 1].end || recs[i].date != recs[i - 1].date) continue;
        sdRdTie |= HeaderKind(recs[i].header) != HeaderKind(recs[i - 1].header) &&
                   HeaderKind(recs[i].header) <= RecordKind::kRdData &&
                   HeaderKind(recs[i - 1].header) <= RecordKind::kRdData;
        chunkTie |= recs[i].chunk != recs[i - 1].chunk;
    }
    ASSERT_TRUE(sdRdTie);
    ASSERT_TRUE(chunkTie);
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    for (size_t i = 0; i < recs.size(); ++i) {
        for (int d : {0, -1, 1}) {
            if (d < 0 && recs[i].end == 0) continue;
            const uint64_t t = recs[i].end + static_cast<uint64_t>(d);
            ASSERT_EQ(f.GoToTime(MakeDayTime(recs[i].date, t)), 0);
            CursorPosition pos;
            f.GetCursor(pos);
            ASSERT_EQ(pos.frame, test::ScanForTime(recs, recs[i].date, t))
                << recs[i].date << " " << t << " (record " << i << ")";
        }
    }
}

TEST_P(ReaderTest, DirectionOrdinalsTypeSearchesAndKindCounts) {
    CaptureBuilder b(Folder("20241106120003"), GetParam());
    std::string index = BuildRandom(b, 4, 250, 21);
    const auto& recs = b.records();
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    const int proto = GetParam();

    for (int dir : {1, 2, 0}) {
        std::vector<size_t> of;
        for (size_t i = 0; i < recs.size(); ++i) {
            RecordKind k = HeaderKind(recs[i].header);
            if ((dir == 1 && k == RecordKind::kSdData) || (dir == 2 && k == RecordKind::kRdData) ||
                (dir == 0 && IsDataKind(k)))
                of.push_back(i);
        }
        for (size_t n = 0; n < of.size(); n += 7) {
            ASSERT_EQ(f.GoToNthOfDirection(n, dir), 0);
            ExpectRecord(f, recs[of[n]]);
        }
        EXPECT_EQ(f.GoToNthOfDirection(of.size(), dir), kQvrNoRecord);
        ExpectRecord(f, recs[of[(of.size() - 1) / 7 * 7]]);  // unmoved
    }

    auto eventByte = [&](const WrittenRecord& w) -> uint8_t {
        return proto == kProtocolAsync && HeaderKind(w.header) == RecordKind::kEvent ? w.value : 0;
    };
    auto matches = [&](const WrittenRecord& w, const WrittenRecord& from, int type) {
        RecordKind k = HeaderKind(w.header);
        switch (type) {
            case kJumpSd:
                return k == RecordKind::kSdData;
            case kJumpRd:
                return k == RecordKind::kRdData;
            case kJumpEventBit7:
                return k == RecordKind::kEvent && ((eventByte(w) ^ eventByte(from)) & 0x80);
            case kJumpEventBit6:
                return k == RecordKind::kEvent && ((eventByte(w) ^ eventByte(from)) & 0x40);
            case kJumpLineChange:
                return k == RecordKind::kLineChange;
            case kJumpEvent:
                return k == RecordKind::kEvent;
            case kJumpData:
                return IsDataKind(k);
            default:
                return k == RecordKind::kLineChange &&
                       ((w.lineState ^ from.lineState) & (0x80 >> (type - kJumpLineBit7)));
        }
    };
    std::mt19937 rng(4);
    for (int type = kJumpSd; type <= kJumpData; ++type) {
        for (int trial = 0; trial < 12; ++trial) {
            size_t from = rng() % recs.size();
            size_t next = from + 1;
            while (next < recs.size() && !matches(recs[next], recs[from], type))
                ++next;
            ASSERT_EQ(f.GoToFrame(from), 0);
            int rc = f.NextOfType(type);
            if (next < recs.size()) {
                ASSERT_EQ(rc, 0) << type << " from " << from;
                ExpectRecord(f, recs[next]);
            } else {
                ASSERT_EQ(rc, kQvrNotFound) << type << " from " << from;
                ExpectRecord(f, recs[from]);
            }
            size_t prev = from;
            while (prev > 0 && !matches(recs[prev - 1], recs[from], type))
                --prev;
            ASSERT_EQ(f.GoToFrame(from), 0);
            rc = f.PrevOfType(type);
            if (prev > 0) {
                ASSERT_EQ(rc, 0) << type << " from " << from;
                ExpectRecord(f, recs[prev - 1]);
            } else {
                ASSERT_EQ(rc, kQvrNotFound);
                ExpectRecord(f, recs[from]);
            }
        }
    }
    EXPECT_EQ(f.NextOfType(1), kQvrNotFound);
    EXPECT_EQ(f.NextOfType(17), kQvrNotFound);

    for (size_t i = 0; i < recs.size(); i += 37) {
        KindOrdinals want;
        for (size_t j = 0; j <= i; ++j) {
            switch (HeaderKind(recs[j].header)) {
                case RecordKind::kSdData:
                    ++want.sd;
                    break;
                case RecordKind::kRdData:
                    ++want.rd;
                    break;
                case RecordKind::kLineChange:
                    ++want.lineChanges;
                    break;
                case RecordKind::kEvent:
                    ++want.events;
                    break;
            }
        }
        ASSERT_EQ(f.GoToFrame(i), 0);
        KindOrdinals got;
        ASSERT_EQ(f.GetKindOrdinals(got), 0);
        EXPECT_EQ(got.sd, want.sd);
        EXPECT_EQ(got.rd, want.rd);
        EXPECT_EQ(got.lineChanges, want.lineChanges);
        EXPECT_EQ(got.events, want.events);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryProtocol, ReaderTest,
                         ::testing::Values(kProtocolAsync, kProtocolSync, kProtocolHdlc,
                                           kProtocolLogic),
                         [](const auto& info) {
                             return std::string(info.param == 0    ? "Async"
                                                : info.param == 16 ? "Sync"
                                                : info.param == 32 ? "Hdlc"
                                                                   : "Logic");
                         });

}  // namespace
}  // namespace qv
