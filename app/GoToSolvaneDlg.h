// The bottom row of the flyout: the large button that opens the Solvane dashboard and the link to the
// warranty options on its support page. A feedback link is made but never shown.
#pragma once

#include "app/DeckBaseDialog.h"
#include "controls/PNGHyperLink.h"
#include "controls/PNGSlvButton.h"

class CGoToSolvaneDlg : public CDeckBaseDialog {
public:
    enum { IDD = 210 };

    explicit CGoToSolvaneDlg(CWnd* pParent = nullptr);

    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The warranty event, a short pause, then the support page; nothing while the link is hidden.
    void OpenWarrantyPage();
    // A mouse click on the pill opens the dashboard; one elsewhere in the button's window does nothing.
    void OnBnClickedGoToSolvane();
    // A mouse button released over the warranty link (screen point) opens its page, except for the
    // narrator, whose clicks the link's own URL serves.
    void HitTestWarrantyLink(POINT ptScreen);
    // Space or Enter on the focused button or link opens its page; whether one was opened.
    bool HandleEnterKey(UINT nKey);
    // The link from which Tab wraps round to the flyout's first control.
    HWND GetTrackedLinkWindow() const { return m_warrantyLink.GetSafeHwnd(); }

    void OnPaint();

    CWnd* m_pParentDlg = nullptr;
    CString m_strButtonCaption;
    CPNGSlvButton m_btnGoToSolvane;
    CString m_strWarrantyText;
    CPNGHyperLink m_warrantyLink;
    CString m_strFeedbackText;
    CPNGHyperLink m_feedbackLink;
    COLORREF m_crLink = RGB(0x70, 0x81, 0xFD);
    Gdiplus::Bitmap* m_pBackground = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()

private:
    void OpenDashboard();
};
