#include "core/TimeZone.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "core/FileUtil.h"

namespace qv {

namespace {

std::string ZoneFolder() {
    const char* dir = std::getenv("TZDIR");
    return dir && *dir ? dir : "/usr/share/zoneinfo";
}

// Only a plain relative name of letters, digits and "_+-/" is looked up, so
// that a name read from a capture cannot make us open a file elsewhere.
bool IsZoneName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '+' || c == '-' || c == '/';
    });
}

int64_t BigEndian(const std::string& d, size_t at, size_t bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i)
        v = v << 8 | static_cast<unsigned char>(d[at + i]);
    if (bytes == 4) return static_cast<int32_t>(static_cast<uint32_t>(v));
    return static_cast<int64_t>(v);
}

// "[+-]hh[:mm[:ss]]" at `p`; POSIX offsets count west of UTC.
std::optional<int> ClockSeconds(const std::string& s, size_t& p) {
    int sign = 1;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) sign = s[p++] == '-' ? -1 : 1;
    int parts[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (p >= s.size() || s[p] != ':') break;
            ++p;
        }
        size_t start = p;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9' && p - start < 3)
            parts[k] = parts[k] * 10 + (s[p++] - '0');
        if (p == start) return std::nullopt;
    }
    return sign * (parts[0] * 3600 + parts[1] * 60 + parts[2]);
}

// A zone abbreviation: letters, or "<...>" holding anything but '>'.
bool SkipAbbreviation(const std::string& s, size_t& p) {
    const size_t start = p;
    if (p < s.size() && s[p] == '<') {
        p = s.find('>', p);
        if (p == std::string::npos) return false;
        ++p;
        return true;
    }
    while (p < s.size() && ((s[p] >= 'A' && s[p] <= 'Z') || (s[p] >= 'a' && s[p] <= 'z')))
        ++p;
    return p - start >= 3;
}

int64_t DaysFromCivil(int y, int m, int d) {
    using namespace std::chrono;
    return sys_days(year_month_day{year(y), month(static_cast<unsigned>(m)),
                                   day(static_cast<unsigned>(d))})
        .time_since_epoch()
        .count();
}

}  // namespace

std::optional<TimeZone> TimeZone::Named(const std::string& name) {
    if (name == "UTC") return Utc();
    if (!IsZoneName(name)) return std::nullopt;
    std::optional<std::string> file = ReadWholeFile(ZoneFolder() + "/" + name);
    if (!file || file->size() < 44 || file->compare(0, 4, "TZif") != 0) return std::nullopt;
    const std::string& d = *file;
    // Header: magic, version, 15 reserved bytes, six counts.
    auto counts = [&](size_t at, int64_t(&c)[6]) {
        for (int i = 0; i < 6; ++i)
            c[i] = BigEndian(d, at + 20 + static_cast<size_t>(i) * 4, 4);
    };
    int64_t c[6];
    counts(0, c);
    // isutcnt, isstdcnt, leapcnt, timecnt, typecnt, charcnt
    auto blockSize = [](const int64_t(&n)[6], size_t timeBytes) {
        return static_cast<size_t>(n[3]) * timeBytes + static_cast<size_t>(n[3]) +
               static_cast<size_t>(n[4]) * 6 + static_cast<size_t>(n[5]) +
               static_cast<size_t>(n[2]) * (timeBytes + 4) + static_cast<size_t>(n[1]) +
               static_cast<size_t>(n[0]);
    };
    for (int64_t v : c)
        if (v < 0 || v > 100000) return std::nullopt;
    size_t at = 44;
    size_t timeBytes = 4;
    if (d[4] >= '2') {
        // Version 2 and later repeat the data with 64-bit times: use those.
        at += blockSize(c, 4);
        if (d.size() < at + 44 || d.compare(at, 4, "TZif") != 0) return std::nullopt;
        counts(at, c);
        for (int64_t v : c)
            if (v < 0 || v > 100000) return std::nullopt;
        at += 44;
        timeBytes = 8;
    }
    const size_t timecnt = static_cast<size_t>(c[3]), typecnt = static_cast<size_t>(c[4]);
    if (typecnt == 0 || d.size() < at + blockSize(c, timeBytes)) return std::nullopt;
    TimeZone z;
    z.m_name = name;
    const size_t types = at + timecnt * timeBytes + timecnt;
    auto offsetOf = [&](size_t type) -> std::optional<int32_t> {
        if (type >= typecnt) return std::nullopt;
        return static_cast<int32_t>(BigEndian(d, types + type * 6, 4));
    };
    for (size_t i = 0; i < timecnt; ++i) {
        auto off = offsetOf(static_cast<unsigned char>(d[at + timecnt * timeBytes + i]));
        if (!off) return std::nullopt;
        z.m_times.push_back(BigEndian(d, at + i * timeBytes, timeBytes));
        z.m_after.push_back(*off);
    }
    z.m_before = *offsetOf(0);
    if (timeBytes == 8) {
        // The footer's rule covers the instants after the last transition.
        const size_t footer = at + blockSize(c, timeBytes);
        if (footer < d.size() && d[footer] == '\n') {
            const size_t end = d.find('\n', footer + 1);
            if (end != std::string::npos)
                z.m_rule = ParseRule(d.substr(footer + 1, end - footer - 1));
        }
    }
    return z;
}

TimeZone TimeZone::Utc() {
    TimeZone z;
    z.m_name = "UTC";
    return z;
}

std::optional<std::string> TimeZone::LocalName() {
    if (const char* tz = std::getenv("TZ")) {
        std::string name = tz;
        if (!name.empty() && name.front() == ':') name.erase(0, 1);
        if (name.empty()) return "UTC";
        if (Named(name)) return name;
        return std::nullopt;
    }
    char link[PATH_MAX];
    const ssize_t n = ::readlink("/etc/localtime", link, sizeof link - 1);
    if (n <= 0)
        return PathExists("/etc/localtime") ? std::nullopt : std::optional<std::string>("UTC");
    const std::string target(link, static_cast<size_t>(n));
    const size_t at = target.find("zoneinfo/");
    if (at == std::string::npos) return std::nullopt;
    std::string name = target.substr(at + 9);
    // Some systems link into the "posix/" or "right/" copies of the database.
    if (name.starts_with("posix/")) name.erase(0, 6);
    return Named(name) ? std::optional<std::string>(name) : std::nullopt;
}

std::optional<TimeZone::Rule> TimeZone::ParseRule(const std::string& s) {
    Rule r;
    size_t p = 0;
    if (!SkipAbbreviation(s, p)) return std::nullopt;
    auto std = ClockSeconds(s, p);
    if (!std) return std::nullopt;
    r.standard = -*std;
    if (p == s.size()) return r;
    if (!SkipAbbreviation(s, p)) return std::nullopt;
    r.daylight = r.standard + 3600;
    if (p < s.size() && s[p] != ',') {
        auto dst = ClockSeconds(s, p);
        if (!dst) return std::nullopt;
        r.daylight = -*dst;
    }
    // Only the "Mm.w.d[/time]" form of the changes, which every zone of the
    // database uses; a rule in another form is not taken.
    auto change = [&](Change& c) {
        if (p + 1 >= s.size() || s[p] != ',' || s[p + 1] != 'M') return false;
        p += 2;
        int* fields[3] = {&c.month, &c.week, &c.weekday};
        for (int k = 0; k < 3; ++k) {
            if (k > 0 && (p >= s.size() || s[p++] != '.')) return false;
            const size_t start = p;
            *fields[k] = 0;
            while (p < s.size() && s[p] >= '0' && s[p] <= '9')
                *fields[k] = *fields[k] * 10 + (s[p++] - '0');
            if (p == start) return false;
        }
        if (c.month < 1 || c.month > 12 || c.week < 1 || c.week > 5 || c.weekday > 6) return false;
        if (p < s.size() && s[p] == '/') {
            ++p;
            auto t = ClockSeconds(s, p);
            if (!t) return false;
            c.time = *t;
        }
        return true;
    };
    if (!change(r.start) || !change(r.end) || p != s.size()) return std::nullopt;
    return r;
}

int TimeZone::RuleOffsetAt(int64_t utc) const {
    const Rule& r = *m_rule;
    if (!r.daylight) return r.standard;
    using namespace std::chrono;
    const int y = static_cast<int>(year_month_day{floor<days>(sys_seconds{seconds{utc}})}.year());
    // The instant (UTC) a change happens in year y: its local time is
    // counted in the offset in force before it.
    auto when = [y](const Change& c, int before) {
        const int64_t first = DaysFromCivil(y, c.month, 1);
        const int firstWeekday =
            static_cast<int>((first % 7 + 11) % 7);  // 1970-01-01 was a Thursday
        int64_t day = first + (c.weekday - firstWeekday + 7) % 7 + (c.week - 1) * 7;
        const int64_t next =
            c.month == 12 ? DaysFromCivil(y + 1, 1, 1) : DaysFromCivil(y, c.month + 1, 1);
        while (day >= next)
            day -= 7;  // week 5: the last such day
        return day * 86400 + c.time - before;
    };
    const int64_t start = when(r.start, r.standard), end = when(r.end, *r.daylight);
    const bool daylight = start < end ? (utc >= start && utc < end) : !(utc >= end && utc < start);
    return daylight ? *r.daylight : r.standard;
}

int TimeZone::OffsetAt(int64_t utc) const {
    if (m_times.empty() || utc < m_times.front())
        return m_times.empty() && m_rule ? RuleOffsetAt(utc) : m_before;
    if (utc >= m_times.back() && m_rule) return RuleOffsetAt(utc);
    const auto it = std::upper_bound(m_times.begin(), m_times.end(), utc);
    return m_after[static_cast<size_t>(it - m_times.begin()) - 1];
}

int TimeZone::OffsetOfLocal(int64_t local) const {
    // Try the offset in force a day before and a day after: the one whose
    // instant gives back the local time holds; the earlier one wins.
    const int early = OffsetAt(local - 86400), late = OffsetAt(local + 86400);
    if (OffsetAt(local - early) == early) return early;
    if (OffsetAt(local - late) == late) return late;
    return early;  // skipped by a change: the offset before it
}

}  // namespace qv
