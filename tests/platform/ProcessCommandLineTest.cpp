// The process's command line, its parsing by CommandLineToArgvW, and the local memory that holds it.
#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/processes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

std::vector<std::wstring> Parse(LPCWSTR line) {
    int count = -1;
    LPWSTR* arguments = CommandLineToArgvW(line, &count);
    if (!arguments) {
        return {L"<failed>"};
    }
    std::vector<std::wstring> result(arguments, arguments + count);
    EXPECT_EQ(arguments[count], nullptr);
    EXPECT_EQ(LocalFree(arguments), nullptr);
    return result;
}

struct ParseCase {
    const wchar_t* line;
    std::vector<std::wstring> arguments;
};

class CommandLineToArgvTest : public testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineToArgvTest, SplitsByTheDocumentedRules) {
    EXPECT_EQ(Parse(GetParam().line), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Documented, CommandLineToArgvTest,
    testing::Values(ParseCase{LR"(p.exe "abc" d e)", {L"p.exe", L"abc", L"d", L"e"}},
                    ParseCase{LR"(p.exe a\\\b d"e f"g h)", {L"p.exe", LR"(a\\\b)", L"de fg", L"h"}},
                    ParseCase{LR"(p.exe a\\\"b c d)", {L"p.exe", LR"(a\"b)", L"c", L"d"}},
                    ParseCase{LR"(p.exe a\\\\"b c" d e)", {L"p.exe", LR"(a\\b c)", L"d", L"e"}},
                    // Two quotes inside quotes give one and end the quoting.
                    ParseCase{LR"(p.exe a"b"" c d)", {L"p.exe", LR"(ab")", L"c", L"d"}},
                    ParseCase{LR"(x.exe "a""b" c)", {L"x.exe", LR"(a"b c)"}},
                    ParseCase{LR"(x.exe "a"""b" c)", {L"x.exe", LR"(a"b)", L"c"}},
                    ParseCase{LR"(x.exe """" c)", {L"x.exe", LR"(" c)"}},
                    ParseCase{LR"(p.exe "ab\"c" "\\" d)", {L"p.exe", LR"(ab"c)", LR"(\)", L"d"}},
                    ParseCase{LR"(p.exe a "" b)", {L"p.exe", L"a", L"", L"b"}},
                    ParseCase{L"p.exe \t a\t\tb  ", {L"p.exe", L"a", L"b"}},
                    ParseCase{LR"(p.exe "open ended)", {L"p.exe", L"open ended"}},
                    // The program name: quoted up to the next quote, else up to a blank; no backslash rules.
                    ParseCase{LR"("C:\Program Files\x.exe" a)", {LR"(C:\Program Files\x.exe)", L"a"}},
                    ParseCase{LR"(C:\a\"b c)", {LR"(C:\a\"b)", L"c"}}, ParseCase{L"  a b", {L"", L"a", L"b"}},
                    ParseCase{L"MENUITEM_LAUNCH_TOOLBAR,1|ctx", {L"MENUITEM_LAUNCH_TOOLBAR,1|ctx"}}));

TEST(CommandLineTest, EmptyLineGivesTheImagePath) {
    CTestMachine machine;
    EXPECT_EQ(Parse(L""), std::vector<std::wstring>{platform::ProcessImagePath()});
    EXPECT_EQ(Parse(nullptr), std::vector<std::wstring>{platform::ProcessImagePath()});
    EXPECT_EQ(CommandLineToArgvW(L"a b", nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Parses its own command line and compares it with its real arguments and image path.
FLIPDECK_CHILD_ACTION(check_command_line) {
    std::vector<std::wstring> expected = {platform::ProcessImagePath(), L"--child", L"check_command_line"};
    for (const auto& argument : args) {
        expected.push_back(platform::FromUtf8(argument));
    }
    return Parse(GetCommandLineW()) == expected ? 0 : 1;
}

TEST(CommandLineTest, GetCommandLineRoundTripsTheRealArguments) {
    CTestMachine machine;
    setenv("FLIPDECK_IMAGE_PATH", "C:\\Program Files\\Tool Folder\\FlipdeckEx.exe", 1);
    const int result = testing_support::RunChild("check_command_line",
                                                 {"plain", "with blank", "tab\there", "say \"hi\"",
                                                  "trailing\\", "dir\\ \\\"q\\\\\"", "",
                                                  "\xC3\xBCml\xC3\xA4ut", "MENUITEM_CONTEXT_MENU,x|ctx"});
    unsetenv("FLIPDECK_IMAGE_PATH");
    EXPECT_EQ(result, 0);
}

TEST(LocalMemoryTest, FreesLiveBlocksOnlyOnce) {
    auto* block = static_cast<BYTE*>(LocalAlloc(LPTR, 16));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::count(block, block + 16, 0), 16);
    EXPECT_EQ(LocalFree(block), nullptr);
    EXPECT_EQ(LocalFree(block), block);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    int notABlock = 0;
    EXPECT_EQ(LocalFree(&notABlock), &notABlock);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
    EXPECT_EQ(LocalAlloc(LMEM_MOVEABLE, 16), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

} // namespace
