// The run-time's safe copies, strsafe copies and lengths, comparisons, number conversions and the
// "C" locale conversions: results, error codes and what the buffers hold afterwards.
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "platform/strings.h"

namespace {

constexpr wchar_t kSentinel = L'#';

struct Buffer {
    wchar_t chars[12];
    Buffer() { std::fill(std::begin(chars), std::end(chars), kSentinel); }
};

struct CopyCase {
    const char* what;
    size_t size;
    const wchar_t* start; // the buffer's text before the call (wcscat_s)
    const wchar_t* source;
    errno_t result;
    const wchar_t* expected;
};

TEST(StringsSafeCopies, WcscpyAndWcscat) {
    const CopyCase copies[] = {
        {"fits", 8, L"", L"abc", 0, L"abc"},
        {"fits exactly", 4, L"", L"abc", 0, L"abc"},
        {"too small", 3, L"", L"abc", ERANGE, L""},
        {"null source", 8, L"", nullptr, EINVAL, L""},
    };
    for (const CopyCase& c : copies) {
        Buffer buffer;
        EXPECT_EQ(wcscpy_s(buffer.chars, c.size, c.source), c.result) << c.what;
        EXPECT_STREQ(buffer.chars, c.expected) << c.what;
    }
    const CopyCase appends[] = {
        {"fits", 8, L"ab", L"cd", 0, L"abcd"},
        {"fits exactly", 5, L"ab", L"cd", 0, L"abcd"},
        {"too small", 4, L"ab", L"cd", ERANGE, L""},
        {"null source", 8, L"ab", nullptr, EINVAL, L""},
    };
    for (const CopyCase& c : appends) {
        Buffer buffer;
        std::wcscpy(buffer.chars, c.start);
        EXPECT_EQ(wcscat_s(buffer.chars, c.size, c.source), c.result) << c.what;
        EXPECT_STREQ(buffer.chars, c.expected) << c.what;
    }
    Buffer unterminated;
    EXPECT_EQ(wcscat_s(unterminated.chars, 4, L"x"), EINVAL);
    EXPECT_EQ(unterminated.chars[0], L'\0');
    EXPECT_EQ(wcscpy_s(nullptr, 4, L"x"), EINVAL);
    EXPECT_EQ(wcscpy_s(unterminated.chars, 0, L"x"), EINVAL);
    wchar_t array[3];
    EXPECT_EQ(wcscpy_s(array, L"ab"), 0);
    EXPECT_EQ(wcscat_s(array, L"c"), ERANGE);
}

TEST(StringsSafeCopies, WcsncpyCountsAndTruncation) {
    struct Case {
        size_t size;
        size_t count;
        errno_t result;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {8, 2, 0, L"ab"},
        {8, 10, 0, L"abcdef"},
        {4, 3, 0, L"abc"},
        {4, 4, ERANGE, L""},
        {4, _TRUNCATE, STRUNCATE, L"abc"},
        {8, _TRUNCATE, 0, L"abcdef"},
        {8, 0, 0, L""},
    };
    for (const Case& c : cases) {
        Buffer buffer;
        EXPECT_EQ(wcsncpy_s(buffer.chars, c.size, L"abcdef", c.count), c.result) << c.size << "/" << c.count;
        EXPECT_STREQ(buffer.chars, c.expected) << c.size << "/" << c.count;
    }
    Buffer buffer;
    EXPECT_EQ(wcsncpy_s(buffer.chars, 8, nullptr, 1), EINVAL);
    EXPECT_EQ(wcsncpy_s(nullptr, 0, nullptr, 0), 0);
}

TEST(StringsSafeCopies, StrsafeCopyCatAndLength) {
    Buffer buffer;
    EXPECT_EQ(StringCchCopyW(buffer.chars, 4, L"abcdef"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer.chars, L"abc");
    EXPECT_EQ(StringCchCopyW(buffer.chars, 4, L"ab"), S_OK);
    EXPECT_EQ(StringCchCatW(buffer.chars, 4, L"cd"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer.chars, L"abc");
    EXPECT_EQ(StringCchCatW(buffer.chars, 6, L"d"), S_OK);
    EXPECT_STREQ(buffer.chars, L"abcd");
    EXPECT_EQ(StringCchCopyW(buffer.chars, 0, L"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchCopyW(buffer.chars, 8, nullptr), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_STREQ(buffer.chars, L"");

    Buffer unterminated;
    EXPECT_EQ(StringCchCatW(unterminated.chars, 4, L"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(unterminated.chars[0], kSentinel); // left as it was

    size_t length = 99;
    EXPECT_EQ(StringCchLengthW(L"abc", 4, &length), S_OK);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(StringCchLengthW(L"abc", 3, &length), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(StringCchLengthW(nullptr, 3, &length), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchLengthW(L"abc", STRSAFE_MAX_CCH + size_t{1}, nullptr), STRSAFE_E_INVALID_PARAMETER);

    char narrow[4];
    EXPECT_EQ(StringCchCopyA(narrow, sizeof(narrow), "abcd"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(narrow, "abc");
}

TEST(StringsComparisons, FoldAsciiOnly) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int sign;
    };
    const Case cases[] = {
        {L"Abc", L"aBC", 0},
        {L"abc", L"abd", -1},
        {L"abc", L"ab", 1},
        {L"_", L"a", -1},       // '_' sorts before the folded 'a', not after 'A'
        {L"\xC9", L"\xE9", -1}, // no folding beyond ASCII
        {L"001.002.092.015", L"001.002.092.014", 1},
    };
    const auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(_wcsicmp(c.a, c.b)), c.sign) << c.a << " " << c.b;
    }
    EXPECT_EQ(_wcsnicmp(L"HELLO world", L"hello there", 6), 0);
    EXPECT_LT(_wcsnicmp(L"HELLO world", L"hello xorld", 7), 0);
    EXPECT_EQ(_wcsnicmp(L"a", L"b", 0), 0);
    EXPECT_EQ(_stricmp("KOBAL", "kobal"), 0);
    EXPECT_GT(_stricmp("\xE9", "a"), 0); // bytes compare unsigned
    EXPECT_EQ(_wcsicmp(nullptr, L"a"), _NLSCMPERROR);
    EXPECT_EQ(_stricmp("a", nullptr), _NLSCMPERROR);
}

TEST(StringsNumbers, DecimalConversionsSaturate) {
    struct Case {
        const wchar_t* text;
        int asInt;
        long long asInt64;
    };
    const Case cases[] = {
        {L"42", 42, 42},
        {L"  \t-17x", -17, -17},
        {L"+5", 5, 5},
        {L"abc", 0, 0},
        {L"", 0, 0},
        {L"- 5", 0, 0},
        {L"22631", 22631, 22631},
        {L"99999999999", INT_MAX, 99999999999LL},
        {L"-99999999999", INT_MIN, -99999999999LL},
        {L"9223372036854775808", INT_MAX, LLONG_MAX},
        {L"-9223372036854775808", INT_MIN, LLONG_MIN},
        {L"-99999999999999999999", INT_MIN, LLONG_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(_wtoi(c.text), c.asInt) << c.text;
        EXPECT_EQ(_wtol(c.text), c.asInt) << c.text; // long is 32 bits on Windows
        EXPECT_EQ(_wtoi64(c.text), c.asInt64) << c.text;
    }
    errno = 0;
    EXPECT_EQ(_wtoi(L"3000000000"), INT_MAX);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(_wtoi(nullptr), 0);
    EXPECT_EQ(_wtoi64(nullptr), 0);
}

// strtol and its kin as the program calls them: long is 32 bits, as on Windows, whatever the host's is.
TEST(StringsNumbers, StrtolFamilyHasWindowsLongAndItsOverflowRules) {
    struct Case {
        const char* text;
        int base;
        long asLong;
        unsigned long asUnsigned;
        bool outOfRange; // for strtol
        size_t used;     // characters read
    };
    const Case cases[] = {
        {"2147483647", 10, 2147483647L, 2147483647UL, false, 10},
        {"2147483648", 10, 2147483647L, 2147483648UL, true, 10},
        {"-2147483648", 10, -2147483647L - 1, 2147483648UL, false, 11},
        {"-2147483649", 10, -2147483647L - 1, 2147483647UL, true, 11},
        {"4294967296", 10, 2147483647L, 4294967295UL, true, 10},
        {"  +12abc", 10, 12, 12, false, 5},
        {"-1", 10, -1, 4294967295UL, false, 2},
        {"0x7fffffff", 0, 2147483647L, 2147483647UL, false, 10},
        {"0X80000000", 16, 2147483647L, 2147483648UL, true, 10},
        {"017", 0, 15, 15, false, 3},
        {"zz", 36, 1295, 1295, false, 2},
        {"abc", 10, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char* end = nullptr;
        errno = 0;
        EXPECT_EQ(std::strtol(c.text, &end, c.base), c.asLong);
        EXPECT_EQ(errno, c.outOfRange ? ERANGE : 0);
        EXPECT_EQ(static_cast<size_t>(end - c.text), c.used);
        EXPECT_EQ(std::strtoul(c.text, nullptr, c.base), c.asUnsigned);
        const std::wstring wide(c.text, c.text + std::strlen(c.text));
        wchar_t* wideEnd = nullptr;
        EXPECT_EQ(std::wcstol(wide.c_str(), &wideEnd, c.base), c.asLong);
        EXPECT_EQ(static_cast<size_t>(wideEnd - wide.c_str()), c.used);
        EXPECT_EQ(std::wcstoul(wide.c_str(), nullptr, c.base), c.asUnsigned);
    }
    errno = 0;
    char* end = nullptr;
    const char* const text = "12";
    EXPECT_EQ(std::strtol(text, &end, 1), 0) << "no such base";
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(end, text);
}

TEST(StringsNumbers, ItowS) {
    struct Case {
        int value;
        int radix;
        size_t size;
        errno_t result;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {255, 16, 12, 0, L"ff"},      {-5, 10, 12, 0, L"-5"},
        {-1, 16, 12, 0, L"ffffffff"}, {INT_MIN, 10, 12, 0, L"-2147483648"},
        {5, 2, 12, 0, L"101"},        {35, 36, 12, 0, L"z"},
        {-12, 10, 4, 0, L"-12"},      {-123, 10, 4, ERANGE, L""},
        {1, 1, 12, EINVAL, L""},      {1, 37, 12, EINVAL, L""},
    };
    for (const Case& c : cases) {
        Buffer buffer;
        EXPECT_EQ(_itow_s(c.value, buffer.chars, c.size, c.radix), c.result) << c.value << "/" << c.radix;
        EXPECT_STREQ(buffer.chars, c.expected) << c.value << "/" << c.radix;
    }
    EXPECT_EQ(_itow_s(1, nullptr, 4, 10), EINVAL);
}

TEST(StringsCrtLocale, WcstombsS) {
    struct Case {
        const char* what;
        size_t size;
        size_t count;
        const wchar_t* text;
        errno_t result;
        size_t stored;
        const char* expected;
    };
    const Case cases[] = {
        {"fits", 8, _TRUNCATE, L"caf\xE9", 0, 5, "caf\xE9"},
        {"fits exactly", 5, 10, L"abcd", 0, 5, "abcd"},
        {"too small", 4, 10, L"abcd", ERANGE, 0, ""},
        {"truncated", 4, _TRUNCATE, L"abcd", STRUNCATE, 4, "abc"},
        {"count below the size", 8, 2, L"abcd", 0, 3, "ab"},
        {"no narrow form", 8, _TRUNCATE, L"a\x4E2D", EILSEQ, 0, ""},
        {"no narrow form beyond the count", 8, 1, L"a\x4E2D", 0, 2, "a"},
    };
    // The host's locale, should anything set it, changes nothing: the program's run-time stays in "C".
    for (const char* hostLocale : {"C", "C.UTF-8"}) {
        const std::string previous = std::setlocale(LC_ALL, nullptr);
        std::setlocale(LC_ALL, hostLocale);
        for (const Case& c : cases) {
            char buffer[12] = "#########";
            size_t stored = 99;
            EXPECT_EQ(wcstombs_s(&stored, buffer, c.size, c.text, c.count), c.result) << c.what << hostLocale;
            EXPECT_EQ(stored, c.stored) << c.what << hostLocale;
            EXPECT_STREQ(buffer, c.expected) << c.what << hostLocale;
        }
        std::setlocale(LC_ALL, previous.c_str());
    }
    size_t needed = 0;
    EXPECT_EQ(wcstombs_s(&needed, nullptr, 0, L"abc", 0), 0);
    EXPECT_EQ(needed, 4u);
    char buffer[4];
    EXPECT_EQ(wcstombs_s(&needed, nullptr, 4, L"abc", 3), EINVAL);
    EXPECT_EQ(wcstombs_s(&needed, buffer, 0, L"abc", 3), EINVAL);
    EXPECT_EQ(wcstombs_s(&needed, buffer, L"abc", _TRUNCATE), 0);
    EXPECT_STREQ(buffer, "abc");
}

TEST(StringsCrtLocale, WcstombsAndMbstowcsConvertAsTheRunTimeWhateverTheHostsLocale) {
    for (const char* hostLocale : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(hostLocale);
        const std::string previous = std::setlocale(LC_ALL, nullptr);
        std::setlocale(LC_ALL, hostLocale);
        char narrow[8] = "#######";
        EXPECT_EQ(std::wcstombs(narrow, L"caf\xE9", sizeof(narrow)), 4u);
        EXPECT_STREQ(narrow, "caf\xE9");
        EXPECT_EQ(std::wcstombs(nullptr, L"caf\xE9", 0), 4u);
        EXPECT_EQ(std::wcstombs(narrow, L"xyz", 2), 2u);
        EXPECT_STREQ(narrow, "xyf\xE9") << "no room for the terminator";
        errno = 0;
        EXPECT_EQ(std::wcstombs(narrow, L"a\x4E2D", sizeof(narrow)), static_cast<size_t>(-1));
        EXPECT_EQ(errno, EILSEQ);
        wchar_t wide[8] = {};
        EXPECT_EQ(std::mbstowcs(wide, "caf\xE9", 8), 4u);
        EXPECT_STREQ(wide, L"caf\xE9");
        std::setlocale(LC_ALL, previous.c_str());
    }
}

TEST(StringsCrtLocale, MbstowcsS) {
    wchar_t buffer[8];
    size_t stored = 0;
    EXPECT_EQ(mbstowcs_s(&stored, buffer, 8, "caf\xE9", _TRUNCATE), 0);
    EXPECT_EQ(stored, 5u);
    EXPECT_STREQ(buffer, L"caf\xE9");
    EXPECT_EQ(mbstowcs_s(&stored, buffer, 3, "abc", _TRUNCATE), STRUNCATE);
    EXPECT_STREQ(buffer, L"ab");
    EXPECT_EQ(mbstowcs_s(&stored, buffer, 3, "abc", 5), ERANGE);
    EXPECT_STREQ(buffer, L"");
    EXPECT_EQ(mbstowcs_s(&stored, nullptr, 0, "abcdef", 0), 0);
    EXPECT_EQ(stored, 7u);
    EXPECT_EQ(mbstowcs_s(&stored, buffer, 8, nullptr, 1), EINVAL);
}

} // namespace
