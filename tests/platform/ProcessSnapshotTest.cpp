// Process snapshots, process handles and TerminateProcess over the machine's real and simulated processes.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/processes.h"
#include "platform/processes/ProcessList.h"
#include "platform/threads.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CChildProcess;
using testing_support::CTestMachine;

constexpr const char* kChildImage = "C:\\Tools\\Copy\\FlipdeckEx.exe";
constexpr int kChildExitCode = 5;

fs::path ReleaseFile(const std::string& name) {
    return platform::MachineFolder() / name;
}

// Waits, for at most ten seconds, until the condition holds.
bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool WaitForRelease(const std::string& name) {
    return WaitUntil([&name] { return fs::exists(ReleaseFile(name)); });
}

void Release(const std::string& name) {
    ASSERT_TRUE(platform::ReplaceFileAtomically(ReleaseFile(name), ""));
}

// A process of the program on the same machine: registers itself, then runs until released.
FLIPDECK_CHILD_ACTION(registered_process) {
    platform::RegisterCurrentProcess();
    if (!WaitForRelease("registered")) {
        return 1;
    }
    platform::RecordCurrentProcessExit(kChildExitCode);
    return kChildExitCode;
}

// Runs until the release file named by its argument appears.
FLIPDECK_CHILD_ACTION(unregistered_process) {
    return WaitForRelease(args.at(0)) ? 0 : 1;
}

std::vector<PROCESSENTRY32W> TakeSnapshot() {
    std::vector<PROCESSENTRY32W> entries;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        entries.push_back(entry);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    CloseHandle(snapshot);
    return entries;
}

std::optional<PROCESSENTRY32W> FindInSnapshot(DWORD pid) {
    for (const auto& entry : TakeSnapshot()) {
        if (entry.th32ProcessID == pid) {
            return entry;
        }
    }
    return std::nullopt;
}

std::wstring ImageOf(HANDLE process) {
    wchar_t image[MAX_PATH] = {};
    return K32GetModuleFileNameExW(process, nullptr, image, MAX_PATH) ? image : L"<none>";
}

std::vector<nlohmann::json> EventsNamed(const std::string& name) {
    std::vector<nlohmann::json> found;
    std::istringstream lines(
        platform::ReadWholeFile(platform::MachineFolder() / "events.jsonl").value_or(""));
    for (std::string line; std::getline(lines, line);) {
        auto event = nlohmann::json::parse(line, nullptr, false);
        if (event.is_object() && event.value("event", "") == name) {
            found.push_back(std::move(event));
        }
    }
    return found;
}

void RewriteFact(const std::string& name, const nlohmann::json& value) {
    const fs::path file = platform::MachineFolder() / "facts.json";
    auto facts = nlohmann::json::parse(platform::ReadWholeFile(file).value_or("{}"));
    facts[name] = value;
    ASSERT_TRUE(platform::ReplaceFileAtomically(file, facts.dump()));
}

// A child of the program started from another folder, registered and running.
class ProcessOfTheProgramTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("FLIPDECK_IMAGE_PATH", kChildImage, 1);
        m_child.emplace("registered_process");
        unsetenv("FLIPDECK_IMAGE_PATH");
        m_pid = static_cast<DWORD>(m_child->Pid());
        ASSERT_TRUE(WaitUntil([this] { return FindInSnapshot(m_pid).has_value(); }));
    }
    void TearDown() override {
        Release("registered");
        m_child->Wait();
    }

    CTestMachine m_machine;
    std::optional<CChildProcess> m_child;
    DWORD m_pid = 0;
};

TEST_F(ProcessOfTheProgramTest, SnapshotListsItWithItsImageUntilItEnds) {
    const auto entry = FindInSnapshot(m_pid);
    ASSERT_TRUE(entry);
    EXPECT_STREQ(entry->szExeFile, L"FlipdeckEx.exe");
    EXPECT_EQ(entry->th32ParentProcessID, static_cast<DWORD>(getpid()));

    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, m_pid);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(ImageOf(process), platform::FromUtf8(kChildImage));
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeProcess(process, &exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));

    Release("registered");
    EXPECT_EQ(m_child->Wait(), kChildExitCode);
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeProcess(process, &exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(kChildExitCode));
    EXPECT_FALSE(FindInSnapshot(m_pid));
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, m_pid), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(process);
}

TEST_F(ProcessOfTheProgramTest, TerminateProcessEndsItAndRecordsTheEvent) {
    HANDLE process =
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, m_pid);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(TerminateProcess(process, 7));

    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(m_child->Wait(), 128 + SIGKILL);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeProcess(process, &exitCode));
    EXPECT_EQ(exitCode, 7u);
    const auto events = EventsNamed("process.terminate");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["pid"], m_pid);
    EXPECT_EQ(events[0]["image"], kChildImage);
    EXPECT_EQ(events[0]["exitCode"], 7);
    EXPECT_EQ(events[0]["callerPid"], getpid());

    // An ended process cannot be ended again.
    EXPECT_FALSE(TerminateProcess(process, 8));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(process);
}

TEST_F(ProcessOfTheProgramTest, HandleRightsAreChecked) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, m_pid);
    ASSERT_NE(process, nullptr);
    EXPECT_FALSE(TerminateProcess(process, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    wchar_t image[MAX_PATH];
    EXPECT_EQ(K32GetModuleFileNameExW(process, nullptr, image, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_TIMEOUT);
    CloseHandle(process);
}

TEST_F(ProcessOfTheProgramTest, ImagePathIsTruncatedToTheBuffer) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, m_pid);
    wchar_t image[5];
    EXPECT_EQ(K32GetModuleFileNameExW(process, nullptr, image, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_STREQ(image, L"C:\\T");
    CloseHandle(process);
}

TEST(ProcessesTest, TheCallingProcessIsListedButNeverEndedThisWay) {
    CTestMachine machine;
    const auto self = FindInSnapshot(GetCurrentProcessId());
    ASSERT_TRUE(self);
    EXPECT_STREQ(self->szExeFile, L"FlipdeckEx.exe");

    EXPECT_FALSE(TerminateProcess(GetCurrentProcess(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    HANDLE opened = OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId());
    ASSERT_NE(opened, nullptr);
    EXPECT_FALSE(TerminateProcess(opened, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(ImageOf(opened), platform::ProcessImagePath());
    CloseHandle(opened);
}

struct SimulatedCase {
    const wchar_t* name;
    DWORD error;          // of OpenProcess; ERROR_SUCCESS when it opens
    const wchar_t* image; // when it opens
};

class SimulatedProcessTest : public testing::TestWithParam<SimulatedCase> {
protected:
    CTestMachine m_machine;
};

TEST_P(SimulatedProcessTest, AnswersAsTheProfileSays) {
    const SimulatedCase& expected = GetParam();
    std::optional<PROCESSENTRY32W> entry;
    for (const auto& candidate : TakeSnapshot()) {
        if (std::wstring(candidate.szExeFile) == expected.name) {
            entry = candidate;
        }
    }
    ASSERT_TRUE(entry);
    EXPECT_GT(entry->th32ProcessID, platform::kLastLinuxPid);

    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry->th32ProcessID);
    if (expected.error != ERROR_SUCCESS) {
        EXPECT_EQ(process, nullptr);
        EXPECT_EQ(GetLastError(), expected.error);
        return;
    }
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(ImageOf(process), expected.image);
    EXPECT_FALSE(TerminateProcess(process, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_TIMEOUT);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeProcess(process, &exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
    CloseHandle(process);
}

INSTANTIATE_TEST_SUITE_P(Profile, SimulatedProcessTest,
                         testing::Values(SimulatedCase{L"System", ERROR_ACCESS_DENIED, nullptr},
                                         SimulatedCase{L"PlexhostService.exe", ERROR_ACCESS_DENIED, nullptr},
                                         SimulatedCase{L"explorer.exe", ERROR_SUCCESS,
                                                       L"C:\\Windows\\explorer.exe"}));

TEST(ProcessesTest, ASimulatedImagePathIsAnsweredWithBackslashesOnly) {
    CTestMachine machine;
    RewriteFact("processes", nlohmann::json::parse(R"([
        {"name": "Tool.exe", "pid": 4194800, "path": "C:/Program Files/Old/../Tool/Tool.exe"}])"));
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, 4194800);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(ImageOf(process), L"C:\\Program Files\\Tool\\Tool.exe");
    CloseHandle(process);
}

TEST(ProcessesTest, MalformedSimulatedProcessesAreIgnored) {
    CTestMachine machine;
    RewriteFact("processes", nlohmann::json::parse(R"([
        {"name": "Clashing.exe", "pid": 100},
        {"pid": 4194500},
        {"name": "Bad.exe", "pid": "4194600"},
        {"name": "Good.exe", "pid": 4194700, "path": "C:\\Good.exe"},
        {"name": "Twice.exe", "pid": 4194700}])"));
    std::vector<std::wstring> simulated;
    for (const auto& entry : TakeSnapshot()) {
        if (entry.th32ProcessID > platform::kLastLinuxPid) {
            simulated.push_back(entry.szExeFile);
        }
    }
    EXPECT_EQ(simulated, std::vector<std::wstring>{L"Good.exe"});
}

TEST(ProcessesTest, EntriesOfEndedOrReusedPidsAreIgnoredAndRemoved) {
    CTestMachine machine;
    const auto entryFile = [&machine](int pid) {
        return machine.Folder() / "processes" / (std::to_string(pid) + ".json");
    };
    const auto writeEntry = [&entryFile](int pid) {
        const nlohmann::json entry = {{"pid", pid}, {"startTime", 1}, {"image", "C:\\Old\\FlipdeckEx.exe"}};
        return platform::ReplaceFileAtomically(entryFile(pid), entry.dump());
    };
    // A process that ended without recording an exit code.
    CChildProcess ended("unregistered_process", {"ended"});
    const int endedPid = ended.Pid();
    Release("ended");
    ASSERT_EQ(ended.Wait(), 0);
    // A live pid whose start time differs from the entry's: another process has taken the pid.
    CChildProcess reused("unregistered_process", {"reused"});
    const int pids[] = {endedPid, reused.Pid()};

    for (int pid : pids) {
        ASSERT_TRUE(writeEntry(pid));
    }
    for (int pid : pids) {
        EXPECT_FALSE(FindInSnapshot(static_cast<DWORD>(pid))) << pid;
        EXPECT_FALSE(fs::exists(entryFile(pid))) << pid;
    }
    Release("reused");
    EXPECT_EQ(reused.Wait(), 0);
}

TEST(ProcessesTest, UnknownIdsAndUnsupportedCallsFail) {
    CTestMachine machine;
    for (DWORD pid : {0u, 4194999u}) {
        EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPMODULE, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry) - 1;
    EXPECT_FALSE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
    CloseHandle(snapshot);
    EXPECT_FALSE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace
