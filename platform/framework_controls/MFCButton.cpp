// The framework's self-painting button: owner drawing in steps, the highlighted state under the mouse and
// its tooltip.
#include "platform/framework_controls.h"
#include "platform/window/Controls.h"

namespace {

const COLORREF kFace = RGB(225, 225, 225);
const COLORREF kHighlightedFace = RGB(229, 241, 251);
const COLORREF kPressedFace = RGB(204, 228, 247);
const COLORREF kFrame = RGB(173, 173, 173);
const COLORREF kHighlightedFrame = RGB(0, 120, 215);

} // namespace

IMPLEMENT_DYNAMIC(CMFCButton, CButton)

BEGIN_MESSAGE_MAP(CMFCButton, CButton)
ON_WM_CREATE()
ON_WM_MOUSEMOVE()
ON_WM_MOUSELEAVE()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CMFCButton::CMFCButton() {
    EnableActiveAccessibility();
}

void CMFCButton::PreSubclassWindow() {
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
    CButton::PreSubclassWindow();
    ApplyToolTip();
}

int CMFCButton::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
    return CButton::OnCreate(lpCreateStruct);
}

void CMFCButton::SetTooltip(LPCTSTR lpszToolTipText) {
    m_strToolTip = lpszToolTipText ? lpszToolTipText : L"";
    if (::IsWindow(m_hWnd)) {
        ApplyToolTip();
    }
}

void CMFCButton::ApplyToolTip() {
    if (m_strToolTip.IsEmpty()) {
        if (m_wndToolTip.m_hWnd) {
            m_wndToolTip.DelTool(this);
        }
        return;
    }
    if (!m_wndToolTip.m_hWnd && !m_wndToolTip.Create(this)) {
        return;
    }
    // A tool of the same window replaces the one there.
    m_wndToolTip.AddTool(this, m_strToolTip);
    m_wndToolTip.Activate(TRUE);
}

BOOL CMFCButton::PreTranslateMessage(MSG* pMsg) {
    if (m_wndToolTip.m_hWnd && pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST) {
        m_wndToolTip.RelayEvent(pMsg);
    }
    return CButton::PreTranslateMessage(pMsg);
}

void CMFCButton::OnMouseMove(UINT nFlags, CPoint point) {
    CRect client;
    GetClientRect(client);
    const BOOL inside = client.PtInRect(point);
    if (inside != m_bHighlighted) {
        m_bHighlighted = inside;
        if (inside) {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
            ::TrackMouseEvent(&track);
        }
        Invalidate();
    }
    CButton::OnMouseMove(nFlags, point);
}

void CMFCButton::OnMouseLeave() {
    if (m_bHighlighted) {
        m_bHighlighted = FALSE;
        Invalidate();
    }
    // The tooltip hears of mouse moves over the button only: tell it the mouse is elsewhere now, so that
    // it hides and shows again when the mouse comes back.
    if (m_wndToolTip.m_hWnd) {
        MSG away{nullptr, WM_MOUSEMOVE, 0, 0, 0, {}};
        ::GetCursorPos(&away.pt);
        m_wndToolTip.RelayEvent(&away);
    }
    CButton::OnMouseLeave();
}

void CMFCButton::OnDestroy() {
    if (m_wndToolTip.m_hWnd) {
        m_wndToolTip.DestroyWindow();
    }
    CButton::OnDestroy();
}

void CMFCButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
    const UINT uiState = lpDrawItemStruct->itemState;
    CRect rectClient = lpDrawItemStruct->rcItem;
    OnFillBackground(pDC, rectClient);
    OnDrawBorder(pDC, rectClient, uiState);
    CRect rectFocus = rectClient;
    rectFocus.DeflateRect(1, 1);
    CRect rectContent = rectFocus;
    rectContent.DeflateRect(1, 1);
    OnDraw(pDC, rectContent, uiState);
    if ((uiState & ODS_FOCUS) && m_bDrawFocus) {
        OnDrawFocusRect(pDC, rectFocus);
    }
}

void CMFCButton::OnFillBackground(CDC* pDC, const CRect& rectClient) {
    ::FillRect(pDC->GetSafeHdc(), rectClient,
               platform::window::ControlBrush(m_hWnd, pDC->GetSafeHdc(), WM_CTLCOLORBTN));
    const bool pressed = (GetState() & BST_PUSHED) != 0;
    pDC->FillSolidRect(rectClient, pressed ? kPressedFace : m_bHighlighted ? kHighlightedFace : kFace);
}

void CMFCButton::OnDrawBorder(CDC* pDC, CRect& rectClient, UINT) {
    platform::window::DrawFrame(pDC->GetSafeHdc(), rectClient, m_bHighlighted ? kHighlightedFrame : kFrame);
    rectClient.DeflateRect(1, 1);
}

void CMFCButton::OnDraw(CDC* pDC, const CRect& rect, UINT uiState) {
    CString text;
    GetWindowText(text);
    CFont* pOldFont = pDC->SelectObject(CFont::FromHandle(platform::window::ControlFont(m_hWnd)));
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(::GetSysColor((uiState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    CRect textRect = rect;
    pDC->DrawText(text, textRect,
                  DT_CENTER | ((GetStyle() & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER));
    pDC->SelectObject(pOldFont);
}

void CMFCButton::OnDrawFocusRect(CDC* pDC, const CRect& rectClient) {
    platform::window::DrawFocusRectangle(pDC->GetSafeHdc(), rectClient);
}
