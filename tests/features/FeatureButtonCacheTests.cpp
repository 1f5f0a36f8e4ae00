// The state cache in ShowEx.cfg: read when the button gets its images, before the probe answers (the rest
// only when "support" is there), shown or hidden at once; written by the probe and, once the probe has
// finished, when the window goes; never without a key.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "tests/features/FeatureButtonTestSupport.h"

namespace {

using controls_test::PumpUntil;
using features_test::CFeatureButtonTest;
using features_test::CProbeButton;
using features_test::FailingAnswer;
using features_test::kDisabledPng;
using features_test::kOffPng;
using features_test::kOnPng;
using features_test::ProbeAnswer;
using features_test::StateAnswer;
using Values = std::vector<std::optional<int>>;

struct CacheCase {
    const char* name;
    std::vector<std::pair<LPCWSTR, LPCWSTR>> entries; // of the button's section
    int nSupport;
    int nStatus;
    int nStatusIconID;
    int nStateIconType;
    int nShownSlot;
    bool bVisible;
};

class FeatureButtonCacheTest : public CFeatureButtonTest {
protected:
    std::string FileText() const {
        std::ifstream file(m_machine.HostPath(m_strCachePath.GetString()), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
};
class CachedStateCase : public FeatureButtonCacheTest, public testing::WithParamInterface<CacheCase> {};

TEST_P(CachedStateCase, IsTakenBeforeTheProbeAnswers) {
    const CacheCase& c = GetParam();
    for (const auto& [pszKey, pszValue] : c.entries) {
        WriteCache(pszKey, pszValue);
    }
    WriteCache(L"support", L"1", L"OtherFeature");
    CProbeButton& button = MakeInitialisedButton();
    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nStatusIconID);
    EXPECT_EQ(button.m_nStateIconType, c.nStateIconType);
    EXPECT_EQ(button.m_bDisabled, c.nStateIconType == FeatureStateDisabled ? 1 : 0);
    EXPECT_EQ(button.m_pCurImage.load(), button.m_pImages[c.nShownSlot].get());
    EXPECT_EQ(button.IsWindowVisible() != FALSE, c.bVisible);
    EXPECT_EQ(button.m_bInited, 0) << "the probe still waits";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CachedStateCase,
    testing::Values(
        CacheCase{
            "SupportedAndOn",
            {{L"support", L"1"}, {L"status", L"1"}, {L"StatusIconID", L"364"}, {L"StateIconType", L"1"}},
            1,
            1,
            kOnPng,
            1,
            1,
            true},
        CacheCase{
            "Disabled",
            {{L"support", L"2"}, {L"status", L"2"}, {L"StatusIconID", L"366"}, {L"StateIconType", L"2"}},
            2,
            2,
            kDisabledPng,
            2,
            2,
            true},
        CacheCase{
            "UnsupportedIsHidden",
            {{L"support", L"0"}, {L"status", L"0"}, {L"StatusIconID", L"365"}, {L"StateIconType", L"0"}},
            0,
            0,
            kOffPng,
            0,
            0,
            false},
        CacheCase{"WithoutSupportNothingElseIsRead",
                  {{L"status", L"1"}, {L"StatusIconID", L"364"}, {L"StateIconType", L"1"}},
                  0,
                  0,
                  0,
                  999,
                  3,
                  true},
        CacheCase{"NoImageIdLeavesTheWindowAlone",
                  {{L"support", L"0"}, {L"status", L"0"}, {L"StatusIconID", L"0"}, {L"StateIconType", L"0"}},
                  0,
                  0,
                  0,
                  0,
                  3,
                  true},
        CacheCase{
            "LettersReadAsZero",
            {{L"support", L"yes"}, {L"status", L"1"}, {L"StatusIconID", L"365"}, {L"StateIconType", L"0"}},
            0,
            1,
            kOffPng,
            0,
            0,
            false}),
    [](const testing::TestParamInfo<CacheCase>& info) { return std::string(info.param.name); });

TEST_F(FeatureButtonCacheTest, TheProbeWritesItsAnswerAfterTheGridHasLaidItselfOut) {
    WriteCache(L"support", L"1");
    WriteCache(L"StatusIconID", L"365");
    MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(0, FeatureStateOn)));
    ASSERT_EQ(m_grid.m_sizeRequests.size(), 1u);
    EXPECT_FALSE(m_grid.m_sizeRequests[0].bCacheHadSupport) << "saved after the grid's layout";
    EXPECT_EQ(CachedState(), (Values{0, 1, kOnPng, 1}));
    EXPECT_EQ(CachedValue(L"support", L"OtherFeature"), std::nullopt) << "its own section only";
}

TEST_F(FeatureButtonCacheTest, WithoutTheFileNothingIsReadAndTheProbeMakesIt) {
    CProbeButton& button = MakeInitialisedButton();
    EXPECT_EQ(button.m_strIniPath.Get(), m_strCachePath);
    EXPECT_EQ(button.m_nStateIconType, 999);
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    EXPECT_EQ(CachedState(), (Values{1, 0, kOffPng, 0}));
}

TEST_F(FeatureButtonCacheTest, ABlankKeyNeitherReadsNorWrites) {
    WriteCache(L"support", L"1", L"OtherFeature");
    const std::string before = FileText();
    CProbeButton button(L"");
    ASSERT_TRUE(
        button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{20, 10, 80, 58}, &MakeGrid(), 1057));
    ASSERT_TRUE(button.Init(&m_grid));
    button.Answer(StateAnswer(1, FeatureStateOn));
    ASSERT_TRUE(PumpUntil([&] { return button.m_bInited == 1; }));
    EXPECT_FALSE(button.SaveCachedState());
    button.DestroyWindow();
    EXPECT_EQ(FileText(), before);
}

TEST_F(FeatureButtonCacheTest, DestroyingTheWindowSavesTheShownStateOnceTheProbeHasFinished) {
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    button.m_nStatus = FeatureStateDisabled;
    button.SetIconState(kDisabledPng, FeatureStateDisabled);
    button.DestroyWindow();
    EXPECT_EQ(CachedState(), (Values{1, 2, kDisabledPng, 2}));
}

TEST_F(FeatureButtonCacheTest, AButtonWhoseProbeNeverFinishedSavesNothingOnDestroy) {
    WriteCache(L"support", L"1");
    WriteCache(L"status", L"0");
    CProbeButton& button = MakeInitialisedButton();
    button.Answer(FailingAnswer(ProbeAnswer::EKind::FrameworkException));
    button.WaitForWorkers();
    ASSERT_EQ(button.m_bInited, 0);
    button.m_nStatus = FeatureStateOn;
    button.DestroyWindow();
    EXPECT_EQ(CachedState(), (Values{1, 0, std::nullopt, std::nullopt}));
}

TEST_F(FeatureButtonCacheTest, AFailedFirstWriteStopsTheSave) {
    CProbeButton button;
    button.m_strIniPath = L"C:\\NoSuchFolder\\ShowEx.cfg";
    button.m_nSupport = 1;
    EXPECT_FALSE(button.SaveCachedState());
    EXPECT_FALSE(PathFileExistsW(L"C:\\NoSuchFolder\\ShowEx.cfg"));
}

TEST_F(FeatureButtonCacheTest, RefreshNowProbesAtOnceAndSaves) {
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    m_grid.m_sizeRequests.clear();

    button.Answer(StateAnswer(1, FeatureStateOn));
    EXPECT_TRUE(button.RefreshNow());
    EXPECT_EQ(button.m_nProbeThread, GetCurrentThreadId()) << "on the calling thread";
    EXPECT_TRUE(m_grid.m_sizeRequests.empty()) << "support did not change";
    EXPECT_EQ(CachedState(), (Values{1, 1, kOnPng, 1}));

    button.Answer(StateAnswer(0, FeatureStateOff));
    EXPECT_TRUE(button.RefreshNow());
    EXPECT_EQ(m_grid.m_sizeRequests.size(), 1u);
    EXPECT_EQ(CachedValue(L"support"), 0);
}

TEST_F(FeatureButtonCacheTest, RefreshNowLeavesTheInitFlagAlone) {
    CProbeButton button;
    button.Answer(StateAnswer(1, FeatureStateOn));
    EXPECT_FALSE(button.RefreshNow()) << "no ShowEx.cfg yet";
    EXPECT_EQ(button.m_bInited, 0);
    EXPECT_EQ(button.m_nSupport, 1);
}

} // namespace
