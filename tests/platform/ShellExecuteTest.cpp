// URIs opened through the shell: only schemes registered for the shell open, and each opening is recorded.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "tests/support/TestMachine.h"

namespace {

std::vector<nlohmann::json> ShellEvents() {
    return testing_support::ReadMachineEvents("shell.execute");
}

INT_PTR Execute(const wchar_t* verb, const wchar_t* file, INT show = SW_SHOWNORMAL) {
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, verb, file, nullptr, nullptr, show));
}

TEST(ShellExecute, RegisteredUriOpensAndIsRecorded) {
    testing_support::CTestMachine machine;
    EXPECT_GT(Execute(nullptr, L"corvex-solvane3:power", SW_SHOWMAXIMIZED), 32);
    EXPECT_GT(Execute(L"open", L"MS-SETTINGS:devices-touchpad"), 32);

    const auto events = ShellEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]["file"], "corvex-solvane3:power");
    EXPECT_EQ(events[0]["show"], SW_SHOWMAXIMIZED);
    EXPECT_EQ(events[0]["pid"], static_cast<int>(getpid()));
    EXPECT_TRUE(events[0]["time"].is_string());
    EXPECT_EQ(events[1]["file"], "MS-SETTINGS:devices-touchpad");
    EXPECT_EQ(events[1]["show"], SW_SHOWNORMAL);
}

TEST(ShellExecute, WhatTheShellCannotOpenFailsAndOpensNothing) {
    testing_support::CTestMachine machine;
    // A key without the protocol marker is a file type, not a URI scheme.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"txtfile", 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    struct SCase {
        const wchar_t* verb;
        const wchar_t* file;
        INT_PTR result;
        DWORD error;
    };
    const SCase cases[] = {
        {nullptr, L"corvexprivacy:breaches", SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {nullptr, L"txtfile:readme", SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {L"print", L"corvex-solvane3:power", SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {nullptr, L"C:\\Windows\\notepad.exe", SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {nullptr, L"corvex-solvane3", SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {nullptr, L":power", SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {nullptr, L"corvex solvane3:power", SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {nullptr, L"", SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {nullptr, nullptr, SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? platform::ToUtf8(c.file) : "(null)");
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(Execute(c.verb, c.file), c.result);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(ShellEvents().empty());
}

} // namespace
