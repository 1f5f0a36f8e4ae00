// Code pages: 1252, 936 and UTF-8 both ways, the size query and the terminator, insufficient buffers,
// invalid input, default characters, the machine's ANSI code page, and conversions from many threads.
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/strings.h"
#include "tests/support/TestMachine.h"

namespace {

// "中文" in code page 936 and in UTF-8.
constexpr const char* kChinese936 = "\xD6\xD0\xCE\xC4";
constexpr const char* kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
constexpr const wchar_t* kChinese = L"\x4E2D\x6587";

std::wstring ToWide(UINT codePage, const std::string& bytes, DWORD flags = 0) {
    wchar_t buffer[64] = {};
    const int length =
        MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), buffer, 64);
    return std::wstring(buffer, static_cast<size_t>(length));
}

std::string ToNarrow(UINT codePage, const std::wstring& text, BOOL* usedDefault = nullptr,
                     const char* defaultChar = nullptr) {
    char buffer[64] = {};
    const int length = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), buffer,
                                           64, defaultChar, usedDefault);
    return std::string(buffer, static_cast<size_t>(length));
}

// Sets one fact of the test machine (the facts are read again when the file changes).
void SetFact(const testing_support::CTestMachine& machine, const std::string& key,
             const nlohmann::json& value) {
    const auto file = machine.Folder() / "facts.json";
    auto facts = nlohmann::json::parse(platform::ReadWholeFile(file).value_or("{}"));
    if (value.is_null()) {
        facts.erase(key);
    } else {
        facts[key] = value;
    }
    ASSERT_TRUE(platform::ReplaceFileAtomically(file, facts.dump()));
}

TEST(StringsCodePages, ConvertBothWays) {
    struct Case {
        UINT codePage;
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {1252, "caf\xE9 \x80", L"caf\xE9 \x20AC"},
        {936, kChinese936, kChinese},
        {936, std::string("a") + kChinese936 + "b", std::wstring(L"a") + kChinese + L"b"},
        {CP_UTF8, kChineseUtf8, kChinese},
        {CP_UTF8, "\xF0\x9F\x98\x80", L"\x1F600"},
        {1252, std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToWide(c.codePage, c.bytes), c.text) << c.codePage;
        EXPECT_EQ(ToNarrow(c.codePage, c.text), c.bytes) << c.codePage;
        EXPECT_EQ(platform::CodePageToWide(c.bytes, c.codePage), c.text) << c.codePage;
        EXPECT_EQ(platform::WideToCodePage(c.text, c.codePage), c.bytes) << c.codePage;
    }
}

TEST(StringsCodePages, SizeQueryAndTerminator) {
    EXPECT_EQ(MultiByteToWideChar(936, 0, kChinese936, 4, nullptr, 0), 2);
    EXPECT_EQ(MultiByteToWideChar(936, 0, kChinese936, -1, nullptr, 0), 3);
    wchar_t wide[3] = {L'#', L'#', L'#'};
    ASSERT_EQ(MultiByteToWideChar(936, 0, kChinese936, -1, wide, 3), 3);
    EXPECT_EQ(std::wstring(wide), kChinese);

    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kChinese, -1, nullptr, 0, nullptr, nullptr), 7);
    char narrow[7];
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, kChinese, -1, narrow, 7, nullptr, nullptr), 7);
    EXPECT_STREQ(narrow, kChineseUtf8);
}

TEST(StringsCodePages, InsufficientBufferFails) {
    wchar_t wide[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(936, 0, kChinese936, -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    char narrow[5];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kChinese, 2, narrow, 5, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(StringsCodePages, InvalidInputIsReplacedOrRefused) {
    const std::string invalidUtf8 = "a\xC3(b\xFF";
    EXPECT_EQ(ToWide(CP_UTF8, invalidUtf8), L"a\xFFFD(b\xFFFD");
    const std::string overlong = "\xC0\xAF";
    EXPECT_EQ(ToWide(CP_UTF8, overlong).find_first_not_of(L'\xFFFD'), std::wstring::npos);
    for (const std::string& bytes : {invalidUtf8, overlong, std::string("\xE4\xB8")}) {
        SetLastError(0);
        wchar_t buffer[16];
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                      static_cast<int>(bytes.size()), buffer, 16),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
    EXPECT_EQ(ToWide(CP_UTF8, "ok", MB_ERR_INVALID_CHARS), L"ok");
}

TEST(StringsCodePages, UnconvertibleCharactersUseTheDefaultCharacter) {
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToNarrow(1252, std::wstring(L"a") + kChinese, &usedDefault), "a??");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ToNarrow(1252, L"\xE9", &usedDefault), "\xE9");
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(ToNarrow(936, L"x\x0E01", nullptr, "*"), "x*");
    EXPECT_EQ(ToNarrow(CP_UTF8, L"a\xD800z"), "a\xEF\xBF\xBDz");
}

TEST(StringsCodePages, InvalidCallsFail) {
    wchar_t wide[8];
    char narrow[8];
    BOOL used = FALSE;
    struct Case {
        const char* what;
        std::function<int()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"empty input", [&] { return MultiByteToWideChar(1252, 0, "x", 0, wide, 8); },
         ERROR_INVALID_PARAMETER},
        {"null input", [&] { return MultiByteToWideChar(1252, 0, nullptr, 1, wide, 8); },
         ERROR_INVALID_PARAMETER},
        {"null output", [&] { return MultiByteToWideChar(1252, 0, "x", 1, nullptr, 8); },
         ERROR_INVALID_PARAMETER},
        {"length below -1", [&] { return MultiByteToWideChar(1252, 0, "x", -2, wide, 8); },
         ERROR_INVALID_PARAMETER},
        {"unknown code page", [&] { return MultiByteToWideChar(12345, 0, "x", 1, wide, 8); },
         ERROR_INVALID_PARAMETER},
        {"UTF-16 is no multibyte code page", [&] { return MultiByteToWideChar(1200, 0, "\xE9", 1, wide, 8); },
         ERROR_INVALID_PARAMETER},
        {"unsupported flag", [&] { return MultiByteToWideChar(1252, 0x4, "x", 1, wide, 8); },
         ERROR_INVALID_FLAGS},
        {"empty wide input",
         [&] { return WideCharToMultiByte(1252, 0, L"x", 0, narrow, 8, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"UTF-8 with a default",
         [&] { return WideCharToMultiByte(CP_UTF8, 0, L"x", 1, narrow, 8, nullptr, &used); },
         ERROR_INVALID_PARAMETER},
        {"UTF-8 with no-best-fit",
         [&] {
             return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, L"x", 1, narrow, 8, nullptr, nullptr);
         },
         ERROR_INVALID_FLAGS},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(c.call(), 0) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    EXPECT_EQ(WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, L"\xE9", 1, narrow, 8, nullptr, nullptr), 1);
}

TEST(StringsCodePages, AnsiCodePageFollowsTheMachine) {
    testing_support::CTestMachine machine;
    EXPECT_EQ(platform::ResolveCodePage(CP_ACP), 1252u);
    EXPECT_EQ(ToWide(CP_ACP, "caf\xE9"), L"caf\xE9");
    EXPECT_EQ(CStringW("caf\xE9"), L"caf\xE9");
    EXPECT_EQ(CStringA(L"caf\xE9"), "caf\xE9");

    SetFact(machine, "codePage", 936);
    EXPECT_EQ(platform::ResolveCodePage(CP_THREAD_ACP), 936u);
    EXPECT_EQ(ToWide(CP_ACP, kChinese936), kChinese);
    EXPECT_EQ(ToNarrow(CP_THREAD_ACP, kChinese), kChinese936);
    EXPECT_EQ(CStringW(kChinese936), kChinese);
    EXPECT_EQ(CStringA(CStringW(kChinese)), kChinese936);

    for (const nlohmann::json& missingOrMalformed :
         {nlohmann::json(), nlohmann::json("936"), nlohmann::json(-1)}) {
        SetFact(machine, "codePage", missingOrMalformed);
        EXPECT_EQ(platform::ResolveCodePage(CP_ACP), 1252u) << missingOrMalformed.dump();
    }
    EXPECT_EQ(platform::ResolveCodePage(CP_OEMCP), 437u);
    SetFact(machine, "oemCodePage", 850);
    EXPECT_EQ(platform::ResolveCodePage(CP_OEMCP), 850u);
    EXPECT_EQ(ToWide(CP_OEMCP, "\x82"), L"\xE9");
}

TEST(StringsCodePages, ConvertersServeManyThreads) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 300; ++i) {
                const UINT codePage = (i + t) % 2 ? 936u : static_cast<UINT>(CP_UTF8);
                const std::string bytes = platform::WideToCodePage(kChinese, codePage);
                failures[t] += platform::CodePageToWide(bytes, codePage) != kChinese;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

} // namespace
