// Mutexes: ownership, recursion, abandonment, and named mutexes shared by the processes of a machine.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/threads.h"
#include "tests/platform/ThreadsTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

namespace fs = std::filesystem;

using threads_test::BeginThread;
using threads_test::kLongWait;
using threads_test::Own;
using threads_test::RunOnWorker;

unsigned __stdcall TryToTake(void* mutex) {
    const DWORD result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        ReleaseMutex(mutex);
    }
    return result;
}

unsigned __stdcall ReleaseWithoutOwning(void* mutex) {
    return ReleaseMutex(mutex) ? ERROR_SUCCESS : GetLastError();
}

unsigned __stdcall TakeAndEnd(void* mutex) {
    return WaitForSingleObject(mutex, 0);
}

// ---- Ownership within the process ----

TEST(ThreadsMutex, TheOwnerTakesItAgainAndMustReleaseAsOftenAsItTook) {
    const auto mutex = Own(CreateMutexW(nullptr, TRUE, nullptr));
    ASSERT_NE(mutex.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(RunOnWorker(TryToTake, mutex.get()), WAIT_TIMEOUT);
    EXPECT_EQ(RunOnWorker(ReleaseWithoutOwning, mutex.get()), static_cast<DWORD>(ERROR_NOT_OWNER));

    EXPECT_TRUE(ReleaseMutex(mutex.get()));
    EXPECT_EQ(RunOnWorker(TryToTake, mutex.get()), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
    SetLastError(0);
    EXPECT_FALSE(ReleaseMutex(mutex.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_EQ(RunOnWorker(TryToTake, mutex.get()), WAIT_OBJECT_0);
}

TEST(ThreadsMutex, AWaiterGetsTheMutexWhenTheOwnerReleasesIt) {
    const auto mutex = Own(CreateMutexW(nullptr, TRUE, nullptr));
    const auto waiter =
        Own(BeginThread([](void* m) -> unsigned { return WaitForSingleObject(m, INFINITE); }, mutex.get()));
    EXPECT_EQ(WaitForSingleObject(waiter.get(), 20), WAIT_TIMEOUT);
    ASSERT_TRUE(ReleaseMutex(mutex.get()));
    ASSERT_EQ(WaitForSingleObject(waiter.get(), kLongWait), WAIT_OBJECT_0);
    DWORD result = WAIT_FAILED;
    GetExitCodeThread(waiter.get(), &result);
    EXPECT_EQ(result, WAIT_OBJECT_0);
    // The waiter ended owning it: the next owner learns that it was abandoned.
    EXPECT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
}

TEST(ThreadsMutex, AMutexWhoseOwnerEndedIsAbandonedOnce) {
    using Abandon = void (*)(HANDLE);
    struct Case {
        const char* name;
        Abandon abandon;
    };
    const Case cases[] = {
        {"a worker", [](HANDLE m) { EXPECT_EQ(RunOnWorker(TakeAndEnd, m), WAIT_OBJECT_0); }},
        {"a thread the layer did not start",
         [](HANDLE m) { std::thread([m] { EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0); }).join(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto mutex = Own(CreateMutexW(nullptr, FALSE, nullptr));
        const auto unset = Own(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        const auto set = Own(CreateEventW(nullptr, TRUE, TRUE, nullptr));
        const HANDLE any[] = {unset.get(), mutex.get()};
        const HANDLE all[] = {set.get(), mutex.get()};

        c.abandon(mutex.get());
        EXPECT_EQ(WaitForMultipleObjects(2, any, FALSE, 0), WAIT_ABANDONED_0 + 1);
        EXPECT_TRUE(ReleaseMutex(mutex.get()));
        c.abandon(mutex.get());
        EXPECT_EQ(WaitForMultipleObjects(2, all, TRUE, 0), WAIT_ABANDONED_0 + 1);
        EXPECT_TRUE(ReleaseMutex(mutex.get()));
        c.abandon(mutex.get());
        EXPECT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_ABANDONED);
        EXPECT_TRUE(ReleaseMutex(mutex.get()));
        EXPECT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
        EXPECT_TRUE(ReleaseMutex(mutex.get()));
    }
}

TEST(ThreadsMutex, AWaitForAllThatCannotTakeTheMutexTakesNothing) {
    const auto mutex = Own(CreateMutexW(nullptr, FALSE, nullptr));
    const auto autoSet = Own(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    struct CJob {
        HANDLE handles[2];
    } job{{autoSet.get(), mutex.get()}};
    // Held by this thread, so the worker's wait for all fails and must leave the event set.
    ASSERT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(RunOnWorker(
                  [](void* j) -> unsigned {
                      return WaitForMultipleObjects(2, static_cast<CJob*>(j)->handles, TRUE, 0);
                  },
                  &job),
              WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(autoSet.get(), 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
}

// ---- Named mutexes ----

class ThreadsNamedMutex : public testing::Test {
protected:
    fs::path File(const char* name) const { return m_machine.Folder() / name; }

    testing_support::CTestMachine m_machine;
};

constexpr const wchar_t* kName = L"FlipdeckAppInstance";

TEST_F(ThreadsNamedMutex, ASecondCreationInTheProcessFindsItAndDoesNotTakeIt) {
    SetLastError(ERROR_INVALID_DATA);
    const auto first = Own(CreateMutexW(nullptr, TRUE, kName));
    ASSERT_NE(first.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    const auto second = Own(CreateMutexW(nullptr, TRUE, L"Global\\FlipdeckAppInstance"));
    ASSERT_NE(second.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(ReleaseMutex(second.get()));
    EXPECT_FALSE(ReleaseMutex(first.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
}

// Child actions answer the last error (or a wait's outcome) as their exit code.
FLIPDECK_CHILD_ACTION(mutex_create) {
    CreateMutexW(nullptr, FALSE, platform::FromUtf8(args.at(0)).c_str());
    return static_cast<int>(GetLastError());
}

FLIPDECK_CHILD_ACTION(mutex_open) {
    return OpenMutexW(SYNCHRONIZE, FALSE, platform::FromUtf8(args.at(0)).c_str())
               ? 0
               : static_cast<int>(GetLastError());
}

FLIPDECK_CHILD_ACTION(event_create) {
    CreateEventW(nullptr, TRUE, FALSE, platform::FromUtf8(args.at(0)).c_str());
    return static_cast<int>(GetLastError());
}

enum EChildWait { kTaken = 0, kTakenAbandoned = 1, kTimedOut = 2, kWaitFailed = 3 };

// Opens the mutex and tries to take it; "release" gives it back, "die" ends the process at once holding it.
FLIPDECK_CHILD_ACTION(mutex_try) {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, platform::FromUtf8(args.at(0)).c_str());
    const DWORD result = WaitForSingleObject(mutex, 0);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        return result == WAIT_TIMEOUT ? kTimedOut : kWaitFailed;
    }
    const int code = result == WAIT_ABANDONED ? kTakenAbandoned : kTaken;
    if (args.at(1) == "die") {
        _exit(code);
    }
    ReleaseMutex(mutex);
    return code;
}

// Creates and owns the mutex, tells so by a file, and when another file appears ends as args[3] says:
// "release" the mutex first, "return" from the process owning it, or "die" at once.
FLIPDECK_CHILD_ACTION(mutex_hold) {
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, platform::FromUtf8(args.at(0)).c_str());
    std::ofstream(args.at(1)) << "ready";
    while (!fs::exists(args.at(2))) {
        Sleep(5);
    }
    if (args.at(3) == "die") {
        _exit(0);
    }
    if (args.at(3) == "release") {
        ReleaseMutex(mutex);
    }
    return mutex ? 0 : 1;
}

bool WaitForFile(const fs::path& file) {
    for (int i = 0; i < 2000 && !fs::exists(file); ++i) {
        Sleep(5);
    }
    return fs::exists(file);
}

TEST_F(ThreadsNamedMutex, AnotherProcessSeesTheNameUntilTheLastHandleIsClosed) {
    const std::string name = platform::ToUtf8(kName);
    EXPECT_EQ(testing_support::RunChild("mutex_open", {name}), ERROR_FILE_NOT_FOUND);
    auto mutex = Own(CreateMutexW(nullptr, FALSE, kName));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(testing_support::RunChild("mutex_create", {name}), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(testing_support::RunChild("mutex_create", {"Local\\" + name}), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(testing_support::RunChild("mutex_open", {name}), 0);
    mutex.reset();
    EXPECT_EQ(testing_support::RunChild("mutex_create", {name}), ERROR_SUCCESS);
    EXPECT_EQ(testing_support::RunChild("mutex_open", {name}), ERROR_FILE_NOT_FOUND);
}

TEST_F(ThreadsNamedMutex, TheNameOfAnotherProcessLastsUntilItEndsHoweverItEnds) {
    struct Case {
        const char* ending;
        DWORD waitResult;
    };
    const Case cases[] = {
        {"release", WAIT_OBJECT_0},
        {"return", WAIT_ABANDONED},
        {"die", WAIT_ABANDONED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ending);
        const fs::path ready = File("ready");
        const fs::path end = File("end");
        fs::remove(ready);
        fs::remove(end);
        testing_support::CChildProcess holder("mutex_hold", {platform::ToUtf8(kName), ready, end, c.ending});
        ASSERT_TRUE(WaitForFile(ready));

        auto mutex = Own(CreateMutexW(nullptr, TRUE, kName));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        EXPECT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_TIMEOUT);
        std::ofstream(end) << "end";
        EXPECT_EQ(WaitForSingleObject(mutex.get(), kLongWait), c.waitResult);
        EXPECT_TRUE(ReleaseMutex(mutex.get()));
        EXPECT_EQ(holder.Wait(), 0);
        mutex.reset();

        const auto fresh = Own(CreateMutexW(nullptr, FALSE, kName));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(WaitForSingleObject(fresh.get(), 0), WAIT_OBJECT_0);
        EXPECT_TRUE(ReleaseMutex(fresh.get()));
    }
}

TEST_F(ThreadsNamedMutex, OwnershipPassesBetweenProcesses) {
    const std::string name = platform::ToUtf8(kName);
    const auto mutex = Own(CreateMutexW(nullptr, TRUE, kName));
    EXPECT_EQ(testing_support::RunChild("mutex_try", {name, "release"}), kTimedOut);
    ASSERT_TRUE(ReleaseMutex(mutex.get()));
    EXPECT_EQ(testing_support::RunChild("mutex_try", {name, "release"}), kTaken);
    EXPECT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ReleaseMutex(mutex.get()));

    EXPECT_EQ(testing_support::RunChild("mutex_try", {name, "die"}), kTaken);
    EXPECT_EQ(testing_support::RunChild("mutex_try", {name, "release"}), kTakenAbandoned);
    EXPECT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ReleaseMutex(mutex.get()));
}

TEST_F(ThreadsNamedMutex, AnotherProcessNamesOneKindOfObject) {
    const auto event = Own(CreateEventW(nullptr, TRUE, FALSE, L"Shared"));
    EXPECT_EQ(testing_support::RunChild("mutex_create", {"Shared"}), ERROR_INVALID_HANDLE);
    EXPECT_EQ(testing_support::RunChild("mutex_open", {"Shared"}), ERROR_INVALID_HANDLE);
    // Events are not shared across processes.
    EXPECT_EQ(testing_support::RunChild("event_create", {"Shared"}), ERROR_NOT_SUPPORTED);
}

} // namespace
