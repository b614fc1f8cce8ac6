// The records a save range takes from a capture whose records share ticks:
// every record whose date and end time lie in the range, ends included, and
// no other, checked against a scan of what was written.
#include <gtest/gtest.h>

#include <random>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "export/ExportCaptures.h"
#include "export/SaveRangeWalk.h"
#include "support/AppHome.h"
#include "support/EqualTimes.h"

namespace qv {
namespace {

using test::CaptureBuilder;
using test::WrittenRecord;

class EqualTimesRange : public ::testing::TestWithParam<int> {
  protected:
    test::AppHome home;
    SettingsStore store;
    Log log;
    std::atomic<bool> cancel{false};
};

TEST_P(EqualTimesRange, TakesExactlyTheRecordsInsideTheRangeEndsIncluded) {
    CaptureBuilder b(home.file("20241106120000"), GetParam());
    const std::string index = test::BuildEqualTimes(b, 3, 150, 29);
    const std::vector<WrittenRecord>& r = b.records();
    CaptureReader f(store, log);
    ASSERT_EQ(f.Open(index), 0);
    auto inside = [](const WrittenRecord& w, const WrittenRecord& a, uint64_t ta,
                     const WrittenRecord& z, uint64_t tz) {
        auto key = [](const std::string& d, uint64_t t) { return std::make_pair(std::stoi(d), t); };
        return !(key(w.date, w.end) < key(a.date, ta)) && !(key(z.date, tz) < key(w.date, w.end));
    };
    std::mt19937 rng(4);
    for (int round = 0; round < 120; ++round) {
        size_t i = rng() % r.size(), j = rng() % r.size();
        if (j < i) std::swap(i, j);
        // Ends on a record's tick, or one tick either side of it.
        const uint64_t ta = r[i].end + (round % 3 == 1 ? 1 : 0) - (round % 3 == 2 && r[i].end ? 1 : 0);
        const uint64_t tz = r[j].end + (round % 3 == 2 ? 1 : 0) - (round % 3 == 1 && r[j].end ? 1 : 0);
        SaveRange range;
        ASSERT_TRUE(CheckSaveRange(f, test::Key(r[i].date.c_str(), ta),
                                   test::Key(r[j].date.c_str(), tz), range));
        SaveRangeWalk walk(f);
        std::vector<uint64_t> taken;
        if (walk.Begin(range, true, nullptr)) {
            walk.Run(cancel, [&](const SaveRecord&) {
                CursorPosition pos;
                f.GetCursor(pos);
                taken.push_back(pos.frame);
                return true;
            });
        }
        std::vector<uint64_t> want;
        for (size_t k = 0; k < r.size(); ++k)
            if (inside(r[k], r[i], ta, r[j], tz)) want.push_back(k);
        ASSERT_EQ(taken, want) << r[i].date << " " << ta << " .. " << r[j].date << " " << tz;
    }
}

INSTANTIATE_TEST_SUITE_P(Protocols, EqualTimesRange,
                         ::testing::Values(kProtocolAsync, kProtocolHdlc));

}  // namespace
}  // namespace qv
