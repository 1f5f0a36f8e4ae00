// The panel of round feature toggles in the flyout's body: up to ten buttons, five to a row, in the order
// of the machine's brand. It starts the buttons' probes, lays them out again whenever one gains or loses
// its support, shows the state caption under a clicked button for two seconds, paints the rounded
// background with the hover circle and gives the buttons their tooltips.
#pragma once

#include <memory>
#include <vector>

#include "app/DeckBaseDialog.h"
#include "features/ButtonWorkers.h"
#include "features/AirplaneModeBtn.h"
#include "features/BatteryChargeThresholdBtn.h"
#include "features/ConservationModeBtn.h"
#include "features/DolbyAudioBtn.h"
#include "features/ECourseModeBtn.h"
#include "features/EyecareModeBtn.h"
#include "features/IxorIntelligentCoolingBtn.h"
#include "features/KeyboardBacklightBtn.h"
#include "features/KeyboardTopRowBtn.h"
#include "features/MicrophoneBtn.h"
#include "features/PrivacyGuardBtn.h"
#include "features/RapidChargeBtn.h"
#include "features/TouchpadBtn.h"
#include "features/WiFiSecurityBtn.h"

// Posted by the panel to itself with the height it needs (wParam) for one or two rows.
#define WM_DECK_PANELHEIGHTCHANGED (WM_USER + 1006)

class CFeaturesPanelDlg : public CDeckBaseDialog {
public:
    enum { IDD = 300 };
    // The caption's and the watch timers' event ids.
    enum { kCaptionTimer = 2004, kWatchTimer = 2005 };

    explicit CFeaturesPanelDlg(CWnd* pParent = nullptr);

    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The button of that control id; null for the ids without a button.
    virtual CDeckFeatureButton* ButtonOfId(int nId);
    // Places the supported buttons in the brand's order and asks for the height of their rows.
    void LayoutButtons();
    // A click or Enter on the button: its switch, then its caption for two seconds.
    void OnFeatureButtonClicked(CDeckFeatureButton* pButton);
    // A click or Enter on conservation mode or rapid charge: the other one is switched off first, with a
    // short wait for its set call, so that the two are never on together; then the common click path.
    void OnChargeModeButtonClicked(CChargeModeBtn& button, CChargeModeBtn& other);
    // Shows the text in the caption rectangle; an empty text clears it.
    void DrawStateCaption(const CString& strText);
    // The background, the hover circle when asked for and the caption, double-buffered into the DC (a
    // client DC when null).
    void DrawPanel(CDC* pDC, bool bHover);
    // Finds the first hovered button and its rectangle; false when none is hovered.
    bool UpdateHoverButton();

    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();
    void OnTimer(UINT_PTR nIDEvent);
    void OnButtonClicked(UINT nId);
    LRESULT OnPanelHeightChanged(WPARAM wParam, LPARAM lParam);
    BOOL OnToolTipNeedText(UINT nId, NMHDR* pNMHDR, LRESULT* pResult);

    CWiFiSecurityBtn m_btnWiFiSecurity;
    CMicrophoneBtn m_btnMicrophone;
    CDolbyAudioBtn m_btnDolbyAudio; // constructed and bound, never initialised: stays hidden
    CKeyboardBacklightBtn m_btnKeyboardBacklight;
    CKeyboardTopRowBtn m_btnKeyboardTopRow;
    CTouchpadBtn m_btnTouchpad; // constructed and bound, never initialised: stays hidden
    CPrivacyGuardBtn m_btnPrivacyGuard;
    CBatteryChargeThresholdBtn m_btnChargeThreshold;
    CAirplaneModeBtn m_btnAirplaneMode;
    CConservationModeBtn m_btnConservationMode;
    CRapidChargeBtn m_btnRapidCharge;
    CIxorIntelligentCoolingBtn m_btnIntelligentCooling;
    CECourseModeBtn m_btnECourseMode;
    CEyecareModeBtn m_btnEyecareMode;

    CWnd* m_pContainer = nullptr;
    COLORREF m_crBackground = 0xF4F1EB;
    BOOL m_bHover = FALSE;
    CRect m_rcHover;
    CDeckFeatureButton* m_pHoverButton = nullptr;
    int m_nPlacedCount = 0;
    std::unique_ptr<Gdiplus::GraphicsPath> m_pPathOneRow;
    std::unique_ptr<Gdiplus::GraphicsPath> m_pPathTwoRows;
    CFont m_fontCaption;
    CRect m_rcCaption;
    CString m_strCaption;
    UINT_PTR m_nCaptionTimer = 0;
    UINT_PTR m_nWatchTimer = 0;
    std::unique_ptr<wchar_t[]> m_pToolTipBuffer;
    int m_nBrand = -1;

protected:
    DECLARE_MESSAGE_MAP()

private:
    // k / 378 of the client width, in integer arithmetic.
    int GridLength(int k) const;
    void InitButtons();
    void PlaceButton(CDeckFeatureButton* pButton, CWnd*& pPrevious);
    void RequestHeight(int nPlaced);
    // Sets the camera privacy state on the host once, on a worker that WM_DESTROY waits for: it uses the
    // contract instance, which the flyout releases after its windows are gone.
    void StartCameraPrivacySetter();
    void MakeBackgroundPaths();
    // The rectangle of the button's window in the panel's client coordinates.
    CRect RectInPanel(const CWnd& wnd) const;
    // The focused window's button, when the focus is on one.
    CDeckFeatureButton* FocusedButton();
    // The click path of the button: the charge modes' own, else the common one.
    void ClickButton(CDeckFeatureButton* pButton);
    void DrawCaptionText(CDC& dc, const CString& strText);
    // Where the tooltip of the button goes; false when the rectangle is empty.
    bool PositionToolTip(const CWnd& button, const CString& strText, bool bWrapped, CRect& rcTip);
    void PlaceToolTip(HWND hToolTip, const CWnd& button, const CString& strText, bool bWrapped);
    void PlaceDescriptionTip(HWND hToolTip, const CWnd& button, const CString& strText);
    // One of the translated tips too long for one line: shown wrapped, at most 300 pixels wide.
    static bool IsLongTranslatedTip(const CString& strText);
    int TextWidth(const CString& strText);

    CButtonWorkers m_workers;
};
