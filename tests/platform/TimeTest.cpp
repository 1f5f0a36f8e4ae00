// Time: conversions between file times and calendar times, local time, time zones and the clocks.
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/threads.h"
#include "platform/time.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;

constexpr ULONGLONG kTicksPerSecond = 10'000'000;

FILETIME FileTime(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::string Describe(const SYSTEMTIME& t) {
    char text[64];
    std::snprintf(text, sizeof(text), "%05u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// ---- File time <-> system time ----

TEST(TimeConversion, FileTimesAndCalendarTimesMatch) {
    struct Case {
        ULONGLONG ticks;
        SYSTEMTIME time;
    };
    const Case cases[] = {
        {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
        {116444736000000000ull, {1970, 1, 4, 1, 0, 0, 0, 0}},
        {125963012967890000ull, {2000, 2, 2, 29, 12, 34, 56, 789}},
        {94405823999990000ull, {1900, 2, 3, 28, 23, 59, 59, 999}},
        {94405824000000000ull, {1900, 3, 4, 1, 0, 0, 0, 0}},
        {133801631999990000ull, {2024, 12, 2, 31, 23, 59, 59, 999}},
        {9223149887999990000ull, {30827, 12, 5, 31, 23, 59, 59, 999}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Describe(c.time));
        const FILETIME fileTime = FileTime(c.ticks);
        SYSTEMTIME time{};
        ASSERT_TRUE(FileTimeToSystemTime(&fileTime, &time));
        EXPECT_EQ(Describe(time), Describe(c.time));
        EXPECT_EQ(time.wDayOfWeek, c.time.wDayOfWeek);

        SYSTEMTIME withWrongWeekday = c.time;
        withWrongWeekday.wDayOfWeek = 6;
        FILETIME back{};
        ASSERT_TRUE(SystemTimeToFileTime(&withWrongWeekday, &back));
        EXPECT_EQ(Ticks(back), c.ticks);
    }
}

TEST(TimeConversion, SubMillisecondTicksAreDroppedAndTheLastFileTimeConverts) {
    const FILETIME last = FileTime(0x7FFFFFFFFFFFFFFFull);
    SYSTEMTIME time{};
    ASSERT_TRUE(FileTimeToSystemTime(&last, &time));
    EXPECT_EQ(Describe(time), "30828-09-14 02:48:05.477");
}

TEST(TimeConversion, InvalidTimesFail) {
    const SYSTEMTIME valid{2024, 2, 4, 29, 12, 0, 0, 0};
    struct Case {
        const char* name;
        WORD SYSTEMTIME::*field;
        WORD value;
    };
    const Case cases[] = {
        {"year before 1601", &SYSTEMTIME::wYear, 1600},
        {"year after 30827", &SYSTEMTIME::wYear, 30828},
        {"month 0", &SYSTEMTIME::wMonth, 0},
        {"month 13", &SYSTEMTIME::wMonth, 13},
        {"day 0", &SYSTEMTIME::wDay, 0},
        {"February 30 of a leap year", &SYSTEMTIME::wDay, 30},
        {"hour 24", &SYSTEMTIME::wHour, 24},
        {"minute 60", &SYSTEMTIME::wMinute, 60},
        {"second 60", &SYSTEMTIME::wSecond, 60},
        {"millisecond 1000", &SYSTEMTIME::wMilliseconds, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SYSTEMTIME time = valid;
        time.*c.field = c.value;
        FILETIME out{1, 2};
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&time, &out));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    const SYSTEMTIME notLeap[] = {
        {1900, 2, 0, 29, 0, 0, 0, 0}, {2023, 2, 0, 29, 0, 0, 0, 0}, {2024, 4, 0, 31, 0, 0, 0, 0}};
    for (const SYSTEMTIME& time : notLeap) {
        SCOPED_TRACE(Describe(time));
        FILETIME out{};
        EXPECT_FALSE(SystemTimeToFileTime(&time, &out));
    }
    FILETIME valid2000{};
    const SYSTEMTIME leap2000{2000, 2, 0, 29, 0, 0, 0, 0};
    EXPECT_TRUE(SystemTimeToFileTime(&leap2000, &valid2000));

    const FILETIME tooLate = FileTime(0x8000000000000000ull);
    SYSTEMTIME out{};
    SetLastError(0);
    EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &out));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(TimeConversion, CompareFileTimeOrdersByTheWholeValue) {
    struct Case {
        FILETIME first;
        FILETIME second;
        LONG expected;
    };
    const Case cases[] = {
        {{5, 1}, {5, 1}, 0},
        {{4, 1}, {5, 1}, -1},
        {{0xFFFFFFFF, 1}, {0, 2}, -1},
        {{0, 2}, {0xFFFFFFFF, 1}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareFileTime(&c.first, &c.second), c.expected);
    }
}

// ---- Local time ----

// Sets the process's TZ for a test and puts the old one back.
class TimeLocal : public testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) {
            m_previousTz = tz;
        }
    }
    void TearDown() override {
        if (m_previousTz) {
            setenv("TZ", m_previousTz->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    static void UseTz(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    void SetMachineTimeZone(const std::string& zone) {
        testing_support::SetMachineFact(m_machine.Folder(), "/timeZone", zone);
    }
    // The shift FileTimeToLocalFileTime applies, in seconds; LocalFileTimeToFileTime must undo it.
    static LONGLONG LocalShift() {
        const FILETIME utc = FileTime(133801631999990000ull);
        FILETIME local{};
        FILETIME back{};
        EXPECT_TRUE(FileTimeToLocalFileTime(&utc, &local));
        EXPECT_TRUE(LocalFileTimeToFileTime(&local, &back));
        EXPECT_EQ(Ticks(back), Ticks(utc));
        return (static_cast<LONGLONG>(Ticks(local)) - static_cast<LONGLONG>(Ticks(utc))) /
               static_cast<LONGLONG>(kTicksPerSecond);
    }

    testing_support::CTestMachine m_machine;
    std::optional<std::string> m_previousTz;
};

TEST_F(TimeLocal, FileTimesShiftByTheProcessTimeZone) {
    struct Case {
        const char* tz;
        LONGLONG shift;
    };
    const Case cases[] = {
        {"UTC0", 0},
        {"JST-9", 9 * 3600},
        {"<-03>3", -3 * 3600},
        {"IST-5:30", 5 * 3600 + 1800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        UseTz(c.tz);
        EXPECT_EQ(LocalShift(), c.shift);
    }
}

TEST_F(TimeLocal, TheBiasInForceNowAppliesToEveryDate) {
    UseTz("Europe/Berlin");
    const FILETIME winter = FileTime(133801631999990000ull); // December
    const FILETIME summer = FileTime(133640000000000000ull); // June
    FILETIME winterLocal{};
    FILETIME summerLocal{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&winter, &winterLocal));
    ASSERT_TRUE(FileTimeToLocalFileTime(&summer, &summerLocal));
    EXPECT_EQ(Ticks(winterLocal) - Ticks(winter), Ticks(summerLocal) - Ticks(summer));
}

TEST_F(TimeLocal, ShiftsOutOfRangeFail) {
    UseTz("JST-9");
    const FILETIME last = FileTime(0x7FFFFFFFFFFFFFFFull);
    FILETIME out{};
    SetLastError(0);
    EXPECT_FALSE(FileTimeToLocalFileTime(&last, &out));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    const FILETIME first = FileTime(0);
    EXPECT_FALSE(LocalFileTimeToFileTime(&first, &out));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(TimeLocal, TheMachineTimeZoneWinsOverTheProcessOne) {
    UseTz("UTC0");
    SetMachineTimeZone("Asia/Kolkata");
    EXPECT_EQ(LocalShift(), 5 * 3600 + 1800);

    SYSTEMTIME local{};
    GetLocalTime(&local);
    FILETIME localAsFileTime{};
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localAsFileTime));
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto shift = static_cast<LONGLONG>(Ticks(localAsFileTime)) - static_cast<LONGLONG>(Ticks(now));
    EXPECT_NEAR(static_cast<double>(shift) / kTicksPerSecond, 5 * 3600 + 1800, 5.0);
}

TEST_F(TimeLocal, AnUnusableMachineTimeZoneLeavesTheProcessOne) {
    UseTz("JST-9");
    for (const char* zone :
         {"Mars/Olympus_Mons", "../../../etc/passwd", "/usr/share/zoneinfo/UTC", "", "Europe"}) {
        SCOPED_TRACE(zone);
        SetMachineTimeZone(zone);
        EXPECT_EQ(LocalShift(), 9 * 3600);
    }
}

// ---- Time zone data ----

TEST(TimeZone, OffsetsFollowTheZoneTablesAndTheirLaterRules) {
    struct Case {
        const char* zone;
        std::int64_t unixSeconds;
        long offset;
    };
    const Case cases[] = {
        {"America/New_York", 1673740800, -18000}, // 2023-01-15
        {"America/New_York", 1689379200, -14400}, // 2023-07-15
        {"America/New_York", 2841350400, -18000}, // 2060-01-15, past the table: by the rule
        {"America/New_York", 2857075200, -14400}, // 2060-07-15
        {"Australia/Sydney", 2841350400, 39600},  // southern summer
        {"Australia/Sydney", 2857075200, 36000},
        {"Asia/Tokyo", 1717200000, 32400},
        {"Europe/Berlin", 1711846799, 3600}, // 2024-03-31 00:59:59 UTC, a second before the change
        {"Europe/Berlin", 1711846800, 7200},
        {"Europe/Berlin", 2531955599, 3600}, // 2050-03-27, by the rule
        {"Europe/Berlin", 2531955600, 7200},
        {"Europe/Berlin", 2550704399, 7200}, // 2050-10-30
        {"Europe/Berlin", 2550704400, 3600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.zone << " at " << c.unixSeconds);
        EXPECT_EQ(platform::ZoneUtcOffset(c.zone, c.unixSeconds), c.offset);
    }
}

// Zone files written for a test, read through TZDIR.
class TimeZoneFiles : public testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("flipdeck-zones-" + std::to_string(getpid()));
        fs::create_directories(m_folder);
        setenv("TZDIR", m_folder.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TZDIR");
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    void Write(const std::string& name, const std::string& content) {
        std::ofstream(m_folder / name, std::ios::binary) << content;
    }

    fs::path m_folder;
};

std::string BigEndian32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

const std::string kUtcType = BigEndian32(0) + std::string("\0\0", 2) + std::string("UTC\0", 4);

// A version 2 header: magic, version, 15 reserved bytes, then the six counts.
std::string Header(std::uint32_t transitions, std::uint32_t types, std::uint32_t chars) {
    return "TZif2" + std::string(15, '\0') + BigEndian32(0) + BigEndian32(0) + BigEndian32(0) +
           BigEndian32(transitions) + BigEndian32(types) + BigEndian32(chars);
}

// One type of offset 0, no transitions, and a rule for all times.
std::string RuleOnlyZone(const std::string& rule) {
    const std::string block = Header(0, 1, 4) + kUtcType;
    return block + block + "\n" + rule + "\n";
}

TEST_F(TimeZoneFiles, AFileWithoutTransitionsFollowsItsRule) {
    Write("Rule_Only", RuleOnlyZone("CET-1CEST,M3.5.0,M10.5.0/3"));
    EXPECT_EQ(platform::ZoneUtcOffset("Rule_Only", 1717200000), 7200); // June
    EXPECT_EQ(platform::ZoneUtcOffset("Rule_Only", 1704067200), 3600); // January
    Write("Julian_Rule", RuleOnlyZone("EST5EDT,J60/2,J300/2"));
    EXPECT_EQ(platform::ZoneUtcOffset("Julian_Rule", 1717200000), -14400);
    EXPECT_EQ(platform::ZoneUtcOffset("Julian_Rule", 1704067200), -18000);
}

TEST_F(TimeZoneFiles, MalformedFilesAreUnknownZones) {
    const std::string good = RuleOnlyZone("JST-9");
    // One transition to type 5 of the one type there is.
    const std::string badTypeIndex = Header(1, 1, 4) + BigEndian32(0) + "\x05" + kUtcType + Header(1, 1, 4) +
                                     std::string(8, '\0') + "\x05" + kUtcType + "\n\n";
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"Empty", ""},
        {"Magic_Only", "TZif"},
        {"Truncated", good.substr(0, good.size() / 2 - 3)},
        {"Huge_Counts", Header(0xFFFFFFFF, 1, 0xFFFFFFFF) + Header(0xFFFFFFFF, 1, 0xFFFFFFFF)},
        {"Too_Many_Types", Header(0, 0xFFFFFFFF, 0) + Header(0, 0xFFFFFFFF, 0)},
        {"No_Types", Header(0, 0, 0) + Header(0, 0, 0)},
        {"Bad_Type_Index", badTypeIndex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.name, c.content);
        EXPECT_FALSE(platform::ZoneUtcOffset(c.name, 1717200000).has_value());
    }
    Write("Good", good);
    EXPECT_EQ(platform::ZoneUtcOffset("Good", 1717200000), 32400);
}

// ---- Clocks ----

TEST(TimeClocks, TheClocksAgreeWithTheSystemClocks) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto unixSeconds = static_cast<double>(Ticks(now) - 116444736000000000ull) / kTicksPerSecond;
    const auto expected =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(unixSeconds, expected, 2.0);

    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    FILETIME utcAsFileTime{};
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &utcAsFileTime));
    EXPECT_NEAR(static_cast<double>(Ticks(utcAsFileTime)) / kTicksPerSecond,
                static_cast<double>(Ticks(now)) / kTicksPerSecond, 2.0);

    LARGE_INTEGER frequency{};
    LARGE_INTEGER before{};
    LARGE_INTEGER after{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 10'000'000);
    const ULONGLONG ticksBefore = GetTickCount64();
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    Sleep(20);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_GE(after.QuadPart - before.QuadPart, 20 * frequency.QuadPart / 1000);
    EXPECT_GE(GetTickCount64() - ticksBefore, 19u);
}

} // namespace
