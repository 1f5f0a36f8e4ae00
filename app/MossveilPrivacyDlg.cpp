#include "app/MossveilPrivacyDlg.h"

#include <string>

#include "app/DeckBaseDialog.h"
#include "app/TextByCharacter.h"
#include "controls/SkinnedControl.h"
#include "services/ContractClient.h"
#include "services/DrawingRoutines.h"
#include "services/ResourceStrings.h"
#include "services/SolvaneLaunch.h"
#include "services/SystemRoutines.h"

namespace {

// One block of the card: its texts (string-table ids with English defaults), its picture, its name in
// telemetry with its ordinal in the pending page events, and where its action link goes.
struct BlockEntry {
    int nTitleId;
    const wchar_t* pszTitle;
    int nTextId;
    const wchar_t* pszText;
    int nActionId;
    const wchar_t* pszAction;
    int nPictureId;
    const wchar_t* pszName;
    const wchar_t* pszOrdinal;
    const wchar_t* pszLink;
    const wchar_t* pszUri;
};

const BlockEntry kGoodJobBlock = {280,
                                  L"GOOD JOB!",
                                  281,
                                  L"You\u2019re taking control of your privacy.",
                                  282,
                                  L"KEEP IT UP",
                                  238,
                                  L"GoodJobBlock",
                                  L"1",
                                  L"KeepItUpLink",
                                  L"corvex-solvane3:privacy-landing"};
const BlockEntry kCheckPrivacyBlock = {
    253,
    L"DISCOVER HOW PRIVATE YOU ARE",
    255,
    L"Find what data is breached. Understand who is tracking you. Take steps to be more private.",
    256,
    L"RUN CHECKUP",
    237,
    L"CheckYourOnlinePrivacyBlock",
    L"2",
    L"RunCheckupLink",
    L"corvex-solvane3:privacy-breaches"};

// The three blocks by the sign of their count: found (above 0), none found (0), not checked (below 0).
// A found block's title follows its count and a space.
const BlockEntry kBlocks[3][3] = {
    {{257, L"BREACHED ACCOUNTS FOUND", 258,
      L"Change your passwords right now to take control of your private information.", 259, L"FIX BREACHES",
      251, L"BreachedAccountsFoundBlock", L"3", L"FixBreachesLink", L"corvex-solvane3:privacy-breaches"},
     {272, L"NO BREACHED ACCOUNTS FOUND", 273, L"All accounts tied to your email address are private so far.",
      274, L"CHECK MORE EMAILS", 250, L"NoBreachedAccountsFoundBlock", L"4", L"CheckMoreEmailsLink",
      L"corvex-solvane3:privacy-breaches"},
     {266, L"FIND AND FIX BREACHED INFORMATION", 267,
      L"Discover if your sensitive account information has been breached and fix it.", 256, L"RUN CHECKUP",
      249, L"FindAndFixBreachesBlock", L"5", L"RunCheckupLink", L"corvex-solvane3:privacy-breaches"}},
    {{260, L"TRACKING TOOLS FOUND", 261,
      L"Know which sites are tracking and sharing your private information with others.", 262,
      L"FIND OUT NOW", 245, L"TrackingToolsFoundBlock", L"6", L"ExploreTrackingToolsLink",
      L"corvex-solvane3:privacy-trackers"},
     {275, L"NO TRACKING TOOLS FOUND", 276,
      L"Find out how to block tracking tools and stay private while browsing the web.", 277, L"EXPLORE NOW",
      244, L"NoTrackingToolsFoundBlock", L"7", L"ExploreNowLink", L"corvex-solvane3:privacy-landing"},
     {268, L"KNOW WHO TRACKS YOU", 269,
      L"Find out if your favorite sites are collecting your private information.", 256, L"RUN CHECKUP", 243,
      L"KnowWhoTracksYouBlock", L"8", L"RunCheckupLink", L"corvex-solvane3:privacy-trackers"}},
    {{263, L"VULNERABLE PASSWORDS FOUND", 264,
      L"See the passwords stored in your browser that can be collected by third-party apps.", 265,
      L"GET PASSWORDS", 241, L"VulnerablePasswordsFoundBlock", L"9", L"GetPasswordsLink",
      L"corvex-solvane3:privacy-browser-accounts"},
     {278, L"NO VULNERABLE PASSWORDS FOUND", 279,
      L"Learn how to store your passwords so no one else can access them.", 277, L"EXPLORE NOW", 240,
      L"NoVulnerablePasswordsFoundBlock", L"10", L"ExploreNowLink", L"corvex-solvane3:privacy-landing"},
     {270, L"DISCOVER VULNERABLE PASSWORDS", 271,
      L"Check if third-party apps can easily get the passwords stored in your browser.", 256, L"RUN CHECKUP",
      239, L"DiscoverVulnerablePasswordsBlock", L"11", L"RunCheckupLink",
      L"corvex-solvane3:privacy-browser-accounts"}},
};

const wchar_t kDashboardBlock[] = L"DashboardBlock";
const wchar_t kDashboardOrdinal[] = L"12";
const wchar_t kPagePrefix[] = L"PrivacyWidget.";

constexpr int kDashboardMode = 2;
constexpr int kRotatingMode = 1;
constexpr int kBlockCount = 3;
constexpr int kDefaultPictureId = 237;
const int kDashboardIcons[4] = {247, 248, 246, 242};
constexpr int kPreviousImageId = 289;
constexpr int kNextImageId = 290;
constexpr int kCurrentDotImageId = 291;
constexpr int kDotImageId = 292;

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kDividerColor = 0xE6E6E6;
const COLORREF kCountColor = 0x0000FF;
const COLORREF kMaskedMailsColor = 0xB2968C;
constexpr UINT kActionLinkFormat = 0x8000; // DT_END_ELLIPSIS
constexpr UINT kCheckLinkFormat = 0x8002;  // DT_END_ELLIPSIS | DT_RIGHT
constexpr int kFontSize = 14;
constexpr int kBoldWeight = 956;
constexpr int kRegularWeight = 400;

// The row of a count's sign: found, none found, not checked.
int SignRow(int nCount) {
    return nCount > 0 ? 0 : nCount == 0 ? 1 : 2;
}

CString EntryText(int nId, const wchar_t* pszDefault) {
    return ResString(pszDefault, nId);
}

CString PageOf(const wchar_t* pszName) {
    return CString(kPagePrefix) + pszName;
}

} // namespace

CMossveilPrivacyDlg::CMossveilPrivacyDlg()
    : CDialogEx(IDD), m_ftOpenTime(LocalFileTimeNow()), m_strPrivacyHeading(ResString(L"MY PRIVACY", 252)),
      m_strSecurityHeading(ResString(L"MY SECURITY", 216)) {
    CreateSkinnedFont(m_fontBold, kFontSize, kBoldWeight);
    CreateSkinnedFont(m_fontRegular, kFontSize, kRegularWeight);
}

CMossveilPrivacyDlg::~CMossveilPrivacyDlg() {
    m_workers.Release();
}

BEGIN_MESSAGE_MAP(CMossveilPrivacyDlg, CDialogEx)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_TIMER()
ON_WM_DESTROY()
ON_WM_LBUTTONDOWN()
ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, &CMossveilPrivacyDlg::OnToolTipNeedText)
ON_NOTIFY(NM_CLICK, IDC_ACTION_LINK, &CMossveilPrivacyDlg::OnRunCheckupLink)
ON_BN_CLICKED(IDC_PREVIOUS, &CMossveilPrivacyDlg::OnBnClickedPreviousBlock)
ON_BN_CLICKED(IDC_DOT1, &CMossveilPrivacyDlg::OnBnClickedBlock1)
ON_BN_CLICKED(IDC_DOT2, &CMossveilPrivacyDlg::OnBnClickedBlock2)
ON_BN_CLICKED(IDC_DOT3, &CMossveilPrivacyDlg::OnBnClickedBlock3)
ON_BN_CLICKED(IDC_NEXT, &CMossveilPrivacyDlg::OnBnClickedNextBlock)
ON_NOTIFY(NM_CLICK, IDC_CHECK_LINK, &CMossveilPrivacyDlg::OnCheckLink)
ON_BN_CLICKED(IDC_PRIVACY_HEADING, &CMossveilPrivacyDlg::OnBnClickedPrivacyHeading)
ON_BN_CLICKED(IDC_SECURITY_HEADING, &CMossveilPrivacyDlg::OnBnClickedSecurityHeading)
ON_MESSAGE(WM_DECK_PRIVACYSTATECHANGED, &CMossveilPrivacyDlg::OnPrivacyStateChanged)
ON_MESSAGE(WM_DECK_PRIVACYSTATUS, &CMossveilPrivacyDlg::OnPrivacyStatus)
END_MESSAGE_MAP()

void CMossveilPrivacyDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PRIVACY_HEADING, m_privacyHeading);
    DDX_Control(pDX, IDC_PICTURE, m_picture);
    DDX_Control(pDX, IDC_ACTION_LINK, m_linkAction);
    DDX_Control(pDX, IDC_CHECK_LINK, m_linkCheck);
    for (int i = 0; i < 5; ++i) {
        DDX_Control(pDX, IDC_PREVIOUS + i, m_statics[i]);
    }
    DDX_Control(pDX, IDC_SECURITY_HEADING, m_securityHeading);
}

BOOL CMossveilPrivacyDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    EnableToolTips(TRUE);
    SetTabHeading(m_privacyHeading, m_strPrivacyHeading, true);
    SetTabHeading(m_securityHeading, m_strSecurityHeading, false);
    m_securityHeading.ShowWindow(m_bShowSecurityHeading ? SW_SHOW : SW_HIDE);
    m_linkAction.SetLinkText(ResString(L"Run Checkup", 256), m_crLink, m_crCardFill, kActionLinkFormat);
    m_linkAction.ShowWindow(SW_HIDE);
    m_linkCheck.SetLinkText(ResString(L"CHECK", 283), m_crLink, kWhite, kCheckLinkFormat);
    m_linkCheck.MeasureText();
    m_linkCheck.ShowWindow(SW_HIDE);
    if (kDefaultPictureId != m_picture.m_nImageId) {
        m_picture.SetImage(kDefaultPictureId, m_crCardFill);
        m_picture.SizeToHeight();
        m_picture.Invalidate();
    }
    m_picture.ShowWindow(SW_HIDE);
    int nAvailability = 0;
    if (!g_pContractInterface || FAILED(g_pContractInterface->raw_GetPrivacyMonitorState(&nAvailability))) {
        nAvailability = 0;
    }
    m_nAvailability = nAvailability;
    if (m_nAvailability != 0) {
        RefreshStatus();
        StartRefreshThread();
        SetTimer(kRefreshTimer, kRefreshMs, nullptr);
    }
    LayoutControls();
    ShowCurrentBlock();
    SendSizeToOwner();
    return TRUE;
}

bool CMossveilPrivacyDlg::QueryStatus(PrivacyStatus& status) {
    if (!g_pContractInterface) {
        return false;
    }
    PrivacyStatus answer = status;
    int* c = answer.nCounts;
    if (FAILED(g_pContractInterface->raw_GetPrivacyMonitorStatus(&c[0], &c[1], &c[2], &c[3], &c[4], &c[5],
                                                                 &c[6], &answer.nMode))) {
        return false;
    }
    status = answer;
    return true;
}

void CMossveilPrivacyDlg::RefreshStatus() {
    PrivacyStatus status;
    std::copy(std::begin(m_nCounts), std::end(m_nCounts), status.nCounts);
    const bool bAnswered = QueryStatus(status);
    ApplyStatus(status, bAnswered);
}

void CMossveilPrivacyDlg::ApplyStatus(const PrivacyStatus& status, bool bAnswered) {
    if (bAnswered) {
        std::copy(std::begin(status.nCounts), std::end(status.nCounts), m_nCounts);
    }
    m_nMode = bAnswered ? status.nMode : 0;
    const int c1 = m_nCounts[0];
    const int c2 = m_nCounts[1];
    const int c3 = m_nCounts[2];
    const bool bAllUnchecked = c1 < 0 && c2 < 0 && c3 < 0;
    const bool bGoodJob = c1 == 0 && c2 == 0 && c3 > 0;
    m_bSingle = m_nMode < 1 || bAllUnchecked || bGoodJob;
    if (bGoodJob != m_bGoodJob) {
        m_bGoodJob = bGoodJob;
        PostMessage(WM_DECK_PRIVACYSTATECHANGED, bGoodJob ? 1 : 0);
    }
    UpdateDashboardBlock();
    const bool bDashboard = m_nMode == kDashboardMode;
    m_picture.ShowWindow(bDashboard ? SW_HIDE : SW_SHOW);
    m_linkAction.ShowWindow(bDashboard ? SW_HIDE : SW_SHOW);
    m_linkCheck.ShowWindow(bDashboard ? SW_SHOW : SW_HIDE);
    for (int i = 0; i < 4; ++i) {
        m_statics[i].ShowWindow(bDashboard ? SW_SHOW : SW_HIDE);
    }
    if (m_bHold) {
        m_bHold = false;
        return;
    }
    ++m_nCurrentBlock;
    if (m_nMode == kRotatingMode) {
        m_bHold = false;
        m_nCurrentBlock = WrapBlock(m_nCurrentBlock);
        ShowCurrentBlock();
        RecordBlockScroll();
    }
}

int CMossveilPrivacyDlg::WrapBlock(int nBlock) {
    return nBlock < 1 ? kBlockCount : nBlock > kBlockCount ? 1 : nBlock;
}

void CMossveilPrivacyDlg::UpdateDashboardBlock() {
    if (m_nMode == kDashboardMode) {
        m_mapPendingPages.SetAt(kDashboardBlock, kDashboardOrdinal);
        return;
    }
    CString strTitle;
    CString strText;
    CString strAction;
    CString strCount;
    int nPictureId = kDefaultPictureId;
    SelectBlock(1, strTitle, strText, strAction, strCount, nPictureId);
    if (!m_bSingle) {
        SelectBlock(2, strTitle, strText, strAction, strCount, nPictureId);
        SelectBlock(3, strTitle, strText, strAction, strCount, nPictureId);
    }
}

void CMossveilPrivacyDlg::SelectBlock(int nBlock, CString& strTitle, CString& strText, CString& strAction,
                                      CString& strCount, int& nPictureId) {
    strTitle.Empty();
    strText.Empty();
    strAction.Empty();
    strCount.Empty();
    const BlockEntry* pEntry = nullptr;
    if (m_bSingle) {
        pEntry = m_bGoodJob ? &kGoodJobBlock : &kCheckPrivacyBlock;
    } else if (nBlock >= 1 && nBlock <= kBlockCount) {
        const int nCount = m_nCounts[nBlock - 1];
        pEntry = &kBlocks[nBlock - 1][SignRow(nCount)];
        if (nCount > 0) {
            strCount.Format(L"%d", nCount);
        }
    }
    if (!pEntry) {
        return;
    }
    strTitle = EntryText(pEntry->nTitleId, pEntry->pszTitle);
    if (!strCount.IsEmpty()) {
        strTitle = strCount + L" " + strTitle;
    }
    strText = EntryText(pEntry->nTextId, pEntry->pszText);
    strAction = EntryText(pEntry->nActionId, pEntry->pszAction);
    nPictureId = pEntry->nPictureId;
    m_mapPendingPages.SetAt(pEntry->pszName, pEntry->pszOrdinal);
}

void CMossveilPrivacyDlg::RecordBlockScroll() {
    if (m_bGoodJob || m_nMode != kRotatingMode || m_nCurrentBlock < 1 || m_nCurrentBlock > kBlockCount) {
        return;
    }
    const BlockEntry& entry = kBlocks[m_nCurrentBlock - 1][SignRow(m_nCounts[m_nCurrentBlock - 1])];
    SendFeatureEvent(L"ScrollBar", L"", PageOf(entry.pszName));
}

void CMossveilPrivacyDlg::StartRefreshThread() {
    m_hRefreshEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hRefreshEvent && !m_workers.Start(RefreshThreadProc, this)) {
        CloseHandle(m_hRefreshEvent.exchange(nullptr));
    }
}

void CMossveilPrivacyDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kRefreshTimer) {
        return;
    }
    if (const HANDLE hEvent = m_hRefreshEvent) {
        SetEvent(hEvent);
    } else {
        StartRefreshThread();
    }
}

unsigned __stdcall CMossveilPrivacyDlg::RefreshThreadProc(void* pParam) {
    auto* pPanel = static_cast<CMossveilPrivacyDlg*>(pParam);
    if (!pPanel) {
        return static_cast<unsigned>(-1);
    }
    HANDLE hEvent = nullptr;
    HWND hPanel = nullptr;
    {
        const CPanelWorkers::CUse use;
        if (!use) {
            return 0;
        }
        hEvent = pPanel->m_hRefreshEvent;
        hPanel = pPanel->m_hWnd;
    }
    if (!hEvent) {
        return static_cast<unsigned>(-1);
    }
    for (;;) {
        if (WaitForSingleObject(hEvent, INFINITE) != WAIT_OBJECT_0) {
            break;
        }
        {
            const CPanelWorkers::CUse use;
            if (!use || pPanel->m_bStop) {
                break;
            }
        }
        PrivacyStatus status;
        const bool bAnswered = QueryStatus(status);
        {
            const CPanelWorkers::CUse use;
            if (!use || pPanel->m_bStop) {
                break;
            }
            const std::lock_guard lock(pPanel->m_pendingLock);
            pPanel->m_pendingStatus = status;
            pPanel->m_bPendingAnswered = bAnswered;
            pPanel->m_bStatusPending = true;
        }
        ::PostMessageW(hPanel, WM_DECK_PRIVACYSTATUS, 0, 0);
        ResetEvent(hEvent);
    }
    {
        const CPanelWorkers::CUse use;
        if (use) {
            HANDLE hOwn = hEvent;
            pPanel->m_hRefreshEvent.compare_exchange_strong(hOwn, nullptr);
        }
    }
    CloseHandle(hEvent);
    return 0;
}

LRESULT CMossveilPrivacyDlg::OnPrivacyStatus(WPARAM, LPARAM) {
    PrivacyStatus status;
    bool bAnswered = false;
    {
        const std::lock_guard lock(m_pendingLock);
        if (!m_bStatusPending) {
            return 0;
        }
        m_bStatusPending = false;
        status = m_pendingStatus;
        bAnswered = m_bPendingAnswered;
    }
    ApplyStatus(status, bAnswered);
    return 0;
}

void CMossveilPrivacyDlg::ShowChosenBlock(int nBlock) {
    m_nCurrentBlock = nBlock;
    m_bHold = true;
    ShowCurrentBlock();
    RecordBlockScroll();
    if (IsWindowVisible()) {
        Invalidate();
    }
}

void CMossveilPrivacyDlg::OnBnClickedPreviousBlock() {
    if (m_nMode == kRotatingMode) {
        ShowChosenBlock(WrapBlock(m_nCurrentBlock - 1));
    } else {
        --m_nCurrentBlock;
    }
}

void CMossveilPrivacyDlg::OnBnClickedNextBlock() {
    if (m_nMode == kRotatingMode) {
        ShowChosenBlock(WrapBlock(m_nCurrentBlock + 1));
    } else {
        ++m_nCurrentBlock;
    }
}

void CMossveilPrivacyDlg::OnBnClickedBlock1() {
    if (m_nMode == kRotatingMode) {
        ShowChosenBlock(1);
    }
}

void CMossveilPrivacyDlg::OnBnClickedBlock2() {
    if (m_nMode == kRotatingMode) {
        ShowChosenBlock(2);
    }
}

void CMossveilPrivacyDlg::OnBnClickedBlock3() {
    if (m_nMode == kRotatingMode) {
        ShowChosenBlock(3);
    }
}

void CMossveilPrivacyDlg::OnLButtonDown(UINT nFlags, CPoint point) {
    CDialogEx::OnLButtonDown(nFlags, point);
    RecordBlockScroll();
}

void CMossveilPrivacyDlg::OnRunCheckupLink(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    const BlockEntry* pEntry = &kCheckPrivacyBlock;
    if (m_nMode == kRotatingMode) {
        if (m_bGoodJob) {
            pEntry = &kGoodJobBlock;
        } else if (m_nCurrentBlock >= 1 && m_nCurrentBlock <= kBlockCount) {
            pEntry = &kBlocks[m_nCurrentBlock - 1][SignRow(m_nCounts[m_nCurrentBlock - 1])];
        }
    }
    SendFeatureEvent(pEntry->pszLink, L"", PageOf(pEntry->pszName));
    LaunchSolvaneUri(pEntry->pszUri);
}

void CMossveilPrivacyDlg::OnCheckLink(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    SendFeatureEvent(L"CheckLink", L"", PageOf(kDashboardBlock));
    LaunchSolvaneUri(L"corvexprivacy:");
}

void CMossveilPrivacyDlg::OnBnClickedPrivacyHeading() {
    RequestHeading(m_pOwner, true);
}

void CMossveilPrivacyDlg::OnBnClickedSecurityHeading() {
    RequestHeading(m_pOwner, false);
}

BOOL CMossveilPrivacyDlg::OnToolTipNeedText(UINT, NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    auto* pInfo = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
    if ((pInfo->uFlags & TTF_IDISHWND) && !SetHeadingToolTip(pInfo, m_privacyHeading)) {
        SetHeadingToolTip(pInfo, m_securityHeading);
    }
    return TRUE;
}

LRESULT CMossveilPrivacyDlg::OnPrivacyStateChanged(WPARAM wParam, LPARAM) {
    if (wParam != 0) {
        ShrinkPanelByQuarter(*this);
    } else {
        RestorePanelQuarter(*this);
    }
    SendSizeToOwner();
    return 0;
}

void CMossveilPrivacyDlg::SendSizeToOwner() {
    if (m_pOwner && m_pOwner->GetSafeHwnd()) {
        ::SendMessageW(m_pOwner->GetSafeHwnd(), WM_SIZE, 0, 0);
    }
}

void CMossveilPrivacyDlg::OnDestroy() {
    m_bStop = true;
    if (const HANDLE hEvent = m_hRefreshEvent) {
        SetEvent(hEvent);
    }
    KillTimer(kRefreshTimer);
    m_workers.Release();
    std::wstring strElapsed;
    FormatElapsedSinceFileTime(m_ftOpenTime, strElapsed);
    for (POSITION position = m_mapPendingPages.GetStartPosition(); position;) {
        CString strKey;
        CString strValue;
        m_mapPendingPages.GetNextAssoc(position, strKey, strValue);
        if (!strKey.IsEmpty()) {
            SendPageEvent(strKey, L"", strElapsed.c_str());
        }
    }
    m_mapPendingPages.RemoveAll();
    CDialogEx::OnDestroy();
}

BOOL CMossveilPrivacyDlg::OnEraseBkgnd(CDC*) {
    return TRUE;
}

BOOL CMossveilPrivacyDlg::PreTranslateMessage(MSG* pMsg) {
    return IsEscapeOrEnterKey(pMsg) ? TRUE : CDialogEx::PreTranslateMessage(pMsg);
}

void CMossveilPrivacyDlg::LayoutControls() {
    if (m_nMode != kDashboardMode) {
        LayOutTabHeadings(m_privacyHeading, m_securityHeading);
        return;
    }
    FitTabHeading(m_privacyHeading);
    const int nSecurityLeft = HeadingRight(m_privacyHeading) + 10;
    const int nLimit = PanelUnits::Of(*this).X(464);
    const auto linkWidth = [this] {
        CRect rc;
        m_linkCheck.GetWindowRect(&rc);
        return rc.Width();
    };
    if (HeadingRight(m_privacyHeading) + linkWidth() + m_securityHeading.m_nTextWidth > nLimit) {
        m_linkCheck.SetLinkText(L"CHECK", m_crLink, kWhite, kCheckLinkFormat);
        m_linkCheck.MeasureText();
    }
    PlaceTabHeading(m_securityHeading, m_privacyHeading, nSecurityLeft,
                    nLimit - linkWidth() - 5 - nSecurityLeft);
}

void CMossveilPrivacyDlg::ShowCurrentBlock() {
    const PanelUnits u = PanelUnits::Of(*this);
    if (m_nMode == kDashboardMode) {
        m_linkCheck.ShowWindow(SW_SHOW);
        const int lefts[4] = {u.X(43), u.X(260), u.X(43), u.X(260)};
        const int tops[4] = {u.Y(38), u.Y(38), u.Y(103), u.Y(103)};
        const int bottoms[4] = {u.Y(68), u.Y(68), u.Y(133), u.Y(133)};
        for (int i = 0; i < 4; ++i) {
            const int nSide = bottoms[i] - tops[i];
            m_rcIcons[i].SetRect(lefts[i], tops[i], lefts[i] + nSide, bottoms[i]);
            m_statics[i].SetImage(kDashboardIcons[i], m_crCardFill);
            m_statics[i].MoveWindow(&m_rcIcons[i]);
            m_statics[i].ShowWindow(SW_SHOW);
        }
        m_statics[4].ShowWindow(SW_HIDE);
        return;
    }
    const int k = !m_bSingle ? 16 : m_bGoodJob ? 4 : 0;
    CRect rcLink;
    m_linkAction.GetWindowRect(&rcLink);
    m_linkAction.MoveWindow(u.X(140), u.Y(145 - k), rcLink.Width(), rcLink.Height());
    m_linkAction.ShowWindow(SW_SHOW);
    if (m_bSingle) {
        m_picture.ShowWindow(SW_SHOW);
        m_linkCheck.ShowWindow(SW_HIDE);
        for (CPNGStatic& control : m_statics) {
            control.ShowWindow(SW_HIDE);
        }
    } else {
        const int s = u.Y(15);
        const int images[5] = {kPreviousImageId, m_nCurrentBlock == 1 ? kCurrentDotImageId : kDotImageId,
                               m_nCurrentBlock == 2 ? kCurrentDotImageId : kDotImageId,
                               m_nCurrentBlock == 3 ? kCurrentDotImageId : kDotImageId, kNextImageId};
        for (int i = 0; i < 5; ++i) {
            m_statics[i].SetImage(images[i], kWhite);
            m_statics[i].MoveWindow(u.X(190) + i * (s + 2), u.nHeight - s, s, s);
            m_statics[i].ShowWindow(SW_SHOW);
        }
    }
    const CRect rcBlock(u.X(140), u.Y(40), u.X(466), u.Y(164));
    InvalidateRect(&rcBlock, TRUE);
}

void CMossveilPrivacyDlg::OnPaint() {
    // Before the paint begins, so that the block's invalidation is part of this paint.
    ShowCurrentBlock();
    PaintSkinned(this, kWhite, [this](CDC& dc, Gdiplus::Graphics&, const CRect&) {
        const PanelUnits u = PanelUnits::Of(*this);
        const int e = m_bGoodJob ? 0 : 10;
        const CRect rcCard(u.X(35), u.Y(47 - e), u.X(463), m_bSingle ? u.Y(165) : u.Y(149));
        DrawCard(dc, rcCard);
        if (m_bShowSecurityHeading) {
            CRect rcHeading;
            m_privacyHeading.GetClientRect(&rcHeading);
            DrawTabArrow(dc, rcCard, rcCard.left, rcHeading.Width(), u.Y(8));
        }
        CFont* pOldFont = dc.SelectObject(&m_fontBold);
        dc.SetTextColor(m_crText);
        if (m_nMode == kDashboardMode) {
            PaintDashboard(dc, rcCard);
        } else {
            PaintBlockCard(dc);
        }
        dc.SelectObject(pOldFont);
    });
}

void CMossveilPrivacyDlg::PaintDashboard(CDC& dc, const CRect& rcCard) {
    const PanelUnits u = PanelUnits::Of(*this);
    const int nMidX = rcCard.left + (rcCard.right - rcCard.left) / 2;
    const int nMidY = rcCard.top + (rcCard.bottom - rcCard.top) / 2;
    dc.FillSolidRect(rcCard.left, nMidY, rcCard.right - rcCard.left, 1, kDividerColor);
    dc.FillSolidRect(nMidX, rcCard.top, 1, rcCard.bottom - rcCard.top, kDividerColor);
    dc.SelectObject(&m_fontRegular);
    CString strOf;
    strOf.Format(L"%s  %d", ResString(L"of", 288).GetString(), m_nCounts[3]);
    CString values[4];
    values[0].Format(L"%d", m_nCounts[3]);
    values[1].Format(L"%d  %s", m_nCounts[4], strOf.GetString());
    values[2].Format(L"%d", m_nCounts[5]);
    values[3].Format(L"%d", m_nCounts[6]);
    const CString highlights[4] = {CString(), strOf, CString(), CString()};
    const CString captions[4] = {
        ResString(L"Accounts are monitored for breaches", 284), ResString(L"Accounts use masked emails", 285),
        ResString(L"Trackers were blocked", 286), ResString(L"Sites connected privately", 287)};
    for (int i = 0; i < 4; ++i) {
        const CRect& rcIcon = m_rcIcons[i];
        const int nRight = i % 2 == 0 ? nMidX : rcCard.right;
        DrawWrappedText(&dc, &m_fontRegular, values[i],
                        CRect(rcIcon.right + u.X(15), rcIcon.top + u.Y(10), nRight, rcCard.bottom),
                        highlights[i], kMaskedMailsColor);
        DrawWrappedText(&dc, &m_fontRegular, captions[i],
                        CRect(rcIcon.left, rcIcon.bottom - u.Y(2), nRight, rcCard.bottom), CString(),
                        kMaskedMailsColor);
    }
}

void CMossveilPrivacyDlg::PaintBlockCard(CDC& dc) {
    const PanelUnits u = PanelUnits::Of(*this);
    CString strTitle;
    CString strText;
    CString strAction;
    CString strCount;
    int nPictureId = kDefaultPictureId;
    SelectBlock(m_nCurrentBlock, strTitle, strText, strAction, strCount, nPictureId);
    const int v = m_bGoodJob ? 13 : 0;
    const int t = dc.GetTextExtent(strTitle).cx >= u.X(313) ? 12 : 0;
    m_rcTitle.SetRect(u.X(140), u.Y(54 + v - t), u.X(457), u.Y(70 + v));
    m_rcText.SetRect(u.X(140), u.Y(76 + v), u.X(457), u.Y(164));
    DrawWrappedText(&dc, &m_fontBold, strTitle, m_rcTitle, strCount, kCountColor);
    DrawWrappedText(&dc, &m_fontRegular, strText, m_rcText, strCount, kCountColor);
    m_picture.SetImage(nPictureId, m_crCardFill);
    if (strAction != m_strActionCaption) {
        m_strActionCaption = strAction;
        m_linkAction.SetLinkText(strAction, m_crLink, m_crCardFill, kActionLinkFormat);
    }
}

void CMossveilPrivacyDlg::DrawWrappedText(CDC* pDC, CFont* pFont, const CString& strText, const CRect& rc,
                                          const CString& strHighlight, COLORREF crHighlight) {
    CFont fontHighlight;
    CreateSkinnedFont(fontHighlight, kFontSize, kBoldWeight);
    DrawTextByCharacter(pDC, pFont, strText, rc, strHighlight, &fontHighlight, crHighlight);
}
