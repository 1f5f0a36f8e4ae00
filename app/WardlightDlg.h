// The security-score panel: the score kept in HKCU "Software\Corvex\AmpwiseToast" shown as a ring
// picture (or, without a score, a violet circle with "?") with a heading and a text by score band. A
// click on the circle or on the underlined "Wardlight" of the text opens the Solvane security page. With
// the tabs flag it shares the headings "MY PRIVACY" and "MY SECURITY" with the privacy panel, "MY
// SECURITY" the active right-hand one.
#pragma once

#include "app/PanelTabs.h"
#include "controls/PNGStatic.h"
#include "controls/TitleStatic.h"
#include "platform/framework_collections.h"
#include "platform/framework_window.h"
#include "platform/gdiplus.h"

// Received from the panel's owner: wParam 1 takes a quarter off the panel's height, 0 gives it back.
#define WM_DECK_RESIZESECURITYPANEL (WM_USER + 1004)

// "SecurityScore" (REG_DWORD) from 0 to 100; -1 for a missing key or value, another type or more than 100.
int ReadSecurityScore();

class CWardlightDlg : public CDialogEx {
public:
    enum { IDD = 142 };
    enum { IDC_LEFT_HEADING = 1003, IDC_RIGHT_HEADING = 1047, IDC_PICTURE = 1049 };

    CWardlightDlg();

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The band's gradient colours and texts of a score.
    static void GetScoreColors(int nScore, Gdiplus::ARGB& argbStart, Gdiplus::ARGB& argbEnd);
    static void GetScoreTexts(int nScore, CString& strHeading, CString& strText);
    // The band's ring picture.
    static int GetScorePicture(int nScore);
    // Whether the point is on the circle or on a character of the link word, as the last paint drew them.
    bool HitTest(int x, int y) const;
    void LayoutControls();
    // The text from the rectangle's top-left, character by character, the link word underlined in the
    // link colour; the link word's character cells become the link rectangles.
    void LayoutWrappedText(CDC* pDC, CFont* pFont, const CString& strText, const CRect& rc);

    // Gets the heading clicks and the resize after initialisation; none while null.
    CWnd* m_pOwner = nullptr;
    // Set, if at all, by the creating container before the window is created.
    bool m_bTabs = false;
    bool m_bCompact = false;
    const COLORREF m_crCardFill = kCardFill;
    const COLORREF m_crCardFrame = kCardFrame;
    const COLORREF m_crActiveHeading = kActiveHeading;
    const COLORREF m_crInactiveHeading = kInactiveHeading;
    CTitleStatic m_leftHeading;
    CString m_strSecurityHeading;
    CRgn m_rgnHit;
    CArray<CRect, const CRect&> m_arrLinkRects;
    CTitleStatic m_rightHeading;
    CString m_strPrivacyHeading;
    CPNGStatic m_picture;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    BOOL OnToolTipNeedText(UINT nId, NMHDR* pNMHDR, LRESULT* pResult);
    void OnBnClickedSecurityHeading();
    void OnBnClickedPrivacyHeading();
    LRESULT OnResizePanel(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void PaintScore(CDC& dc, Gdiplus::Graphics& graphics);
};
