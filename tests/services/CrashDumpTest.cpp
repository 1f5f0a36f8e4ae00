// Crash dumps and fault handlers: the dump's place and name, its module filter, the run-time error
// handler, the lock of the filter, and real faults of child processes that install the handlers as the
// start-up does.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/faults.h"
#include "platform/files.h"
#include "platform/internal.h"
#include "platform/libraries.h"
#include "platform/shell.h"
#include "platform/time.h"
#include "services/CrashDump.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/MiniDumpReader.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CChildProcess;
using testing_support::CMiniDumpReader;
using testing_support::CTestMachine;

const wchar_t* const kAmpwiseFolder = L"C:\\Users\\Alex\\AppData\\LocalLow\\Corvex\\ampwise";
const wchar_t* const kDumpFolder = L"C:\\Users\\Alex\\AppData\\LocalLow\\Corvex\\ampwise\\dump";
const wchar_t* const kProgramFolder =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86";
const wchar_t* const kKernel32 = L"C:\\Windows\\System32\\kernel32.dll";

// ---- Child processes that install the handlers as the start-up does ----

LONG WINAPI MarkingFilter(EXCEPTION_POINTERS*) {
    HANDLE marker = CreateFileW(L"C:\\marker.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(marker);
    return EXCEPTION_EXECUTE_HANDLER;
}

void Fault(const std::string& fault) {
    if (fault == "null-write") {
        testing_support::NullWrite();
    } else if (fault == "pure-virtual-call") {
        testing_support::PureVirtualCall();
    } else if (fault == "invalid-parameter") {
        testing_support::InvalidParameterCall();
    } else if (fault == "two-threads") {
        testing_support::NullWritesOnTwoThreadsAtOnce();
    }
}

// args: the fault, then "replace" to try to replace the filter first.
FLIPDECK_CHILD_ACTION(crash_after_start_up) {
    InstallCrashHandlers();
    if (args.size() > 1 && args[1] == "replace" && SetUnhandledExceptionFilter(MarkingFilter) != nullptr) {
        return 10;
    }
    Fault(args.at(0));
    return 11;
}

// 0 when the lock failed and the filter could be replaced.
FLIPDECK_CHILD_ACTION(lock_without_kernel32) {
    InstallCrashHandlers();
    if (LockUnhandledExceptionFilter()) {
        return 1;
    }
    return SetUnhandledExceptionFilter(MarkingFilter) == CrashDumpFilter ? 0 : 2;
}

// ---- Reading what a dump left ----

struct CDumpName {
    std::string stamp; // YYYYMMDDhhmmss
    long processId = 0;
    long threadId = 0;
};

std::optional<CDumpName> ParseDumpName(const std::string& name) {
    static const std::regex pattern(R"(flipdeck-(\d{8})-(\d{6})-([1-9]\d*)-([1-9]\d*)\.dmp)");
    std::smatch match;
    if (!std::regex_match(name, match, pattern)) {
        return std::nullopt;
    }
    return CDumpName{match[1].str() + match[2].str(), std::stol(match[3]), std::stol(match[4])};
}

std::vector<fs::path> DumpsIn(const fs::path& folder) {
    std::vector<fs::path> dumps;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".dmp") {
            dumps.push_back(entry.path());
        }
    }
    return dumps;
}

std::string LocalStamp() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "%04d%02d%02d%02d%02d%02d", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return stamp;
}

// The module path a dump gives the program's own executable: its file, with backslashes.
std::string OwnExecutable() {
    std::string path = fs::read_symlink("/proc/self/exe").string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The "crash.dump" events of the machine in the folder.
std::vector<nlohmann::json> DumpEvents(const fs::path& machineFolder) {
    std::istringstream lines(platform::ReadWholeFile(machineFolder / "events.jsonl").value_or(""));
    std::vector<nlohmann::json> events;
    for (std::string line; std::getline(lines, line);) {
        auto record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_object() && record.value("event", "") == "crash.dump") {
            events.push_back(std::move(record));
        }
    }
    return events;
}

class CrashDumpTest : public testing::Test {
protected:
    fs::path Host(const wchar_t* windowsPath) const { return machine.HostPath(windowsPath); }

    // The one dump in the folder, checked as CheckWholeDump does; empty otherwise.
    fs::path OnlyDumpIn(const wchar_t* folder, long processId, DWORD exceptionCode) const {
        const std::vector<fs::path> dumps = DumpsIn(Host(folder));
        EXPECT_EQ(dumps.size(), 1u);
        if (dumps.size() != 1) {
            return {};
        }
        CheckWholeDump(dumps[0], processId, exceptionCode);
        return dumps[0];
    }

    // A whole dump named for its process and thread, whose exception is of that thread and which lists
    // the process's threads (that one among them) and the program's executable; its thread ids.
    static std::vector<long> CheckWholeDump(const fs::path& file, long processId, DWORD exceptionCode) {
        const auto name = ParseDumpName(file.filename().string());
        EXPECT_TRUE(name) << file.filename();
        const CMiniDumpReader dump(file);
        EXPECT_TRUE(dump.IsValid());
        const auto exception = dump.Stream<MINIDUMP_EXCEPTION_STREAM>(ExceptionStream);
        EXPECT_TRUE(exception);
        if (!name || !exception) {
            return {};
        }
        EXPECT_EQ(name->processId, processId);
        EXPECT_EQ(exception->ExceptionRecord.ExceptionCode, exceptionCode);
        EXPECT_EQ(static_cast<long>(exception->ThreadId), name->threadId);
        std::vector<long> threadIds;
        for (const auto& thread : dump.List<MINIDUMP_THREAD>(ThreadListStream)) {
            threadIds.push_back(static_cast<long>(thread.ThreadId));
        }
        EXPECT_NE(std::find(threadIds.begin(), threadIds.end(), name->threadId), threadIds.end());
        const auto modules = dump.ModuleNames();
        EXPECT_NE(std::find(modules.begin(), modules.end(), OwnExecutable()), modules.end());
        return threadIds;
    }

    CTestMachine machine;
};

// ---- The filter, in the test's own process ----

TEST(CrashDumpFilter, WritesOneNamedDumpWhereTheFoldersAllow) {
    struct {
        const char* name;
        bool makeAmpwise;
        bool makeDump;
        const wchar_t* expectedFolder;
    } const cases[] = {
        {"the dump folder is made", true, false, kDumpFolder},
        {"the dump folder exists", true, true, kDumpFolder},
        // _wmkdir makes only the last level: without the ampwise folder the dump goes to the current one.
        {"no ampwise folder", false, false, kProgramFolder},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        CTestMachine fresh;
        const auto host = [&fresh](const wchar_t* path) { return fresh.HostPath(path); };
        if (entry.makeAmpwise) {
            fs::create_directories(host(kAmpwiseFolder));
        }
        if (entry.makeDump) {
            fs::create_directories(host(kDumpFolder));
        }
        EXCEPTION_RECORD record{};
        record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
        CONTEXT context{};
        EXCEPTION_POINTERS pointers{&record, &context};
        const std::string before = LocalStamp();
        EXPECT_EQ(CrashDumpFilter(&pointers), EXCEPTION_EXECUTE_HANDLER);
        const std::string after = LocalStamp();

        const std::vector<fs::path> dumps = DumpsIn(host(entry.expectedFolder));
        ASSERT_EQ(dumps.size(), 1u);
        const auto name = ParseDumpName(dumps[0].filename().string());
        ASSERT_TRUE(name) << dumps[0].filename();
        EXPECT_EQ(name->processId, static_cast<long>(getpid()));
        EXPECT_EQ(name->threadId, static_cast<long>(GetCurrentThreadId()));
        EXPECT_GE(name->stamp, before);
        EXPECT_LE(name->stamp, after);
        const CMiniDumpReader dump(dumps[0]);
        ASSERT_TRUE(dump.IsValid());
        EXPECT_EQ(dump.Stream<MINIDUMP_EXCEPTION_STREAM>(ExceptionStream)->ExceptionRecord.ExceptionCode,
                  EXCEPTION_INT_DIVIDE_BY_ZERO);
        EXPECT_EQ(fs::exists(host(kDumpFolder)), entry.makeAmpwise);
        const auto events = DumpEvents(fresh.Folder());
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].value("file", ""), platform::ToUtf8(std::wstring(entry.expectedFolder) + L"\\") +
                                                   dumps[0].filename().string());
        EXPECT_EQ(events[0].value("exceptionCode", 0u), EXCEPTION_INT_DIVIDE_BY_ZERO);
    }
}

TEST_F(CrashDumpTest, ALocalDataFolderTooLongForTheDumpFolderGivesADumpInTheCurrentFolder) {
    // 242 characters: the folder fits MAX_PATH, the dump folder beside it does not.
    const std::wstring longFolder = L"C:\\Users\\Alex\\AppData\\" + std::wstring(220, L'x');
    fs::create_directories(Host(longFolder.c_str()));
    testing_support::SetMachineFact(machine.Folder(), "/user/localAppData", platform::ToUtf8(longFolder));
    wchar_t folder[MAX_PATH] = {};
    ASSERT_TRUE(
        SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)));
    ASSERT_EQ(folder, longFolder);

    EXPECT_EQ(CrashDumpFilter(nullptr), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(DumpsIn(Host(kProgramFolder)).size(), 1u);
}

TEST_F(CrashDumpTest, WriteCrashDumpWithoutExceptionOrWithoutAFolder) {
    fs::create_directories(Host(L"C:\\dumps"));
    WriteCrashDump(nullptr, L"C:\\dumps\\plain.dmp");
    const CMiniDumpReader dump(Host(L"C:\\dumps\\plain.dmp"));
    ASSERT_TRUE(dump.IsValid());
    EXPECT_FALSE(dump.StreamLocation(ExceptionStream));
    EXPECT_EQ(dump.List<MINIDUMP_THREAD>(ThreadListStream).size(), 1u);

    WriteCrashDump(nullptr, L"C:\\missing\\plain.dmp");
    EXPECT_FALSE(fs::exists(Host(L"C:\\missing")));
}

// ---- The module filter and the run-time error handler ----

TEST(CrashDumpModules, NtdllIsFoundByItsFileNameAlone) {
    const std::wstring longName = L"C:\\Windows\\" + std::wstring(300, L'n') + L".dll";
    struct {
        const wchar_t* path;
        bool ntdll;
    } const cases[] = {
        {L"C:\\Windows\\System32\\ntdll.dll", true},
        {L"C:\\WINDOWS\\SYSTEM32\\NTDLL.DLL", true},
        {L"ntdll", true},
        {L"/usr/lib/ntdll.so", true},
        {L"C:\\Windows\\System32\\ntdll.dll.mui", false},
        {L"C:\\Windows\\System32\\ntdll32.dll", false},
        {L"C:\\ntdll\\kernel32.dll", false},
        {L"", false},
        {longName.c_str(), false},
        {nullptr, false},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.path ? platform::ToUtf8(entry.path) : "null");
        EXPECT_EQ(IsNtdllModule(entry.path), entry.ntdll);
    }
}

TEST(CrashDumpModules, TheCallbackKeepsTheDataSegmentsOfNtdllOnly) {
    wchar_t ntdll[] = L"C:\\Windows\\System32\\ntdll.dll";
    wchar_t other[] = L"C:\\Windows\\System32\\kernel32.dll";
    constexpr ULONG kWithData = ModuleWriteModule | ModuleWriteDataSeg;
    struct {
        ULONG type;
        wchar_t* path;
        BOOL result;
        ULONG flagsAfter;
    } const cases[] = {
        {ModuleCallback, ntdll, TRUE, kWithData},
        {ModuleCallback, other, TRUE, ModuleWriteModule},
        {ThreadCallback, other, TRUE, kWithData},
        {ThreadExCallback, other, TRUE, kWithData},
        {IncludeThreadCallback, other, TRUE, kWithData},
        {IncludeModuleCallback, other, TRUE, kWithData},
        {MemoryCallback, other, FALSE, kWithData},
        {CancelCallback, other, FALSE, kWithData},
        {16, other, FALSE, kWithData},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.type);
        MINIDUMP_CALLBACK_INPUT input{};
        input.CallbackType = entry.type;
        input.Module.FullPath = entry.path;
        MINIDUMP_CALLBACK_OUTPUT output{};
        output.ModuleWriteFlags = kWithData;
        EXPECT_EQ(MiniDumpModuleCallback(nullptr, &input, &output), entry.result);
        EXPECT_EQ(output.ModuleWriteFlags, entry.flagsAfter);
    }
    MINIDUMP_CALLBACK_INPUT input{};
    MINIDUMP_CALLBACK_OUTPUT output{};
    EXPECT_FALSE(MiniDumpModuleCallback(nullptr, nullptr, &output));
    EXPECT_FALSE(MiniDumpModuleCallback(nullptr, &input, nullptr));
}

// Installs the start-up's run-time handlers for one test.
class CRuntimeHandlers {
public:
    CRuntimeHandlers()
        : m_invalidParameter(_set_invalid_parameter_handler(ThrowOnRuntimeError)),
          m_purecall(_set_purecall_handler(ThrowOnRuntimeError)) {}
    ~CRuntimeHandlers() {
        _set_invalid_parameter_handler(m_invalidParameter);
        _set_purecall_handler(m_purecall);
    }
    CRuntimeHandlers(const CRuntimeHandlers&) = delete;
    CRuntimeHandlers& operator=(const CRuntimeHandlers&) = delete;

private:
    _invalid_parameter_handler m_invalidParameter;
    _purecall_handler m_purecall;
};

int ThrownBy(void (*action)()) {
    try {
        action();
    } catch (int value) {
        return value;
    }
    return 0;
}

TEST(CrashDumpRuntimeErrors, PureVirtualCallsAndInvalidParametersThrowTheIntOne) {
    CRuntimeHandlers handlers;
    EXPECT_EQ(ThrownBy(testing_support::PureVirtualCall), 1);
    EXPECT_EQ(ThrownBy(testing_support::InvalidParameterCall), 1);
    EXPECT_EQ(ThrownBy([] { IsNtdllModule((L"C:\\" + std::wstring(300, L'n')).c_str()); }), 0)
        << "the module filter never lets the handler throw inside the dump writer";
}

// ---- The lock's parts ----

TEST(CrashDumpLock, Kernel32ComesFromTheSystemFolderWhenItIsThere) {
    CTestMachine machine;
    HMODULE kernel32 = nullptr;
    ASSERT_TRUE(LoadSystemKernel32(kernel32));
    EXPECT_NE(GetProcAddress(kernel32, "SetUnhandledExceptionFilter"), nullptr);
    FreeLibrary(kernel32);

    fs::remove(machine.HostPath(kKernel32));
    kernel32 = reinterpret_cast<HMODULE>(1);
    EXPECT_FALSE(LoadSystemKernel32(kernel32));
    EXPECT_EQ(kernel32, nullptr);
}

TEST(CrashDumpLock, IgnoringTheFilterAnswersNull) {
    EXPECT_EQ(IgnoreUnhandledExceptionFilter(CrashDumpFilter), nullptr);
}

// ---- Real faults after the start-up's installation ----

TEST_F(CrashDumpTest, EachFaultEndsInOneDumpInTheDumpFolder) {
    struct {
        const char* fault;
        DWORD code;
    } const cases[] = {
        {"null-write", EXCEPTION_ACCESS_VIOLATION},
        {"pure-virtual-call", EXCEPTION_CPP_EXCEPTION},
        {"invalid-parameter", EXCEPTION_CPP_EXCEPTION},
    };
    fs::create_directories(Host(kAmpwiseFolder));
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.fault);
        fs::remove_all(Host(kDumpFolder));
        CChildProcess child("crash_after_start_up", {entry.fault});
        const int processId = child.Pid();
        EXPECT_EQ(child.Wait(), static_cast<int>(entry.code & 0xFF));
        OnlyDumpIn(kDumpFolder, processId, entry.code);
        const auto events = DumpEvents(machine.Folder());
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().value("pid", 0), processId);
    }
}

TEST_F(CrashDumpTest, WithoutTheAmpwiseFolderTheDumpIsWrittenToTheCurrentFolder) {
    CChildProcess child("crash_after_start_up", {"null-write"});
    const int processId = child.Pid();
    EXPECT_EQ(child.Wait(), static_cast<int>(EXCEPTION_ACCESS_VIOLATION & 0xFF));
    OnlyDumpIn(kProgramFolder, processId, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_FALSE(fs::exists(Host(kDumpFolder)));
}

TEST_F(CrashDumpTest, AfterTheLockNoFilterReplacesTheProgramsOne) {
    fs::create_directories(Host(kAmpwiseFolder));
    CChildProcess child("crash_after_start_up", {"null-write", "replace"});
    const int processId = child.Pid();
    EXPECT_EQ(child.Wait(), static_cast<int>(EXCEPTION_ACCESS_VIOLATION & 0xFF));
    OnlyDumpIn(kDumpFolder, processId, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_FALSE(fs::exists(Host(L"C:\\marker.txt")));
}

TEST_F(CrashDumpTest, WithoutKernel32TheLockFailsAndTheFilterStaysReplaceable) {
    fs::remove(Host(kKernel32));
    EXPECT_EQ(testing_support::RunChild("lock_without_kernel32"), 0);
}

// Both threads run the filter: the first dump written ends the process, so the other thread's file may
// stay empty or never be made; a whole dump lists both faulting threads and the one that waits for them.
TEST_F(CrashDumpTest, TwoThreadsFaultingAtOnceLeaveAWholeDumpOfEveryThread) {
    fs::create_directories(Host(kAmpwiseFolder));
    CChildProcess child("crash_after_start_up", {"two-threads"});
    const int processId = child.Pid();
    EXPECT_EQ(child.Wait(), static_cast<int>(EXCEPTION_ACCESS_VIOLATION & 0xFF));
    const std::vector<fs::path> dumps = DumpsIn(Host(kDumpFolder));
    ASSERT_GE(dumps.size(), 1u);
    ASSERT_LE(dumps.size(), 2u) << "one file for each faulting thread at most";
    std::vector<long> named;
    std::vector<fs::path> whole;
    for (const auto& file : dumps) {
        const auto name = ParseDumpName(file.filename().string());
        ASSERT_TRUE(name) << file.filename();
        named.push_back(name->threadId);
        if (CMiniDumpReader(file).IsValid()) {
            whole.push_back(file);
        }
    }
    ASSERT_FALSE(whole.empty());
    for (const auto& file : whole) {
        const std::vector<long> listed = CheckWholeDump(file, processId, EXCEPTION_ACCESS_VIOLATION);
        EXPECT_GE(listed.size(), 3u) << "the two faulting threads and the one that started them";
        for (const long threadId : named) {
            EXPECT_NE(std::find(listed.begin(), listed.end(), threadId), listed.end()) << threadId;
        }
    }
}

} // namespace
