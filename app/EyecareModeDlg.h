// The eye-care row for machines whose vision-protection plug-in is older than the one the eye-care
// button needs: an icon, the title, an information icon with the feature's description as its tooltip,
// and an on/off switch. A container creates it from its template as a child and shows it while its
// support value is 1; its probe asks the host whether the panel is wanted. With the newer plug-in it
// withdraws itself and records a one-time hand-over value in the registry.
#pragma once

#include <atomic>

#include "app/PanelWorkers.h"
#include "controls/PNGButton.h"
#include "controls/PNGStatic.h"
#include "controls/PNGToggleButton.h"
#include "controls/TitleStatic.h"
#include "platform/framework_window.h"
#include "platform/gdiplus.h"

// Sent by the probe worker to the panel: show the state (wParam) on the icon and the switch, on the
// panel's own thread.
#define WM_DECK_EYECARESTATECHANGED (WM_USER + 1007)

// The eye-care state as last read from the registry or the host, or as last set by the switch.
extern std::atomic<int> g_nEyeModeState;

// Whether a container is to construct the panel: always with the older plug-in, else while the hand-over
// value is below 3.
bool IsEyeCarePanelAllowed();
// Opens (or makes) HKCU "Software\Corvex\AmpwiseToast" and reads "ResetEyeCareMode" (0 when missing);
// with bWrite and a value that differs from it, stores that value. Whether the value, unsigned, is below 3;
// true when the key cannot be had.
bool CheckResetEyeCareMode(bool bWrite, const int* pValue);
// g_nEyeModeState from the vision-protection plug-in's "EyeModeState" (0 when it cannot be read).
void ReadVisionProtectionState();

class CEyecareModeDlg : public CDialogEx {
public:
    enum { IDD = 134 };
    enum { IDC_ICON = 1017, IDC_TITLE = 1018, IDC_SWITCH = 1019, IDC_INFO = 1028 };
    enum { kOffIconId = 173, kOnIconId = 174, kInfoImageId = 162 };

    explicit CEyecareModeDlg(CWnd* pParent = nullptr);
    // Lets the workers go first: they no longer reach the panel.
    ~CEyecareModeDlg() override;

    // Stores the parent, then creates the modeless dialog.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The icon (squared when asked) and the switch of the state, 0 off, anything else on.
    void SetToggleState(int nState, bool bSquareIcon);

    // The probe worker (the argument is the panel): the panel's support and state from the host. -1
    // without a contract instance, -2 when the host fails or gives no settings, else 0.
    static unsigned __stdcall JudgeEyeCareMode(void* pParam);
    // The set worker of a click: g_nEyeModeState to the host. -1 without a contract instance, -2 when the
    // host fails, else 0.
    static unsigned __stdcall SetEyeCareMode(void* pParam);

    Gdiplus::Bitmap* m_pBackground = nullptr;
    CWnd* m_pParent = nullptr;
    CPNGStatic m_icon;
    CTitleStatic m_title;
    CPNGToggleButton m_switch;
    CPNGButton m_info;
    CString m_strTitle;
    CString m_strDescription;
    // 1: the panel is to be shown. The container loads it (-1 when its cache has none) and saves it.
    std::atomic<int> m_nSupport = 0;
    // 0 off, 1 on; also loaded and saved by the container.
    std::atomic<int> m_nState = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnPaint();
    void OnDestroy();
    void OnBnClickedEyeCareToggle();
    BOOL OnToolTipNeedText(UINT nId, NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnEyeCareStateChanged(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // The probe's steps with the host; the panel is reached only through uses of its workers.
    int JudgeWithHost();
    // Shows the icon of that id on white, unless it shows already; false when it did.
    bool ShowIcon(int nIconId);

protected:
    CPanelWorkers m_workers;
};
