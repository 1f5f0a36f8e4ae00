// The framework's drawing classes: ownership of handles, temporary objects, selection and CMemDC.
#include <gtest/gtest.h>

#include "platform/framework_gdi.h"
#include "tests/platform/GdiTestSupport.h"

namespace {

using gdi_test::CSurface;

const COLORREF kRed = RGB(255, 0, 0);

TEST(GdiFrameworkTest, AnObjectDeletesTheHandleItOwnsAndNotOneItDetached) {
    HGDIOBJ owned = nullptr;
    HGDIOBJ detached = nullptr;
    {
        CBrush brush(kRed);
        owned = brush.GetSafeHandle();
        CPen pen;
        ASSERT_TRUE(pen.CreatePen(PS_SOLID, 1, kRed));
        EXPECT_FALSE(pen.CreatePen(PS_SOLID, 1, kRed)) << "a second handle is refused";
        detached = pen.Detach();
    }
    LOGBRUSH description{};
    EXPECT_EQ(GetObjectW(owned, sizeof(description), &description), 0);
    EXPECT_TRUE(DeleteObject(detached));
}

TEST(GdiFrameworkTest, SelectObjectGivesThePreviousObjectBackAsATemporaryOne) {
    CSurface surface(8, 8);
    CDC* pDC = CDC::FromHandle(surface.Dc());
    EXPECT_EQ(CDC::FromHandle(surface.Dc()), pDC);
    CFont font;
    ASSERT_TRUE(
        font.CreateFont(-14, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FF_SWISS, L"Segoe UI"));
    CFont* pOld = pDC->SelectObject(&font);
    ASSERT_NE(pOld, nullptr);
    EXPECT_EQ(pDC->SelectObject(pOld), CFont::FromHandle(font));
    // The temporary object does not own its handle: the DC's old font lives on.
    LOGFONTW logFont{};
    EXPECT_GT(pOld->GetLogFont(&logFont), 0);
}

TEST(GdiFrameworkTest, TheMemoryDcReachesTheTargetWhenItGoes) {
    CSurface surface(10, 10);
    CDC* pDC = CDC::FromHandle(surface.Dc());
    {
        CMemDC memDC(*pDC, RECT{0, 0, 10, 10});
        memDC.GetDC().FillSolidRect(2, 2, 3, 3, kRed);
        EXPECT_EQ(surface.Pixel(3, 3), gdi_test::kWhite) << "nothing reaches the target before the end";
    }
    EXPECT_EQ(surface.Pixel(3, 3), kRed);
    EXPECT_EQ(surface.Count(kRed), 9);
}

TEST(GdiFrameworkTest, FillSolidRectLeavesItsColourAsTheBackgroundColour) {
    CSurface surface(4, 4);
    CDC* pDC = CDC::FromHandle(surface.Dc());
    pDC->FillSolidRect(0, 0, 2, 2, kRed);
    EXPECT_EQ(pDC->GetBkColor(), kRed);
    EXPECT_EQ(surface.Count(kRed), 4);
}

TEST(GdiFrameworkTest, ARegionObjectAnswersHitTests) {
    CRgn region;
    ASSERT_TRUE(region.CreateEllipticRgn(0, 0, 20, 20));
    EXPECT_TRUE(region.PtInRegion(POINT{10, 10}));
    EXPECT_FALSE(region.PtInRegion(0, 0));
    ASSERT_TRUE(region.DeleteObject());
    ASSERT_TRUE(region.CreateEllipticRgn(0, 0, 0, 0));
    EXPECT_FALSE(region.PtInRegion(0, 0));
}

} // namespace
