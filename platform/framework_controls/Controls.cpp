// The framework's control classes.
#include "platform/framework_controls.h"

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CLinkCtrl, CWnd)
IMPLEMENT_DYNAMIC(CScrollBar, CWnd)
IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

BOOL CButton::Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateEx(0, L"Button", lpszCaption, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

UINT CButton::GetState() const {
    return static_cast<UINT>(SendMessage(BM_GETSTATE));
}

void CButton::SetState(BOOL bHighlight) {
    SendMessage(BM_SETSTATE, static_cast<WPARAM>(bHighlight));
}

UINT CButton::GetButtonStyle() const {
    return GetStyle() & 0xFFFFu;
}

void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw) {
    SendMessage(BM_SETSTYLE, nStyle, bRedraw);
}

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_DRAWITEM) {
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    }
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult) {
        *pResult = TRUE;
    }
    return TRUE;
}

BOOL CStatic::Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateEx(0, L"Static", lpszText, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

BOOL CLinkCtrl::Create(LPCTSTR lpszLinkMarkup, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateEx(0, L"SysLink", lpszLinkMarkup, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

BOOL CScrollBar::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateEx(0, L"ScrollBar", nullptr, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

int CScrollBar::GetScrollPos() const {
    return ::GetScrollPos(m_hWnd, SB_CTL);
}

int CScrollBar::SetScrollPos(int nPos, BOOL bRedraw) {
    return ::SetScrollPos(m_hWnd, SB_CTL, nPos, bRedraw);
}

void CScrollBar::GetScrollRange(LPINT lpMinPos, LPINT lpMaxPos) const {
    ::GetScrollRange(m_hWnd, SB_CTL, lpMinPos, lpMaxPos);
}

void CScrollBar::SetScrollRange(int nMinPos, int nMaxPos, BOOL bRedraw) {
    ::SetScrollRange(m_hWnd, SB_CTL, nMinPos, nMaxPos, bRedraw);
}

BOOL CScrollBar::SetScrollInfo(LPSCROLLINFO lpScrollInfo, BOOL bRedraw) {
    if (!lpScrollInfo || !::IsWindow(m_hWnd)) {
        return FALSE;
    }
    ::SetScrollInfo(m_hWnd, SB_CTL, lpScrollInfo, bRedraw);
    return TRUE;
}

BOOL CScrollBar::GetScrollInfo(LPSCROLLINFO lpScrollInfo, UINT nMask) {
    if (!lpScrollInfo) {
        return FALSE;
    }
    lpScrollInfo->cbSize = sizeof(SCROLLINFO);
    lpScrollInfo->fMask = nMask;
    return ::GetScrollInfo(m_hWnd, SB_CTL, lpScrollInfo);
}

int CScrollBar::GetScrollLimit() {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    if (!::GetScrollInfo(m_hWnd, SB_CTL, &info)) {
        return 0;
    }
    return info.nMax - (info.nPage > 0 ? static_cast<int>(info.nPage) - 1 : 0);
}

void CScrollBar::ShowScrollBar(BOOL bShow) {
    ShowWindow(bShow ? SW_SHOW : SW_HIDE);
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle) {
    const RECT none{0, 0, 0, 0};
    const HWND owner = pParentWnd ? ::GetAncestor(pParentWnd->m_hWnd, GA_ROOT) : nullptr;
    return CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, TOOLTIPS_CLASSW, nullptr,
                    WS_POPUP | dwStyle, none, CWnd::FromHandle(owner), 0);
}

TOOLINFO CToolTipCtrl::ToolFor(CWnd* pWnd, UINT_PTR nIDTool, LPCTSTR lpszText, LPCRECT lpRect) const {
    TOOLINFO info{};
    info.cbSize = sizeof(info);
    info.lpszText = const_cast<LPWSTR>(lpszText);
    if (!lpRect && nIDTool == 0 && pWnd) {
        info.uFlags = TTF_IDISHWND;
        info.hwnd = ::GetParent(pWnd->m_hWnd) ? ::GetParent(pWnd->m_hWnd) : pWnd->m_hWnd;
        info.uId = reinterpret_cast<UINT_PTR>(pWnd->m_hWnd);
    } else {
        info.hwnd = pWnd ? pWnd->m_hWnd : nullptr;
        info.uId = nIDTool;
        if (lpRect) {
            info.rect = *lpRect;
        }
    }
    return info;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool) {
    TOOLINFO info = ToolFor(pWnd, nIDTool, lpszText, lpRectTool);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool) {
    TOOLINFO info = ToolFor(pWnd, nIDTool, nullptr, nullptr);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool) {
    TOOLINFO info = ToolFor(pWnd, nIDTool, lpszText, nullptr);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::RelayEvent(LPMSG lpMsg) {
    SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(lpMsg));
}

void CToolTipCtrl::Activate(BOOL bActivate) {
    SendMessage(TTM_ACTIVATE, static_cast<WPARAM>(bActivate));
}

int CToolTipCtrl::SetMaxTipWidth(int iWidth) {
    return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, iWidth));
}

void CToolTipCtrl::SetDelayTime(UINT nDelay) {
    SendMessage(TTM_SETDELAYTIME, TTDT_AUTOMATIC, static_cast<LPARAM>(nDelay));
}

int CToolTipCtrl::GetToolCount() const {
    return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT));
}

void CToolTipCtrl::Pop() {
    SendMessage(TTM_POP);
}

BOOL CToolTipCtrl::AdjustRect(LPRECT lprc, BOOL bLarger) {
    return static_cast<BOOL>(
        SendMessage(TTM_ADJUSTRECT, static_cast<WPARAM>(bLarger), reinterpret_cast<LPARAM>(lprc)));
}
