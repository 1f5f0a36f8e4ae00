#include "app/PanelTabs.h"

#include "services/DrawingRoutines.h"

namespace {

constexpr int kHeadingX = 4;
constexpr int kHeadingY = 4;
constexpr int kHeadingSize = 12;
constexpr int kHeadingWeight = 700;
constexpr int kHeadingPadding = 15;
constexpr int kHeadingGap = 10;
constexpr int kToolTipTextChars = 80;

// The child's rectangle in its parent's client coordinates.
CRect PlaceInParent(const CWnd& child) {
    CRect rc;
    child.GetWindowRect(&rc);
    ::MapWindowPoints(nullptr, ::GetParent(child.m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void MoveToHeight(CWnd& panel, int nHeight) {
    CRect rcWindow;
    panel.GetWindowRect(&rcWindow);
    panel.MoveWindow(0, 0, rcWindow.Width(), nHeight, TRUE);
}

int ClientHeight(const CWnd& panel) {
    CRect rc;
    panel.GetClientRect(&rc);
    return rc.Height();
}

} // namespace

PanelUnits PanelUnits::Of(const CWnd& panel) {
    CRect rc;
    panel.GetClientRect(&rc);
    return {rc.Width(), rc.Height()};
}

void SetTabHeading(CTitleStatic& heading, const CString& strTitle, bool bActive) {
    heading.SetTitle(strTitle, kHeadingX, kHeadingY, kHeadingSize, kHeadingWeight,
                     bActive ? kActiveHeading : kInactiveHeading, RGB(255, 255, 255));
}

void FitTabHeading(CTitleStatic& heading) {
    const CRect rc = PlaceInParent(heading);
    heading.MoveWindow(rc.left, rc.top, heading.m_nTextWidth + kHeadingPadding, rc.Height(), TRUE);
}

void PlaceTabHeading(CTitleStatic& heading, const CTitleStatic& beside, int x, int nWidth) {
    const CRect rc = PlaceInParent(beside);
    heading.MoveWindow(x, rc.top, nWidth, rc.Height(), TRUE);
}

void LayOutTabHeadings(CTitleStatic& first, CTitleStatic& second) {
    FitTabHeading(first);
    PlaceTabHeading(second, first, HeadingRight(first) + kHeadingGap, second.m_nTextWidth + kHeadingPadding);
}

int HeadingRight(const CTitleStatic& heading) {
    return PlaceInParent(heading).right;
}

void DrawCard(CDC& dc, const CRect& rcCard) {
    dc.FillSolidRect(&rcCard, kCardFill);
    DrawSolidFrame(&dc, kCardFrame, rcCard.left, rcCard.top, rcCard.right, rcCard.bottom);
}

void DrawTabArrow(CDC& dc, const CRect& rcCard, int x, int nHeadingWidth, int nArrowHeight) {
    const int w = nHeadingWidth;
    FillPolygonArrow(&dc, POINT{x + 3 * w / 8, rcCard.top - nArrowHeight}, POINT{x + w / 4, rcCard.top},
                     POINT{x + 2 * w / 4, rcCard.top}, kCardFill, kCardFrame);
    const int nOpenLeft = x + w / 4 + 1;
    dc.FillSolidRect(nOpenLeft, rcCard.top, x + w / 4 + w / 4 - nOpenLeft, 1, kCardFill);
}

bool SetHeadingToolTip(NMTTDISPINFOW* pInfo, const CTitleStatic& heading) {
    if (!heading.m_hWnd || reinterpret_cast<HWND>(pInfo->hdr.idFrom) != heading.m_hWnd ||
        !heading.m_bTooWide) {
        return false;
    }
    StringCchCopyW(pInfo->szText, kToolTipTextChars, heading.m_title.m_strText.GetString());
    pInfo->lpszText = pInfo->szText;
    return true;
}

void RequestHeading(CWnd* pOwner, bool bPrivacy) {
    if (pOwner && pOwner->GetSafeHwnd()) {
        ::SendMessageW(pOwner->GetSafeHwnd(), WM_DECK_SWITCHHEADING, bPrivacy ? 1 : 0, 0);
    }
}

void ShrinkPanelByQuarter(CWnd& panel) {
    const int h = ClientHeight(panel);
    MoveToHeight(panel, h - h / 4);
}

void RestorePanelQuarter(CWnd& panel) {
    const int h = ClientHeight(panel);
    MoveToHeight(panel, h * 4 / 3);
}
