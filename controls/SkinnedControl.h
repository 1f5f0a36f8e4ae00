// What the skinned controls share: their double-buffered paint, their "Segoe UI" fonts, their PNG
// images, squaring in place and the class cursor.
#pragma once

#include <functional>
#include <optional>

#include "platform/framework_gdi.h"
#include "platform/framework_window.h"
#include "platform/gdiplus.h"

using BufferedDraw = std::function<void(CDC& dc, const CRect& rcClient)>;
using SkinnedDraw = std::function<void(CDC& dc, Gdiplus::Graphics& graphics, const CRect& rcClient)>;

// The WM_PAINT work of a control: a memory DC over its client area in transparent background mode,
// filled with the colour when one is given, drawn on and copied to the window.
void PaintBuffered(CWnd* pWnd, std::optional<COLORREF> crFill, const BufferedDraw& draw);
// The same with a high-quality GDI+ graphics object on the memory DC.
void PaintSkinned(CWnd* pWnd, std::optional<COLORREF> crFill, const SkinnedDraw& draw);

// "Segoe UI" at the design size scaled to the monitor's DPI (character height); a weight of 0 or less
// gives 400.
BOOL CreateSkinnedFont(CFont& font, int nSize, int nWeight);

// Deletes the bitmap *ppBitmap holds and clears the pointer.
void DeleteBitmap(Gdiplus::Bitmap** ppBitmap);
// The PNG of that id in place of the bitmap *ppBitmap holds; an id below 1 only deletes it.
void LoadPngOrClear(int nImageId, Gdiplus::Bitmap** ppBitmap);

// Makes the control square, its side its client height, where it stands in its parent.
void SizeToClientHeight(CWnd* pWnd);

// Gives the window's class the system cursor of that id; the cursor.
HCURSOR SetClassCursor(CWnd* pWnd, LPCWSTR pszCursorId);

// How long the mouse rests on a skinned button before it counts as hovering.
constexpr DWORD kSkinnedHoverTimeMs = 10;

// Asks for the hover and leave notifications once per stay of the mouse on the button.
template <typename Flag> void TrackHoverAndLeave(CWnd* pWnd, Flag& bTracking) {
    if (!bTracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, pWnd->m_hWnd, kSkinnedHoverTimeMs};
        bTracking = _TrackMouseEvent(&track) != FALSE;
    }
}

// Keeps a control's mouse-or-keyboard flag from a message it pre-translates: set by the left mouse
// button, cleared by a key.
template <typename Flag> void KeepMouseInputFlag(const MSG* pMsg, Flag& bMouseInput) {
    switch (pMsg->message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        bMouseInput = true;
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        bMouseInput = false;
        break;
    default:
        break;
    }
}

// Keeps a button's hover, tracking and mouse-or-keyboard flags from a message it pre-translates; hover
// and leave repaint it.
template <typename Flag>
void KeepPointerFlags(CWnd* pWnd, const MSG* pMsg, Flag& bHover, Flag& bTracking, Flag& bMouseInput) {
    switch (pMsg->message) {
    case WM_MOUSELEAVE:
        bHover = false;
        bTracking = false;
        pWnd->Invalidate(TRUE);
        break;
    case WM_MOUSEHOVER:
        bHover = true;
        pWnd->Invalidate(TRUE);
        break;
    default:
        KeepMouseInputFlag(pMsg, bMouseInput);
        break;
    }
}
