#include "controls/LinkText.h"

#include "controls/SkinnedControl.h"

void CreateLinkFonts(CFont& fontNormal, CFont& fontHover, int nSize, int nWeight) {
    fontNormal.DeleteObject();
    fontHover.DeleteObject();
    CreateSkinnedFont(fontHover, nSize, nWeight);
    LOGFONTW logFont{};
    fontHover.GetLogFont(&logFont);
    logFont.lfUnderline = TRUE;
    fontNormal.CreateFontIndirect(&logFont);
}

int MeasureTextWidth(CWnd* pWnd, CFont& font, const CString& strText) {
    CClientDC dc(pWnd);
    CFont* pOldFont = dc.SelectObject(&font);
    const int nWidth = dc.GetTextExtent(strText).cx;
    dc.SelectObject(pOldFont);
    return nWidth;
}

void NarrowToText(CWnd* pWnd, int nTextWidth, bool bKeepLeft) {
    CRect rcClient;
    pWnd->GetClientRect(&rcClient);
    if (nTextWidth <= 0 || nTextWidth >= rcClient.Width()) {
        return;
    }
    const int nWidth = static_cast<int>(nTextWidth * 1.1);
    // MoveWindow places a child in its parent's client coordinates.
    CRect rcPlace;
    pWnd->GetWindowRect(&rcPlace);
    ::MapWindowPoints(nullptr, ::GetAncestor(pWnd->m_hWnd, GA_PARENT), reinterpret_cast<LPPOINT>(&rcPlace),
                      2);
    const int nLeft = bKeepLeft ? rcPlace.left : rcPlace.right - nWidth;
    pWnd->MoveWindow(nLeft, rcPlace.top, nWidth, rcPlace.Height(), TRUE);
}
