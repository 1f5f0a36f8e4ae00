// The flyout's body under the title bar: it stacks the content panels top-down and tells the flyout
// its height whenever a panel changes size.
#pragma once

#include <memory>
#include <vector>

#include "app/DeckBaseDialog.h"
#include "app/EyecareModeDlg.h"
#include "app/FeaturesPanelDlg.h"
#include "app/MossveilPrivacyDlg.h"
#include "app/WardlightDlg.h"

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

    // The build flags: below build 15142 and 15002 of Windows 10 (the first is not consulted).
    void ReadWindowsVersion();
    // The eye-care panel's support and state from the "eyecaremode" section of ShowEx.cfg; whether the
    // file exists.
    bool LoadEyeCareCache();
    void SaveEyeCareCache();

    CWnd* m_pParentDlg = nullptr;
    Gdiplus::Bitmap* m_pBackground = nullptr;
    BYTE m_bBuildOk = 1;
    // The security-score and privacy panels stay out while these are set; nothing clears them.
    BYTE m_bHideSecurityPanel = 1;
    BYTE m_bHidePrivacyPanel = 1;
    BYTE m_bEyeCareOk = 1;
    // Constructed where the eye-care panel is allowed; the body gives none of these three a window.
    std::unique_ptr<CEyecareModeDlg> m_pEyecareModeDlg;
    CWardlightDlg m_wardlightDlg;
    CMossveilPrivacyDlg m_privacyDlg;
    CFeaturesPanelDlg m_featuresPanelDlg;
    int m_nNoBattery = 0;
    int m_nGaming = 0;

protected:
    DECLARE_MESSAGE_MAP()

private:
    void CreatePanel(CDialog& panel, UINT nIDTemplate);
    // The panels that have windows, top to bottom.
    std::vector<CWnd*> PanelsToPlace();
    // Of the eye-care, security-score and privacy panels, those that have windows and are to be placed.
    void AddKeptOutPanels(std::vector<CWnd*>& panels);
    // Hides the eye-care and privacy panels that have windows but are not to be placed.
    void HideKeptOutPanels();
    void DestroyKeptOutPanels();
};
