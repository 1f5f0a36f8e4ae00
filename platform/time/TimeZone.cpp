// UTC offsets of IANA time zones, read from the system's compiled zone files (TZif, RFC 8536): the
// transition table, and the POSIX TZ rule at its end for moments past the last transition.
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "platform/internal.h"
#include "platform/time.h"

namespace {

constexpr long kSecondsPerHour = 3600;
constexpr long kSecondsPerDay = 86400;

// ---- POSIX TZ rules ("CET-1CEST,M3.5.0,M10.5.0/3") ----

struct CDateRule {
    char form = 'M'; // 'J': day 1..365 without Feb 29; 'D': day 0..365; 'M': month.week.weekday
    int day = 0;
    int month = 0;
    int week = 0;
    long time = 2 * kSecondsPerHour; // local time of the change
};

struct CPosixRule {
    long standardOffset = 0; // seconds east of UTC
    bool hasDaylight = false;
    long daylightOffset = 0;
    CDateRule start;
    CDateRule end;
};

class CRuleParser {
public:
    explicit CRuleParser(std::string_view text) : m_text(text) {}

    std::optional<CPosixRule> Parse() {
        CPosixRule rule;
        if (!SkipName() || !Offset(rule.standardOffset)) {
            return std::nullopt;
        }
        rule.standardOffset = -rule.standardOffset; // POSIX counts hours west
        if (AtEnd()) {
            return rule;
        }
        rule.hasDaylight = true;
        if (!SkipName()) {
            return std::nullopt;
        }
        rule.daylightOffset = rule.standardOffset + kSecondsPerHour;
        if (!AtEnd() && Peek() != ',') {
            if (!Offset(rule.daylightOffset)) {
                return std::nullopt;
            }
            rule.daylightOffset = -rule.daylightOffset;
        }
        if (!Take(',') || !Date(rule.start) || !Take(',') || !Date(rule.end) || !AtEnd()) {
            return std::nullopt;
        }
        return rule;
    }

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    bool Take(char c) {
        if (Peek() != c) {
            return false;
        }
        ++m_pos;
        return true;
    }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

    bool SkipName() {
        if (Take('<')) {
            const size_t close = m_text.find('>', m_pos);
            m_pos = close == std::string_view::npos ? m_text.size() : close + 1;
            return close != std::string_view::npos;
        }
        const size_t begin = m_pos;
        while (IsAlpha(Peek())) {
            ++m_pos;
        }
        return m_pos - begin >= 3;
    }

    bool Number(int& value, int max) {
        if (!IsDigit(Peek())) {
            return false;
        }
        value = 0;
        while (IsDigit(Peek())) {
            value = value * 10 + (m_text[m_pos++] - '0');
            if (value > max) {
                return false;
            }
        }
        return true;
    }

    // [+-]hh[:mm[:ss]], as seconds.
    bool Offset(long& seconds) {
        const bool negative = Take('-');
        if (!negative) {
            Take('+');
        }
        int hours = 0;
        int minutes = 0;
        int secs = 0;
        if (!Number(hours, 167) ||
            (Take(':') && (!Number(minutes, 59) || (Take(':') && !Number(secs, 59))))) {
            return false;
        }
        seconds = (hours * kSecondsPerHour + minutes * 60L + secs) * (negative ? -1 : 1);
        return true;
    }

    bool Date(CDateRule& date) {
        bool ok = false;
        if (Take('M')) {
            date.form = 'M';
            ok = Number(date.month, 12) && date.month >= 1 && Take('.') && Number(date.week, 5) &&
                 date.week >= 1 && Take('.') && Number(date.day, 6);
        } else if (Take('J')) {
            date.form = 'J';
            ok = Number(date.day, 365) && date.day >= 1;
        } else {
            date.form = 'D';
            ok = Number(date.day, 365);
        }
        return ok && (!Take('/') || Offset(date.time));
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

// Days since 1970 of a date; the C library normalises a day or month past the end.
std::int64_t DaysSince1970(int year, int month, int day) {
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    return static_cast<std::int64_t>(timegm(&date)) / kSecondsPerDay;
}

std::int64_t DayOfRule(const CDateRule& rule, int year) {
    const std::int64_t newYear = DaysSince1970(year, 1, 1);
    if (rule.form == 'D') {
        return newYear + rule.day;
    }
    if (rule.form == 'J') {
        const bool leap = DaysSince1970(year, 3, 1) - DaysSince1970(year, 2, 1) == 29;
        return newYear + rule.day - 1 + (leap && rule.day >= 60 ? 1 : 0);
    }
    const std::int64_t first = DaysSince1970(year, rule.month, 1);
    const std::int64_t nextMonth = DaysSince1970(year, rule.month + 1, 1);
    const int firstWeekday = static_cast<int>(((first + 4) % 7 + 7) % 7); // 1970-01-01 was a Thursday
    std::int64_t day = first + (rule.day - firstWeekday + 7) % 7 + 7 * (rule.week - 1);
    while (day >= nextMonth) {
        day -= 7;
    }
    return day;
}

long OffsetByRule(const CPosixRule& rule, std::int64_t unixSeconds) {
    if (!rule.hasDaylight) {
        return rule.standardOffset;
    }
    const time_t standardLocal = static_cast<time_t>(unixSeconds + rule.standardOffset);
    std::tm civil{};
    gmtime_r(&standardLocal, &civil);
    const int year = civil.tm_year + 1900;
    // The start is given in standard time, the end in daylight time.
    const std::int64_t start =
        DayOfRule(rule.start, year) * kSecondsPerDay + rule.start.time - rule.standardOffset;
    const std::int64_t end = DayOfRule(rule.end, year) * kSecondsPerDay + rule.end.time - rule.daylightOffset;
    const bool daylight = start < end ? (unixSeconds >= start && unixSeconds < end)
                                      : !(unixSeconds >= end && unixSeconds < start);
    return daylight ? rule.daylightOffset : rule.standardOffset;
}

// ---- TZif files ----

struct CZone {
    std::vector<std::int64_t> transitions;
    std::vector<std::uint8_t> typeOfTransition;
    std::vector<long> typeOffsets;
    std::optional<CPosixRule> footer;

    long OffsetAt(std::int64_t unixSeconds) const {
        if (footer && (transitions.empty() || unixSeconds >= transitions.back())) {
            return OffsetByRule(*footer, unixSeconds);
        }
        if (transitions.empty() || unixSeconds < transitions.front()) {
            return typeOffsets.front();
        }
        const auto next = std::upper_bound(transitions.begin(), transitions.end(), unixSeconds);
        return typeOffsets[typeOfTransition[static_cast<size_t>(next - transitions.begin() - 1)]];
    }
};

class CTzifReader {
public:
    explicit CTzifReader(std::string_view data) : m_data(data) {}

    std::optional<CZone> Read() {
        CountHeader header;
        if (!Header(0, header)) {
            return std::nullopt;
        }
        if (m_version < '2') {
            return Block(kHeaderSize, header, 4);
        }
        // Version 2 and later repeat the data with 64-bit times, then give the rule for later times.
        const std::uint64_t second = kHeaderSize + BlockSize(header, 4);
        CountHeader header64;
        if (second > m_data.size() || !Header(second, header64)) {
            return std::nullopt;
        }
        return Block(second + kHeaderSize, header64, 8);
    }

private:
    static constexpr std::uint64_t kHeaderSize = 44;

    struct CountHeader {
        std::uint64_t isUtc, isStandard, leaps, transitions, types, chars;
    };

    std::uint64_t BigEndian(std::uint64_t at, int bytes) const {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = (value << 8) | static_cast<unsigned char>(m_data[at + static_cast<std::uint64_t>(i)]);
        }
        return value;
    }

    bool Header(std::uint64_t at, CountHeader& header) {
        if (at + kHeaderSize > m_data.size() || m_data.substr(at, 4) != "TZif") {
            return false;
        }
        m_version = m_data[at + 4];
        std::uint64_t* counts[] = {&header.isUtc,       &header.isStandard, &header.leaps,
                                   &header.transitions, &header.types,      &header.chars};
        for (size_t i = 0; i < std::size(counts); ++i) {
            *counts[i] = BigEndian(at + 20 + 4 * i, 4);
        }
        return header.types >= 1 && header.types <= 256;
    }

    static std::uint64_t BlockSize(const CountHeader& h, std::uint64_t timeBytes) {
        return h.transitions * (timeBytes + 1) + h.types * 6 + h.chars + h.leaps * (timeBytes + 4) +
               h.isStandard + h.isUtc;
    }

    std::optional<CZone> Block(std::uint64_t at, const CountHeader& h, int timeBytes) {
        if (at + BlockSize(h, static_cast<std::uint64_t>(timeBytes)) > m_data.size()) {
            return std::nullopt;
        }
        CZone zone;
        for (std::uint64_t i = 0; i < h.transitions; ++i) {
            const std::uint64_t raw = BigEndian(at + i * static_cast<std::uint64_t>(timeBytes), timeBytes);
            zone.transitions.push_back(timeBytes == 4 ? static_cast<std::int32_t>(raw)
                                                      : static_cast<std::int64_t>(raw));
        }
        if (!std::is_sorted(zone.transitions.begin(), zone.transitions.end())) {
            return std::nullopt;
        }
        const std::uint64_t indices = at + h.transitions * static_cast<std::uint64_t>(timeBytes);
        for (std::uint64_t i = 0; i < h.transitions; ++i) {
            const auto type = static_cast<std::uint8_t>(m_data[indices + i]);
            if (type >= h.types) {
                return std::nullopt;
            }
            zone.typeOfTransition.push_back(type);
        }
        const std::uint64_t types = indices + h.transitions;
        for (std::uint64_t i = 0; i < h.types; ++i) {
            zone.typeOffsets.push_back(static_cast<std::int32_t>(BigEndian(types + i * 6, 4)));
        }
        if (timeBytes == 8) {
            zone.footer = Footer(at + BlockSize(h, 8));
        }
        return zone;
    }

    // "\n<POSIX TZ>\n"; an empty or unreadable rule leaves the last transition's type in force.
    std::optional<CPosixRule> Footer(std::uint64_t at) const {
        if (at >= m_data.size() || m_data[at] != '\n') {
            return std::nullopt;
        }
        const size_t end = m_data.find('\n', at + 1);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        return CRuleParser(m_data.substr(at + 1, end - at - 1)).Parse();
    }

    std::string_view m_data;
    char m_version = 0;
};

// A zone name names a file below the zone folder, never a path out of it.
bool IsZoneName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.size() > 255) {
        return false;
    }
    size_t begin = 0;
    while (begin <= name.size()) {
        const size_t slash = std::min(name.find('/', begin), name.size());
        const std::string_view part = name.substr(begin, slash - begin);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        begin = slash + 1;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("/_+-.").find(c) != std::string_view::npos;
    });
}

std::optional<CZone> LoadZone(const std::string& name) {
    const char* folder = std::getenv("TZDIR");
    const std::filesystem::path file =
        std::filesystem::path(folder && *folder ? folder : "/usr/share/zoneinfo") / name;
    const auto data = platform::ReadWholeFile(file);
    return data ? CTzifReader(*data).Read() : std::nullopt;
}

} // namespace

namespace platform {

std::optional<long> ZoneUtcOffset(std::string_view zone, std::int64_t unixSeconds) {
    if (!IsZoneName(zone)) {
        return std::nullopt;
    }
    // Never destroyed: detached threads may still ask for local time while the process exits.
    static auto* cacheLock = new std::mutex;
    static auto* cache = new std::map<std::string, std::optional<CZone>, std::less<>>;
    std::lock_guard lock(*cacheLock);
    auto found = cache->find(zone);
    if (found == cache->end()) {
        found = cache->emplace(std::string(zone), LoadZone(std::string(zone))).first;
    }
    if (!found->second) {
        return std::nullopt;
    }
    return found->second->OffsetAt(unixSeconds);
}

} // namespace platform
