#include "app/WardlightDlg.h"

#include "app/DeckBaseDialog.h"
#include "app/TextByCharacter.h"
#include "controls/SkinnedControl.h"
#include "services/ContractClient.h"
#include "services/DrawingRoutines.h"
#include "services/Registry.h"
#include "services/ResourceStrings.h"
#include "services/SolvaneLaunch.h"

namespace {

const wchar_t kToastKey[] = L"Software\\Corvex\\AmpwiseToast";
const wchar_t kScoreValue[] = L"SecurityScore";
constexpr int kFullScore = 100;

// A band of scores from its lowest score on: its ring picture and gradient.
struct ScoreBand {
    int nFrom;
    int nPictureId;
    Gdiplus::ARGB argbStart;
    Gdiplus::ARGB argbEnd;
};

const ScoreBand kNoScoreBand = {-1, 295, 0xFF6F5AF7u, 0xFFD982FBu};
const ScoreBand kBands[] = {
    {80, 297, 0xFF2FD07Eu, 0xFF34E1ADu},
    {60, 296, 0xFFEDE549u, 0xFFF9E163u},
    {30, 295, 0xFFEE5A08u, 0xFFFF7E3Eu},
    {0, 298, 0xFFED5849u, 0xFFF97163u},
};

const ScoreBand& BandOf(int nScore) {
    if (static_cast<unsigned>(nScore) > kFullScore) {
        return kNoScoreBand;
    }
    for (const ScoreBand& band : kBands) {
        if (nScore >= band.nFrom) {
            return band;
        }
    }
    return kNoScoreBand;
}

bool IsValidScore(int nScore) {
    return nScore >= 0 && nScore <= kFullScore;
}

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kLinkColor = 0xFD8551;
constexpr int kTextSize = 14;
constexpr int kQuestionSize = 35;
constexpr int kBoldWeight = 956;
constexpr int kRegularWeight = 400;

} // namespace

int ReadSecurityScore() {
    CRegistry key;
    DWORD dwScore = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kToastKey, 0, KEY_READ, &key.m_hKey) != ERROR_SUCCESS ||
        !key.QueryDwordValue(kScoreValue, dwScore)) {
        return -1;
    }
    return dwScore <= kFullScore ? static_cast<int>(dwScore) : -1;
}

CWardlightDlg::CWardlightDlg()
    : CDialogEx(IDD), m_strSecurityHeading(ResString(L"MY SECURITY", 216)),
      m_strPrivacyHeading(ResString(L"MY PRIVACY", 252)) {
    m_rgnHit.CreateEllipticRgn(0, 0, 0, 0);
}

BEGIN_MESSAGE_MAP(CWardlightDlg, CDialogEx)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_LBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, &CWardlightDlg::OnToolTipNeedText)
ON_BN_CLICKED(IDC_LEFT_HEADING, &CWardlightDlg::OnBnClickedSecurityHeading)
ON_BN_CLICKED(IDC_RIGHT_HEADING, &CWardlightDlg::OnBnClickedPrivacyHeading)
ON_MESSAGE(WM_DECK_RESIZESECURITYPANEL, &CWardlightDlg::OnResizePanel)
END_MESSAGE_MAP()

void CWardlightDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LEFT_HEADING, m_leftHeading);
    DDX_Control(pDX, IDC_RIGHT_HEADING, m_rightHeading);
    DDX_Control(pDX, IDC_PICTURE, m_picture);
}

void CWardlightDlg::GetScoreColors(int nScore, Gdiplus::ARGB& argbStart, Gdiplus::ARGB& argbEnd) {
    const ScoreBand& band = BandOf(nScore);
    argbStart = band.argbStart;
    argbEnd = band.argbEnd;
}

void CWardlightDlg::GetScoreTexts(int nScore, CString& strHeading, CString& strText) {
    if (!IsValidScore(nScore)) {
        strHeading = ResString(L"CHECK YOUR SECURITY LEVEL", 218);
        strText = ResString(L"Go to Wardlight for information on protecting your computer.", 219);
    } else if (nScore == kFullScore) {
        strHeading = ResString(L"FULLY PROTECTED", 222);
        strText = ResString(L"Congratulations! You are well protected.", 223);
    } else {
        strHeading = ResString(L"NOT FULLY PROTECTED", 220);
        strText = ResString(L"Go to Wardlight for information on improving your score.", 221);
    }
}

int CWardlightDlg::GetScorePicture(int nScore) {
    return BandOf(nScore).nPictureId;
}

BOOL CWardlightDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    EnableToolTips(TRUE);
    const int nPictureId = GetScorePicture(ReadSecurityScore());
    if (nPictureId != m_picture.m_nImageId) {
        m_picture.SetImage(nPictureId, m_crCardFill);
        m_picture.SizeToHeight();
        m_picture.Invalidate();
    }
    m_picture.ShowWindow(SW_HIDE);
    SetTabHeading(m_leftHeading, m_bTabs ? m_strPrivacyHeading : m_strSecurityHeading, !m_bTabs);
    SetTabHeading(m_rightHeading, m_bTabs ? m_strSecurityHeading : m_strPrivacyHeading, m_bTabs);
    if (!m_bTabs) {
        m_rightHeading.ShowWindow(SW_HIDE);
        ShrinkPanelByQuarter(*this);
    }
    LayoutControls();
    if (m_pOwner && m_pOwner->GetSafeHwnd()) {
        ::SendMessageW(m_pOwner->GetSafeHwnd(), WM_SIZE, 0, 0);
    }
    return TRUE;
}

void CWardlightDlg::LayoutControls() {
    LayOutTabHeadings(m_leftHeading, m_rightHeading);
}

void CWardlightDlg::OnPaint() {
    // The picture shows a valid score; without one the circle is painted. Before the paint begins.
    m_picture.ShowWindow(IsValidScore(ReadSecurityScore()) ? SW_SHOW : SW_HIDE);
    PaintSkinned(this, kWhite,
                 [this](CDC& dc, Gdiplus::Graphics& graphics, const CRect&) { PaintScore(dc, graphics); });
}

void CWardlightDlg::PaintScore(CDC& dc, Gdiplus::Graphics& graphics) {
    const int nScore = ReadSecurityScore();
    Gdiplus::ARGB argbStart = 0;
    Gdiplus::ARGB argbEnd = 0;
    GetScoreColors(nScore, argbStart, argbEnd);
    CString strHeading;
    CString strText;
    GetScoreTexts(nScore, strHeading, strText);
    const PanelUnits u = PanelUnits::Of(*this);

    const int t = m_bTabs && !m_bCompact ? 10 : 0;
    const CRect rcCard(u.X(35), u.Y(47 - t), u.X(463), u.nHeight);
    DrawCard(dc, rcCard);
    if (m_bTabs) {
        CRect rcHeading;
        m_rightHeading.GetClientRect(&rcHeading);
        const int w = rcHeading.Width();
        DrawTabArrow(dc, rcCard, rcCard.left + u.X(30) + w, w, u.Y(8));
    }

    // The circle, and the region a click on it hits, where it is drawn.
    const int d = m_bCompact ? u.X(80) : u.X(77);
    const int o = m_bTabs ? (m_bCompact ? -5 : 13) : 0;
    const CRect rcCircle(u.X(46), u.Y(67 - o), u.X(46) + d, u.Y(67 - o) + d);
    m_rgnHit.DeleteObject();
    m_rgnHit.CreateEllipticRgn(rcCircle.left, rcCircle.top, rcCircle.right, rcCircle.bottom);
    if (!IsValidScore(nScore)) {
        const Gdiplus::Rect rcBox(rcCircle.left, rcCircle.top, d, d);
        Gdiplus::LinearGradientBrush brush(rcBox, Gdiplus::Color(argbStart), Gdiplus::Color(argbEnd),
                                           Gdiplus::LinearGradientModeHorizontal);
        brush.SetWrapMode(Gdiplus::WrapModeTile);
        graphics.FillEllipse(&brush, rcBox);
        CFont fontQuestion;
        CreateSkinnedFont(fontQuestion, kQuestionSize, kBoldWeight);
        CFont* pOldFont = dc.SelectObject(&fontQuestion);
        const SIZE size = dc.GetTextExtent(L"?", 1);
        CRect rcQuestion(CPoint(rcCircle.left + (d - size.cx) / 2, rcCircle.top + (d - size.cy) / 2), size);
        dc.SetTextColor(kWhite);
        dc.DrawText(L"?", 1, &rcQuestion, DT_CENTER);
        dc.SelectObject(pOldFont);
    }

    CFont fontHeading;
    CreateSkinnedFont(fontHeading, kTextSize, kBoldWeight);
    CFont* pOldFont = dc.SelectObject(&fontHeading);
    const int t2 = dc.GetTextExtent(strHeading).cx >= u.X(317) ? 12 : 0;
    LayoutWrappedText(&dc, &fontHeading, strHeading,
                      CRect(u.X(140), u.Y(68 - t2 - o), u.X(457), u.Y(93 - o)));
    CFont fontText;
    CreateSkinnedFont(fontText, kTextSize, kRegularWeight);
    LayoutWrappedText(&dc, &fontText, strText, CRect(u.X(140), u.Y(95 - o), u.X(457), u.Y(164 - o)));
    dc.SelectObject(pOldFont);
}

void CWardlightDlg::LayoutWrappedText(CDC* pDC, CFont* pFont, const CString& strText, const CRect& rc) {
    CFont fontLink;
    fontLink.CreateFont(-ScaleByMonitorDpiX(kTextSize), 0, 0, 0, kRegularWeight, FALSE, TRUE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS,
                        L"Segoe UI");
    m_arrLinkRects.RemoveAll();
    for (const TextCell& cell :
         DrawTextByCharacter(pDC, pFont, strText, rc, ResString(L"Wardlight", 217), &fontLink, kLinkColor)) {
        if (cell.bSpan) {
            m_arrLinkRects.Add(cell.rc);
        }
    }
}

bool CWardlightDlg::HitTest(int x, int y) const {
    if (m_rgnHit.PtInRegion(x, y)) {
        return true;
    }
    for (INT_PTR i = 0; i < m_arrLinkRects.GetSize(); ++i) {
        if (m_arrLinkRects[i].PtInRect(CPoint(x, y))) {
            return true;
        }
    }
    return false;
}

void CWardlightDlg::OnLButtonDown(UINT nFlags, CPoint point) {
    CDialogEx::OnLButtonDown(nFlags, point);
    if (!HitTest(point.x, point.y)) {
        return;
    }
    LaunchSolvaneUri(L"corvex-solvane3:security");
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.GoToSolvaneWardlightPage", L"",
                     L"Features.Toolbar.PowerInformation");
}

void CWardlightDlg::OnMouseMove(UINT nFlags, CPoint point) {
    CDialogEx::OnMouseMove(nFlags, point);
    if (HitTest(point.x, point.y)) {
        ::SetCursor(SetClassCursor(this, IDC_HAND));
    } else {
        SetClassCursor(this, IDC_ARROW);
    }
}

BOOL CWardlightDlg::OnToolTipNeedText(UINT, NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    auto* pInfo = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
    if ((pInfo->uFlags & TTF_IDISHWND) && !SetHeadingToolTip(pInfo, m_leftHeading)) {
        SetHeadingToolTip(pInfo, m_rightHeading);
    }
    return TRUE;
}

void CWardlightDlg::OnBnClickedSecurityHeading() {
    if (m_bTabs) {
        RequestHeading(m_pOwner, true);
    }
}

void CWardlightDlg::OnBnClickedPrivacyHeading() {
    if (m_bTabs) {
        RequestHeading(m_pOwner, false);
    }
}

LRESULT CWardlightDlg::OnResizePanel(WPARAM wParam, LPARAM) {
    if (wParam != 0) {
        ShrinkPanelByQuarter(*this);
    } else {
        RestorePanelQuarter(*this);
    }
    return 0;
}

BOOL CWardlightDlg::OnEraseBkgnd(CDC*) {
    return TRUE;
}

BOOL CWardlightDlg::PreTranslateMessage(MSG* pMsg) {
    return IsEscapeOrEnterKey(pMsg) ? TRUE : CDialogEx::PreTranslateMessage(pMsg);
}
