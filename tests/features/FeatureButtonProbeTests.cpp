// The probe worker: its own thread, the grid's layout sent while it waits, the init flag last; clicks
// count only once it has finished; and the faults on the way: a COM error is no answer, a framework
// exception leaves the button unclickable, and a button may go while its workers run.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "tests/features/FeatureButtonTestSupport.h"

namespace {

using controls_test::PumpUntil;
using features_test::CFeatureButtonTest;
using features_test::CProbeButton;
using features_test::FailingAnswer;
using features_test::kButtonId;
using features_test::kOffPng;
using features_test::kOnPng;
using features_test::ProbeAnswer;
using features_test::StateAnswer;
using Values = std::vector<std::optional<int>>;
namespace desktop = platform::desktop;

class FeatureButtonProbeTest : public CFeatureButtonTest {
protected:
    void CacheOnState() {
        WriteCache(L"support", L"1");
        WriteCache(L"status", L"1");
        WriteCache(L"StatusIconID", L"364");
        WriteCache(L"StateIconType", L"1");
    }

    // A click in the button's middle, handled by the grid.
    void ClickButton() {
        const int nClicks = m_grid.m_nClicks;
        desktop::Click(OnScreen(m_button, POINT{24, 24}));
        ASSERT_TRUE(PumpUntil([&] { return m_grid.m_nClicks == nClicks + 1; }));
    }
};

TEST_F(FeatureButtonProbeTest, TheProbeRunsOnItsOwnThreadAndWaitsForTheGridsLayout) {
    CacheOnState();
    CProbeButton& button = MakeInitialisedButton();
    EXPECT_TRUE(button.IsWindowVisible()) << "the cached support shows it at once";
    ASSERT_TRUE(FinishProbe(StateAnswer(0, FeatureStateOff)));

    EXPECT_NE(button.m_nProbeThread, 0u);
    EXPECT_NE(button.m_nProbeThread, GetCurrentThreadId());
    ASSERT_EQ(m_grid.m_sizeRequests.size(), 1u);
    const auto& request = m_grid.m_sizeRequests[0];
    EXPECT_EQ(request.nThread, GetCurrentThreadId()) << "sent to the grid's thread";
    EXPECT_EQ(request.nSupport, 0) << "with the probe's answer";
    EXPECT_EQ(request.bInited, 0) << "the probe waits for the layout";
    EXPECT_FALSE(button.IsWindowVisible()) << "the grid hid it";
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Test feature off"));
}

TEST_F(FeatureButtonProbeTest, AnUnchangedSupportLeavesTheGridAlone) {
    CacheOnState();
    MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    EXPECT_TRUE(m_grid.m_sizeRequests.empty());
}

TEST_F(FeatureButtonProbeTest, ClicksCountOnlyOnceTheProbeHasFinishedAndNotWhileDisabled) {
    CProbeButton& button = MakeInitialisedButton();
    ClickButton();
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    EXPECT_TRUE(button.m_strCaption.IsEmpty()) << "no caption before the probe";

    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    ClickButton();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Test feature on"));
    ASSERT_TRUE(PumpUntil([&] { return button.m_nSetWorkers == 1; }));
    EXPECT_EQ(button.m_nSetWorkerState, FeatureStateOn) << "the set worker reads the new state";

    button.SetButtonStatusIcon(FeatureStateDisabled);
    ASSERT_EQ(button.m_bDisabled, 1);
    ClickButton();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    button.WaitForWorkers();
    EXPECT_EQ(button.m_nSetWorkers, 1);
}

TEST_F(FeatureButtonProbeTest, AComErrorInTheProbeIsNoAnswer) {
    CacheOnState();
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(FailingAnswer(ProbeAnswer::EKind::ComError)));
    EXPECT_EQ(button.m_nSupport, 1) << "the cached state stands";
    EXPECT_EQ(button.m_nStatusIconID, kOnPng);
    EXPECT_TRUE(m_grid.m_sizeRequests.empty());
    EXPECT_EQ(CachedState(), (Values{1, 1, kOnPng, 1}));
}

TEST_F(FeatureButtonProbeTest, AFrameworkExceptionInTheProbeLeavesTheButtonUnclickable) {
    CProbeButton& button = MakeInitialisedButton();
    button.Answer(FailingAnswer(ProbeAnswer::EKind::FrameworkException));
    button.WaitForWorkers();
    EXPECT_EQ(button.m_bInited, 0);
    ClickButton();
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    EXPECT_EQ(button.m_nSetWorkers, 0);
}

TEST_F(FeatureButtonProbeTest, AComErrorInASetWorkerEndsThatWorkerAlone) {
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    button.m_bSetWorkerFails = true;
    ClickButton();
    button.WaitForWorkers();
    EXPECT_EQ(button.m_nSetWorkers, 1);
    ClickButton();
    button.WaitForWorkers();
    EXPECT_EQ(button.m_nSetWorkers, 2) << "the button still works";
}

// The probe answers only once the window is being destroyed: the destruction runs the layout the probe
// sends meanwhile and frees the images after the probe is done.
TEST_F(FeatureButtonProbeTest, DestroyingTheWindowWhileTheProbeRunsWaitsForIt) {
    CacheOnState();
    CProbeButton& button = MakeInitialisedButton();
    std::thread host([&button] {
        if (button.WaitUntilDestroying()) {
            button.Answer(StateAnswer(0, FeatureStateOff));
        }
    });
    button.DestroyWindow();
    host.join();

    EXPECT_EQ(button.m_bInited, 1);
    ASSERT_EQ(m_grid.m_sizeRequests.size(), 1u);
    EXPECT_EQ(m_grid.m_sizeRequests[0].nThread, GetCurrentThreadId());
    EXPECT_EQ(button.m_pImages[0], nullptr);
    EXPECT_EQ(CachedState(), (Values{0, 0, kOffPng, 0}));
}

TEST_F(FeatureButtonProbeTest, AButtonMayGoWithItsWindowWhileItsProbeWaits) {
    auto pButton = std::make_unique<CProbeButton>();
    ASSERT_TRUE(pButton->Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{100, 10, 160, 58},
                                &MakeGrid(), kButtonId + 1));
    ASSERT_TRUE(pButton->Init(&m_grid));
    ASSERT_TRUE(PumpUntil([&] { return pButton->m_nProbeThread != 0; }));
    pButton.reset();
    EXPECT_EQ(CachedState(), (Values{0, 0, kOffPng, 0})) << "the probe ran to its end";
}

TEST_F(FeatureButtonProbeTest, TheProbeProcedureRefusesANullButton) {
    EXPECT_EQ(CDeckFeatureButton::ProbeThread(nullptr), static_cast<unsigned>(-1));
}

} // namespace
