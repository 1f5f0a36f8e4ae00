// The panels' workers: a close waits for them only up to its bound, running the messages sent to it
// meanwhile; a worker let go no longer reaches its panel; the panel's own thread always does.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

#include "app/PanelWorkers.h"
#include "platform/window.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace std::chrono_literals;

// What a test worker does: waits for the gate, then tries to reach its panel and, holding it, sends a
// message to the panel's window.
struct WorkerScript {
    std::shared_future<void> gate;
    HWND hSendTo = nullptr;
    std::atomic<int> nUses = 0;
    std::atomic<int> nRefusals = 0;
    std::atomic<bool> bDone = false;
};

unsigned __stdcall ScriptedWorker(void* pParam) {
    auto* pScript = static_cast<WorkerScript*>(pParam);
    pScript->gate.wait();
    {
        const CPanelWorkers::CUse use;
        if (use) {
            ++pScript->nUses;
            if (pScript->hSendTo) {
                ::SendMessageW(pScript->hSendTo, WM_USER + 1, 0, 0);
            }
        } else {
            ++pScript->nRefusals;
        }
    }
    pScript->bDone = true;
    return 0;
}

// A machine for the windows.
class PanelWorkersTest : public testing::Test {
protected:
    testing_support::CTestMachine m_machine;
};

TEST_F(PanelWorkersTest, ACloseWaitsForAWorkerThatEndsWithinTheBound) {
    std::promise<void> open;
    WorkerScript script{open.get_future().share()};
    CPanelWorkers workers;
    ASSERT_TRUE(workers.Start(ScriptedWorker, &script));
    open.set_value();
    workers.Release(60000);
    EXPECT_TRUE(script.bDone);
    EXPECT_EQ(script.nUses, 1);
    EXPECT_FALSE(workers.IsRunning());
}

TEST_F(PanelWorkersTest, AStuckWorkerIsLetGoAtTheBoundAndNoLongerReachesThePanel) {
    std::promise<void> open;
    auto pScript = std::make_unique<WorkerScript>();
    pScript->gate = open.get_future().share();
    CPanelWorkers workers;
    ASSERT_TRUE(workers.Start(ScriptedWorker, pScript.get()));
    const auto start = std::chrono::steady_clock::now();
    workers.Release(100);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 100ms);
    EXPECT_LT(elapsed, 10s);
    EXPECT_TRUE(workers.IsRunning()) << "still in its host call";
    open.set_value();
    ASSERT_TRUE(controls_test::PumpUntil([&] { return pScript->bDone.load(); }, 60s));
    EXPECT_EQ(pScript->nUses, 0);
    EXPECT_EQ(pScript->nRefusals, 1);
}

// A window of the test's thread that counts the messages a worker sends it.
class CCountingWindow : public CWnd {
public:
    std::atomic<int> m_nReceived = 0;

protected:
    LRESULT OnWorkerMessage(WPARAM, LPARAM) {
        ++m_nReceived;
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCountingWindow, CWnd)
ON_MESSAGE(WM_USER + 1, &CCountingWindow::OnWorkerMessage)
END_MESSAGE_MAP()

TEST_F(PanelWorkersTest, AWorkerThatSendsToTheClosingThreadIsServed) {
    CCountingWindow window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, L"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    std::promise<void> open;
    WorkerScript script{open.get_future().share(), window.m_hWnd};
    CPanelWorkers workers;
    ASSERT_TRUE(workers.Start(ScriptedWorker, &script));
    open.set_value();
    workers.Release(60000);
    EXPECT_TRUE(script.bDone);
    EXPECT_EQ(window.m_nReceived, 1);
    window.DestroyWindow();
}

TEST_F(PanelWorkersTest, ThePanelsOwnThreadAlwaysHoldsAndANewStartMakesANewSet) {
    CPanelWorkers workers;
    workers.Release();
    EXPECT_TRUE(static_cast<bool>(CPanelWorkers::CUse()));
    std::promise<void> open;
    open.set_value();
    WorkerScript script{open.get_future().share()};
    ASSERT_TRUE(workers.Start(ScriptedWorker, &script));
    workers.Release(60000);
    EXPECT_EQ(script.nUses, 1) << "a panel made again reaches its new workers";
}

} // namespace
