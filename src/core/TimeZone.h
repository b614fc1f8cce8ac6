// A time zone of the system's zone database, read from its TZif file, so
// that a capture's wall-clock times become the same instants whatever the
// zone of the machine that reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class TimeZone {
  public:
    // "UTC" or a database name such as "Asia/Tokyo" (under $TZDIR, else
    // /usr/share/zoneinfo); nullopt when it names no zone file here. A name
    // that is absolute or climbs out of the folder ("..") names none.
    static std::optional<TimeZone> Named(const std::string& name);
    static TimeZone Utc();
    // The name of this machine's zone: TZ when it names a zone, else the zone
    // /etc/localtime links to ("UTC" without one, as the C library takes it).
    // nullopt when neither can be named (a TZ rule such as "JST-9").
    static std::optional<std::string> LocalName();

    const std::string& Name() const { return m_name; }
    // Seconds east of UTC at the instant `utc` (seconds since 1970).
    int OffsetAt(int64_t utc) const;
    // Seconds east of UTC of the wall-clock time `local` (seconds since 1970
    // as if it were UTC). A time that occurs twice takes the first; a time
    // skipped by a change takes the offset before it, as mktime does.
    int OffsetOfLocal(int64_t local) const;

  private:
    // A rule "Mm.w.d/time" of the zone's footer: the d-th weekday (0 Sunday)
    // of week w (5 the last) of month m, at `time` seconds of local time.
    struct Change {
        int month = 0, week = 0, weekday = 0;
        int time = 7200;
    };
    // The footer's rule for instants after the last transition.
    struct Rule {
        int standard = 0;                // seconds east of UTC
        std::optional<int> daylight;     // seconds east of UTC in daylight time
        Change start, end;
    };
    static std::optional<Rule> ParseRule(const std::string& text);
    int RuleOffsetAt(int64_t utc) const;

    std::string m_name;
    std::vector<int64_t> m_times;   // transition instants, ascending
    std::vector<int32_t> m_after;   // offset from each transition on
    int32_t m_before = 0;           // offset before the first transition
    std::optional<Rule> m_rule;
};

}  // namespace qv
