// The unhandled-exception filter: which faults reach it and with what records, what its result does, on
// each faulting thread and on an alternate stack; the abort behaviour; the patch of the filter's entry. The
// faults happen in child processes; the filter writes what it saw into a report file.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/faults.h"
#include "platform/faults/FaultHandling.h"
#include "platform/files.h"
#include "platform/internal.h"
#include "platform/libraries.h"
#include "platform/processes.h"
#include "tests/platform/ThreadsTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CTestMachine;
using testing_support::RunChild;

constexpr int kKilledBySegv = 128 + SIGSEGV;
constexpr int kKilledByAbort = 128 + SIGABRT;

// ---- The child's side ----

std::string g_report;
LONG g_filterResult = EXCEPTION_EXECUTE_HANDLER;
volatile bool g_keepRecursing = true;

void Report(const std::string& line) {
    const int fd = open(g_report.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    const std::string text = line + "\n";
    const ssize_t written = write(fd, text.data(), text.size());
    (void)written;
    close(fd);
}

std::string Hex(ULONG_PTR value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%llx", static_cast<unsigned long long>(value));
    return text;
}

LONG WINAPI RecordingFilter(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    const bool atInstruction =
        record.ExceptionAddress == reinterpret_cast<PVOID>(pointers->ContextRecord->Rip);
    Report("code=" + Hex(record.ExceptionCode) + " flags=" + Hex(record.ExceptionFlags) + " params=" +
           std::to_string(record.NumberParameters) + " access=" + Hex(record.ExceptionInformation[0]) +
           " address=" + Hex(record.ExceptionInformation[1]) + " at-instruction=" +
           std::to_string(atInstruction) + " thread=" + std::to_string(GetCurrentThreadId()));
    if (g_filterResult == EXCEPTION_CONTINUE_EXECUTION && record.NumberParameters == 2) {
        // Repairs the cause, so that the instruction succeeds when it runs again.
        mprotect(reinterpret_cast<void*>(record.ExceptionInformation[1]), getpagesize(),
                 PROT_READ | PROT_WRITE);
    }
    return g_filterResult;
}

LONG WINAPI OtherFilter(EXCEPTION_POINTERS*) {
    Report("other filter");
    return EXCEPTION_EXECUTE_HANDLER;
}

LPTOP_LEVEL_EXCEPTION_FILTER g_replacementArgument = nullptr;

// A replacement for the filter's entry: remembers its argument and answers OtherFilter.
LPTOP_LEVEL_EXCEPTION_FILTER WINAPI RememberingReplacement(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    g_replacementArgument = filter;
    return OtherFilter;
}

// The five-byte jump from the filter's entry to target, as the program's lock writes it.
std::vector<BYTE> JumpTo(const void* target, uintptr_t targetOffset = 0) {
    const auto entry = reinterpret_cast<uintptr_t>(&SetUnhandledExceptionFilter);
    const auto displacement =
        static_cast<DWORD>(reinterpret_cast<uintptr_t>(target) + targetOffset - entry - 5);
    std::vector<BYTE> patch = {0xE9, 0, 0, 0, 0};
    std::memcpy(patch.data() + 1, &displacement, sizeof(displacement));
    return patch;
}

BOOL PatchFilterEntry(const std::vector<BYTE>& patch, SIZE_T* written) {
    return WriteProcessMemory(GetCurrentProcess(), reinterpret_cast<LPVOID>(&SetUnhandledExceptionFilter),
                              patch.data(), patch.size(), written);
}

void* MapPage(int protection) {
    return mmap(nullptr, getpagesize(), protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
}

FLIPDECK_UNCHECKED int ReadThrough(const void* pointer) {
    return *static_cast<const volatile int*>(pointer);
}

FLIPDECK_UNCHECKED int Divide(int dividend, int divisor) {
    return dividend / divisor;
}

FLIPDECK_UNCHECKED int Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    return g_keepRecursing ? Recurse(depth + 1) + frame[0] : frame[0];
}

unsigned __stdcall RecurseOnWorker(void*) {
    return static_cast<unsigned>(Recurse(0));
}

[[noreturn]] __attribute__((noinline)) void ThrowUncaught() {
    throw 7;
}

// Makes the named fault; answers 0 when the process goes on after it.
int MakeFault(const std::string& fault) {
    volatile int zero = 0;
    if (fault == "null-write") {
        testing_support::NullWrite();
    } else if (fault == "read-protected") {
        void* page = MapPage(PROT_NONE);
        Report("expected=" + Hex(reinterpret_cast<ULONG_PTR>(page)));
        return ReadThrough(page);
    } else if (fault == "write-read-only") {
        auto* page = static_cast<int*>(MapPage(PROT_READ));
        Report("expected=" + Hex(reinterpret_cast<ULONG_PTR>(page)));
        testing_support::WriteThrough(page);
        return *page == 1 ? 0 : 1;
    } else if (fault == "execute-data") {
        void* page = MapPage(PROT_READ | PROT_WRITE);
        Report("expected=" + Hex(reinterpret_cast<ULONG_PTR>(page)));
        reinterpret_cast<void (*)()>(page)();
    } else if (fault == "divide-by-zero") {
        return Divide(1, zero);
    } else if (fault == "illegal-instruction") {
        __builtin_trap();
    } else if (fault == "bus-error") {
        // A page of a file beyond the file's end.
        const int fd =
            open((fs::path(g_report).parent_path() / "empty.bin").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        void* page = mmap(nullptr, getpagesize(), PROT_READ, MAP_SHARED, fd, 0);
        Report("expected=" + Hex(reinterpret_cast<ULONG_PTR>(page)));
        return ReadThrough(page);
    } else if (fault == "abort") {
        std::abort();
    } else if (fault == "uncaught-exception") {
        ThrowUncaught();
    } else if (fault == "stack-overflow") {
        return Recurse(0);
    } else if (fault == "stack-overflow-on-worker") {
        const auto worker = threads_test::Own(threads_test::BeginThread(RecurseOnWorker, nullptr));
        WaitForSingleObject(worker.get(), INFINITE);
    }
    return 2;
}

LONG FilterResultOf(const std::string& name) {
    return name == "continue" ? EXCEPTION_CONTINUE_EXECUTION
           : name == "search" ? EXCEPTION_CONTINUE_SEARCH
                              : EXCEPTION_EXECUTE_HANDLER;
}

// args: report file, fault, the filter's result ("handle", "search", "continue" or "none" for no filter).
FLIPDECK_CHILD_ACTION(fault_with_filter) {
    testing_support::NoCoreDumps();
    g_report = args.at(0);
    g_filterResult = FilterResultOf(args.at(2));
    SetUnhandledExceptionFilter(args.at(2) == "none" ? nullptr : RecordingFilter);
    return MakeFault(args.at(1));
}

// args: report file, abort flags, "locked" or "unlocked", error output file.
FLIPDECK_CHILD_ACTION(abort_with_behaviour) {
    testing_support::NoCoreDumps();
    g_report = args.at(0);
    const int error = open(args.at(3).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(error, STDERR_FILENO);
    SetUnhandledExceptionFilter(RecordingFilter);
    _set_abort_behavior(static_cast<unsigned>(std::stoul(args.at(1))), _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
    SIZE_T written = 0;
    if (args.at(2) == "locked" &&
        !PatchFilterEntry(JumpTo(reinterpret_cast<const void*>(&RememberingReplacement)), &written)) {
        return 2;
    }
    std::abort();
}

// args: report file. The patched entry reaches the replacement; the filter in force stays.
FLIPDECK_CHILD_ACTION(fault_after_patch) {
    g_report = args.at(0);
    SetUnhandledExceptionFilter(RecordingFilter);
    SIZE_T written = 0;
    if (!PatchFilterEntry(JumpTo(reinterpret_cast<const void*>(&RememberingReplacement)), &written) ||
        written != 5) {
        return 2;
    }
    const LPTOP_LEVEL_EXCEPTION_FILTER answer = SetUnhandledExceptionFilter(OtherFilter);
    Report(std::string("answer=") + (answer == OtherFilter ? "replacement" : "other") +
           " argument=" + (g_replacementArgument == OtherFilter ? "passed" : "lost"));
    testing_support::NullWrite();
    return 3;
}

// Each faulting thread's filter waits until the other's has begun as well.
std::atomic<int> g_threadsInFilter{0};

LONG WINAPI WaitingFilter(EXCEPTION_POINTERS*) {
    Report("enter " + std::to_string(GetCurrentThreadId()));
    ++g_threadsInFilter;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_threadsInFilter < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Report("inside " + std::to_string(g_threadsInFilter.load()));
    return EXCEPTION_EXECUTE_HANDLER;
}

// args: report file.
FLIPDECK_CHILD_ACTION(two_faults_at_once) {
    g_report = args.at(0);
    SetUnhandledExceptionFilter(WaitingFilter);
    testing_support::NullWritesOnTwoThreadsAtOnce();
    return 2;
}

// ---- The test's side ----

using Fields = std::map<std::string, std::string>;

class FaultsFilterTest : public testing::Test {
protected:
    std::string ReportPath() const { return (machine.Folder() / "report.txt").string(); }

    std::vector<std::string> ReportLines() const {
        std::istringstream text(platform::ReadWholeFile(ReportPath()).value_or(""));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // The fields of the report's line that starts with "code=", and the "expected=" address.
    Fields Record() const {
        Fields fields;
        for (const std::string& line : ReportLines()) {
            std::istringstream words(line);
            for (std::string word; words >> word;) {
                const size_t equals = word.find('=');
                if (equals != std::string::npos) {
                    fields[word.substr(0, equals)] = word.substr(equals + 1);
                }
            }
        }
        return fields;
    }

    int RecordCount() const {
        int count = 0;
        for (const std::string& line : ReportLines()) {
            count += line.starts_with("code=") ? 1 : 0;
        }
        return count;
    }

    CTestMachine machine;
};

TEST_F(FaultsFilterTest, EachFaultReachesTheFilterWithItsRecordAndEndsWithItsCode) {
    struct {
        const char* fault;
        DWORD code;
        const char* access; // the access kind of a memory fault, or null
    } const cases[] = {
        {"null-write", EXCEPTION_ACCESS_VIOLATION, "1"},
        {"read-protected", EXCEPTION_ACCESS_VIOLATION, "0"},
        {"execute-data", EXCEPTION_ACCESS_VIOLATION, "8"},
        {"bus-error", EXCEPTION_IN_PAGE_ERROR, "0"},
        {"divide-by-zero", EXCEPTION_INT_DIVIDE_BY_ZERO, nullptr},
        {"illegal-instruction", EXCEPTION_ILLEGAL_INSTRUCTION, nullptr},
        {"uncaught-exception", EXCEPTION_CPP_EXCEPTION, nullptr},
        {"stack-overflow", EXCEPTION_ACCESS_VIOLATION, nullptr},
        {"stack-overflow-on-worker", EXCEPTION_ACCESS_VIOLATION, nullptr},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.fault);
        fs::remove(ReportPath());
        EXPECT_EQ(RunChild("fault_with_filter", {ReportPath(), entry.fault, "handle"}),
                  static_cast<int>(entry.code & 0xFF));
        ASSERT_EQ(RecordCount(), 1);
        Fields record = Record();
        EXPECT_EQ(record["code"], Hex(entry.code));
        EXPECT_EQ(record["at-instruction"], "1");
        if (entry.access) {
            EXPECT_EQ(record["params"], "2");
            EXPECT_EQ(record["access"], entry.access);
            EXPECT_EQ(record["address"], record.contains("expected") ? record["expected"] : "0");
        }
    }
}

TEST_F(FaultsFilterTest, TheFilterResultDecidesHowTheProcessGoesOn) {
    struct {
        const char* fault;
        const char* result;
        int exitCode;
        int records;
    } const cases[] = {
        // Without a filter, or when it searches on, the system's default ends the process.
        {"null-write", "none", kKilledBySegv, 0},
        {"null-write", "search", kKilledBySegv, 1},
        // The filter repaired the page: the write runs again and the child goes on.
        {"write-read-only", "continue", 0, 1},
        // An uncaught exception cannot be continued.
        {"uncaught-exception", "continue", kKilledByAbort, 1},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(std::string(entry.fault) + " " + entry.result);
        fs::remove(ReportPath());
        EXPECT_EQ(RunChild("fault_with_filter", {ReportPath(), entry.fault, entry.result}), entry.exitCode);
        EXPECT_EQ(RecordCount(), entry.records);
    }
}

TEST_F(FaultsFilterTest, AnAbortFollowsTheAbortBehaviour) {
    const std::string errorPath = (machine.Folder() / "stderr.txt").string();
    struct {
        const char* flags;
        const char* lock;
        int exitCode;
        bool filtered;
        bool message;
    } const cases[] = {
        // The fault report resets the filter first: only a locked filter sees the abort.
        {"3", "unlocked", kKilledByAbort, false, true},
        {"3", "locked", static_cast<int>(STATUS_FATAL_APP_EXIT & 0xFF), true, true},
        {"2", "locked", static_cast<int>(STATUS_FATAL_APP_EXIT & 0xFF), true, false},
        {"1", "locked", 3, false, true},
        {"0", "locked", 3, false, false},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(std::string("flags ") + entry.flags + " " + entry.lock);
        fs::remove(ReportPath());
        EXPECT_EQ(RunChild("abort_with_behaviour", {ReportPath(), entry.flags, entry.lock, errorPath}),
                  entry.exitCode);
        EXPECT_EQ(RecordCount(), entry.filtered ? 1 : 0);
        if (entry.filtered) {
            EXPECT_EQ(Record()["flags"], Hex(EXCEPTION_NONCONTINUABLE));
        }
        const std::string error = platform::ReadWholeFile(errorPath).value_or("");
        EXPECT_EQ(error.find("abort() has been called") != std::string::npos, entry.message) << error;
    }
}

TEST_F(FaultsFilterTest, ThePatchedEntryReachesTheReplacementAndTheFilterInForceHandlesTheFault) {
    EXPECT_EQ(RunChild("fault_after_patch", {ReportPath()}),
              static_cast<int>(EXCEPTION_ACCESS_VIOLATION & 0xFF));
    const std::vector<std::string> lines = ReportLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "answer=replacement argument=passed");
    EXPECT_TRUE(lines[1].starts_with("code=" + Hex(EXCEPTION_ACCESS_VIOLATION))) << lines[1];
}

TEST_F(FaultsFilterTest, TwoThreadsFaultingAtOnceEachRunTheFilter) {
    EXPECT_EQ(RunChild("two_faults_at_once", {ReportPath()}),
              static_cast<int>(EXCEPTION_ACCESS_VIOLATION & 0xFF));
    const std::vector<std::string> lines = ReportLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("enter "));
    EXPECT_TRUE(lines[1].starts_with("enter "));
    EXPECT_NE(lines[0], lines[1]) << "one run on each faulting thread";
    EXPECT_EQ(lines[2], "inside 2") << "the first filter to end ends the process";
}

TEST(FaultsKernel32, TheMachinesKernel32ExportsTheLayersFilterFunction) {
    CTestMachine machine;
    HMODULE kernel32 = LoadLibraryW(L"C:\\Windows\\System32\\kernel32.dll");
    ASSERT_NE(kernel32, nullptr);
    EXPECT_EQ(GetProcAddress(kernel32, "SetUnhandledExceptionFilter"),
              reinterpret_cast<FARPROC>(&SetUnhandledExceptionFilter));
    FreeLibrary(kernel32);
}

// ---- Writes into the process's memory (nothing here is a patch the layer keeps) ----

TEST(FaultsProcessMemory, WritesWhatIsWritableAndNeverCode) {
    const int pageSize = getpagesize();
    auto* pages = static_cast<BYTE*>(
        mmap(nullptr, 2 * pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + pageSize, pageSize, PROT_READ), 0);
    const BYTE ones[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const std::vector<BYTE> noJump = {0x90, 0x90, 0x90, 0x90, 0x90};
    // A jump 2 GiB away from the test's code lands in no code of this module.
    const std::vector<BYTE> jumpOutside =
        JumpTo(reinterpret_cast<const void*>(&RememberingReplacement), 0x80000000u);
    const std::vector<BYTE> jumpShort = {0xE9, 0, 0, 0};
    auto* entry = reinterpret_cast<BYTE*>(&SetUnhandledExceptionFilter);
    struct {
        const char* name;
        HANDLE process;
        void* address;
        const void* bytes;
        SIZE_T size;
        BOOL result;
        DWORD error;
        SIZE_T written;
    } const cases[] = {
        {"writable memory", GetCurrentProcess(), pages + 8, ones, sizeof(ones), TRUE, 0, sizeof(ones)},
        {"read-only memory", GetCurrentProcess(), pages + pageSize, ones, sizeof(ones), FALSE, ERROR_NOACCESS,
         0},
        {"across into read-only", GetCurrentProcess(), pages + pageSize - 8, ones, sizeof(ones), FALSE,
         ERROR_PARTIAL_COPY, 8},
        {"null address", GetCurrentProcess(), nullptr, ones, sizeof(ones), FALSE, ERROR_NOACCESS, 0},
        {"code", GetCurrentProcess(), reinterpret_cast<void*>(&Divide), ones, sizeof(ones), FALSE,
         ERROR_NOACCESS, 0},
        {"entry without a jump", GetCurrentProcess(), entry, noJump.data(), noJump.size(), FALSE,
         ERROR_NOACCESS, 0},
        {"jump to no code", GetCurrentProcess(), entry, jumpOutside.data(), jumpOutside.size(), FALSE,
         ERROR_NOACCESS, 0},
        {"jump cut short", GetCurrentProcess(), entry, jumpShort.data(), jumpShort.size(), FALSE,
         ERROR_NOACCESS, 0},
        {"inside the entry", GetCurrentProcess(), entry + 1, noJump.data(), 4, FALSE, ERROR_NOACCESS, 0},
        {"another process", reinterpret_cast<HANDLE>(0x1234), pages, ones, sizeof(ones), FALSE,
         ERROR_ACCESS_DENIED, 0},
    };
    for (const auto& entryCase : cases) {
        SCOPED_TRACE(entryCase.name);
        SIZE_T written = 99;
        SetLastError(0);
        EXPECT_EQ(WriteProcessMemory(entryCase.process, entryCase.address, entryCase.bytes, entryCase.size,
                                     &written),
                  entryCase.result);
        EXPECT_EQ(written, entryCase.written);
        if (!entryCase.result) {
            EXPECT_EQ(GetLastError(), entryCase.error);
        }
    }
    EXPECT_EQ(std::memcmp(pages + 8, ones, sizeof(ones)), 0);
    EXPECT_EQ(pages[pageSize - 9], 0);
    EXPECT_EQ(pages[pageSize - 8], 1);
    EXPECT_EQ(pages[pageSize], 0);
    EXPECT_EQ(platform::PatchedFilterEntry(), nullptr);
    munmap(pages, 2 * pageSize);
}

// ---- The run-time's handlers ----

int g_invalidParameterCalls = 0;

void CountInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {
    ++g_invalidParameterCalls;
}

[[noreturn]] void ThrowFromPurecall() {
    throw 42;
}

TEST(FaultsRuntimeHandlers, TheRunTimeCallsTheInvalidParameterHandlerThenFails) {
    const _invalid_parameter_handler previous = _set_invalid_parameter_handler(CountInvalidParameter);
    EXPECT_EQ(_get_invalid_parameter_handler(), CountInvalidParameter);
    wchar_t buffer[4] = {};
    wchar_t name[4] = {};
    struct {
        const char* call;
        errno_t (*run)(wchar_t* buffer, wchar_t* name);
        errno_t result;
    } const cases[] = {
        {"wcscpy_s null buffer", [](wchar_t*, wchar_t*) { return wcscpy_s(nullptr, 4, L"x"); }, EINVAL},
        {"wcscpy_s too small", [](wchar_t* b, wchar_t*) { return wcscpy_s(b, 4, L"longer"); }, ERANGE},
        {"swprintf_s null buffer",
         [](wchar_t*, wchar_t*) {
             return static_cast<errno_t>(swprintf_s(nullptr, 4, L"x") < 0 ? EINVAL : 0);
         },
         EINVAL},
        {"_wsplitpath_s name too long",
         [](wchar_t*, wchar_t* n) {
             return _wsplitpath_s(L"C:\\folder\\longname.txt", nullptr, 0, nullptr, 0, n, 4, nullptr, 0);
         },
         ERANGE},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.call);
        g_invalidParameterCalls = 0;
        EXPECT_EQ(entry.run(buffer, name), entry.result);
        EXPECT_EQ(g_invalidParameterCalls, 1);
    }
    _set_invalid_parameter_handler(previous);
}

TEST(FaultsRuntimeHandlers, APureVirtualCallReachesThePurecallHandler) {
    const _purecall_handler previous = _set_purecall_handler(ThrowFromPurecall);
    int thrown = 0;
    try {
        testing_support::PureVirtualCall();
    } catch (int value) {
        thrown = value;
    }
    EXPECT_EQ(thrown, 42);
    EXPECT_EQ(_set_purecall_handler(previous), ThrowFromPurecall);
}

TEST(FaultsRuntimeHandlers, TheAbortBehaviourChangesOnlyTheMaskedFlags) {
    const unsigned original = _set_abort_behavior(0, 0);
    EXPECT_EQ(original, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
    EXPECT_EQ(_set_abort_behavior(0, _CALL_REPORTFAULT), original);
    EXPECT_EQ(_set_abort_behavior(0, 0), _WRITE_ABORT_MSG);
    EXPECT_EQ(_set_abort_behavior(_CALL_REPORTFAULT | _WRITE_ABORT_MSG, _CALL_REPORTFAULT), _WRITE_ABORT_MSG);
    EXPECT_EQ(_set_abort_behavior(original, _WRITE_ABORT_MSG | _CALL_REPORTFAULT), original);
}

} // namespace
