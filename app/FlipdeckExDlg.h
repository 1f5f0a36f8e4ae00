// The flyout: a borderless topmost tool window above the taskbar with the title bar over the scrolling
// body, placed on the toolbar, closing on deactivation once the logon is two minutes old (Windows 10).
#pragma once

#include <atomic>

#include "app/DeckBaseDialog.h"
#include "app/DeckTitleDlg.h"
#include "app/FeaturesDlg.h"
#include "platform/framework_controls.h"
#include "platform/security.h"
#include "platform/window.h"
#include "services/AwRegitryMonitor.h"

// Posted by the flyout to itself: show (wParam 1) or hide (0) the scroll bar and resize.
#define WM_DECK_UPDATESCROLLBAR (WM_USER + 1002)

class CFlipdeckExDlg : public CDeckBaseDialog {
public:
    enum { IDD = 102 };

    CFlipdeckExDlg();
    ~CFlipdeckExDlg() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    void SetNarratorWindowText();
    void ArmAutoClose();
    bool GetSecondsSinceLogon(LONGLONG& nSeconds) const;
    static bool GetLogonSessionTime(LUID& logonId);
    void LayoutChildren();
    LRESULT OnUpdateScrollBar(WPARAM wParam, LPARAM lParam);
    void PlaceFlyoutWindow();
    static int GetToolbarAnchorX();
    void ScrollBy(int nDelta);
    void ScrollToFocus(UINT nKey);
    void OnPowerSettingChange(const POWERBROADCAST_SETTING* pSetting);
    static void DisplayChangedCallback(void* pContext);

    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);
    void OnSize(UINT nType, int cx, int cy);
    void OnDestroy();
    HCURSOR OnQueryDragIcon();
    void OnActivateApp(BOOL bActive, DWORD dwThreadID);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    UINT OnPowerBroadcast(UINT nPowerEvent, LPARAM nEventData);

    HPOWERNOTIFY m_hAcDcNotify = nullptr;
    HPOWERNOTIFY m_hBatteryNotify = nullptr;
    HPOWERNOTIFY m_hMonitorNotify = nullptr;
    CAwRegitryMonitor m_displayMonitor;
    std::atomic<bool> m_bClosing = false;
    HICON m_hIcon = nullptr;
    Gdiplus::Bitmap* m_pBackground = nullptr;
    bool m_bMayAutoClose = false;
    FILETIME m_openTime = {};
    int m_nMaxHeight = 0;
    int m_nWidth = 0;
    int m_nScrollMin = 0;
    int m_nScrollMax = 0;
    int m_nScrollPage = 0;
    CDeckTitleDlg m_titleDlg;
    CFeaturesDlg m_featuresDlg;
    CScrollBar m_scrollBar;
    int m_bNoBattery = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()

private:
    void SilenceScreenReader();
    void HoldForeground(const MSG* pMsg);
    void RegisterPowerNotifications();
    void UnregisterPowerNotifications();
};
