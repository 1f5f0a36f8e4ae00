// MiniDumpWriteDump: the file's layout and streams, every thread of the process with its stack, the
// exception's thread and context, the callback's say over threads, modules and memory, refusals, and
// dumps written by two threads at once.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <latch>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/faults.h"
#include "platform/files.h"
#include "platform/internal.h"
#include "tests/support/MiniDumpReader.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CMiniDumpReader;

const std::string kPlatformLibrary = "libflipdeck_platform.so";

// The module path the dump gives the program's own executable: its file, with backslashes.
std::string OwnExecutable() {
    std::string path = fs::read_symlink("/proc/self/exe").string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The thread's record in the list, when it is listed.
std::optional<MINIDUMP_THREAD> ThreadOf(const std::vector<MINIDUMP_THREAD>& threads, DWORD id) {
    const auto found = std::find_if(threads.begin(), threads.end(),
                                    [id](const MINIDUMP_THREAD& thread) { return thread.ThreadId == id; });
    return found == threads.end() ? std::nullopt : std::optional(*found);
}

bool HasModuleEnding(const std::vector<std::string>& names, const std::string& tail) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& name) { return name.ends_with(tail); });
}

bool HoldsAddress(const MINIDUMP_MEMORY_DESCRIPTOR& range, ULONG64 address) {
    return address >= range.StartOfMemoryRange && address < range.StartOfMemoryRange + range.Memory.DataSize;
}

// What a callback saw and how it answers.
struct CCallbackScript {
    std::vector<ULONG> types;
    std::vector<std::wstring> modulePaths;
    ULONG firstModuleFlags = 0;
    ULONG firstThreadFlags = 0;
    bool includeThread = true;
    ULONG clearThreadFlags = 0;
    std::string refuseModule; // included, then refused (IncludeModuleCallback FALSE)
    std::string dropModule;   // ModuleWriteModule cleared
    const void* extraMemory = nullptr;
    ULONG extraSize = 0;
    int memoryAsked = 0;
};

bool PathEndsWith(const wchar_t* path, const std::string& tail) {
    return !tail.empty() && path && platform::ToUtf8(path).ends_with(tail);
}

BOOL CALLBACK ScriptedCallback(PVOID param, const PMINIDUMP_CALLBACK_INPUT input,
                               PMINIDUMP_CALLBACK_OUTPUT output) {
    auto& script = *static_cast<CCallbackScript*>(param);
    script.types.push_back(input->CallbackType);
    switch (input->CallbackType) {
    case IncludeThreadCallback:
        return script.includeThread;
    case ThreadCallback:
        script.firstThreadFlags =
            script.firstThreadFlags ? script.firstThreadFlags : output->ThreadWriteFlags;
        output->ThreadWriteFlags &= ~script.clearThreadFlags;
        return TRUE;
    case ModuleCallback:
        script.firstModuleFlags =
            script.firstModuleFlags ? script.firstModuleFlags : output->ModuleWriteFlags;
        script.modulePaths.emplace_back(input->Module.FullPath);
        if (PathEndsWith(input->Module.FullPath, script.dropModule)) {
            output->ModuleWriteFlags &= ~ModuleWriteModule;
        }
        return !PathEndsWith(input->Module.FullPath, script.refuseModule);
    case MemoryCallback:
        if (script.memoryAsked++ == 0 && script.extraMemory) {
            output->MemoryBase = reinterpret_cast<ULONG64>(script.extraMemory);
            output->MemorySize = script.extraSize;
            return TRUE;
        }
        return FALSE;
    default:
        return TRUE;
    }
}

class FaultsMiniDumpTest : public testing::Test {
protected:
    HANDLE OpenDump(const wchar_t* path = L"C:\\dumps\\test.dmp",
                    DWORD access = GENERIC_READ | GENERIC_WRITE) {
        HANDLE file = CreateFileW(path, access, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        return file;
    }

    BOOL WriteDump(HANDLE file, MINIDUMP_EXCEPTION_INFORMATION* exception = nullptr,
                   MINIDUMP_CALLBACK_INFORMATION* callback = nullptr) {
        return MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, exception,
                                 nullptr, callback);
    }

    CMiniDumpReader ReadDump(const wchar_t* path = L"C:\\dumps\\test.dmp") const {
        return CMiniDumpReader(machine.HostPath(path));
    }

    BOOL WriteScripted(CCallbackScript& script) {
        HANDLE file = OpenDump();
        MINIDUMP_CALLBACK_INFORMATION callback{ScriptedCallback, &script};
        const BOOL written = WriteDump(file, nullptr, &callback);
        CloseHandle(file);
        return written;
    }

    testing_support::CTestMachine machine;
    bool made = fs::create_directories(machine.HostPath(L"C:\\dumps"));
};

TEST_F(FaultsMiniDumpTest, ADumpOfTheCallingThreadHoldsItsStackContextAndTheMappedModules) {
    HANDLE file = OpenDump();
    ASSERT_TRUE(WriteDump(file));
    CloseHandle(file);

    const CMiniDumpReader dump = ReadDump();
    ASSERT_TRUE(dump.IsValid());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&dump.Header()->Signature), 4), "MDMP");
    EXPECT_FALSE(dump.StreamLocation(ExceptionStream));

    const auto system = dump.Stream<MINIDUMP_SYSTEM_INFO>(SystemInfoStream);
    ASSERT_TRUE(system);
    EXPECT_EQ(system->ProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(system->MajorVersion, 10u);
    EXPECT_EQ(system->BuildNumber, 22631u);
    EXPECT_GE(system->NumberOfProcessors, 1);
    EXPECT_EQ(dump.StringAt(system->CSDVersionRva), u"");

    const auto threads = dump.List<MINIDUMP_THREAD>(ThreadListStream);
    const auto self = ThreadOf(threads, GetCurrentThreadId());
    ASSERT_TRUE(self);
    const auto context = dump.ContextAt(self->ThreadContext);
    ASSERT_TRUE(context);
    EXPECT_NE(context->Rip, 0u);
    EXPECT_TRUE(HoldsAddress(self->Stack, context->Rsp)) << "the stack holds the stack pointer";
    const auto ranges = dump.List<MINIDUMP_MEMORY_DESCRIPTOR>(MemoryListStream);
    EXPECT_EQ(ranges.size(), threads.size()) << "each thread's stack";
    EXPECT_TRUE(std::any_of(ranges.begin(), ranges.end(), [&](const MINIDUMP_MEMORY_DESCRIPTOR& range) {
        return range.Memory.Rva == self->Stack.Memory.Rva;
    }));

    const auto modules = dump.List<MINIDUMP_MODULE>(ModuleListStream);
    const auto names = dump.ModuleNames();
    EXPECT_TRUE(HasModuleEnding(names, OwnExecutable()));
    EXPECT_TRUE(HasModuleEnding(names, "\\" + kPlatformLibrary));
    for (const auto& module : modules) {
        EXPECT_GT(module.SizeOfImage, 0u);
        EXPECT_EQ(std::memcmp(reinterpret_cast<const void*>(module.BaseOfImage),
                              "\x7f"
                              "ELF",
                              4),
                  0);
    }

    const auto events = platform::ReadWholeFile(machine.Folder() / "events.jsonl").value_or("");
    EXPECT_NE(events.find(R"("event":"crash.dump")"), std::string::npos);
    EXPECT_NE(events.find(R"("file":"C:\\dumps\\test.dmp")"), std::string::npos) << events;
    EXPECT_NE(events.find(R"("threadId":)" + std::to_string(GetCurrentThreadId())), std::string::npos);
}

TEST_F(FaultsMiniDumpTest, EveryThreadOfTheProcessIsListedWithItsRegistersAndStack) {
    constexpr int kWaiting = 2;
    std::latch started(kWaiting);
    std::atomic<bool> release{false};
    DWORD ids[kWaiting] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < kWaiting; ++i) {
        threads.emplace_back([&, i] {
            ids[i] = GetCurrentThreadId();
            started.count_down();
            while (!release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    started.wait();
    HANDLE file = OpenDump();
    const BOOL written = WriteDump(file);
    CloseHandle(file);
    release = true;
    for (auto& thread : threads) {
        thread.join(); // the stopped threads went on after the dump
    }
    ASSERT_TRUE(written);

    const CMiniDumpReader dump = ReadDump();
    const auto listed = dump.List<MINIDUMP_THREAD>(ThreadListStream);
    for (const DWORD id : {ids[0], ids[1], GetCurrentThreadId()}) {
        SCOPED_TRACE(id);
        const auto thread = ThreadOf(listed, id);
        ASSERT_TRUE(thread);
        const auto context = dump.ContextAt(thread->ThreadContext);
        ASSERT_TRUE(context);
        EXPECT_TRUE(HoldsAddress(thread->Stack, context->Rsp)) << "its own stack, where it stood";
    }
}

TEST_F(FaultsMiniDumpTest, TheExceptionsThreadAndContextAreTheOnesGiven) {
    struct {
        const char* name;
        DWORD threadId;
        bool listed; // a thread of the process, whose record then holds the exception's context
    } const cases[] = {{"the calling thread", GetCurrentThreadId(), true},
                       {"no thread of the process", 4242, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        volatile char onStack[64] = {};
        CONTEXT context{};
        context.ContextFlags = CONTEXT_FULL;
        context.Rsp = reinterpret_cast<DWORD64>(&onStack[0]);
        context.Rip = reinterpret_cast<DWORD64>(&MiniDumpWriteDump);
        context.Rax = 0x1234;
        EXCEPTION_RECORD record{};
        record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        record.ExceptionAddress = reinterpret_cast<PVOID>(context.Rip);
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = 1;
        record.ExceptionInformation[1] = 0x10;
        EXCEPTION_POINTERS pointers{&record, &context};
        MINIDUMP_EXCEPTION_INFORMATION exception{c.threadId, &pointers, FALSE};

        HANDLE file = OpenDump();
        ASSERT_TRUE(WriteDump(file, &exception));
        CloseHandle(file);

        const CMiniDumpReader dump = ReadDump();
        const auto stream = dump.Stream<MINIDUMP_EXCEPTION_STREAM>(ExceptionStream);
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->ThreadId, c.threadId);
        EXPECT_EQ(stream->ExceptionRecord.ExceptionCode, EXCEPTION_ACCESS_VIOLATION);
        EXPECT_EQ(stream->ExceptionRecord.ExceptionAddress, context.Rip);
        EXPECT_EQ(stream->ExceptionRecord.NumberParameters, 2u);
        EXPECT_EQ(stream->ExceptionRecord.ExceptionInformation[0], 1u);
        EXPECT_EQ(stream->ExceptionRecord.ExceptionInformation[1], 0x10u);
        const auto written = dump.ContextAt(stream->ThreadContext);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->Rax, 0x1234u);

        const auto threads = dump.List<MINIDUMP_THREAD>(ThreadListStream);
        const auto thread = ThreadOf(threads, c.threadId);
        ASSERT_EQ(thread.has_value(), c.listed);
        EXPECT_TRUE(ThreadOf(threads, GetCurrentThreadId())) << "the real threads are listed";
        if (c.listed) {
            EXPECT_EQ(thread->ThreadContext.Rva, stream->ThreadContext.Rva);
            EXPECT_TRUE(HoldsAddress(thread->Stack, context.Rsp));
        }
    }
}

TEST_F(FaultsMiniDumpTest, TheCallbackIsAskedAsTheSystemWriterAsksIt) {
    CCallbackScript script;
    ASSERT_TRUE(WriteScripted(script));
    ASSERT_GE(script.types.size(), 4u);
    EXPECT_EQ(script.types[0], IncludeThreadCallback);
    EXPECT_EQ(script.types[1], ThreadCallback);
    EXPECT_EQ(script.types.back(), MemoryCallback);
    EXPECT_EQ(std::count(script.types.begin(), script.types.end(), IncludeModuleCallback),
              std::count(script.types.begin(), script.types.end(), ModuleCallback));
    EXPECT_EQ(script.firstThreadFlags, ThreadWriteThread | ThreadWriteStack | ThreadWriteContext);
    EXPECT_EQ(script.firstModuleFlags, ModuleWriteModule | ModuleWriteMiscRecord | ModuleWriteCvRecord)
        << "a normal dump writes no data segments";
    EXPECT_EQ(ReadDump().ModuleNames().size(), script.modulePaths.size());
}

TEST_F(FaultsMiniDumpTest, TheCallbacksAnswersLeaveThreadsModulesAndStacksOut) {
    struct {
        const char* name;
        void (*setUp)(CCallbackScript& script);
        bool threads;
        bool stack;
        bool platformModule;
    } const cases[] = {
        {"thread refused", [](CCallbackScript& s) { s.includeThread = false; }, false, false, true},
        {"thread flag cleared", [](CCallbackScript& s) { s.clearThreadFlags = ThreadWriteThread; }, false,
         false, true},
        {"stack flag cleared", [](CCallbackScript& s) { s.clearThreadFlags = ThreadWriteStack; }, true, false,
         true},
        {"module refused", [](CCallbackScript& s) { s.refuseModule = kPlatformLibrary; }, true, true, false},
        {"module flag cleared", [](CCallbackScript& s) { s.dropModule = kPlatformLibrary; }, true, true,
         false},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        CCallbackScript script;
        entry.setUp(script);
        ASSERT_TRUE(WriteScripted(script));
        const CMiniDumpReader dump = ReadDump();
        ASSERT_TRUE(dump.IsValid());
        const auto threads = dump.List<MINIDUMP_THREAD>(ThreadListStream);
        EXPECT_EQ(ThreadOf(threads, GetCurrentThreadId()).has_value(), entry.threads);
        EXPECT_EQ(dump.List<MINIDUMP_MEMORY_DESCRIPTOR>(MemoryListStream).size(),
                  entry.stack ? threads.size() : 0u);
        for (const auto& thread : threads) {
            EXPECT_EQ(thread.Stack.Memory.DataSize > 0, entry.stack);
        }
        EXPECT_EQ(HasModuleEnding(dump.ModuleNames(), "\\" + kPlatformLibrary), entry.platformModule);
        EXPECT_TRUE(HasModuleEnding(dump.ModuleNames(), OwnExecutable()));
    }
}

TEST_F(FaultsMiniDumpTest, MemoryTheCallbackAddsIsWrittenAsFarAsItCanBeRead) {
    static const char kMarker[] = "memory the callback added";
    CCallbackScript script;
    script.extraMemory = kMarker;
    script.extraSize = sizeof(kMarker);
    ASSERT_TRUE(WriteScripted(script));
    EXPECT_EQ(script.memoryAsked, 2) << "asked again until it answers FALSE";
    const CMiniDumpReader dump = ReadDump();
    const auto ranges = dump.List<MINIDUMP_MEMORY_DESCRIPTOR>(MemoryListStream);
    const size_t stacks = dump.List<MINIDUMP_THREAD>(ThreadListStream).size();
    ASSERT_EQ(ranges.size(), stacks + 1);
    EXPECT_EQ(ranges.back().StartOfMemoryRange, reinterpret_cast<ULONG64>(kMarker));
    EXPECT_EQ(dump.MemoryAt(ranges.back().Memory), std::string(kMarker, sizeof(kMarker)));

    CCallbackScript unreadable;
    unreadable.extraMemory = reinterpret_cast<const void*>(0x10);
    unreadable.extraSize = 64;
    ASSERT_TRUE(WriteScripted(unreadable));
    const CMiniDumpReader again = ReadDump();
    EXPECT_EQ(again.List<MINIDUMP_MEMORY_DESCRIPTOR>(MemoryListStream).size(),
              again.List<MINIDUMP_THREAD>(ThreadListStream).size());
}

TEST_F(FaultsMiniDumpTest, RefusesWhatItCannotWrite) {
    HANDLE writable = OpenDump();
    HANDLE readOnly = CreateFileW(L"C:\\dumps\\test.dmp", GENERIC_READ, FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    int userStreams = 0;
    struct {
        const char* name;
        HANDLE process;
        DWORD processId;
        HANDLE file;
        MINIDUMP_TYPE type;
        PMINIDUMP_USER_STREAM_INFORMATION userStreams;
        HRESULT error;
    } const cases[] = {
        {"another process", reinterpret_cast<HANDLE>(0x1234), GetCurrentProcessId(), writable, MiniDumpNormal,
         nullptr, HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)},
        {"another process id", GetCurrentProcess(), GetCurrentProcessId() + 1, writable, MiniDumpNormal,
         nullptr, E_INVALIDARG},
        {"no file", GetCurrentProcess(), GetCurrentProcessId(), reinterpret_cast<HANDLE>(0x4321),
         MiniDumpNormal, nullptr, E_INVALIDARG},
        {"file not writable", GetCurrentProcess(), GetCurrentProcessId(), readOnly, MiniDumpNormal, nullptr,
         E_INVALIDARG},
        {"full memory", GetCurrentProcess(), GetCurrentProcessId(), writable, MiniDumpWithFullMemory, nullptr,
         HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)},
        {"user streams", GetCurrentProcess(), GetCurrentProcessId(), writable, MiniDumpNormal,
         reinterpret_cast<PMINIDUMP_USER_STREAM_INFORMATION>(&userStreams),
         HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        SetLastError(0);
        EXPECT_FALSE(MiniDumpWriteDump(entry.process, entry.processId, entry.file, entry.type, nullptr,
                                       entry.userStreams, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(entry.error));
    }
    CloseHandle(readOnly);
    CloseHandle(writable);
    EXPECT_EQ(fs::file_size(machine.HostPath(L"C:\\dumps\\test.dmp")), 0u);
}

TEST_F(FaultsMiniDumpTest, TwoThreadsWritingAtOnceEachWriteAWholeDump) {
    const wchar_t* const paths[] = {L"C:\\dumps\\first.dmp", L"C:\\dumps\\second.dmp"};
    DWORD threadIds[2] = {};
    BOOL results[2] = {};
    std::latch start(2);
    auto write = [&](int index) {
        HANDLE file = OpenDump(paths[index]);
        threadIds[index] = GetCurrentThreadId();
        start.arrive_and_wait();
        results[index] = WriteDump(file);
        CloseHandle(file);
    };
    std::thread first(write, 0);
    std::thread second(write, 1);
    first.join();
    second.join();
    for (int index = 0; index < 2; ++index) {
        SCOPED_TRACE(index);
        EXPECT_TRUE(results[index]);
        const CMiniDumpReader dump = ReadDump(paths[index]);
        ASSERT_TRUE(dump.IsValid());
        const auto threads = dump.List<MINIDUMP_THREAD>(ThreadListStream);
        EXPECT_TRUE(ThreadOf(threads, threadIds[index]));
        EXPECT_TRUE(HasModuleEnding(dump.ModuleNames(), OwnExecutable()));
    }
}

} // namespace
