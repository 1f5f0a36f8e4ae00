// The framework's drawing classes: GDI objects that own their handles (CPen, CBrush, CFont, CBitmap,
// CRgn), the device context CDC and the double-buffering CMemDC. The window system's device contexts
// (CPaintDC, CClientDC) derive from CDC.
#pragma once

#include "platform/gdi.h"
#include "platform/strings.h"

// ---- GDI objects ----
// Owns its handle: the destructor deletes it. FromHandle gives a temporary object that does not.
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    operator HGDIOBJ() const { return m_hObject; }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    static CGdiObject* FromHandle(HGDIOBJ hObject);
    // FALSE when the object already holds a handle or the handle is null.
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int nCount, LPVOID lpObject) const;

    HGDIOBJ m_hObject = nullptr;
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    // The framework throws when the pen cannot be made; this one stays empty instead.
    CPen(int nPenStyle, int nWidth, COLORREF crColor);
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
    static CPen* FromHandle(HPEN hPen);
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    // A solid brush; empty when it cannot be made (the framework throws).
    explicit CBrush(COLORREF crColor);
    BOOL CreateSolidBrush(COLORREF crColor);
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
    static CBrush* FromHandle(HBRUSH hBrush);
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONTW* lpLogFont);
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                    BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                    BYTE nQuality, BYTE nPitchAndFamily, LPCWSTR lpszFacename);
    int GetLogFont(LOGFONTW* pLogFont) const;
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    static CFont* FromHandle(HFONT hFont);
};

class CDC;

class CBitmap : public CGdiObject {
public:
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
    int GetBitmap(BITMAP* pBitMap) const;
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    static CBitmap* FromHandle(HBITMAP hBitmap);
};

class CRgn : public CGdiObject {
public:
    BOOL CreatePolygonRgn(const POINT* lpPoints, int nCount, int nMode);
    BOOL CreateEllipticRgn(int x1, int y1, int x2, int y2);
    BOOL CreateRectRgn(int x1, int y1, int x2, int y2);
    BOOL PtInRegion(int x, int y) const;
    BOOL PtInRegion(POINT point) const;
    operator HRGN() const { return static_cast<HRGN>(m_hObject); }
    static CRgn* FromHandle(HRGN hRgn);
};

// ---- Device contexts ----
// Owns its DC when it made it (CreateCompatibleDC) or was attached to one: the destructor deletes it.
class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }
    static CDC* FromHandle(HDC hDC);
    BOOL Attach(HDC hDC);
    HDC Detach();
    BOOL CreateCompatibleDC(CDC* pDC);
    BOOL DeleteDC();

    // The previously selected object, as a temporary object; null on failure.
    CPen* SelectObject(CPen* pPen);
    CBrush* SelectObject(CBrush* pBrush);
    virtual CFont* SelectObject(CFont* pFont);
    CBitmap* SelectObject(CBitmap* pBitmap);
    CGdiObject* SelectStockObject(int nIndex);

    int SetBkMode(int nBkMode);
    int GetBkMode() const;
    COLORREF SetBkColor(COLORREF crColor);
    COLORREF GetBkColor() const;
    COLORREF SetTextColor(COLORREF crColor);
    COLORREF GetTextColor() const;

    // An opaque fill in the background colour (which stays set), as the framework does it.
    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    void FillRect(LPCRECT lpRect, CBrush* pBrush);
    BOOL FillRgn(CRgn* pRgn, CBrush* pBrush);

    POINT MoveTo(int x, int y);
    POINT MoveTo(POINT point);
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT point);

    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);

    BOOL ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, LPCWSTR lpszString, UINT nCount,
                    LPINT lpDxWidths);
    BOOL TextOut(int x, int y, LPCWSTR lpszString, int nCount);
    BOOL TextOut(int x, int y, const CString& str);
    int DrawText(LPCWSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat);
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat);
    SIZE GetTextExtent(LPCWSTR lpszString, int nCount) const;
    SIZE GetTextExtent(const CString& str) const;
    BOOL GetTextMetrics(LPTEXTMETRICW lpMetrics) const;

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;
};

// Double buffering: drawing goes to a memory DC of the rectangle's size (the rectangle's corner is its
// origin), which the destructor copies to the rectangle of the original DC.
class CMemDC {
public:
    CMemDC(CDC& dc, const RECT& rect);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    CDC& GetDC() { return m_dcMem; }

private:
    CDC& m_dc;
    RECT m_rect;
    CDC m_dcMem;
    CBitmap m_bmp;
    CBitmap* m_pOldBmp = nullptr;
};
