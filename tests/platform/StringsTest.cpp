// The formatter: conversions, sizes, flags, widths and precisions in wide and narrow formats, the
// failures, and the buffer functions built on it (cutting, counts, terminators, strsafe results).
#include <cerrno>
#include <climits>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "platform/strings.h"

namespace {

std::wstring Wide(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring out;
    platform::FormatV(out, format, args);
    va_end(args);
    return out;
}

std::string Narrow(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out;
    platform::FormatV(out, format, args);
    va_end(args);
    return out;
}

template <typename Char> struct FormatResult {
    int result;
    std::basic_string<Char> text;
};

template <typename Char> FormatResult<Char> FormatLimited(size_t maxChars, const Char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatResult<Char> formatted{0, {}};
    formatted.result = platform::FormatV(formatted.text, format, args, maxChars);
    va_end(args);
    return formatted;
}

struct WideCase {
    const char* what;
    std::wstring actual;
    const wchar_t* expected;
};

TEST(StringsFormatter, WideFormatsFollowTheRunTimeRules) {
    const WideCase cases[] = {
        {"%s is wide", Wide(L"[%s]", L"wide"), L"[wide]"},
        {"%hs is narrow", Wide(L"[%hs]", "narrow"), L"[narrow]"},
        {"%S is narrow", Wide(L"[%S]", "narrow"), L"[narrow]"},
        {"%ls is wide", Wide(L"[%ls]", L"wide"), L"[wide]"},
        {"%ws is wide", Wide(L"[%ws]", L"wide"), L"[wide]"},
        {"%hs widens bytes in the C locale", Wide(L"%hs", "caf\xE9"), L"caf\xE9"},
        {"%c is wide", Wide(L"%c", L'\x4E2D'), L"\x4E2D"},
        {"%hc and %C are narrow", Wide(L"%hc%C", 'a', 'b'), L"ab"},
        {"null wide string", Wide(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)"},
        {"null narrow string", Wide(L"%hs", static_cast<const char*>(nullptr)), L"(null)"},
        {"precision cuts (null)", Wide(L"%.3s", static_cast<const wchar_t*>(nullptr)), L"(nu"},
        {"string width and precision", Wide(L"[%6.3s][%-5s]", L"abcdef", L"ab"), L"[   abc][ab   ]"},
        {"zero flag pads strings with zeros", Wide(L"%05s", L"ab"), L"000ab"},
        {"precision without terminator", Wide(L"%.*s", 2, L"abcdef"), L"ab"},
        {"char width", Wide(L"[%3c][%-3c]", L'x', L'y'), L"[  x][y  ]"},
        {"percent", Wide(L"100%% %d%%", 5), L"100% 5%"},
        {"signed", Wide(L"%d %i %d", -42, 7, INT_MIN), L"-42 7 -2147483648"},
        {"width", Wide(L"[%5d][%-5d]", 42, 42), L"[   42][42   ]"},
        {"zero padding after the sign", Wide(L"%05d", -42), L"-0042"},
        {"plus and blank", Wide(L"[%+d][% d][%+d][% d]", 42, 42, -1, -1), L"[+42][ 42][-1][-1]"},
        {"precision gives minimum digits", Wide(L"%.3d", 7), L"007"},
        {"precision 0 prints no zero", Wide(L"[%.0d][%.0x]", 0, 0), L"[][]"},
        {"zero flag ignored with a precision", Wide(L"%08.3d", 7), L"     007"},
        {"left wins over zero", Wide(L"[%-05d]", 3), L"[3    ]"},
        {"unsigned", Wide(L"%u", 4294967295u), L"4294967295"},
        {"hex and octal", Wide(L"%x %X %o", 255, 255, 8), L"ff FF 10"},
        {"alternate forms", Wide(L"%#x %#X %#o", 255, 255, 8), L"0xff 0XFF 010"},
        {"alternate forms of zero", Wide(L"%#x %#o", 0, 0), L"0 0"},
        {"zero padding after 0x", Wide(L"%#06x", 10), L"0x000a"},
        {"short sizes", Wide(L"%hd %hu", 65535, -1), L"-1 65535"},
        {"long is 32 bits", Wide(L"%ld %lu %lx", static_cast<long>(0x100000005LL), 4000000000ul, -1L),
         L"5 4000000000 ffffffff"},
        {"LONG through %ld", Wide(L"%ld", static_cast<LONG>(-7)), L"-7"},
        {"%I64d", Wide(L"%I64d", INT64_MIN), L"-9223372036854775808"},
        {"%I64u and %I64x", Wide(L"%I64u %I64x", UINT64_MAX, 0x123456789ABCDEF0ull),
         L"18446744073709551615 123456789abcdef0"},
        {"%lld and %I32d", Wide(L"%lld %I32d", -5LL, -6), L"-5 -6"},
        {"pointer-size %Id %Iu and %zu", Wide(L"%Id %Iu %zu", static_cast<INT_PTR>(-1), SIZE_MAX, size_t{9}),
         L"-1 18446744073709551615 9"},
        {"%07I64d of a negative number", Wide(L"%07I64d", -42LL), L"-000042"},
        {"seconds and 100-ns units", Wide(L"%I64d.%07I64d", 12LL, 345678LL), L"12.0345678"},
        {"%p as Windows prints it", Wide(L"%p", reinterpret_cast<void*>(0x1234ABCDu)), L"000000001234ABCD"},
        {"%p of null", Wide(L"%p", nullptr), L"0000000000000000"},
        {"star width and precision", Wide(L"[%*d][%.*d]", 5, 42, 3, 7), L"[   42][007]"},
        {"negative star width is left", Wide(L"[%*d]", -5, 42), L"[42   ]"},
        {"negative star precision is none", Wide(L"[%.*d]", -1, 42), L"[42]"},
        {"fixed", Wide(L"%f %.2f %lf", 3.14159, 3.14159, 0.5), L"3.141590 3.14 0.500000"},
        {"exponent", Wide(L"%e %E", 12345.678, 0.00012), L"1.234568e+04 1.200000E-04"},
        {"general", Wide(L"%g %G %g", 0.0001, 1e-10, 100000.0), L"0.0001 1E-10 100000"},
        {"float flags", Wide(L"[%+.1f][%08.2f][%-7.1f][%#.0f]", 2.0, -3.5, 1.25, 3.0),
         L"[+2.0][-0003.50][1.2    ][3.]"},
    };
    for (const WideCase& c : cases) {
        EXPECT_EQ(c.actual, c.expected) << c.what;
    }
}

TEST(StringsFormatter, NarrowFormatsSwapTheStringWidths) {
    struct Case {
        const char* what;
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {"%s is narrow", Narrow("[%s]", "narrow"), "[narrow]"},
        {"%S and %ls are wide", Narrow("[%S][%ls][%ws]", L"a", L"b", L"c"), "[a][b][c]"},
        {"%C and %lc are wide", Narrow("%C%lc%c", L'x', L'y', 'z'), "xyz"},
        {"%ls narrows in the C locale", Narrow("%ls", L"caf\xE9"), "caf\xE9"},
        {"numbers as in wide formats", Narrow("%07I64d|%-4x|%p", -42LL, 255, nullptr),
         "-000042|ff  |0000000000000000"},
        {"null string", Narrow("%s", static_cast<const char*>(nullptr)), "(null)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.actual, c.expected) << c.what;
    }
}

TEST(StringsFormatter, InvalidDirectivesStopTheFormat) {
    struct Case {
        const wchar_t* format;
        const wchar_t* before;
    };
    int count = 0;
    const Case cases[] = {
        {L"ab%n", L"ab"}, {L"ab%k", L"ab"}, {L"ab%", L"ab"},       {L"a%I64s", L"a"},
        {L"a%hp", L"a"},  {L"a%5%", L"a"},  {L"%.1lf%hf", L"1.5"},
    };
    for (const Case& c : cases) {
        errno = 0;
        // The arguments a directive could take: a double, then the count %n would write.
        const auto formatted = FormatLimited(SIZE_MAX, c.format, 1.5, &count);
        EXPECT_EQ(formatted.result, -1) << c.format;
        EXPECT_EQ(errno, EINVAL) << c.format;
        EXPECT_EQ(formatted.text, c.before) << c.format;
    }
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FormatLimited<wchar_t>(SIZE_MAX, nullptr).result, -1);
}

TEST(StringsFormatter, WideCharacterWithoutNarrowFormFails) {
    errno = 0;
    const auto formatted = FormatLimited(SIZE_MAX, "ok %ls", L"\x4E2D");
    EXPECT_EQ(formatted.result, -1);
    EXPECT_EQ(errno, EILSEQ);
    EXPECT_EQ(formatted.text, "ok ");
}

TEST(StringsFormatter, LimitKeepsTheStartAndCountsTheWhole) {
    const auto formatted = FormatLimited(5, L"%s-%08d", L"abc", 7);
    EXPECT_EQ(formatted.result, 12);
    EXPECT_EQ(formatted.text, L"abc-0");
    // A huge width is counted, not made.
    EXPECT_EQ(FormatLimited(4, L"%1000000000d", 1).result, 1000000000);
}

// ---- Buffer functions ----

constexpr wchar_t kSentinel = L'#';

struct Buffer {
    wchar_t chars[16];
    Buffer() { std::fill(std::begin(chars), std::end(chars), kSentinel); }
};

TEST(SwprintfS, WholeTextOrEmptyBuffer) {
    struct Case {
        size_t size;
        int result;
        const wchar_t* text;
    };
    const Case cases[] = {{10, 6, L"abc-42"}, {7, 6, L"abc-42"}, {6, -1, L""}, {1, -1, L""}};
    for (const Case& c : cases) {
        Buffer buffer;
        errno = 0;
        EXPECT_EQ(swprintf_s(buffer.chars, c.size, L"%s-%d", L"abc", 42), c.result) << c.size;
        EXPECT_STREQ(buffer.chars, c.text) << c.size;
        EXPECT_EQ(errno, c.result < 0 ? ERANGE : 0) << c.size;
        EXPECT_EQ(buffer.chars[c.size], kSentinel) << c.size;
    }
}

TEST(SwprintfS, InvalidParametersAndArrayForm) {
    Buffer buffer;
    EXPECT_EQ(swprintf_s(nullptr, 10, L"x"), -1);
    EXPECT_EQ(swprintf_s(buffer.chars, 0, L"x"), -1);
    EXPECT_EQ(swprintf_s(buffer.chars, 10, nullptr), -1);
    EXPECT_EQ(buffer.chars[0], kSentinel);
    wchar_t array[4];
    EXPECT_EQ(swprintf_s(array, L"%d", 123), 3);
    EXPECT_STREQ(array, L"123");
    EXPECT_EQ(swprintf_s(array, L"%d", 1234), -1);
    EXPECT_STREQ(array, L"");
    char narrow[8];
    EXPECT_EQ(sprintf_s(narrow, sizeof(narrow), "%s=%d", "k", 5), 3);
    EXPECT_STREQ(narrow, "k=5");
}

TEST(SnwprintfS, CutsAtCountOrBuffer) {
    struct Case {
        size_t size;
        size_t count;
        int result;
        const wchar_t* text;
    };
    const Case cases[] = {
        {10, _TRUNCATE, 6, L"abcdef"}, // fits
        {7, _TRUNCATE, 6, L"abcdef"},  // fits exactly with the terminator
        {4, _TRUNCATE, -1, L"abc"},    // cut to the buffer
        {10, 3, -1, L"abc"},           // cut to the count
        {10, 6, 6, L"abcdef"},         // count just enough
        {4, 10, -1, L""},              // buffer too small, count does not limit: emptied
        {4, 4, -1, L""},               // count not below the buffer size: emptied
        {4, 3, -1, L"abc"},            // count below the buffer size: cut
    };
    for (const Case& c : cases) {
        Buffer buffer;
        EXPECT_EQ(_snwprintf_s(buffer.chars, c.size, c.count, L"%s", L"abcdef"), c.result)
            << c.size << "/" << c.count;
        EXPECT_STREQ(buffer.chars, c.text) << c.size << "/" << c.count;
        EXPECT_EQ(buffer.chars[c.size], kSentinel) << c.size << "/" << c.count;
    }
    EXPECT_EQ(_snwprintf_s(nullptr, 0, 0, L"x"), 0);
    EXPECT_EQ(_snwprintf_s(nullptr, 4, _TRUNCATE, L"x"), -1);
    char narrow[4];
    EXPECT_EQ(_snprintf_s(narrow, sizeof(narrow), _TRUNCATE, "%d", 12345), -1);
    EXPECT_STREQ(narrow, "123");
}

TEST(Snwprintf, TerminatesOnlyWhenThereIsRoom) {
    struct Case {
        size_t count;
        int result;
        std::wstring content; // the first count + 1 characters of the buffer
    };
    const Case cases[] = {
        {8, 6, std::wstring(L"abcdef\0#", 8) + kSentinel},
        {6, 6, L"abcdef#"},
        {4, -1, L"abcd#"},
    };
    for (const Case& c : cases) {
        Buffer buffer;
        EXPECT_EQ(_snwprintf(buffer.chars, c.count, L"%s", L"abcdef"), c.result) << c.count;
        EXPECT_EQ(std::wstring(buffer.chars, c.content.size()), c.content) << c.count;
    }
    EXPECT_EQ(_snwprintf(nullptr, 0, L"%d", 12345), 5);
    EXPECT_EQ(_snwprintf(nullptr, 3, L"%d", 1), -1);
}

TEST(StringCchPrintfW, InsufficientBufferKeepsTheCutTextTerminated) {
    Buffer buffer;
    EXPECT_EQ(StringCchPrintfW(buffer.chars, 4, L"%s%d", L"ab", 345), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer.chars, L"ab3");
    EXPECT_EQ(StringCchPrintfW(buffer.chars, 6, L"%s%d", L"ab", 345), S_OK);
    EXPECT_STREQ(buffer.chars, L"ab345");
    EXPECT_EQ(StringCchPrintfW(buffer.chars, 0, L"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchPrintfW(buffer.chars, STRSAFE_MAX_CCH + size_t{1}, L"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_STREQ(buffer.chars, L"");
    EXPECT_EQ(StringCchPrintfW(buffer.chars, 8, L"ab%n"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer.chars, L"ab");
}

TEST(WsprintfW, StopsAt1024CharactersWithTheTerminator) {
    const std::wstring longText(2000, L'x');
    std::wstring out(1100, kSentinel);
    EXPECT_EQ(wsprintfW(out.data(), L"%s", longText.c_str()), 1023);
    EXPECT_EQ(out.find(L'\0'), 1023u);
    EXPECT_EQ(out[1024], kSentinel);
    EXPECT_EQ(wsprintfW(out.data(), L"%d-%s", 5, L"x"), 3);
    EXPECT_STREQ(out.c_str(), L"5-x");
}

} // namespace
