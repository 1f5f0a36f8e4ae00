// The framework's control classes over the standard controls: buttons (with owner drawing), statics,
// links, scroll bars and tooltips; the framework's own buttons that paint themselves (CMFCButton) and its
// link button (CMFCLinkCtrl).
#pragma once

#include "platform/framework_window.h"

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
public:
    BOOL Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    UINT GetState() const;
    void SetState(BOOL bHighlight);
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
    // An owner-drawn button's picture (WM_DRAWITEM, reflected from the parent).
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
public:
    BOOL Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID = 0xFFFF);
};

class CLinkCtrl : public CWnd {
    DECLARE_DYNAMIC(CLinkCtrl)
public:
    BOOL Create(LPCTSTR lpszLinkMarkup, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
};

class CScrollBar : public CWnd {
    DECLARE_DYNAMIC(CScrollBar)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    int GetScrollPos() const;
    int SetScrollPos(int nPos, BOOL bRedraw = TRUE);
    void GetScrollRange(LPINT lpMinPos, LPINT lpMaxPos) const;
    void SetScrollRange(int nMinPos, int nMaxPos, BOOL bRedraw = TRUE);
    BOOL SetScrollInfo(LPSCROLLINFO lpScrollInfo, BOOL bRedraw = TRUE);
    BOOL GetScrollInfo(LPSCROLLINFO lpScrollInfo, UINT nMask = SIF_ALL);
    int GetScrollLimit();
    void ShowScrollBar(BOOL bShow = TRUE);
};

class CToolTipCtrl : public CWnd {
    DECLARE_DYNAMIC(CToolTipCtrl)
public:
    // A topmost tooltip window owned by the parent's top-level window.
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    // A tool for the whole window (by handle), or for a rectangle of it with an id.
    BOOL AddTool(CWnd* pWnd, LPCTSTR lpszText = LPSTR_TEXTCALLBACKW, LPCRECT lpRectTool = nullptr,
                 UINT_PTR nIDTool = 0);
    void DelTool(CWnd* pWnd, UINT_PTR nIDTool = 0);
    void UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0);
    void RelayEvent(LPMSG lpMsg);
    void Activate(BOOL bActivate);
    int SetMaxTipWidth(int iWidth);
    void SetDelayTime(UINT nDelay);
    int GetToolCount() const;
    void Pop();
    BOOL AdjustRect(LPRECT lprc, BOOL bLarger = TRUE);

private:
    TOOLINFO ToolFor(CWnd* pWnd, UINT_PTR nIDTool, LPCTSTR lpszText, LPCRECT lpRect) const;
};

// The framework's self-painting button: the system button, owner-drawn, painted through the virtual
// steps OnFillBackground, OnDrawBorder, OnDraw and OnDrawFocusRect (while it has the focus); highlighted
// while the mouse is over it; with its own tooltip. It answers accessibility clients itself (its
// active-accessibility flag is set from the start).
class CMFCButton : public CButton {
    DECLARE_DYNAMIC(CMFCButton)
    DECLARE_MESSAGE_MAP()
public:
    CMFCButton();
    // The text shown while the mouse rests on the button (kept until the button has a window); null or
    // empty: no tooltip.
    void SetTooltip(LPCTSTR lpszToolTipText);
    // Whether the mouse is over the button now.
    BOOL IsHighlighted() const { return m_bHighlighted; }
    // Hands the mouse messages to the tooltip.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    // Whether OnDrawFocusRect is called while the button has the focus.
    BOOL m_bDrawFocus = TRUE;

    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnMouseLeave();
    // Destroys the tooltip with the button.
    void OnDestroy();

protected:
    // Makes the button owner-drawn (a template's button, bound by DDX_Control).
    void PreSubclassWindow() override;
    // The whole client area: the parent's button brush (WM_CTLCOLORBTN), then the face colour of the
    // state.
    virtual void OnFillBackground(CDC* pDC, const CRect& rectClient);
    // A one-pixel frame; leaves the rectangle inside it.
    virtual void OnDrawBorder(CDC* pDC, CRect& rectClient, UINT uiState);
    // The content: the window text in the control's font, centred. The rectangle lies one pixel inside
    // the focus rectangle; uiState holds the ODS_ flags of the drawing.
    virtual void OnDraw(CDC* pDC, const CRect& rect, UINT uiState);
    // A dotted rectangle.
    virtual void OnDrawFocusRect(CDC* pDC, const CRect& rectClient);

    BOOL m_bHighlighted = FALSE;
    CString m_strToolTip;
    CToolTipCtrl m_wndToolTip;

private:
    void ApplyToolTip();
};

// The framework's link button: underlined text in the link colour, the hand cursor, and a click (BN_CLICKED,
// from the mouse or the keyboard) that opens its URL through the shell before the parent hears of it.
class CMFCLinkCtrl : public CMFCButton {
    DECLARE_DYNAMIC(CMFCLinkCtrl)
    DECLARE_MESSAGE_MAP()
public:
    // The address a click opens ("open", SW_SHOWNORMAL); empty: a click opens nothing.
    void SetURL(LPCTSTR lpszURL);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);

    // The text wraps at word boundaries instead of staying on one line.
    BOOL m_bMultilineText = FALSE;

protected:
    // The parent's background only: no face colour and no frame.
    void OnFillBackground(CDC* pDC, const CRect& rectClient) override;
    void OnDrawBorder(CDC* pDC, CRect& rectClient, UINT uiState) override;
    // The window text, left-aligned, in the control's font underlined.
    void OnDraw(CDC* pDC, const CRect& rect, UINT uiState) override;

    CString m_strURL;
};
