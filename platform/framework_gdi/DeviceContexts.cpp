// The framework's device context classes.
#include <utility>

#include "platform/framework_gdi.h"
#include "platform/framework_gdi/TemporaryObjects.h"

namespace {

template <typename T, typename Handle> T* SelectInto(HDC hDC, T* pObject) {
    if (!pObject) {
        return nullptr;
    }
    return T::FromHandle(static_cast<Handle>(::SelectObject(hDC, pObject->m_hObject)));
}

} // namespace

CDC::~CDC() {
    if (m_hDC) {
        ::DeleteDC(Detach());
    }
}

CDC* CDC::FromHandle(HDC hDC) {
    return platform::TemporaryObject<CDC>(hDC);
}

BOOL CDC::Attach(HDC hDC) {
    if (m_hDC || !hDC) {
        return FALSE;
    }
    m_hDC = m_hAttribDC = hDC;
    return TRUE;
}

HDC CDC::Detach() {
    m_hAttribDC = nullptr;
    return std::exchange(m_hDC, nullptr);
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    return Attach(::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr));
}

BOOL CDC::DeleteDC() {
    return m_hDC ? ::DeleteDC(Detach()) : FALSE;
}

CPen* CDC::SelectObject(CPen* pPen) {
    return SelectInto<CPen, HPEN>(m_hDC, pPen);
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    return SelectInto<CBrush, HBRUSH>(m_hDC, pBrush);
}

CFont* CDC::SelectObject(CFont* pFont) {
    return SelectInto<CFont, HFONT>(m_hDC, pFont);
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    return SelectInto<CBitmap, HBITMAP>(m_hDC, pBitmap);
}

CGdiObject* CDC::SelectStockObject(int nIndex) {
    HGDIOBJ hObject = ::GetStockObject(nIndex);
    return hObject ? CGdiObject::FromHandle(::SelectObject(m_hDC, hObject)) : nullptr;
}

int CDC::SetBkMode(int nBkMode) {
    return ::SetBkMode(m_hDC, nBkMode);
}

int CDC::GetBkMode() const {
    return ::GetBkMode(m_hDC);
}

COLORREF CDC::SetBkColor(COLORREF crColor) {
    return ::SetBkColor(m_hDC, crColor);
}

COLORREF CDC::GetBkColor() const {
    return ::GetBkColor(m_hDC);
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    return ::SetTextColor(m_hDC, crColor);
}

COLORREF CDC::GetTextColor() const {
    return ::GetTextColor(m_hDC);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
    ::SetBkColor(m_hDC, clr);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    const RECT rect{x, y, x + cx, y + cy};
    FillSolidRect(&rect, clr);
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
    ::FillRect(m_hDC, lpRect, pBrush ? static_cast<HBRUSH>(*pBrush) : nullptr);
}

BOOL CDC::FillRgn(CRgn* pRgn, CBrush* pBrush) {
    return ::FillRgn(m_hDC, pRgn ? static_cast<HRGN>(*pRgn) : nullptr,
                     pBrush ? static_cast<HBRUSH>(*pBrush) : nullptr);
}

POINT CDC::MoveTo(int x, int y) {
    POINT previous{};
    ::MoveToEx(m_hDC, x, y, &previous);
    return previous;
}

POINT CDC::MoveTo(POINT point) {
    return MoveTo(point.x, point.y);
}

BOOL CDC::LineTo(int x, int y) {
    return ::LineTo(m_hDC, x, y);
}

BOOL CDC::LineTo(POINT point) {
    return LineTo(point.x, point.y);
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC ? pSrcDC->m_hDC : nullptr, xSrc, ySrc, dwRop);
}

BOOL CDC::ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, LPCWSTR lpszString, UINT nCount,
                     LPINT lpDxWidths) {
    return ::ExtTextOutW(m_hDC, x, y, nOptions, lpRect, lpszString, nCount, lpDxWidths);
}

BOOL CDC::TextOut(int x, int y, LPCWSTR lpszString, int nCount) {
    return ::TextOutW(m_hDC, x, y, lpszString, nCount);
}

BOOL CDC::TextOut(int x, int y, const CString& str) {
    return TextOut(x, y, str.GetString(), str.GetLength());
}

int CDC::DrawText(LPCWSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) {
    return ::DrawTextW(m_hDC, lpszString, nCount, lpRect, nFormat);
}

int CDC::DrawText(const CString& str, LPRECT lpRect, UINT nFormat) {
    return DrawText(str.GetString(), str.GetLength(), lpRect, nFormat);
}

SIZE CDC::GetTextExtent(LPCWSTR lpszString, int nCount) const {
    SIZE size{};
    ::GetTextExtentPoint32W(m_hAttribDC, lpszString, nCount, &size);
    return size;
}

SIZE CDC::GetTextExtent(const CString& str) const {
    return GetTextExtent(str.GetString(), str.GetLength());
}

BOOL CDC::GetTextMetrics(LPTEXTMETRICW lpMetrics) const {
    return ::GetTextMetricsW(m_hAttribDC, lpMetrics);
}

CMemDC::CMemDC(CDC& dc, const RECT& rect) : m_dc(dc), m_rect(rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (m_dcMem.CreateCompatibleDC(&dc) && m_bmp.CreateCompatibleBitmap(&dc, width, height)) {
        m_pOldBmp = m_dcMem.SelectObject(&m_bmp);
    }
}

CMemDC::~CMemDC() {
    if (m_pOldBmp) {
        m_dc.BitBlt(m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, &m_dcMem,
                    0, 0, SRCCOPY);
        m_dcMem.SelectObject(m_pOldBmp);
    }
}
