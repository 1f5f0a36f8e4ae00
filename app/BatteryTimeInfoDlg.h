// The battery panel, first in the flyout's body: the "MY BATTERY" heading with the "BATTERY DETAILS"
// link, the battery picture (charge, mode badge, percentage and time), the thermal solution's mode line
// where it runs, and the "FLIPDECKS" heading with the "ALL SETTINGS" link over the features grid. The
// picture's data is its CBatteryStatusDisplay's.
#pragma once

#include <atomic>
#include <memory>

#include "app/BatteryStatusDisplay.h"
#include "app/DeckBaseDialog.h"
#include "controls/PNGBatteryStatic.h"
#include "controls/PNGHyperLink.h"
#include "controls/TitleStatic.h"
#include "services/AwRegitryMonitor.h"

// Posted by the thermal line's registry watcher to the panel: the line reads its values again on the
// user-interface thread, which alone draws it.
#define WM_DECK_THERMALSTATUSCHANGED (WM_USER + 1007)

class CBatteryTimeInfoDlg : public CDeckBaseDialog {
public:
    enum { IDD = 130 };
    enum {
        IDC_BATTERY_TITLE = 1004,
        IDC_BATTERY_DETAILS = 1006,
        IDC_DECK_TITLE = 1007,
        IDC_ALL_SETTINGS = 1008,
        IDC_THERMAL_STATUS = 1051,
        IDC_BATTERY = 1052,
        IDC_THERMAL_LINK = 1087,
    };
    // Periodic refresh, first charge-time refresh, re-read of "DelayShowRemainTime".
    enum { kRefreshTimer = 2001, kChargeTimeTimer = 2002, kDelayShowTimer = 2003 };

    explicit CBatteryTimeInfoDlg(CWnd* pParent = nullptr);
    ~CBatteryTimeInfoDlg() override;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The battery picture anew, off the user-interface thread (the flyout's power notifications, the
    // timers).
    void RequestRefresh();
    // Places the controls top-down in the panel's width and gives the panel its height.
    void LayoutControls();
    // The thermal solution runs: its service and its device are there.
    static bool IsThermalSolutionAvailable();
    // The thermal mode's text from the toolbar's key where the toolbar supports it, then the line.
    void ReadThermalStatus();
    void ShowThermalStatusText();
    // The thermal line's link and watcher where the solution runs; else the line is hidden and the
    // panel shrinks.
    void InitThermalStatusLine();
    // The links' actions: telemetry, then the Solvane page.
    void OpenBatteryDetailsPage();
    void OpenAllSettingsPage();
    void OpenPowerSmartSettingsPage();

    static void PowerStatusInfoChangedCallback(void* pContext);
    static void ThermalStatusChangedCallback(void* pContext);

    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);
    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();
    BOOL OnToolTipNeedText(UINT nId, NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnThermalStatusChanged(WPARAM wParam, LPARAM lParam);

    CAwRegitryMonitor m_PowerStatusMonitor;
    std::atomic<BYTE> m_bClosing = 0;
    BYTE m_bConsortInstalled = 0;
    BYTE m_bConsortBetaInstalled = 0;
    BYTE m_bEnterpriseSettingsInstalled = 0;
    BYTE m_bNoBattery = 0; // set by the features container before the window is made
    // The picture's data and its workers; it outlives the panel while a worker holds it.
    std::shared_ptr<CBatteryStatusDisplay> m_pDisplay;
    Gdiplus::Bitmap* m_pBackground = nullptr; // none: the panel paints plain white
    COLORREF m_crLink = 0xFD8270;
    CTitleStatic m_stBatteryTitle;
    CPNGHyperLink m_lnkBatteryDetails;
    CTitleStatic m_stDeckTitle;
    CPNGHyperLink m_lnkAllSettings;
    CPNGBatteryStatic m_stBattery;
    CString m_strBatteryTitle;
    CString m_strBatteryDetails;
    CString m_strDeckTitle;
    CString m_strAllSettings;
    CAwRegitryMonitor m_ThermalMonitor;
    BYTE m_bThermalAvailable = 0;
    CPNGHyperLink m_lnkThermal;
    CTitleStatic m_stThermalStatus;
    CString m_strThermalName;
    CString m_strThermalStatus; // empty until read
    int m_nBrand = -1;

protected:
    DECLARE_MESSAGE_MAP()

private:
    // Closing: readers stop, the watchers and timers end, the display lets the picture go and waits for
    // its workers a short while. Once, from WM_DESTROY or the destructor.
    void ShutDown();
    void StartBatteryParts();
    void HandleLinkClick(POINT ptScreen);
    void HandleLinkKey(UINT nKey);
    void SetHeading(CTitleStatic& heading, const CString& strText);
    void SetHeadingLink(CPNGHyperLink& link, LPCWSTR pszUri, const CString& strText);
    // Where the control stands in the panel's client coordinates.
    CRect RectInPanel(const CWnd& wnd) const;
    void PlaceControl(CWnd& wnd, int x, int y);
};
