// CAwRegitryMonitor: the worker's callbacks for changes made here and by another process, and its end
// when the key is missing or the monitor goes.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/threads.h"
#include "services/AwRegitryMonitor.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

constexpr wchar_t kWatchedKey[] = L"Software\\Corvex\\MonitorTest";
constexpr DWORD kLongWaitMs = 20000;
// A change made before the worker has armed its notification is not reported, as on Windows: a test
// changes the key again after this long without a callback.
constexpr DWORD kRetryMs = 100;

// The threads the callback ran on, one entry a call.
class CCallbackRecorder {
public:
    static void Callback(void* pContext) { static_cast<CCallbackRecorder*>(pContext)->Record(); }

    std::vector<DWORD> Threads() const {
        std::lock_guard lock(m_lock);
        return m_threads;
    }
    bool WaitForMoreThan(size_t count, DWORD timeoutMs) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_threads.size() > count; });
    }

private:
    void Record() {
        std::lock_guard lock(m_lock);
        m_threads.push_back(GetCurrentThreadId());
        m_changed.notify_all();
    }

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<DWORD> m_threads;
};

LONG SetWatchedValue(DWORD value) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, kWatchedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status =
            RegSetValueExW(key, L"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        RegCloseKey(key);
    }
    return status;
}

// The recorder outlives the monitor, as an owner outlives its member.
class AwRegitryMonitor : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SetWatchedValue(0), ERROR_SUCCESS); }

    void StartWatching(LPCWSTR pszSubKey = kWatchedKey) {
        m_pMonitor->Start(&CCallbackRecorder::Callback, &m_recorder, HKEY_CURRENT_USER, pszSubKey);
    }

    // Changes the key (the argument counts the attempts) until one more callback came.
    bool ChangeUntilReported(const std::function<void(DWORD)>& change) {
        const size_t before = m_recorder.Threads().size();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWaitMs);
        for (DWORD attempt = 1; std::chrono::steady_clock::now() < deadline; ++attempt) {
            change(attempt);
            if (m_recorder.WaitForMoreThan(before, kRetryMs)) {
                return true;
            }
        }
        return false;
    }

    bool ChangeHereUntilReported() {
        return ChangeUntilReported([this](DWORD) { SetWatchedValue(++m_nValue); });
    }

    CTestMachine m_machine;
    CCallbackRecorder m_recorder;
    std::unique_ptr<CAwRegitryMonitor> m_pMonitor = std::make_unique<CAwRegitryMonitor>();
    DWORD m_nValue = 0;
};

TEST_F(AwRegitryMonitor, ChangesAreReportedOnTheWorkerThreadOneCallbackAfterAnother) {
    StartWatching();
    for (int change = 0; change < 3; ++change) {
        ASSERT_TRUE(ChangeHereUntilReported()) << "change " << change;
    }
    const std::vector<DWORD> threads = m_recorder.Threads();
    ASSERT_GE(threads.size(), 3u);
    for (const DWORD thread : threads) {
        EXPECT_EQ(thread, threads.front()) << "one worker reports every change";
    }
    EXPECT_NE(threads.front(), GetCurrentThreadId());

    m_pMonitor.reset();
    EXPECT_EQ(platform::LiveWorkerCount(), 0) << "the destructor waited for the worker";
}

TEST_F(AwRegitryMonitor, ChangesBelowTheKeyAreReported) {
    StartWatching(L"Software\\Corvex");
    EXPECT_TRUE(ChangeHereUntilReported());
}

TEST_F(AwRegitryMonitor, AChangeByAnotherProcessIsReported) {
    StartWatching();
    EXPECT_TRUE(ChangeUntilReported([](DWORD attempt) {
        const auto result =
            testing_support::RunTool("reg set 'HKCU\\Software\\Corvex\\MonitorTest' Value REG_DWORD " +
                                     std::to_string(1000 + attempt));
        EXPECT_EQ(result.exitCode, 0) << result.output;
    }));
}

TEST_F(AwRegitryMonitor, DestroyingItWhileItWaitsEndsTheWorkerWithoutACallback) {
    StartWatching();
    ASSERT_TRUE(ChangeHereUntilReported());
    m_pMonitor.reset();
    EXPECT_EQ(platform::LiveWorkerCount(), 0);
    EXPECT_EQ(m_recorder.Threads().size(), 1u);
}

TEST_F(AwRegitryMonitor, DestroyingItRightAfterTheStartEndsTheWorker) {
    for (int round = 0; round < 20; ++round) {
        auto pMonitor = std::make_unique<CAwRegitryMonitor>();
        pMonitor->Start(&CCallbackRecorder::Callback, &m_recorder, HKEY_CURRENT_USER, kWatchedKey);
        pMonitor.reset();
        ASSERT_EQ(platform::LiveWorkerCount(), 0) << "round " << round;
    }
    EXPECT_TRUE(m_recorder.Threads().empty());
}

struct SNoWatchCase {
    const char* label;
    void (*pfnCallback)(void*);
    HKEY hRoot;
    LPCWSTR pszSubKey;
};

TEST_F(AwRegitryMonitor, WithoutAnOpenableKeyOrACallbackTheWorkerEndsAtOnce) {
    const SNoWatchCase cases[] = {
        {"missing subkey", &CCallbackRecorder::Callback, HKEY_CURRENT_USER, L"Software\\Corvex\\NoSuchKey"},
        {"no subkey", &CCallbackRecorder::Callback, HKEY_CURRENT_USER, nullptr},
        {"no root", &CCallbackRecorder::Callback, nullptr, kWatchedKey},
        {"not a key", &CCallbackRecorder::Callback, reinterpret_cast<HKEY>(0x1234), kWatchedKey},
        {"no callback", nullptr, HKEY_CURRENT_USER, kWatchedKey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CAwRegitryMonitor monitor;
        monitor.Start(c.pfnCallback, &m_recorder, c.hRoot, c.pszSubKey);
        // The worker ends by itself, with the monitor still alive.
        EXPECT_TRUE(platform::WaitForWorkers(kLongWaitMs));
        EXPECT_EQ(monitor.m_hEvent, nullptr);
    }
    EXPECT_TRUE(m_recorder.Threads().empty());
}

} // namespace
