// The picture static: its background alone without an image, the image stretched over it, one load per
// image id; and the square that SizeToHeight makes of a picture or an image button, where it stood.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "controls/PNGButton.h"
#include "controls/PNGStatic.h"
#include "tests/controls/ControlWindowSupport.h"

namespace {

using controls_test::CClientPixels;
using controls_test::CControlWindowTest;
using controls_test::HasUpdate;

constexpr int kInfoPng = 162;
constexpr int kEyeOnPng = 174;
constexpr int kMissingPng = 9999;
const COLORREF kCard = RGB(0xF5, 0xF5, 0xF5);

class CPictureProbe : public CPNGStatic {
public:
    using CPNGStatic::m_pImage;
};

class PictureStaticTest : public CControlWindowTest {
protected:
    CPictureProbe& MakePicture(int cx, int cy) {
        EXPECT_TRUE(
            m_picture.Create(L"", WS_CHILD | WS_VISIBLE, RECT{20, 10, 20 + cx, 10 + cy}, &MakeParent()));
        return m_picture;
    }

    CPictureProbe m_picture;
};

struct BackgroundCase {
    const char* name;
    bool bSetImage;
    COLORREF crBackground;
};

class PictureWithoutImage : public PictureStaticTest, public testing::WithParamInterface<BackgroundCase> {};

TEST_P(PictureWithoutImage, PaintsOnlyItsBackground) {
    const BackgroundCase& c = GetParam();
    CPictureProbe& picture = MakePicture(60, 40);
    if (c.bSetImage) {
        picture.SetImage(kMissingPng, c.crBackground);
        EXPECT_EQ(picture.m_pImage, nullptr);
    }
    ASSERT_TRUE(Painted(picture));
    const CClientPixels pixels(picture);
    EXPECT_EQ(pixels.Count(c.crBackground), 60 * 40);
}

INSTANTIATE_TEST_SUITE_P(Cases, PictureWithoutImage,
                         testing::Values(BackgroundCase{"NeverSet", false, RGB(255, 255, 255)},
                                         BackgroundCase{"MissingImage", true, RGB(0x12, 0x34, 0x56)}),
                         [](const testing::TestParamInfo<BackgroundCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(PictureStaticTest, StretchesTheImageOverItsBackground) {
    CPictureProbe& picture = MakePicture(80, 80);
    picture.SetImage(kInfoPng, kCard);
    ASSERT_TRUE(Painted(picture));

    gdi_test::CSurface reference(80, 80);
    {
        CDC::FromHandle(reference.Dc())->FillSolidRect(0, 0, 80, 80, kCard);
        Gdiplus::Graphics graphics(reference.Dc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        controls_test::DrawPng(graphics, kInfoPng, 0, 0, 80, 80);
    }
    const CClientPixels pixels(picture);
    EXPECT_EQ(pixels.Differences(reference), 0);
    EXPECT_EQ(pixels.At(0, 0), kCard);
    // The ring of the 40-pixel image reaches near both edges of the 80-pixel control.
    EXPECT_GT(pixels.Count(kCard, RECT{0, 38, 8, 42}, false), 0);
    EXPECT_GT(pixels.Count(kCard, RECT{72, 38, 80, 42}, false), 0);
}

TEST_F(PictureStaticTest, TheSameImageIdLoadsOnceAndKeepsItsBackground) {
    CPictureProbe& picture = MakePicture(40, 40);
    picture.SetImage(kInfoPng, kCard);
    const Gdiplus::Bitmap* pLoaded = picture.m_pImage;
    ASSERT_NE(pLoaded, nullptr);
    ASSERT_TRUE(Painted(picture));

    picture.SetImage(kInfoPng, RGB(0, 0, 0));
    EXPECT_EQ(picture.m_pImage, pLoaded);
    EXPECT_EQ(picture.m_crBackground, kCard);
    EXPECT_FALSE(HasUpdate(picture)) << "nothing changed, nothing to paint";

    picture.SetImage(kEyeOnPng, RGB(0, 0, 0));
    EXPECT_EQ(picture.m_nImageId, kEyeOnPng);
    EXPECT_EQ(picture.m_crBackground, RGB(0, 0, 0));
    EXPECT_NE(picture.m_pImage, nullptr);
    EXPECT_TRUE(HasUpdate(picture)) << "a new picture is painted";
}

TEST_F(PictureStaticTest, DestroyingTheWindowDeletesTheImage) {
    CPictureProbe& picture = MakePicture(40, 40);
    picture.SetImage(kInfoPng, kCard);
    ASSERT_NE(picture.m_pImage, nullptr);
    picture.DestroyWindow();
    EXPECT_EQ(picture.m_pImage, nullptr);
}

TEST_F(PictureStaticTest, WithoutAWindowThePictureIsOnlyStored) {
    CPictureProbe picture;
    picture.SizeToHeight();
    picture.SetImage(kInfoPng, kCard);
    EXPECT_EQ(picture.m_nImageId, kInfoPng);
    EXPECT_NE(picture.m_pImage, nullptr);
}

// ---- Squaring in place ----
struct SquareCase {
    const char* name;
    std::function<std::unique_ptr<CWnd>(CWnd& parent, const RECT& rect)> make;
    std::function<void(CWnd& control)> square;
};

std::unique_ptr<CWnd> MakePictureIn(CWnd& parent, const RECT& rect) {
    auto picture = std::make_unique<CPNGStatic>();
    EXPECT_TRUE(picture->Create(L"", WS_CHILD | WS_VISIBLE, rect, &parent));
    return picture;
}

std::unique_ptr<CWnd> MakeButtonIn(CWnd& parent, const RECT& rect) {
    auto button = std::make_unique<CPNGButton>();
    EXPECT_TRUE(button->Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, rect, &parent, 1028));
    return button;
}

class SquaredInPlace : public CControlWindowTest, public testing::WithParamInterface<SquareCase> {};

TEST_P(SquaredInPlace, TakesTheClientHeightAsWidthAndKeepsItsCorner) {
    const SquareCase& c = GetParam();
    // A panel inside the popup, so that neither the control's parent nor the popup is at the origin.
    CWnd& popup = MakeParent(400, 200);
    CWnd panel;
    ASSERT_TRUE(panel.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{15, 25, 315, 175}, &popup, 0));
    const std::unique_ptr<CWnd> control = c.make(panel, RECT{30, 20, 130, 60});

    c.square(*control);

    CRect rcInPanel;
    control->GetWindowRect(&rcInPanel);
    panel.ScreenToClient(&rcInPanel);
    EXPECT_EQ(rcInPanel, CRect(30, 20, 70, 60));
    CRect rcOnScreen;
    control->GetWindowRect(&rcOnScreen);
    EXPECT_EQ(rcOnScreen, CRect(100 + 15 + 30, 100 + 25 + 20, 100 + 15 + 70, 100 + 25 + 60));
}

INSTANTIATE_TEST_SUITE_P(
    Controls, SquaredInPlace,
    testing::Values(SquareCase{"Picture", MakePictureIn,
                               [](CWnd& control) { static_cast<CPNGStatic&>(control).SizeToHeight(); }},
                    SquareCase{"ImageButton", MakeButtonIn,
                               [](CWnd& control) { static_cast<CPNGButton&>(control).SizeToHeight(); }},
                    SquareCase{
                        "ImageButtonGivenImages", MakeButtonIn,
                        [](CWnd& control) { static_cast<CPNGButton&>(control).SetImages(kInfoPng, 0); }}),
    [](const testing::TestParamInfo<SquareCase>& info) { return std::string(info.param.name); });

} // namespace
