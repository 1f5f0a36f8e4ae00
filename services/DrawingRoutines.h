// The drawing, DPI and resource routines every window of the flyout uses: lengths scaled to the DPI of
// the monitor at (10, 10), the DPI font, PNG resources as GDI+ bitmaps, one-colour GDI+ text, the
// panels' background paint, one-pixel frames and the arrow polygon.
#pragma once

#include "platform/framework_gdi.h"
#include "platform/framework_window.h"
#include "platform/gdiplus.h"
#include "platform/resources.h"
#include "platform/strings.h"

// A text as DrawGradientText paints it (the skinned controls' text items fill it).
struct GradientTextRecord {
    CString strText;
    int nHAlign = 0; // 0 centre, 1 far (right), any other value near (left)
    int nVAlign = 0; // 0 centre, 1 far (bottom), any other value near (top)
    int nX = 0;
    int nY = 0;
    int nReserved = 0; // kept with the record, not used in drawing
    HFONT hFont = nullptr;
    Gdiplus::ARGB crColor = 0xFFFFFFFFu;
};

// MulDiv(length, DPI, 96) with the effective DPI of the monitor that holds (10, 10); 0 without one.
int ScaleByMonitorDpiX(int nLength);
int ScaleByMonitorDpiY(int nLength);

// Makes "Segoe UI" of the message font at 10 pixels per 96 DPI, weight 956; keeps a font already made.
void CreateDpiFont(CFont& font);

// The "PNG" resource of that id copied into a movable block, as a stream; null when it is missing or
// empty or memory fails.
IStream* LoadPngResourceStream(int nResourceId);
// Replaces the bitmap *ppBitmap holds (deleting it) by the PNG of that id; false, with *ppBitmap
// null, when there is no such image or it does not decode.
bool LoadPngFromResource(int nResourceId, Gdiplus::Bitmap** ppBitmap);

// The record's text in its font and colour, aligned in (x, y, width, height); nothing for an empty text.
void DrawGradientText(CDC* pDC, Gdiplus::Graphics* pGraphics, const GradientTextRecord& record, float fWidth,
                      float fHeight);

// The panels' WM_PAINT work inside the paint DC of a window whose client rectangle is given: white,
// the stretched background bitmap, the grey frame and the side lines, double-buffered. False when the
// memory DC cannot be made (the caller then paints as the framework does).
bool PaintDialogBackground(CDC& dcPaint, const RECT& rcClient, Gdiplus::Bitmap* pBackground, bool bFrame,
                           bool bSideLines);
// The whole WM_PAINT work of a panel: PaintDialogBackground inside the window's paint DC over its
// client area. True, also when there is no window to paint; false only when the memory DC fails.
bool DrawDialogBackground(CWnd* pWnd, Gdiplus::Bitmap* pBackground, bool bFrame, bool bSideLines);

// One-pixel lines in RGB(225, 225, 225): rows 0 and H - 1 from x1 to x2, columns x1 and x2 (x1 the left
// inset, x2 the client width less the right inset).
void DrawGreyFrame(CDC* pDC, int nLeftInset, const RECT& rcClient, int nRightInset);
// One-pixel lines: rows top and bottom - 1 from left to right, columns left and right.
void DrawSolidFrame(CDC* pDC, COLORREF crColor, int nLeft, int nTop, int nRight, int nBottom);
// The triangle filled, with the sides p0 - p1 and p2 - p0 outlined (not the base p1 - p2); false
// when its region cannot be made.
bool FillPolygonArrow(CDC* pDC, POINT pt0, POINT pt1, POINT pt2, COLORREF crFill, COLORREF crOutline);
