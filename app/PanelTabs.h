// What the privacy and security-score panels share: their proportional units, the two tab headings "MY
// PRIVACY" and "MY SECURITY" with their colours, tooltips and switch request, the grey card with the tab
// arrow open under the active heading, and their change of height by a quarter.
#pragma once

#include "controls/TitleStatic.h"
#include "platform/framework_gdi.h"
#include "platform/framework_window.h"
#include "platform/window.h"

// Sent by a panel to its owner when a heading is clicked: wParam 1 asks for the privacy panel, 0 for the
// security-score panel.
#define WM_DECK_SWITCHHEADING (WM_USER + 1001)

// The panels' colours.
inline constexpr COLORREF kCardFill = 0xF5F5F5;
inline constexpr COLORREF kCardFrame = 0xD2D2D2;
inline constexpr COLORREF kActiveHeading = 0x5E4934;
inline constexpr COLORREF kInactiveHeading = 0x6E6E6E;

// Lengths in proportion to a client area W x H: x(n) = W n / 500, y(n) = H n / 165, truncated.
struct PanelUnits {
    int nWidth;
    int nHeight;
    static PanelUnits Of(const CWnd& panel);
    int X(int n) const { return nWidth * n / 500; }
    int Y(int n) const { return nHeight * n / 165; }
};

// A heading's title in bold "Segoe UI" 12 on white, in the active or the inactive colour.
void SetTabHeading(CTitleStatic& heading, const CString& strTitle, bool bActive);
// The heading keeps its top-left corner and height and takes its measured title's width plus 15.
void FitTabHeading(CTitleStatic& heading);
// The heading stands from x with that width, at the top and height of the other heading.
void PlaceTabHeading(CTitleStatic& heading, const CTitleStatic& beside, int x, int nWidth);
// The first heading fitted, the second beside it, 10 pixels right of it, with its measured title's width
// plus 15.
void LayOutTabHeadings(CTitleStatic& first, CTitleStatic& second);
// The heading's right edge in its parent.
int HeadingRight(const CTitleStatic& heading);

// The card filled with its colour and framed; with an arrow width (the width of the active heading), the
// arrow from the card's top at x and the frame left open under it.
void DrawCard(CDC& dc, const CRect& rcCard);
void DrawTabArrow(CDC& dc, const CRect& rcCard, int x, int nHeadingWidth, int nArrowHeight);

// The tooltip of a heading whose title does not fit: its title, cut to the notification's own buffer.
// True when the tool is one of the headings and its title was cut.
bool SetHeadingToolTip(NMTTDISPINFOW* pInfo, const CTitleStatic& heading);
// WM_DECK_SWITCHHEADING to the owner's window, when there is one.
void RequestHeading(CWnd* pOwner, bool bPrivacy);

// Moves the panel to (0, 0) of its parent with its width and a quarter less height, or with the height
// back that a shrink took away; then repaints it.
void ShrinkPanelByQuarter(CWnd& panel);
void RestorePanelQuarter(CWnd& panel);
