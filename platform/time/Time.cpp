// System and local time, file times, tick counts and the performance counter.
#include <time.h>

#include "platform/internal.h"
#include "platform/time.h"

namespace {

constexpr ULONGLONG kTicksPerMillisecond = 10'000;
constexpr ULONGLONG kTicksPerSecond = 1000 * kTicksPerMillisecond;
constexpr ULONGLONG kTicksPerMinute = 60 * kTicksPerSecond;
constexpr ULONGLONG kTicksPerHour = 60 * kTicksPerMinute;
constexpr ULONGLONG kTicksPerDay = 24 * kTicksPerHour;
constexpr ULONGLONG kMaxFileTime = 0x7FFFFFFFFFFFFFFFull;
constexpr ULONGLONG kUnixEpochTicks = 116'444'736'000'000'000ull;
constexpr LONGLONG kPerformanceFrequency = 10'000'000;
constexpr WORD kFirstYear = 1601;
constexpr WORD kLastYear = 30827;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
constexpr LONGLONG DaysFromCivil(LONGLONG year, unsigned month, unsigned day) {
    year -= month <= 2;
    const LONGLONG era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<LONGLONG>(dayOfEra) - 719468;
}

struct CCivilDate {
    LONGLONG year;
    unsigned month;
    unsigned day;
};

constexpr CCivilDate CivilFromDays(LONGLONG days) {
    days += 719468;
    const LONGLONG era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    return {static_cast<LONGLONG>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

constexpr LONGLONG kDaysBefore1970 = -DaysFromCivil(kFirstYear, 1, 1);

unsigned DaysInMonth(unsigned year, unsigned month) {
    constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

ULONGLONG TicksOf(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOf(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

SYSTEMTIME SystemTimeOf(ULONGLONG ticks) {
    const auto days = static_cast<LONGLONG>(ticks / kTicksPerDay);
    const ULONGLONG rest = ticks % kTicksPerDay;
    const CCivilDate date = CivilFromDays(days - kDaysBefore1970);
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(date.year);
    time.wMonth = static_cast<WORD>(date.month);
    time.wDay = static_cast<WORD>(date.day);
    time.wDayOfWeek = static_cast<WORD>((days + 1) % 7); // 1601-01-01 was a Monday
    time.wHour = static_cast<WORD>(rest / kTicksPerHour);
    time.wMinute = static_cast<WORD>(rest % kTicksPerHour / kTicksPerMinute);
    time.wSecond = static_cast<WORD>(rest % kTicksPerMinute / kTicksPerSecond);
    time.wMilliseconds = static_cast<WORD>(rest % kTicksPerSecond / kTicksPerMillisecond);
    return time;
}

bool IsValid(const SYSTEMTIME& time) {
    return time.wYear >= kFirstYear && time.wYear <= kLastYear && time.wMonth >= 1 && time.wMonth <= 12 &&
           time.wDay >= 1 && time.wDay <= DaysInMonth(time.wYear, time.wMonth) && time.wHour < 24 &&
           time.wMinute < 60 && time.wSecond < 60 && time.wMilliseconds < 1000;
}

timespec ClockNow(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return now;
}

ULONGLONG SystemTicksNow() {
    const timespec now = ClockNow(CLOCK_REALTIME);
    return kUnixEpochTicks + static_cast<ULONGLONG>(now.tv_sec) * kTicksPerSecond +
           static_cast<ULONGLONG>(now.tv_nsec) / 100;
}

// Seconds east of UTC now: the machine's time zone when it names a known one, else the process's TZ.
long LocalUtcOffsetNow() {
    const std::time_t now = std::time(nullptr);
    const nlohmann::json zone = platform::MachineFact("/timeZone");
    if (zone.is_string()) {
        if (const auto offset = platform::ZoneUtcOffset(zone.get<std::string>(), now)) {
            return *offset;
        }
    }
    std::tm local{};
    return localtime_r(&now, &local) ? local.tm_gmtoff : 0;
}

BOOL Fail() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

// Moves a file time by the local bias (direction +1 to local time, -1 back), within the valid range.
BOOL ShiftByLocalBias(const FILETIME* from, FILETIME* to, int direction) {
    if (!from || !to) {
        return Fail();
    }
    const LONGLONG shift =
        direction * static_cast<LONGLONG>(LocalUtcOffsetNow()) * static_cast<LONGLONG>(kTicksPerSecond);
    const ULONGLONG ticks = TicksOf(*from);
    if (ticks > kMaxFileTime || (shift < 0 && ticks < static_cast<ULONGLONG>(-shift)) ||
        (shift > 0 && ticks > kMaxFileTime - static_cast<ULONGLONG>(shift))) {
        return Fail();
    }
    *to = FileTimeOf(ticks + static_cast<ULONGLONG>(shift));
    return TRUE;
}

} // namespace

void GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    *lpSystemTime = SystemTimeOf(SystemTicksNow());
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    const auto offset = static_cast<LONGLONG>(LocalUtcOffsetNow()) * static_cast<LONGLONG>(kTicksPerSecond);
    *lpSystemTime = SystemTimeOf(static_cast<ULONGLONG>(static_cast<LONGLONG>(SystemTicksNow()) + offset));
}

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    *lpSystemTimeAsFileTime = FileTimeOf(SystemTicksNow());
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (!lpFileTime || !lpSystemTime || TicksOf(*lpFileTime) > kMaxFileTime) {
        return Fail();
    }
    *lpSystemTime = SystemTimeOf(TicksOf(*lpFileTime));
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    if (!lpSystemTime || !lpFileTime || !IsValid(*lpSystemTime)) {
        return Fail();
    }
    const SYSTEMTIME& time = *lpSystemTime;
    const auto days =
        static_cast<ULONGLONG>(DaysFromCivil(time.wYear, time.wMonth, time.wDay) + kDaysBefore1970);
    *lpFileTime =
        FileTimeOf(days * kTicksPerDay + time.wHour * kTicksPerHour + time.wMinute * kTicksPerMinute +
                   time.wSecond * kTicksPerSecond + time.wMilliseconds * kTicksPerMillisecond);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    return ShiftByLocalBias(lpFileTime, lpLocalFileTime, +1);
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
    return ShiftByLocalBias(lpLocalFileTime, lpFileTime, -1);
}

LONG CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2) {
    const ULONGLONG first = TicksOf(*lpFileTime1);
    const ULONGLONG second = TicksOf(*lpFileTime2);
    return first < second ? -1 : (first > second ? 1 : 0);
}

DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());
}

ULONGLONG GetTickCount64() {
    const timespec now = ClockNow(CLOCK_BOOTTIME);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000 + static_cast<ULONGLONG>(now.tv_nsec) / 1'000'000;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    if (!lpPerformanceCount) {
        return Fail();
    }
    const timespec now = ClockNow(CLOCK_MONOTONIC);
    lpPerformanceCount->QuadPart =
        static_cast<LONGLONG>(now.tv_sec) * kPerformanceFrequency + now.tv_nsec / 100;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    if (!lpFrequency) {
        return Fail();
    }
    lpFrequency->QuadPart = kPerformanceFrequency;
    return TRUE;
}
