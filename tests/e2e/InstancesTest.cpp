// Other running copies of the program: the second click, and a second start on Windows 10 and 11.
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "platform/processes.h"
#include "platform/processes/ProcessList.h"
#include "platform/threads.h"
#include "tests/e2e/ProgramRun.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CChildProcess;
using testing_support::CTestMachine;

const char* const kInstalledImage =
    "C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86\\FlipdeckEx.exe";
const char* const kOtherImage = "C:\\Users\\Alex\\Downloads\\FlipdeckEx.exe";

// A stand-in for a running FlipdeckEx: args are its image path and, optionally, "mutex" to hold the
// single-instance mutex. It lives until it is ended, 30 s at the most.
FLIPDECK_CHILD_ACTION(running_instance) {
    setenv("FLIPDECK_IMAGE_PATH", args.at(0).c_str(), 1);
    HANDLE mutex = args.size() > 1 ? CreateMutexW(nullptr, FALSE, L"FlipdeckAppInstance") : nullptr;
    platform::RegisterCurrentProcess();
    Sleep(30000);
    if (mutex) {
        CloseHandle(mutex);
    }
    return 0;
}

bool IsListed(int pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry)) {
        found = static_cast<int>(entry.th32ProcessID) == pid;
    }
    CloseHandle(snapshot);
    return found;
}

void WaitUntilListed(const CChildProcess& child) {
    for (int i = 0; i < 500 && !IsListed(child.Pid()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(IsListed(child.Pid()));
}

bool IsAlive(const CChildProcess& child) {
    return kill(child.Pid(), 0) == 0;
}

constexpr int kKilled = 128 + SIGKILL;

TEST(Instances, TheSecondClickEndsTheCopyInThePluginFolderOnly) {
    CTestMachine machine;
    CChildProcess installed("running_instance", {kInstalledImage});
    CChildProcess other("running_instance", {kOtherImage});
    WaitUntilListed(installed);
    WaitUntilListed(other);

    EXPECT_EQ(e2e::RunProgram("MENUITEM_SECOND_CLICK_TO_EXIT,|").exitCode, 0);
    EXPECT_EQ(installed.Wait(), kKilled);
    EXPECT_TRUE(IsAlive(other));
    kill(other.Pid(), SIGKILL);
    EXPECT_TRUE(e2e::TelemetryEvents().empty());
}

TEST(Instances, ASecondStartOnWindows10EndsTheFirstAndGoesOn) {
    CTestMachine machine("business-win10");
    CChildProcess first("running_instance", {kInstalledImage, "mutex"});
    WaitUntilListed(first);
    EXPECT_EQ(e2e::RunProgram("MENUITEM_LAUNCH_TOOLBAR,|").exitCode, 0);
    EXPECT_EQ(first.Wait(), kKilled);
}

TEST(Instances, ASecondStartOnWindows11ExitsAndLeavesTheFirst) {
    CTestMachine machine("consumer-win11");
    CChildProcess first("running_instance", {kInstalledImage, "mutex"});
    WaitUntilListed(first);
    e2e::RunProgram("MENUITEM_LAUNCH_TOOLBAR,|");
    EXPECT_TRUE(IsAlive(first));
    kill(first.Pid(), SIGKILL);
}

} // namespace
