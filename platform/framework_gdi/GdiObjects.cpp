// The framework's GDI object classes.
#include <utility>

#include "platform/framework_gdi.h"
#include "platform/framework_gdi/TemporaryObjects.h"
#include "platform/gdi/GdiState.h"

namespace platform {

bool IsLiveHandle(const void* handle) {
    const auto lock = gdi::LockGdi();
    auto* value = const_cast<void*>(handle);
    return gdi::CGdiTable::Instance().Find(value) ||
           gdi::CGdiTable::Instance().FindDC(static_cast<HDC>(value));
}

} // namespace platform

CGdiObject::~CGdiObject() {
    DeleteObject();
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) {
    return platform::TemporaryObject<CGdiObject>(hObject);
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    if (m_hObject || !hObject) {
        return FALSE;
    }
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    return std::exchange(m_hObject, nullptr);
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject) {
        return FALSE;
    }
    return ::DeleteObject(Detach());
}

int CGdiObject::GetObject(int nCount, LPVOID lpObject) const {
    return ::GetObjectW(m_hObject, nCount, lpObject);
}

CPen::CPen(int nPenStyle, int nWidth, COLORREF crColor) {
    CreatePen(nPenStyle, nWidth, crColor);
}

BOOL CPen::CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
    return Attach(::CreatePen(nPenStyle, nWidth, crColor));
}

CPen* CPen::FromHandle(HPEN hPen) {
    return platform::TemporaryObject<CPen>(hPen);
}

CBrush::CBrush(COLORREF crColor) {
    CreateSolidBrush(crColor);
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor) {
    return Attach(::CreateSolidBrush(crColor));
}

CBrush* CBrush::FromHandle(HBRUSH hBrush) {
    return platform::TemporaryObject<CBrush>(hBrush);
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* lpLogFont) {
    return Attach(::CreateFontIndirectW(lpLogFont));
}

BOOL CFont::CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                       BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision,
                       BYTE nClipPrecision, BYTE nQuality, BYTE nPitchAndFamily, LPCWSTR lpszFacename) {
    return Attach(::CreateFontW(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic, bUnderline,
                                cStrikeOut, nCharSet, nOutPrecision, nClipPrecision, nQuality,
                                nPitchAndFamily, lpszFacename));
}

int CFont::GetLogFont(LOGFONTW* pLogFont) const {
    return GetObject(sizeof(LOGFONTW), pLogFont);
}

CFont* CFont::FromHandle(HFONT hFont) {
    return platform::TemporaryObject<CFont>(hFont);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    return Attach(::CreateCompatibleBitmap(pDC ? pDC->m_hDC : nullptr, nWidth, nHeight));
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const {
    return GetObject(sizeof(BITMAP), pBitMap);
}

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) {
    return platform::TemporaryObject<CBitmap>(hBitmap);
}

BOOL CRgn::CreatePolygonRgn(const POINT* lpPoints, int nCount, int nMode) {
    return Attach(::CreatePolygonRgn(lpPoints, nCount, nMode));
}

BOOL CRgn::CreateEllipticRgn(int x1, int y1, int x2, int y2) {
    return Attach(::CreateEllipticRgn(x1, y1, x2, y2));
}

BOOL CRgn::CreateRectRgn(int x1, int y1, int x2, int y2) {
    return Attach(::CreateRectRgn(x1, y1, x2, y2));
}

BOOL CRgn::PtInRegion(int x, int y) const {
    return ::PtInRegion(static_cast<HRGN>(m_hObject), x, y);
}

BOOL CRgn::PtInRegion(POINT point) const {
    return PtInRegion(point.x, point.y);
}

CRgn* CRgn::FromHandle(HRGN hRgn) {
    return platform::TemporaryObject<CRgn>(hRgn);
}
