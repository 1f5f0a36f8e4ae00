// The feature button's state model: what a new button holds, the slots SetImages fills with their
// circle colours, the image SetIconState picks and when it repaints, and the records freed with the
// window.
#include <gtest/gtest.h>

#include <string>

#include "tests/features/FeatureButtonTestSupport.h"

namespace {

using controls_test::HasUpdate;
using controls_test::PumpUntil;
using features_test::CFeatureButtonTest;
using features_test::CProbeButton;
using features_test::kDisabledPng;
using features_test::kOffPng;
using features_test::kOnPng;
using features_test::StateAnswer;

constexpr int kNoSuchPng = 9999;

void ExpectBlank(const FeatureImage* pImage) {
    ASSERT_NE(pImage, nullptr);
    EXPECT_EQ(pImage->nPngId, 0);
    EXPECT_EQ(pImage->crBack, 0xFFFFFFu);
    EXPECT_EQ(pImage->pBitmap, nullptr);
}

class FeatureButtonStateTest : public CFeatureButtonTest {};

TEST_F(FeatureButtonStateTest, ANewButtonKnowsNothingYetAndShowsABlankRecordOfItsOwn) {
    const CProbeButton button;
    EXPECT_EQ(button.m_bInited, 0);
    EXPECT_EQ(button.m_nSupport, 0);
    EXPECT_EQ(button.m_nStatusIconID, 0);
    EXPECT_EQ(button.m_nStateIconType, 999) << "not known yet";
    EXPECT_TRUE(button.m_strCaption.IsEmpty());
    EXPECT_EQ(button.m_strTip.Get(), CString(L"Test feature: Off"));
    ExpectBlank(button.m_pCurImage);
    for (const auto& pImage : button.m_pImages) {
        ExpectBlank(pImage.get());
        EXPECT_NE(pImage.get(), button.m_pCurImage.load()) << "the blank record is a sixth one";
    }
    EXPECT_EQ(g_strDisabled, CString(L"DISABLED")) << "the string table's word replaces \"Disabled\"";
}

TEST_F(FeatureButtonStateTest, SetImagesFillsFourSlotsWithTheirColoursAndSquaresTheButton) {
    CProbeButton& button = MakeButton();
    ASSERT_TRUE(button.SetImages(&m_grid, kOffPng, kOnPng, kDisabledPng, kNoSuchPng, 0, 0x123456, 0, 0));

    const struct {
        int nId;
        COLORREF crBack;
        bool bLoaded;
    } expected[] = {{kOffPng, 0xF8F7F5, true},
                    {kOnPng, 0x123456, true},
                    {kDisabledPng, 0xEBEAE6, true},
                    {kNoSuchPng, 0xFFFFFF, false},
                    {0, 0xFFFFFF, false}};
    for (size_t i = 0; i < std::size(expected); ++i) {
        const FeatureImage& image = *button.m_pImages[i];
        EXPECT_EQ(image.nPngId, expected[i].nId) << "slot " << i + 1;
        EXPECT_EQ(image.crBack, expected[i].crBack) << "slot " << i + 1;
        EXPECT_EQ(image.pBitmap != nullptr, expected[i].bLoaded) << "slot " << i + 1;
    }
    EXPECT_EQ(button.m_pCurImage.load(), button.m_pImages[4].get())
        << "no state yet: the first slot without an id";
    CRect rcClient;
    button.GetClientRect(&rcClient);
    EXPECT_EQ(rcClient, CRect(0, 0, 48, 48)) << "as wide as high";
    EXPECT_EQ(button.m_rcClient, rcClient);
    CRect rcWindow;
    button.GetWindowRect(&rcWindow);
    EXPECT_EQ(rcWindow.TopLeft(), CPoint(120, 110)) << "where it stood";
}

TEST_F(FeatureButtonStateTest, WithoutAnyImageTheButtonIsUnsupportedAndStartsNoProbe) {
    CProbeButton& button = MakeButton();
    button.m_nSupport = 1;
    EXPECT_FALSE(button.SetImages(&m_grid, kNoSuchPng, 0, 0, 0));
    EXPECT_EQ(button.m_nSupport, 0);
    ASSERT_EQ(m_grid.m_sizeRequests.size(), 1u) << "the grid lays itself out at once";
    EXPECT_EQ(m_grid.m_sizeRequests[0].nThread, GetCurrentThreadId());
    button.WaitForWorkers();
    EXPECT_EQ(button.m_nProbeThread, 0u);
    EXPECT_EQ(button.m_bInited, 0);
}

struct IconCase {
    const char* name;
    int nImageId;
    int nStateType;
    int nSlot; // the slot shown afterwards (0 to 4)
    int nStoredId;
    int nStoredType;
    BYTE bDisabled;
};

class SetIconStateCase : public FeatureButtonStateTest, public testing::WithParamInterface<IconCase> {};

// Each case starts from the off image in the off state.
TEST_P(SetIconStateCase, PicksTheFirstSlotWithTheIdAndTakesTheStateType) {
    const IconCase& c = GetParam();
    CProbeButton& button = MakeInitialisedButton();
    button.SetIconState(kOffPng, FeatureStateOff);
    button.SetIconState(c.nImageId, c.nStateType);
    EXPECT_EQ(button.m_pCurImage.load(), button.m_pImages[c.nSlot].get());
    EXPECT_EQ(button.m_nStatusIconID, c.nStoredId);
    EXPECT_EQ(button.m_nStateIconType, c.nStoredType);
    EXPECT_EQ(button.m_bDisabled, c.bDisabled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetIconStateCase,
    testing::Values(IconCase{"Off", kOffPng, 0, 0, kOffPng, 0, 0}, IconCase{"On", kOnPng, 1, 1, kOnPng, 1, 0},
                    IconCase{"Disabled", kDisabledPng, 2, 2, kDisabledPng, 2, 1},
                    IconCase{"DisabledTypeDisablesWhateverTheImage", kOnPng, 2, 1, kOnPng, 2, 1},
                    IconCase{"UnknownIdKeepsTheImage", 412, 1, 0, 412, 1, 0},
                    IconCase{"IdZeroIsTheEmptyFourthSlot", 0, 0, 3, 0, 0, 0},
                    IconCase{"NegativeIdChangesNothing", -1, 2, 0, kOffPng, 0, 0}),
    [](const testing::TestParamInfo<IconCase>& info) { return std::string(info.param.name); });

TEST_F(FeatureButtonStateTest, SetIconStateRepaintsOnlyOnceTheProbeHasFinished) {
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(PumpUntil([&] { return button.m_nProbeThread != 0; })) << "the probe has begun";
    ASSERT_TRUE(Painted(button));
    button.SetIconState(kOnPng, FeatureStateOn);
    EXPECT_FALSE(HasUpdate(button));

    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    ASSERT_TRUE(Painted(button));
    button.SetIconState(kOnPng, FeatureStateOn);
    EXPECT_TRUE(HasUpdate(button));
}

TEST_F(FeatureButtonStateTest, TheWindowTakesTheImageRecordsWithIt) {
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOn)));
    button.DestroyWindow();
    for (const auto& pImage : button.m_pImages) {
        EXPECT_EQ(pImage, nullptr);
    }
    ExpectBlank(button.m_pCurImage);
    button.SetIconState(kOnPng, FeatureStateOn);
    ExpectBlank(button.m_pCurImage);
}

} // namespace
