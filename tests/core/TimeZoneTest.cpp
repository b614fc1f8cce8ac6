#include "core/TimeZone.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qv {
namespace {

// Seconds since 1970 of a UTC (or, for OffsetOfLocal, wall-clock) time.
int64_t At(int y, unsigned m, unsigned d, int h = 0, int mi = 0) {
    using namespace std::chrono;
    return sys_seconds(sys_days(year(y) / month(m) / day(d)) + hours(h) + minutes(mi))
        .time_since_epoch()
        .count();
}

// Offsets from the zone files: transitions while the file lists them, the
// file's closing rule after them (2040), both hemispheres.
TEST(TimeZone, OffsetsFromTheZoneDatabase) {
    auto tokyo = TimeZone::Named("Asia/Tokyo");
    auto york = TimeZone::Named("America/New_York");
    auto sydney = TimeZone::Named("Australia/Sydney");
    ASSERT_TRUE(tokyo && york && sydney);
    struct Case {
        const TimeZone* zone;
        int64_t utc;
        int offset;
    };
    for (const Case& c :
         {Case{&*tokyo, At(2026, 7, 1), 9 * 3600}, Case{&*york, At(2026, 1, 15), -5 * 3600},
          Case{&*york, At(2026, 7, 15), -4 * 3600}, Case{&*york, At(2040, 1, 15), -5 * 3600},
          Case{&*york, At(2040, 7, 15), -4 * 3600},
          // 2040-03-11 is the second Sunday: 07:00 UTC is 03:00 EDT.
          Case{&*york, At(2040, 3, 11, 6, 59), -5 * 3600},
          Case{&*york, At(2040, 3, 11, 7, 0), -4 * 3600},
          Case{&*sydney, At(2040, 1, 15), 11 * 3600}, Case{&*sydney, At(2040, 7, 15), 10 * 3600}})
        EXPECT_EQ(c.zone->OffsetAt(c.utc), c.offset) << c.zone->Name() << " " << c.utc;
    EXPECT_EQ(TimeZone::Utc().OffsetAt(At(2026, 7, 1)), 0);

    // A wall-clock time skipped in spring takes the offset before the change;
    // one that occurs twice in autumn takes the first.
    EXPECT_EQ(york->OffsetOfLocal(At(2026, 3, 8, 2, 30)), -5 * 3600);
    EXPECT_EQ(york->OffsetOfLocal(At(2026, 11, 1, 1, 30)), -4 * 3600);
    EXPECT_EQ(york->OffsetOfLocal(At(2026, 11, 1, 3, 0)), -5 * 3600);
}

// A name read from a capture never opens a file outside the zone folder.
TEST(TimeZone, OnlyZoneNamesAreLookedUp) {
    for (const char* bad : {"", "../../etc/passwd", "/etc/localtime", "Asia/../../../etc/hostname",
                            "Nowhere/Zone", "Asia", "Asia/Tokyo\n"})
        EXPECT_FALSE(TimeZone::Named(bad).has_value()) << bad;
    EXPECT_TRUE(TimeZone::Named("UTC").has_value());
}

}  // namespace
}  // namespace qv
