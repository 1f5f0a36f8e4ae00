// The privacy panel: what the plug-in host reports about the user's privacy monitoring, as a dashboard
// of four counters, a card of three teaser blocks that rotates every three seconds, or a single
// call-to-action block. Its links open the Solvane privacy pages; its blocks, clicks and open time are
// sent as telemetry; its two headings ask the owner to switch to the security-score panel and back. It
// lays itself out and paints in proportion to the size its container gives it.
#pragma once

#include <atomic>
#include <mutex>

#include "app/PanelTabs.h"
#include "app/PanelWorkers.h"
#include "controls/PNGLinkCtrl.h"
#include "controls/PNGStatic.h"
#include "controls/TitleStatic.h"
#include "platform/framework_collections.h"
#include "platform/framework_window.h"

// Posted by the panel to itself when its good-job state changes (wParam 1: good job).
#define WM_DECK_PRIVACYSTATECHANGED (WM_USER + 1003)
// Posted by the refresh thread to the panel: the host's status is there to take.
#define WM_DECK_PRIVACYSTATUS (WM_USER + 1008)

// The counts of the host's privacy monitoring (C1 breached accounts, C2 tracking tools, C3 vulnerable
// passwords: above 0 found, 0 none, below 0 not checked; C4 accounts monitored, C5 with masked e-mail
// addresses, C6 trackers blocked, C7 sites connected privately) and its mode (2 dashboard, 1 rotating
// blocks, any other value a single block).
struct PrivacyStatus {
    int nCounts[7] = {};
    int nMode = 0;
};

class CMossveilPrivacyDlg : public CDialogEx {
public:
    enum { IDD = 236 };
    enum {
        IDC_PRIVACY_HEADING = 1037,
        IDC_PICTURE = 1038,
        IDC_ACTION_LINK = 1039,
        IDC_CHECK_LINK = 1040,
        IDC_PREVIOUS = 1041, // dashboard icon 1, or the carousel's arrow to the previous block
        IDC_DOT1 = 1042,     // dashboard icon 2, or the carousel's dot of block 1
        IDC_DOT2 = 1043,
        IDC_DOT3 = 1044,
        IDC_NEXT = 1045,
        IDC_SECURITY_HEADING = 1046,
    };
    enum { kRefreshTimer = 2003, kRefreshMs = 3000 };

    CMossveilPrivacyDlg();
    // Lets the refresh thread go first: it no longer reaches the panel.
    ~CMossveilPrivacyDlg() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The host's status into the panel (initialisation).
    void RefreshStatus();
    // Enters the names of the blocks the card can show into the pending page events.
    void UpdateDashboardBlock();
    // The texts and picture of the block (1 to 3; the single card's when the single flag is set), the
    // block's name entered into the pending page events. Another number gives empty texts.
    void SelectBlock(int nBlock, CString& strTitle, CString& strText, CString& strAction, CString& strCount,
                     int& nPictureId);
    // "ScrollBar" for the block shown, while the blocks rotate without a good job.
    void RecordBlockScroll();
    // The refresh thread (the argument is the panel): the host's status at each signal of the refresh
    // event until the panel stops it. -1 without a panel or event, else 0.
    static unsigned __stdcall RefreshThreadProc(void* pParam);

    // The headings and the check link, once.
    void LayoutControls();
    // The block's controls: the dashboard icons, or the action link with the picture or the carousel.
    void ShowCurrentBlock();
    // The text from the rectangle's top-left, character by character, with the first occurrence of
    // strHighlight (none when empty) in bold "Segoe UI" and that colour.
    void DrawWrappedText(CDC* pDC, CFont* pFont, const CString& strText, const CRect& rc,
                         const CString& strHighlight, COLORREF crHighlight);

    std::atomic<HANDLE> m_hRefreshEvent = nullptr;
    std::atomic<bool> m_bStop = false;
    CMapStringToString m_mapPendingPages{10};
    FILETIME m_ftOpenTime{};
    // Gets the heading clicks and the resizes; none while null.
    CWnd* m_pOwner = nullptr;
    const COLORREF m_crCardFill = kCardFill;
    const COLORREF m_crCardFrame = kCardFrame;
    const COLORREF m_crText = 0x000000;
    const COLORREF m_crLink = 0xFD8170;
    const COLORREF m_crActiveHeading = kActiveHeading;
    const COLORREF m_crInactiveHeading = kInactiveHeading;
    CPNGStatic m_picture;
    CPNGStatic m_statics[5]; // 1041 to 1045
    // Shows heading 1046 and the tab arrow.
    bool m_bShowSecurityHeading = false;
    int m_nCurrentBlock = 0;
    // As the counts and mode of construction give it, also for a panel that never refreshes.
    bool m_bSingle = true;
    bool m_bHold = false; // the next automatic step is skipped
    CRect m_rcIcons[4];
    CRect m_rcTitle;
    CRect m_rcText;
    CPNGLinkCtrl m_linkAction;
    CPNGLinkCtrl m_linkCheck;
    CTitleStatic m_privacyHeading;
    CString m_strPrivacyHeading;
    CTitleStatic m_securityHeading;
    CString m_strSecurityHeading;
    CFont m_fontBold;
    CFont m_fontRegular;
    int m_nCounts[7] = {};
    int m_nAvailability = 0;
    int m_nMode = 0;
    bool m_bGoodJob = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnTimer(UINT_PTR nIDEvent);
    void OnDestroy();
    void OnLButtonDown(UINT nFlags, CPoint point);
    BOOL OnToolTipNeedText(UINT nId, NMHDR* pNMHDR, LRESULT* pResult);
    void OnRunCheckupLink(NMHDR* pNMHDR, LRESULT* pResult);
    void OnCheckLink(NMHDR* pNMHDR, LRESULT* pResult);
    void OnBnClickedPreviousBlock();
    void OnBnClickedBlock1();
    void OnBnClickedBlock2();
    void OnBnClickedBlock3();
    void OnBnClickedNextBlock();
    void OnBnClickedPrivacyHeading();
    void OnBnClickedSecurityHeading();
    LRESULT OnPrivacyStateChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnPrivacyStatus(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // The host's status over the one given; false, the status unchanged, when the call fails.
    static bool QueryStatus(PrivacyStatus& status);
    // The rest of a refresh with the host's status (its mode 0 when the host gave none).
    void ApplyStatus(const PrivacyStatus& status, bool bAnswered);
    void StartRefreshThread();
    // A carousel click: the block, held for the next automatic step, shown and recorded.
    void ShowChosenBlock(int nBlock);
    // The block number kept within 1 to 3, round.
    static int WrapBlock(int nBlock);
    void PaintDashboard(CDC& dc, const CRect& rcCard);
    void PaintBlockCard(CDC& dc);
    void SendSizeToOwner();

    // The refresh thread's answer, waiting for the panel's thread.
    std::mutex m_pendingLock;
    bool m_bStatusPending = false;
    bool m_bPendingAnswered = false;
    PrivacyStatus m_pendingStatus;
    CString m_strActionCaption;

protected:
    CPanelWorkers m_workers;
};
