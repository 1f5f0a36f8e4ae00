// The flyout's body under the title bar: it stacks the content panels top-down and tells the flyout
// its height whenever a panel changes size.
#pragma once

#include <vector>

#include "app/DeckBaseDialog.h"
#include "app/FeaturesPanelDlg.h"
#include "app/GoToSolvaneDlg.h"

// Sent by the body to itself with the new height (wParam) when its panels need another height.
#define WM_DECK_PANELSHEIGHTCHANGED (WM_USER + 1005)

class CFeaturesDlg : public CDeckBaseDialog {
public:
    enum { IDD = 294 };

    explicit CFeaturesDlg(CWnd* pParent = nullptr);

    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The go-to-Solvane panel's link, from which Tab wraps to the first control.
    bool IsGoToPanelLinkWindow(HWND hWnd) const;
    void LayoutPanels();
    // A power notification: the battery panel, when it has a window, reads the battery state again.
    void RefreshBatteryPanel();

    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();
    LRESULT OnPanelsHeightChanged(WPARAM wParam, LPARAM lParam);

    CWnd* m_pParentDlg = nullptr;
    Gdiplus::Bitmap* m_pBackground = nullptr;
    CFeaturesPanelDlg m_featuresPanelDlg;
    CGoToSolvaneDlg m_goToSolvaneDlg;
    int m_nNoBattery = 0;
    int m_nGaming = 0;

protected:
    DECLARE_MESSAGE_MAP()

private:
    void CreatePanel(CDialog& panel, UINT nIDTemplate);
    // The panels that have windows, top to bottom.
    std::vector<CWnd*> PanelsToPlace();
};
