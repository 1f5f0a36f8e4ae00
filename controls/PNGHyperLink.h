// A hyperlink button on the framework's link button: a Solvane page as its URL, its text in its own
// fonts and colour (underlined until the mouse is over it), the link role for accessibility clients,
// Space acting as Enter, and the focus frame only after keyboard use.
#pragma once

#include "platform/framework_controls.h"

class CPNGHyperLink : public CMFCLinkCtrl {
public:
    // The text (also the window text) in "Segoe UI" of that size and weight (0 or less: 400), its
    // colour and DrawText flags, on white; a URI that the Solvane launch gate accepts becomes the URL a
    // click opens, any other leaves the link with none. Nothing happens for a null URI or text.
    void SetLinkText(LPCWSTR pszUri, LPCWSTR pszText, int nFontSize, int nFontWeight, COLORREF crText,
                     UINT nDrawFlags);
    // Narrows the link to 1.1 times its text's width, keeping its left or its right edge, when the text
    // is narrower than the link.
    void SizeToText(bool bKeepLeft);
    HRESULT get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void OnDestroy();
    void OnDrawFocusRect(CDC* pDC, const CRect& rectClient) override;
    void OnDraw(CDC* pDC, const CRect& rect, UINT uiState) override;
    DECLARE_MESSAGE_MAP()

    CString m_strText;
    CFont m_fontNormal; // underlined
    CFont m_fontHover;
    COLORREF m_crText = 0;
    COLORREF m_crBackground = RGB(255, 255, 255);
    UINT m_nDrawFlags = 0;
    int m_nFontSize = 0;
    int m_nFontWeight = 0;
    int m_nTextWidth = 0;       // in the normal font
    bool m_bTooWide = false;    // the last painted text was wider than the client area
    bool m_bMouseInput = false; // set by the mouse, cleared by a key: no focus frame meanwhile

private:
    // Fills the parts of the client area outside the rectangle with the background.
    void FillAround(CDC* pDC, const CRect& rcClient, const CRect& rect) const;
};
