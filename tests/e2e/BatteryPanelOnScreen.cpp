#include "tests/e2e/BatteryPanelOnScreen.h"

#include <algorithm>
#include <memory>

#include "controls/SkinnedControl.h"
#include "platform/framework_window.h"
#include "platform/gdiplus.h"
#include "services/DrawingRoutines.h"
#include "tests/platform/GdiTestSupport.h"

namespace e2e {

namespace {

constexpr int kBatteryTemplate = 130;
constexpr int kPictureControl = 1052;
constexpr int kCanvasWidth = 600;
constexpr int kCanvasHeight = 160;
// The picture's 354 x 98 design: its glyph stands left of column 44 (the badge begins at 45); with one
// message a badge may lie from row 59 on.
constexpr int kGlyphColumns = 44;
constexpr int kMessageBadgeTop = 59;
constexpr int kDesignWidth = 354;
constexpr int kLongThirdLine = 185;
constexpr int kLevelSize = 42;
constexpr int kSecondSize = 11;
constexpr int kThirdSize = 9;
constexpr int kNarrowThirdSize = 8;
constexpr int kMessageSize = 14;
constexpr int kHeavy = 956;
constexpr int kBold = 700;

// GDI+ for the test's own drawings, started once.
void StartGdiplus() {
    static const ULONG_PTR token = [] {
        ULONG_PTR started = 0;
        const Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&started, &input, nullptr);
        return started;
    }();
    (void)token;
}

Drawing Cut(const gdi_test::CSurface& surface, const RECT& cut) {
    Drawing drawing;
    drawing.width = cut.right - cut.left;
    drawing.height = cut.bottom - cut.top;
    for (int y = cut.top; y < cut.bottom; ++y) {
        for (int x = cut.left; x < cut.right; ++x) {
            drawing.pixels.push_back(surface.Pixel(x, y));
        }
    }
    return drawing;
}

// The panel's picture as the program's template makes it.
SIZE PictureSize() {
    static const SIZE size = [] {
        CWnd parent;
        parent.CreateEx(0, nullptr, L"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0);
        CDialog dialog;
        dialog.Create(kBatteryTemplate, &parent);
        CRect rc;
        if (CWnd* pPicture = dialog.GetDlgItem(kPictureControl)) {
            pPicture->GetClientRect(&rc);
        }
        dialog.DestroyWindow();
        parent.DestroyWindow();
        return SIZE{rc.Width(), rc.Height()};
    }();
    return size;
}

SIZE TextExtent(const wchar_t* pszText, int nSize, int nWeight) {
    gdi_test::CSurface surface(1, 1);
    CFont font;
    CreateSkinnedFont(font, nSize, nWeight);
    const HGDIOBJ hOld = SelectObject(surface.Dc(), font.GetSafeHandle());
    SIZE size{};
    GetTextExtentPoint32W(surface.Dc(), pszText, static_cast<int>(wcslen(pszText)), &size);
    SelectObject(surface.Dc(), hOld);
    return size;
}

// The text as DrawText lays it out in that rectangle at the canvas's corner with those flags, cut to its
// ink.
Drawing DrawnText(const wchar_t* pszText, int nSize, int nWeight, COLORREF crText, SIZE box, UINT nFlags) {
    gdi_test::CSurface surface(kCanvasWidth, kCanvasHeight);
    CFont font;
    CreateSkinnedFont(font, nSize, nWeight);
    const HGDIOBJ hOld = SelectObject(surface.Dc(), font.GetSafeHandle());
    SetBkMode(surface.Dc(), TRANSPARENT);
    SetTextColor(surface.Dc(), crText);
    RECT rc{0, 0, box.cx, box.cy};
    DrawTextW(surface.Dc(), pszText, -1, &rc, nFlags);
    SelectObject(surface.Dc(), hOld);
    return Cut(surface, surface.InkBounds());
}

// A text of the picture: clipped to its own extent, as the picture draws its level, time and message.
Drawing PictureText(const wchar_t* pszText, int nSize, int nWeight, COLORREF crText) {
    return DrawnText(pszText, nSize, nWeight, crText, TextExtent(pszText, nSize, nWeight), 0);
}

bool Matches(const platform::desktop::CScreenImage& screen, int left, int top, const Drawing& drawing) {
    for (int y = 0; y < drawing.height; ++y) {
        for (int x = 0; x < drawing.width; ++x) {
            if (screen.At(left + x, top + y) != drawing.pixels[static_cast<size_t>(y * drawing.width + x)]) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

Drawing TextDrawing(const wchar_t* pszText, int nSize, int nWeight, COLORREF crText) {
    return DrawnText(pszText, nSize, nWeight, crText, SIZE{kCanvasWidth, kCanvasHeight}, 0);
}

Drawing ImageDrawing(int nImageId, SIZE size, const RECT& cut) {
    StartGdiplus();
    gdi_test::CSurface surface(size.cx, size.cy);
    Gdiplus::Bitmap* pImage = nullptr;
    if (LoadPngFromResource(nImageId, &pImage)) {
        Gdiplus::Graphics graphics(surface.Dc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        graphics.DrawImage(pImage, 0, 0, size.cx, size.cy);
    }
    delete pImage;
    return Cut(surface, cut);
}

Drawing BatteryGlyphDrawing(int nImageId, bool bOneMessage) {
    const SIZE size = PictureSize();
    const int nBottom = bOneMessage ? std::min<int>(size.cy, ScaleByMonitorDpiY(kMessageBadgeTop)) : size.cy;
    return ImageDrawing(nImageId, size, RECT{0, 0, std::min<int>(size.cx, kGlyphColumns), nBottom});
}

Drawing BadgeDrawing(int nImageId) {
    const SIZE size{ScaleByMonitorDpiX(23), ScaleByMonitorDpiY(30)};
    return ImageDrawing(nImageId, size, RECT{0, 0, size.cx, size.cy});
}

std::optional<POINT> FindDrawing(const platform::desktop::CScreenImage& screen, const RECT& area,
                                 const Drawing& drawing) {
    if (drawing.width == 0 || drawing.height == 0) {
        return std::nullopt;
    }
    for (int top = area.top; top + drawing.height <= area.bottom; ++top) {
        for (int left = area.left; left + drawing.width <= area.right; ++left) {
            if (Matches(screen, left, top, drawing)) {
                return POINT{left, top};
            }
        }
    }
    return std::nullopt;
}

RECT BatteryPanelArea(const platform::desktop::CScreenImage& screen, const FlyoutOnScreen& flyout) {
    const std::optional<RECT> grid = FindFeatureGrid(screen, flyout);
    return RECT{flyout.titleBar.left, flyout.titleBar.bottom, flyout.titleBar.right,
                grid ? grid->top : screen.height};
}

PanelLook LevelLook(int nPicture, int nBadge, const wchar_t* pszLevel, const wchar_t* pszTime,
                    const wchar_t* pszLabel) {
    PanelLook look;
    look.nPicture = nPicture;
    look.nBadge = nBadge;
    look.texts.push_back(PictureText(pszLevel, kLevelSize, kHeavy, kLevelInk));
    if (*pszTime) {
        look.texts.push_back(PictureText(pszTime, kSecondSize, kBold, kLevelInk));
    }
    if (*pszLabel) {
        // Centred in a tenth more than its width (a long one in two thirds of it, on two lines), as the
        // picture lays its third line out.
        const SIZE extent = TextExtent(pszLabel, kThirdSize, kBold);
        const bool bLong = extent.cx > PictureSize().cx * kLongThirdLine / kDesignWidth;
        const SIZE box{static_cast<int>(extent.cx * (bLong ? 0.66 : 1.1)), bLong ? 2 * extent.cy : extent.cy};
        look.texts.push_back(DrawnText(pszLabel, bLong ? kNarrowThirdSize : kThirdSize, kBold, kCaptionInk,
                                       box, DT_CENTER | DT_WORDBREAK));
    }
    return look;
}

PanelLook MessageLook(int nPicture, const wchar_t* pszMessage) {
    PanelLook look;
    look.nPicture = nPicture;
    look.bOneMessage = true;
    look.texts.push_back(PictureText(pszMessage, kMessageSize, kHeavy, kMessageInk));
    return look;
}

bool Shows(const platform::desktop::CScreenImage& screen, const FlyoutOnScreen& flyout,
           const PanelLook& look) {
    const RECT area = BatteryPanelArea(screen, flyout);
    if (!FindDrawing(screen, area, BatteryGlyphDrawing(look.nPicture, look.bOneMessage))) {
        return false;
    }
    if (look.nBadge && !FindDrawing(screen, area, BadgeDrawing(look.nBadge))) {
        return false;
    }
    return std::all_of(look.texts.begin(), look.texts.end(),
                       [&](const Drawing& text) { return FindDrawing(screen, area, text).has_value(); });
}

bool ShowsText(const platform::desktop::CScreenImage& screen, const FlyoutOnScreen& flyout,
               const Drawing& text) {
    return FindDrawing(screen, BatteryPanelArea(screen, flyout), text).has_value();
}

std::optional<POINT> FindLinkBeside(const platform::desktop::CScreenImage& screen,
                                    const FlyoutOnScreen& flyout, const Drawing& rowText, bool bLeftOfIt) {
    const RECT area = BatteryPanelArea(screen, flyout);
    const std::optional<POINT> found = FindDrawing(screen, area, rowText);
    if (!found) {
        return std::nullopt;
    }
    const int from = bLeftOfIt ? area.left : found->x + rowText.width;
    const int to = bLeftOfIt ? found->x : area.right;
    RECT ink{to, area.bottom, from, area.top};
    for (int y = found->y - 3; y < found->y + rowText.height + 3; ++y) {
        for (int x = from; x < to; ++x) {
            if (screen.At(x, y) == kLinkInk) {
                ink = RECT{std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                           std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
            }
        }
    }
    if (ink.left >= ink.right) {
        return std::nullopt;
    }
    return POINT{(ink.left + ink.right) / 2, (ink.top + ink.bottom) / 2};
}

} // namespace e2e
