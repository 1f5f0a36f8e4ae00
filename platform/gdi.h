// GDI: device contexts, bitmaps, brushes, pens, fonts, regions, lines, fills and text, drawn onto
// Cairo image surfaces with text laid out by Pango.
#pragma once

#include "platform/base.h"

// ---- Geometry ----
using LPINT = int*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using PRECT = RECT*;
using LPRECT = RECT*;
using LPCRECT = const RECT*;

struct POINT {
    LONG x;
    LONG y;
};
using PPOINT = POINT*;
using LPPOINT = POINT*;

struct SIZE {
    LONG cx;
    LONG cy;
};
using PSIZE = SIZE*;
using LPSIZE = SIZE*;

struct HWND__;
using HWND = HWND__*;

// ---- Colours ----
using COLORREF = DWORD;
using LPCOLORREF = DWORD*;
#define RGB(r, g, b)                                                                                         \
    (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) |           \
                           (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(static_cast<WORD>(rgb) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFFu

// ---- Handles ----
using HGDIOBJ = void*;
FLIPDECK_DECLARE_HANDLE(HDC);
FLIPDECK_DECLARE_HANDLE(HBITMAP);
FLIPDECK_DECLARE_HANDLE(HBRUSH);
FLIPDECK_DECLARE_HANDLE(HPEN);
FLIPDECK_DECLARE_HANDLE(HFONT);
FLIPDECK_DECLARE_HANDLE(HRGN);

#define HGDI_ERROR (reinterpret_cast<HGDIOBJ>(static_cast<LONG_PTR>(-1)))
#define ERROR_INVALID_PIXEL_FORMAT 2000L

// ---- Stock objects ----
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17
HGDIOBJ GetStockObject(int i);

// ---- Object descriptions (GetObjectW) ----
#define LF_FACESIZE 32
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
using LOGFONT = LOGFONTW;
using PLOGFONTW = LOGFONTW*;
using LPLOGFONTW = LOGFONTW*;
using LPLOGFONT = LOGFONTW*;

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};
using PBITMAP = BITMAP*;
using LPBITMAP = BITMAP*;

struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
};

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
};
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

// The object's description; with a null buffer, the size of it. 0 for a bad handle or a short buffer.
int GetObjectW(HGDIOBJ h, int c, LPVOID pv);
#define GetObject GetObjectW
BOOL DeleteObject(HGDIOBJ ho);

// ---- Device contexts ----
// A memory DC compatible with the given one (NULL: the screen); it starts with a 1 x 1 bitmap.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// The previously selected object of that kind; NULL for a bad handle, HGDI_ERROR for a region.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);

#define TRANSPARENT 1
#define OPAQUE 2
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);

// ---- Bitmaps ----
// A 32-bit colour bitmap; 0 x 0 gives a 1 x 1 bitmap.
HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy);

#define SRCCOPY 0x00CC0020u
// Only SRCCOPY is supported.
BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);

// ---- Brushes, pens, regions ----
HBRUSH CreateSolidBrush(COLORREF color);
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
HPEN CreatePen(int iStyle, int cWidth, COLORREF color);

#define ALTERNATE 1
#define WINDING 2
HRGN CreatePolygonRgn(const POINT* pptl, int cPoint, int iMode);
// The ellipse inside (x1, y1)-(x2, y2), right and bottom edges excluded.
HRGN CreateEllipticRgn(int x1, int y1, int x2, int y2);
HRGN CreateRectRgn(int x1, int y1, int x2, int y2);
BOOL PtInRegion(HRGN hrgn, int x, int y);
BOOL FillRgn(HDC hdc, HRGN hrgn, HBRUSH hbr);
// Fills the rectangle, right and bottom edges excluded.
int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);

// ---- Lines ----
BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT lppt);
// From the current position to (x, y), the end point excluded, in the selected pen.
BOOL LineTo(HDC hdc, int x, int y);

// ---- Fonts ----
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_EXTRABOLD 800
#define FW_HEAVY 900
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0x00
#define FF_SWISS 0x20

// lfHeight < 0 is the character (em) height in pixels, > 0 the cell height, 0 a default size.
HFONT CreateFontIndirectW(const LOGFONTW* lplf);
HFONT CreateFontW(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                  DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision,
                  DWORD iClipPrecision, DWORD iQuality, DWORD iPitchAndFamily, LPCWSTR pszFaceName);
#define CreateFontIndirect CreateFontIndirectW
#define CreateFont CreateFontW

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
using TEXTMETRIC = TEXTMETRICW;
using LPTEXTMETRICW = TEXTMETRICW*;
using LPTEXTMETRIC = TEXTMETRICW*;
BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
#define GetTextMetrics GetTextMetricsW

// ---- Text ----
// Width of the characters and height of the selected font's cell.
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl);
#define GetTextExtentPoint32 GetTextExtentPoint32W

#define ETO_OPAQUE 0x0002u
#define ETO_CLIPPED 0x0004u
// Text with its top-left corner at (x, y); ETO_OPAQUE fills the rectangle with the background colour
// first, ETO_CLIPPED clips to it. Per-character advances (lpDx) are not supported.
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* lprect, LPCWSTR lpString, UINT c,
                 const INT* lpDx);
BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c);
#define ExtTextOut ExtTextOutW
#define TextOut TextOutW

#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_NOCLIP 0x00000100u
#define DT_CALCRECT 0x00000400u
#define DT_NOPREFIX 0x00000800u
#define DT_END_ELLIPSIS 0x00008000u
#define DT_WORD_ELLIPSIS 0x00040000u
#define DT_HIDEPREFIX 0x00100000u
// Draws the text in the rectangle with the DT_ flags above (a "&" underlines the next character, "&&"
// is one "&", unless DT_NOPREFIX). DT_VCENTER and DT_BOTTOM act with DT_SINGLELINE only. The result is
// the height of the text (from the rectangle's top to the text's bottom with DT_VCENTER or DT_BOTTOM);
// 0 on failure, also for a flag not listed above.
int DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format);
#define DrawText DrawTextW
