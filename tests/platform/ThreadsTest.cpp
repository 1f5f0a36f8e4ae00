// Handles, events, waits, threads and the count of live workers.
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/threads.h"
#include "tests/platform/ThreadsTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

using threads_test::BeginThread;
using threads_test::kLongWait;
using threads_test::Own;

// A worker that waits for `go`, then ends with `code`.
struct CWorkerJob {
    HANDLE go = nullptr;
    unsigned code = 0;
    std::atomic<DWORD> threadId{0};
};

unsigned __stdcall WaitThenReturn(void* arg) {
    auto* job = static_cast<CWorkerJob*>(arg);
    job->threadId = GetCurrentThreadId();
    WaitForSingleObject(job->go, INFINITE);
    return job->code;
}

DWORD WINAPI WaitThenReturnDword(LPVOID arg) {
    return WaitThenReturn(arg);
}

unsigned __stdcall WaitThenEndThread(void* arg) {
    auto* job = static_cast<CWorkerJob*>(arg);
    WaitForSingleObject(job->go, INFINITE);
    _endthreadex(job->code);
}

HANDLE NewEvent(BOOL manualReset, BOOL initialState) {
    return CreateEventW(nullptr, manualReset, initialState, nullptr);
}

// ---- Handles ----

TEST(ThreadsHandles, AnythingButAnOpenHandleFailsAsInvalid) {
    const HANDLE closed = NewEvent(TRUE, FALSE);
    ASSERT_TRUE(CloseHandle(closed));
    for (const HANDLE handle : {static_cast<HANDLE>(nullptr), closed, reinterpret_cast<HANDLE>(0x40000000)}) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(handle));
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(handle));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(SetEvent(handle));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

TEST(ThreadsHandles, AHandleOfTheWrongKindIsInvalid) {
    const auto event = Own(NewEvent(TRUE, FALSE));
    SetLastError(0);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(event.get(), &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(ReleaseMutex(event.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(ThreadsHandles, ValuesAreSmallMultiplesOfFourAndNotReusedAtOnce) {
    std::vector<uintptr_t> seen;
    for (int i = 0; i < 8; ++i) {
        const HANDLE handle = NewEvent(FALSE, FALSE);
        const auto value = reinterpret_cast<uintptr_t>(handle);
        EXPECT_NE(handle, nullptr);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE);
        EXPECT_EQ(value % 4, 0u);
        EXPECT_LT(value, 0x01000000u);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), value), 0);
        seen.push_back(value);
        ASSERT_TRUE(CloseHandle(handle));
    }
}

TEST(ThreadsHandles, PseudoHandlesStandForTheCaller) {
    EXPECT_TRUE(CloseHandle(GetCurrentThread()));
    EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(GetCurrentThread(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
}

// ---- Events ----

TEST(ThreadsEvents, ManualResetStaysSignalledAutoResetReleasesOneWait) {
    struct Case {
        BOOL manualReset;
        BOOL initialState;
        DWORD firstWait;
        DWORD secondWait;
    };
    const Case cases[] = {
        {TRUE, TRUE, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {FALSE, TRUE, WAIT_OBJECT_0, WAIT_TIMEOUT},
        {TRUE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {FALSE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "manual " << c.manualReset << ", initial " << c.initialState);
        const auto event = Own(NewEvent(c.manualReset, c.initialState));
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), c.firstWait);
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), c.secondWait);

        ASSERT_TRUE(SetEvent(event.get()));
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), c.manualReset ? WAIT_OBJECT_0 : WAIT_TIMEOUT);

        ASSERT_TRUE(SetEvent(event.get()));
        ASSERT_TRUE(ResetEvent(event.get()));
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
    }
}

TEST(ThreadsEvents, SetEventWakesAWaitingThread) {
    const auto go = Own(NewEvent(FALSE, FALSE));
    CWorkerJob job{go.get(), 7};
    const auto thread = Own(BeginThread(WaitThenReturn, &job));
    ASSERT_NE(thread.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 20), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(go.get()));
    ASSERT_EQ(WaitForSingleObject(thread.get(), kLongWait), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 7u);
}

TEST(ThreadsEvents, AnAutoResetEventReleasesOneWaiterPerSet) {
    const auto go = Own(NewEvent(FALSE, FALSE));
    CWorkerJob job{go.get(), 0};
    const HANDLE threads[] = {BeginThread(WaitThenReturn, &job), BeginThread(WaitThenReturn, &job)};
    ASSERT_TRUE(SetEvent(go.get()));
    const DWORD first = WaitForMultipleObjects(2, threads, FALSE, kLongWait);
    ASSERT_LT(first, WAIT_OBJECT_0 + 2);
    const HANDLE other = threads[1 - (first - WAIT_OBJECT_0)];
    EXPECT_EQ(WaitForSingleObject(other, 50), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(go.get()));
    EXPECT_EQ(WaitForSingleObject(other, kLongWait), WAIT_OBJECT_0);
    for (const HANDLE thread : threads) {
        CloseHandle(thread);
    }
}

TEST(ThreadsEvents, CreateEventExTakesTheFlags) {
    const auto manualSet = Own(CreateEventExW(
        nullptr, nullptr, CREATE_EVENT_MANUAL_RESET | CREATE_EVENT_INITIAL_SET, EVENT_ALL_ACCESS));
    EXPECT_EQ(WaitForSingleObject(manualSet.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manualSet.get(), 0), WAIT_OBJECT_0);
    SetLastError(0);
    EXPECT_EQ(CreateEventExW(nullptr, nullptr, 0x4, EVENT_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- Waits ----

TEST(ThreadsWaits, WaitAnyAnswersTheFirstSignalledObject) {
    const auto unset = Own(NewEvent(TRUE, FALSE));
    const auto set1 = Own(NewEvent(TRUE, TRUE));
    const auto set2 = Own(NewEvent(TRUE, TRUE));
    const HANDLE handles[] = {unset.get(), set1.get(), set2.get()};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    const HANDLE twice[] = {set2.get(), set2.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
}

TEST(ThreadsWaits, AnIncompleteWaitAllTakesNothing) {
    const auto autoSet = Own(NewEvent(FALSE, TRUE));
    const auto other = Own(NewEvent(FALSE, FALSE));
    const HANDLE handles[] = {autoSet.get(), other.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(autoSet.get(), 0), WAIT_OBJECT_0);

    ASSERT_TRUE(SetEvent(autoSet.get()));
    ASSERT_TRUE(SetEvent(other.get()));
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_TIMEOUT);
}

struct CWaitAllJob {
    HANDLE handles[2];
};

unsigned __stdcall WaitForBoth(void* arg) {
    auto* job = static_cast<CWaitAllJob*>(arg);
    return WaitForMultipleObjects(2, job->handles, TRUE, INFINITE);
}

TEST(ThreadsWaits, WaitAllCompletesWhenTheLastObjectIsSignalled) {
    const auto first = Own(NewEvent(TRUE, FALSE));
    const auto second = Own(NewEvent(FALSE, FALSE));
    CWaitAllJob job{{first.get(), second.get()}};
    const auto thread = Own(BeginThread(WaitForBoth, &job));
    ASSERT_TRUE(SetEvent(first.get()));
    EXPECT_EQ(WaitForSingleObject(thread.get(), 20), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(second.get()));
    ASSERT_EQ(WaitForSingleObject(thread.get(), kLongWait), WAIT_OBJECT_0);
    DWORD result = WAIT_FAILED;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &result));
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_TIMEOUT); // taken by the wait
}

TEST(ThreadsWaits, BadArgumentsFail) {
    const auto event = Own(NewEvent(TRUE, TRUE));
    const HANDLE closed = NewEvent(TRUE, TRUE);
    CloseHandle(closed);
    std::vector<HANDLE> tooMany(MAXIMUM_WAIT_OBJECTS + 1, event.get());
    const HANDLE withClosed[] = {event.get(), closed};
    const HANDLE twice[] = {event.get(), event.get()};
    struct Case {
        const char* name;
        DWORD count;
        const HANDLE* handles;
        BOOL waitAll;
        DWORD error;
    };
    const Case cases[] = {
        {"no handles", 0, twice, FALSE, ERROR_INVALID_PARAMETER},
        {"more than 64", MAXIMUM_WAIT_OBJECTS + 1, tooMany.data(), FALSE, ERROR_INVALID_PARAMETER},
        {"null array", 1, nullptr, FALSE, ERROR_INVALID_PARAMETER},
        {"a closed handle", 2, withClosed, FALSE, ERROR_INVALID_HANDLE},
        {"an object twice in a wait for all", 2, twice, TRUE, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.waitAll, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, tooMany.data(), FALSE, 0), WAIT_OBJECT_0);
}

TEST(ThreadsWaits, ATimeoutIsNotCutShort) {
    const auto event = Own(NewEvent(FALSE, FALSE));
    const HANDLE handles[] = {event.get(), event.get()};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event.get(), 30), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 30), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

// ---- Named events ----

class ThreadsNamedEvents : public testing::Test {
protected:
    testing_support::CTestMachine m_machine;
};

TEST_F(ThreadsNamedEvents, ANameGivesOneObjectInTheProcess) {
    SetLastError(ERROR_INVALID_DATA);
    const auto first = Own(CreateEventW(nullptr, FALSE, FALSE, L"Local\\Refresh"));
    ASSERT_NE(first.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    const auto second = Own(CreateEventW(nullptr, TRUE, TRUE, L"Global\\Refresh"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    const auto opened = Own(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Refresh"));
    ASSERT_NE(opened.get(), nullptr);

    // The first creation's settings hold: not signalled, auto-reset.
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(opened.get()));
    EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_TIMEOUT);
}

TEST_F(ThreadsNamedEvents, AnObjectLivesWhileAnyHandleDoesAndTheNameGoesWithTheLast) {
    auto first = Own(CreateEventW(nullptr, TRUE, FALSE, L"Refresh"));
    auto second = Own(OpenEventW(SYNCHRONIZE, FALSE, L"Refresh"));
    first.reset();
    ASSERT_TRUE(SetEvent(second.get()));
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_OBJECT_0);
    second.reset();

    SetLastError(0);
    EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, L"Refresh"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    const auto again = Own(CreateEventW(nullptr, TRUE, FALSE, L"Refresh"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(again.get(), 0), WAIT_TIMEOUT);
}

TEST_F(ThreadsNamedEvents, BadNamesFail) {
    const auto mutex = Own(CreateMutexW(nullptr, FALSE, L"Taken"));
    const std::wstring tooLong(MAX_PATH + 1, L'x');
    struct Case {
        std::wstring name;
        DWORD error;
    };
    const Case cases[] = {
        {L"Taken", ERROR_INVALID_HANDLE},        {L"Global\\Taken", ERROR_INVALID_HANDLE},
        {L"Folder\\Name", ERROR_PATH_NOT_FOUND}, {L"Local\\", ERROR_INVALID_NAME},
        {tooLong, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.name));
        SetLastError(0);
        EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, c.name.c_str()), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
        SetLastError(0);
        EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, c.name.c_str()), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

// ---- Threads ----

TEST(ThreadsThreads, TheExitCodeIsStillActiveUntilTheThreadEnds) {
    using Start = HANDLE (*)(CWorkerJob&);
    struct Case {
        const char* name;
        Start start;
    };
    const Case cases[] = {
        {"_beginthreadex", [](CWorkerJob& job) { return BeginThread(WaitThenReturn, &job); }},
        {"CreateThread",
         [](CWorkerJob& job) { return CreateThread(nullptr, 0, WaitThenReturnDword, &job, 0, nullptr); }},
        {"_endthreadex", [](CWorkerJob& job) { return BeginThread(WaitThenEndThread, &job); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto go = Own(NewEvent(TRUE, FALSE));
        CWorkerJob job{go.get(), 42};
        const auto thread = Own(c.start(job));
        ASSERT_NE(thread.get(), nullptr);
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
        EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
        ASSERT_TRUE(SetEvent(go.get()));
        ASSERT_EQ(WaitForSingleObject(thread.get(), kLongWait), WAIT_OBJECT_0);
        ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
        EXPECT_EQ(code, 42u);
    }
}

TEST(ThreadsThreads, TheThreadIdGivenIsTheThreadsOwn) {
    const auto go = Own(NewEvent(TRUE, TRUE));
    CWorkerJob job{go.get(), 0};
    unsigned threadId = 0;
    const auto thread = Own(BeginThread(WaitThenReturn, &job, &threadId));
    ASSERT_EQ(WaitForSingleObject(thread.get(), kLongWait), WAIT_OBJECT_0);
    EXPECT_EQ(threadId, job.threadId.load());
    EXPECT_NE(threadId, GetCurrentThreadId());
}

unsigned __stdcall ReportStackSize(void* arg) {
    pthread_attr_t attributes;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &size);
        pthread_attr_destroy(&attributes);
    }
    *static_cast<size_t*>(arg) = size;
    return 0;
}

// Windows reserves the executable's 1 MB for a thread unless a commit size asks for more (rounded up to
// whole megabytes); a reservation is taken as given, in 64 KB steps.
TEST(ThreadsThreads, AThreadGetsTheStackWindowsReservesForIt) {
    constexpr unsigned kKb = 1024;
    constexpr unsigned kMb = 1024 * kKb;
    struct Case {
        unsigned size;
        unsigned flags;
        size_t reserved;
    };
    const Case cases[] = {
        {0, 0, kMb},
        {64 * kKb, 0, kMb},
        {kMb + 1, 0, 2 * kMb},
        {3 * kMb, 0, 3 * kMb},
        {256 * kKb, STACK_SIZE_PARAM_IS_A_RESERVATION, 256 * kKb},
        {100 * kKb, STACK_SIZE_PARAM_IS_A_RESERVATION, 128 * kKb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes, flags " << c.flags);
        size_t size = 0;
        const auto thread = Own(reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, c.size, ReportStackSize, &size, c.flags, nullptr)));
        ASSERT_NE(thread.get(), nullptr);
        ASSERT_EQ(WaitForSingleObject(thread.get(), kLongWait), WAIT_OBJECT_0);
        EXPECT_EQ(size, c.reserved);
        const auto created = Own(CreateThread(
            nullptr, c.size, [](LPVOID arg) -> DWORD { return ReportStackSize(arg); }, &size, c.flags,
            nullptr));
        ASSERT_NE(created.get(), nullptr);
        ASSERT_EQ(WaitForSingleObject(created.get(), kLongWait), WAIT_OBJECT_0);
        EXPECT_EQ(size, c.reserved) << "CreateThread";
    }
}

TEST(ThreadsThreads, UnsupportedStartsFail) {
    const SECURITY_ATTRIBUTES withDescriptor{sizeof(SECURITY_ATTRIBUTES), reinterpret_cast<void*>(0x1000),
                                             FALSE};
    CWorkerJob job;
    struct Case {
        const char* name;
        void* security;
        _beginthreadex_proc_type procedure;
        unsigned flags;
        DWORD error;
    };
    const Case cases[] = {
        {"no procedure", nullptr, nullptr, 0, ERROR_INVALID_PARAMETER},
        {"suspended", nullptr, WaitThenReturn, 0x4, ERROR_NOT_SUPPORTED},
        {"a security descriptor", const_cast<SECURITY_ATTRIBUTES*>(&withDescriptor), WaitThenReturn, 0,
         ERROR_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errno = 0;
        EXPECT_EQ(_beginthreadex(c.security, 0, c.procedure, &job, c.flags, nullptr), 0u);
        EXPECT_EQ(errno, EINVAL);
        SetLastError(0);
        const auto procedure = c.procedure ? WaitThenReturnDword : nullptr;
        EXPECT_EQ(CreateThread(static_cast<LPSECURITY_ATTRIBUTES>(c.security), 0, procedure, &job, c.flags,
                               nullptr),
                  nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(platform::LiveWorkerCount(), 0);
}

[[noreturn]] unsigned __stdcall Throw(void*) {
    throw std::runtime_error("escaped");
}

FLIPDECK_CHILD_ACTION(threads_throw_in_worker) {
    CloseHandle(BeginThread(Throw, nullptr));
    Sleep(INFINITE);
    return 0;
}

TEST(ThreadsThreads, AnExceptionEscapingAThreadEndsTheProcess) {
    EXPECT_EQ(testing_support::RunChild("threads_throw_in_worker"), 128 + SIGABRT);
}

// ---- Live workers ----

class ThreadsWorkers : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::WaitForWorkers(kLongWait)); }
};

TEST_F(ThreadsWorkers, WorkersWithClosedHandlesAreCountedUntilTheyEnd) {
    const auto go = Own(NewEvent(TRUE, FALSE));
    CWorkerJob job{go.get(), 0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(CloseHandle(BeginThread(WaitThenReturn, &job)));
    }
    EXPECT_EQ(platform::LiveWorkerCount(), 3);
    EXPECT_FALSE(platform::WaitForWorkers(20));
    ASSERT_TRUE(SetEvent(go.get()));
    EXPECT_TRUE(platform::WaitForWorkers(kLongWait));
    EXPECT_EQ(platform::LiveWorkerCount(), 0);
}

unsigned __stdcall WaitForOtherWorkers(void*) {
    return platform::WaitForWorkers(kLongWait) ? 1 : 0;
}

TEST_F(ThreadsWorkers, AWorkerWaitingForWorkersDoesNotWaitForItself) {
    const auto thread = Own(BeginThread(WaitForOtherWorkers, nullptr));
    ASSERT_EQ(WaitForSingleObject(thread.get(), kLongWait), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 1u);
}

TEST(ThreadsSleep, SleepWaitsAtLeastTheTimeGiven) {
    const auto start = std::chrono::steady_clock::now();
    Sleep(25);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
    Sleep(0);
    EXPECT_TRUE(SwitchToThread());
}

} // namespace
