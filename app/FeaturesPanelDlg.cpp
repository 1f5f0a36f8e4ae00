#include "app/FeaturesPanelDlg.h"

#include <optional>

#include "controls/ControlNarratorText.h"
#include "controls/SkinnedControl.h"
#include "features/CameraPrivacyBtn.h"
#include "services/DrawingRoutines.h"
#include "services/FeatureState.h"
#include "services/MachineInfo.h"
#include "services/WindowsVersion.h"

namespace {

// Every length of the grid is a share of the client width in 378ths.
constexpr int kGridUnits = 378;
constexpr int kOneRowHeight = 89;
constexpr int kTwoRowsHeight = 158;
constexpr int kRowOneTop = 20;
constexpr int kRowTwoTop = 89;
constexpr int kButtonSize = 48;
constexpr int kColumnGap = 22;
constexpr int kLeftMargin = 2;
constexpr int kButtonsPerRow = 5;
constexpr int kMaxPlaced = 10;
constexpr int kBusinessBrand = 1;
constexpr int kCornerBox = 20; // the rounded corners' arcs, in pixels at any DPI
constexpr int kInset = 10;
constexpr int kCaptionHeight = 20;
constexpr int kCaptionFontSize = 14;
constexpr int kCaptionFontWeight = 400;
const COLORREF kCaptionColor = 0x4D4D4D;
constexpr Gdiplus::ARGB kHoverShade = 0x06000000u;
constexpr UINT kCaptionMs = 2000;
constexpr UINT kWatchMs = 15000;
constexpr int kToolTipBufferChars = 2048;
constexpr int kToolTipFieldChars = 80;
constexpr int kToolTipMargin = 14;
constexpr int kNarrowToolTipMargin = 12; // the Ukrainian battery-saving cooling tip
constexpr int kToolTipRise = 20;
constexpr int kWrappedTipWidth = 300;
constexpr int kWrappedTipRise = 36;
constexpr int kWrappedTipNearLeft = 40;
constexpr int kWrappedTipIndent = 100;
constexpr int kDescriptionLineWidth = 486;
constexpr int kKoreanLineWidth = 360;
constexpr int kDescriptionLineHeight = 16;
constexpr int kDescriptionIndent = 82;
// How long a click on one charge mode waits for the other one's set call: 7 x 50 ms.
constexpr int kExclusiveWaitSteps = 7;
constexpr DWORD kExclusiveWaitStepMs = 50;

enum : int {
    IDC_WIFI_SECURITY = CWiFiSecurityBtn::IDC,
    IDC_MICROPHONE = CMicrophoneBtn::IDC,
    IDC_DOLBY_AUDIO = CDolbyAudioBtn::IDC,
    IDC_KEYBOARD_BACKLIGHT = CKeyboardBacklightBtn::IDC,
    IDC_KEYBOARD_TOP_ROW = CKeyboardTopRowBtn::IDC,
    IDC_TOUCHPAD = CTouchpadBtn::IDC,
    IDC_PRIVACY_GUARD = CPrivacyGuardBtn::IDC,
    IDC_CHARGE_THRESHOLD = CBatteryChargeThresholdBtn::IDC,
    IDC_AIRPLANE_MODE = CAirplaneModeBtn::IDC,
    IDC_CONSERVATION_MODE = CConservationModeBtn::IDC,
    IDC_INTELLIGENT_COOLING = CIxorIntelligentCoolingBtn::IDC,
    IDC_RAPID_CHARGE = CRapidChargeBtn::IDC,
    IDC_ECOURSE_MODE = CECourseModeBtn::IDC,
    IDC_EYECARE_MODE = CEyecareModeBtn::IDC,
};

// The buttons in the order the panel declares them: the first hovered one wins.
const int kDeclarationOrder[] = {IDC_WIFI_SECURITY,      IDC_MICROPHONE,       IDC_DOLBY_AUDIO,
                                 IDC_KEYBOARD_BACKLIGHT, IDC_KEYBOARD_TOP_ROW, IDC_TOUCHPAD,
                                 IDC_PRIVACY_GUARD,      IDC_CHARGE_THRESHOLD, IDC_AIRPLANE_MODE,
                                 IDC_CONSERVATION_MODE,  IDC_RAPID_CHARGE,     IDC_INTELLIGENT_COOLING,
                                 IDC_ECOURSE_MODE,       IDC_EYECARE_MODE};

// Initialised on every machine, then on business-brand machines, then on the others.
const int kCommonInit[] = {IDC_WIFI_SECURITY, IDC_MICROPHONE, IDC_KEYBOARD_BACKLIGHT, IDC_KEYBOARD_TOP_ROW};
const int kBusinessInit[] = {IDC_PRIVACY_GUARD, IDC_CHARGE_THRESHOLD, IDC_AIRPLANE_MODE};
const int kOtherInit[] = {IDC_EYECARE_MODE, IDC_ECOURSE_MODE, IDC_CONSERVATION_MODE, IDC_RAPID_CHARGE,
                          IDC_INTELLIGENT_COOLING};

// The grid's places, first to last.
const int kBusinessOrder[] = {IDC_PRIVACY_GUARD,    IDC_WIFI_SECURITY,     IDC_EYECARE_MODE,
                              IDC_CHARGE_THRESHOLD, IDC_AIRPLANE_MODE,     IDC_MICROPHONE,
                              IDC_KEYBOARD_TOP_ROW, IDC_KEYBOARD_BACKLIGHT};
const int kOtherOrder[] = {IDC_WIFI_SECURITY,       IDC_EYECARE_MODE,      IDC_MICROPHONE,
                           IDC_ECOURSE_MODE,        IDC_CONSERVATION_MODE, IDC_RAPID_CHARGE,
                           IDC_INTELLIGENT_COOLING, IDC_KEYBOARD_TOP_ROW,  IDC_KEYBOARD_BACKLIGHT};

// A rounded rectangle from four 90-degree arcs in corner boxes, clockwise from the top left.
void AddRoundRectPath(Gdiplus::GraphicsPath& path, int x, int y, int nWidth, int nHeight) {
    const int right = x + nWidth - kCornerBox;
    const int bottom = y + nHeight - kCornerBox;
    path.AddArc(x, y, kCornerBox, kCornerBox, 180.0f, 90.0f);
    path.AddArc(right, y, kCornerBox, kCornerBox, 270.0f, 90.0f);
    path.AddArc(right, bottom, kCornerBox, kCornerBox, 0.0f, 90.0f);
    path.AddArc(x, bottom, kCornerBox, kCornerBox, 90.0f, 90.0f);
    path.CloseFigure();
}

Gdiplus::Color OpaqueColor(COLORREF cr) {
    return Gdiplus::Color(GetRValue(cr), GetGValue(cr), GetBValue(cr));
}

} // namespace

CFeaturesPanelDlg::CFeaturesPanelDlg(CWnd* pParent)
    : CDeckBaseDialog(IDD, pParent), m_pToolTipBuffer(std::make_unique<wchar_t[]>(kToolTipBufferChars)) {}

BEGIN_MESSAGE_MAP(CFeaturesPanelDlg, CDeckBaseDialog)
ON_WM_PAINT()
ON_WM_SIZE()
ON_WM_DESTROY()
ON_WM_ERASEBKGND()
ON_WM_TIMER()
ON_MESSAGE(WM_DECK_PANELHEIGHTCHANGED, &CFeaturesPanelDlg::OnPanelHeightChanged)
ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, &CFeaturesPanelDlg::OnToolTipNeedText)
ON_CONTROL_RANGE(BN_CLICKED, IDC_WIFI_SECURITY, IDC_EYECARE_MODE, &CFeaturesPanelDlg::OnButtonClicked)
END_MESSAGE_MAP()

BOOL CFeaturesPanelDlg::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_pContainer = pParentWnd;
    return CDeckBaseDialog::Create(nIDTemplate, pParentWnd);
}

void CFeaturesPanelDlg::DoDataExchange(CDataExchange* pDX) {
    CDeckBaseDialog::DoDataExchange(pDX);
    for (const int nId : kDeclarationOrder) {
        if (CDeckFeatureButton* pButton = ButtonOfId(nId)) {
            DDX_Control(pDX, nId, *pButton);
        }
    }
}

BOOL CFeaturesPanelDlg::OnInitDialog() {
    CDeckBaseDialog::OnInitDialog();
    EnableToolTips(TRUE);
    m_nBrand = g_nKobalBrand;
    ResizeToHeight(GridLength(kOneRowHeight));
    CRect rcClient;
    GetClientRect(&rcClient);
    const int s10 = ScaleByMonitorDpiX(kInset);
    m_rcCaption.left = rcClient.left + s10 + 2;
    m_rcCaption.right = rcClient.right - s10 - 2;
    MakeBackgroundPaths();
    CreateSkinnedFont(m_fontCaption, kCaptionFontSize, kCaptionFontWeight);
    InitButtons();
    StartCameraPrivacySetter();
    // The cached states have shown their buttons: each goes to its place before its probe answers.
    LayoutButtons();
    if (IsWindowsBuild21OrLater()) {
        m_nWatchTimer = SetTimer(kWatchTimer, kWatchMs, nullptr);
    }
    return TRUE;
}

CDeckFeatureButton* CFeaturesPanelDlg::ButtonOfId(int nId) {
    switch (nId) {
    case IDC_WIFI_SECURITY:
        return &m_btnWiFiSecurity;
    case IDC_MICROPHONE:
        return &m_btnMicrophone;
    case IDC_DOLBY_AUDIO:
        return &m_btnDolbyAudio;
    case IDC_KEYBOARD_BACKLIGHT:
        return &m_btnKeyboardBacklight;
    case IDC_KEYBOARD_TOP_ROW:
        return &m_btnKeyboardTopRow;
    case IDC_TOUCHPAD:
        return &m_btnTouchpad;
    case IDC_PRIVACY_GUARD:
        return &m_btnPrivacyGuard;
    case IDC_CHARGE_THRESHOLD:
        return &m_btnChargeThreshold;
    case IDC_AIRPLANE_MODE:
        return &m_btnAirplaneMode;
    case IDC_CONSERVATION_MODE:
        return &m_btnConservationMode;
    case IDC_RAPID_CHARGE:
        return &m_btnRapidCharge;
    case IDC_INTELLIGENT_COOLING:
        return &m_btnIntelligentCooling;
    case IDC_ECOURSE_MODE:
        return &m_btnECourseMode;
    case IDC_EYECARE_MODE:
        return &m_btnEyecareMode;
    default:
        return nullptr; // a toggle this panel does not have
    }
}

int CFeaturesPanelDlg::GridLength(int k) const {
    CRect rcClient;
    GetClientRect(&rcClient);
    return rcClient.Width() * k / kGridUnits;
}

void CFeaturesPanelDlg::MakeBackgroundPaths() {
    CRect rcClient;
    GetClientRect(&rcClient);
    const int s10 = ScaleByMonitorDpiX(kInset);
    const int left = rcClient.left + s10;
    const int width = rcClient.right - s10 - left;
    m_pPathOneRow = std::make_unique<Gdiplus::GraphicsPath>();
    m_pPathTwoRows = std::make_unique<Gdiplus::GraphicsPath>();
    AddRoundRectPath(*m_pPathOneRow, left, rcClient.top, width, GridLength(kOneRowHeight));
    AddRoundRectPath(*m_pPathTwoRows, left, rcClient.top, width, GridLength(kTwoRowsHeight));
}

void CFeaturesPanelDlg::InitButtons() {
    const auto initAll = [this](const auto& ids) {
        for (const int nId : ids) {
            if (CDeckFeatureButton* pButton = ButtonOfId(nId)) {
                pButton->Init(this);
            }
        }
    };
    initAll(kCommonInit);
    if (m_nBrand == kBusinessBrand) {
        initAll(kBusinessInit);
    } else {
        initAll(kOtherInit);
    }
}

void CFeaturesPanelDlg::StartCameraPrivacySetter() {
    m_workers.Start(CCameraPrivacyBtn::SetCamera, &g_nCameraPrivacyState);
}

void CFeaturesPanelDlg::LayoutButtons() {
    m_nPlacedCount = 0;
    CWnd* pPrevious = this;
    const auto placeAll = [this, &pPrevious](const auto& ids) {
        for (const int nId : ids) {
            PlaceButton(ButtonOfId(nId), pPrevious);
        }
    };
    if (m_nBrand == kBusinessBrand) {
        placeAll(kBusinessOrder);
    } else {
        placeAll(kOtherOrder);
    }
    RequestHeight(m_nPlacedCount);
}

// A toggle the panel does not have counts as unsupported.
void CFeaturesPanelDlg::PlaceButton(CDeckFeatureButton* pButton, CWnd*& pPrevious) {
    if (!pButton || !pButton->m_hWnd) {
        return;
    }
    if (m_nPlacedCount < 0 || m_nPlacedCount >= kMaxPlaced || pButton->m_nSupport <= 0) {
        pButton->ShowWindow(SW_HIDE);
        return;
    }
    const int k = ++m_nPlacedCount;
    const bool bFirstRow = k <= kButtonsPerRow;
    const int c = bFirstRow ? k : k - kButtonsPerRow;
    const int left = GridLength(kLeftMargin) + GridLength(kColumnGap * c) + (c - 1) * GridLength(kButtonSize);
    const int top = GridLength(bFirstRow ? kRowOneTop : kRowTwoTop);
    const int s = GridLength(kButtonSize);
    pButton->MoveWindow(left, top, s, s);
    const bool bWasVisible = pButton->IsWindowVisible() != FALSE;
    pButton->SetWindowPos(pPrevious, left, top, s, s, SWP_SHOWWINDOW);
    pPrevious = pButton;
    if (!bWasVisible) {
        pButton->ShowWindow(SW_SHOW);
        pButton->Invalidate();
    }
}

void CFeaturesPanelDlg::RequestHeight(int nPlaced) {
    const int h1 = GridLength(kOneRowHeight);
    const int h2 = GridLength(kTwoRowsHeight);
    CRect rcClient;
    GetClientRect(&rcClient);
    const int nHeight = rcClient.Height();
    if (nPlaced <= kButtonsPerRow && nHeight > h1) {
        PostMessage(WM_DECK_PANELHEIGHTCHANGED, static_cast<WPARAM>(h1));
    } else if (nPlaced > kButtonsPerRow && nHeight <= h1) {
        PostMessage(WM_DECK_PANELHEIGHTCHANGED, static_cast<WPARAM>(h2));
    }
}

LRESULT CFeaturesPanelDlg::OnPanelHeightChanged(WPARAM wParam, LPARAM) {
    ResizeToHeight(static_cast<int>(wParam));
    if (m_pContainer && m_pContainer->GetSafeHwnd()) {
        ::SendMessageW(m_pContainer->GetSafeHwnd(), WM_SIZE, 0, 0);
    }
    return 0;
}

void CFeaturesPanelDlg::OnSize(UINT nType, int cx, int cy) {
    CDeckBaseDialog::OnSize(nType, cx, cy);
    if (m_hWnd) {
        LayoutButtons();
    }
}

void CFeaturesPanelDlg::OnButtonClicked(UINT nId) {
    ClickButton(ButtonOfId(static_cast<int>(nId)));
}

void CFeaturesPanelDlg::ClickButton(CDeckFeatureButton* pButton) {
    if (pButton == &m_btnConservationMode) {
        OnChargeModeButtonClicked(m_btnConservationMode, m_btnRapidCharge);
    } else if (pButton == &m_btnRapidCharge) {
        OnChargeModeButtonClicked(m_btnRapidCharge, m_btnConservationMode);
    } else {
        OnFeatureButtonClicked(pButton);
    }
}

void CFeaturesPanelDlg::OnChargeModeButtonClicked(CChargeModeBtn& button, CChargeModeBtn& other) {
    if (button.m_nOn == 0 && other.m_nOn == 1) {
        if (g_bNarrator) {
            other.m_nOn = 0;
            other.m_nStatus = FeatureStateOff;
            other.SetButtonStatusIcon(FeatureStateOff);
        } else {
            other.ClicktoSwitch();
            for (int i = 0; i < kExclusiveWaitSteps && other.m_bSetDone == 0; ++i) {
                Sleep(kExclusiveWaitStepMs);
            }
        }
    }
    OnFeatureButtonClicked(&button);
}

void CFeaturesPanelDlg::OnFeatureButtonClicked(CDeckFeatureButton* pButton) {
    if (!pButton) {
        return;
    }
    pButton->ClicktoSwitch();
    DrawStateCaption(CString());
    DrawPanel(nullptr, true);
    const CRect rcButton = RectInPanel(*pButton);
    m_rcCaption.top = rcButton.bottom;
    m_rcCaption.bottom = m_rcCaption.top + ScaleByMonitorDpiY(kCaptionHeight);
    if (pButton->m_bInited == 1 && pButton->m_bDisabled == 0) {
        DrawStateCaption(pButton->m_strCaption.Get());
        if (m_nCaptionTimer) {
            KillTimer(m_nCaptionTimer);
        }
        m_nCaptionTimer = SetTimer(kCaptionTimer, kCaptionMs, nullptr);
    }
}

void CFeaturesPanelDlg::DrawStateCaption(const CString& strText) {
    m_strCaption = strText;
    CClientDC dc(this);
    dc.SetBkMode(TRANSPARENT);
    if (strText.IsEmpty()) {
        dc.FillSolidRect(&m_rcCaption, m_crBackground);
    } else {
        DrawCaptionText(dc, strText);
    }
}

void CFeaturesPanelDlg::DrawCaptionText(CDC& dc, const CString& strText) {
    CFont* pOldFont = dc.SelectObject(&m_fontCaption);
    dc.SetTextColor(kCaptionColor);
    CRect rcCaption = m_rcCaption;
    dc.DrawText(strText, &rcCaption, DT_CENTER);
    dc.SelectObject(pOldFont);
}

void CFeaturesPanelDlg::OnTimer(UINT_PTR nIDEvent) {
    if (!m_nCaptionTimer || nIDEvent != m_nCaptionTimer) {
        return;
    }
    KillTimer(kCaptionTimer);
    m_nCaptionTimer = 0;
    DrawStateCaption(CString());
    DrawPanel(nullptr, true);
}

void CFeaturesPanelDlg::OnPaint() {
    CPaintDC dc(this);
    DrawPanel(&dc, false);
}

void CFeaturesPanelDlg::DrawPanel(CDC* pDC, bool bHover) {
    CRect rcClient;
    GetClientRect(&rcClient);
    if (rcClient.IsRectEmpty()) {
        return;
    }
    std::optional<CClientDC> dcClient;
    if (!pDC) {
        pDC = &dcClient.emplace(this);
    }
    CMemDC memDC(*pDC, rcClient);
    CDC& dc = memDC.GetDC();
    dc.SetBkMode(TRANSPARENT);
    dc.FillSolidRect(&rcClient, RGB(255, 255, 255));
    {
        Gdiplus::Graphics graphics(dc.GetSafeHdc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        const Gdiplus::SolidBrush background(OpaqueColor(m_crBackground));
        graphics.FillPath(&background,
                          m_nPlacedCount <= kButtonsPerRow ? m_pPathOneRow.get() : m_pPathTwoRows.get());
        if (bHover && m_bHover && m_pHoverButton && !m_rcHover.IsRectEmpty()) {
            Gdiplus::RectF rcShade = m_pHoverButton->m_rcHover;
            rcShade.Offset(static_cast<Gdiplus::REAL>(m_rcHover.left),
                           static_cast<Gdiplus::REAL>(m_rcHover.top));
            const Gdiplus::SolidBrush shade{Gdiplus::Color(kHoverShade)};
            graphics.FillEllipse(&shade, rcShade);
        }
    }
    if (m_nCaptionTimer && !m_strCaption.IsEmpty()) {
        DrawCaptionText(dc, m_strCaption);
    }
}

bool CFeaturesPanelDlg::UpdateHoverButton() {
    m_rcHover.SetRectEmpty();
    m_pHoverButton = nullptr;
    for (const int nId : kDeclarationOrder) {
        CDeckFeatureButton* pButton = ButtonOfId(nId);
        if (pButton && pButton->m_hWnd && pButton->m_bHover) {
            m_rcHover = RectInPanel(*pButton);
            m_pHoverButton = pButton;
            return true;
        }
    }
    return false;
}

CRect CFeaturesPanelDlg::RectInPanel(const CWnd& wnd) const {
    CRect rc;
    wnd.GetWindowRect(&rc);
    ScreenToClient(&rc);
    return rc;
}

CDeckFeatureButton* CFeaturesPanelDlg::FocusedButton() {
    const CWnd* pFocus = GetFocus();
    if (!pFocus) {
        return nullptr;
    }
    for (const int nId : kDeclarationOrder) {
        CDeckFeatureButton* pButton = ButtonOfId(nId);
        if (pButton && pButton->m_hWnd && pButton->m_hWnd == pFocus->m_hWnd) {
            return pButton;
        }
    }
    return nullptr;
}

BOOL CFeaturesPanelDlg::PreTranslateMessage(MSG* pMsg) {
    switch (pMsg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (pMsg->wParam == VK_RETURN) {
            ClickButton(FocusedButton());
        }
        if (pMsg->wParam == VK_TAB && g_bNarrator) {
            return FALSE;
        }
        if (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN) {
            return TRUE;
        }
        break;
    case WM_MOUSELEAVE:
        m_bHover = FALSE;
        m_rcHover.SetRectEmpty();
        m_pHoverButton = nullptr;
        Invalidate();
        break;
    case WM_MOUSEHOVER:
        m_bHover = TRUE;
        if (UpdateHoverButton()) {
            DrawPanel(nullptr, true);
        }
        break;
    default:
        break;
    }
    return CDeckBaseDialog::PreTranslateMessage(pMsg);
}

BOOL CFeaturesPanelDlg::OnToolTipNeedText(UINT, NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    auto* pInfo = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
    if (!(pInfo->uFlags & TTF_IDISHWND)) {
        return TRUE;
    }
    const auto hButton = reinterpret_cast<HWND>(pNMHDR->idFrom);
    CDeckFeatureButton* pButton = ButtonOfId(::GetDlgCtrlID(hButton));
    pInfo->hinst = AfxGetResourceHandle();
    if (!pButton || !pButton->m_hWnd) {
        return TRUE;
    }
    const bool bDescription = pButton == &m_btnECourseMode;
    if (bDescription) {
        ::SendMessageW(pNMHDR->hwndFrom, TTM_SETMAXTIPWIDTH, 0, kWrappedTipWidth);
    }
    const CString strText = bDescription              ? CString(m_btnECourseMode.GetDescription())
                            : pButton->m_bInited == 1 ? pButton->m_strTip.Get()
                                                      : pButton->m_strName;
    if (strText.GetLength() < kToolTipFieldChars - 1) {
        wcsncpy_s(pInfo->szText, kToolTipFieldChars, strText, _TRUNCATE);
        pInfo->lpszText = pInfo->szText;
    } else {
        _snwprintf_s(m_pToolTipBuffer.get(), kToolTipBufferChars, _TRUNCATE, L"%s", strText.GetString());
        pInfo->lpszText = m_pToolTipBuffer.get();
    }
    const bool bWrapped = IsLongTranslatedTip(strText);
    if (bWrapped) {
        ::SendMessageW(pNMHDR->hwndFrom, TTM_SETMAXTIPWIDTH, 0, kWrappedTipWidth);
    }
    if (bDescription) {
        PlaceDescriptionTip(pNMHDR->hwndFrom, *pButton, strText);
    } else {
        PlaceToolTip(pNMHDR->hwndFrom, *pButton, strText, bWrapped);
    }
    return TRUE;
}

// The e-course description in lines of 486 pixels (360 in Korean), above the button across the panel.
void CFeaturesPanelDlg::PlaceDescriptionTip(HWND hToolTip, const CWnd& button, const CString& strText) {
    CRect rcPanel;
    CRect rcButton;
    GetWindowRect(&rcPanel);
    button.GetWindowRect(&rcButton);
    const bool bKorean = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_KOREAN;
    const int nLines = TextWidth(strText) / (bKorean ? kKoreanLineWidth : kDescriptionLineWidth);
    CRect rcTip(rcPanel.left + ScaleByMonitorDpiX(kDescriptionIndent),
                rcButton.top - ScaleByMonitorDpiY(nLines * kDescriptionLineHeight + kToolTipRise),
                rcPanel.right - ScaleByMonitorDpiX(kToolTipRise), rcButton.top);
    if (rcTip.Height() < 1 || rcTip.Width() <= 0) {
        return;
    }
    ::SendMessageW(hToolTip, TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&rcTip));
    ::SetWindowPos(hToolTip, HWND_TOPMOST, rcTip.left, rcTip.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

bool CFeaturesPanelDlg::IsLongTranslatedTip(const CString& strText) {
    return CEyecareModeBtn::IsWrappedTipText(strText) ||
           CIxorIntelligentCoolingBtn::IsWrappedTipText(strText) ||
           CKeyboardTopRowBtn::IsWrappedTipText(strText);
}

void CFeaturesPanelDlg::PlaceToolTip(HWND hToolTip, const CWnd& button, const CString& strText,
                                     bool bWrapped) {
    CRect rcTip;
    if (!PositionToolTip(button, strText, bWrapped, rcTip)) {
        return;
    }
    ::SendMessageW(hToolTip, TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&rcTip));
    const UINT flags = SWP_NOSIZE | SWP_NOACTIVATE;
    ::SetWindowPos(hToolTip, HWND_TOPMOST, rcTip.left, rcTip.top, 0, 0, flags);
    CRect rcWindow;
    ::GetWindowRect(hToolTip, &rcWindow);
    const int nTipWidth = rcWindow.Width();
    if (nTipWidth <= 0) {
        return;
    }
    CRect rcPanel;
    CRect rcButton;
    GetWindowRect(&rcPanel);
    button.GetWindowRect(&rcButton);
    const int nMargin =
        CIxorIntelligentCoolingBtn::IsNarrowMarginTipText(strText) ? kNarrowToolTipMargin : kToolTipMargin;
    const int nLimit = rcPanel.right - ScaleByMonitorDpiX(nMargin);
    const int left = rcButton.left + nTipWidth >= nLimit ? nLimit - nTipWidth : rcButton.left;
    ::SetWindowPos(hToolTip, HWND_TOPMOST, left, rcWindow.top, 0, 0, flags);
}

bool CFeaturesPanelDlg::PositionToolTip(const CWnd& button, const CString& strText, bool bWrapped,
                                        CRect& rcTip) {
    CRect rcPanel;
    CRect rcButton;
    GetWindowRect(&rcPanel);
    button.GetWindowRect(&rcButton);
    const int x14 = ScaleByMonitorDpiX(kToolTipMargin);
    rcTip.SetRect(rcButton.left, rcButton.top - ScaleByMonitorDpiY(kToolTipRise), rcPanel.right - x14,
                  rcButton.top);
    if (bWrapped) {
        // Two lines above the button, from its left edge near the panel's left, else from the middle.
        rcTip.top = rcButton.top - ScaleByMonitorDpiY(kWrappedTipRise);
        rcTip.right = rcPanel.right - ScaleByMonitorDpiX(kInset);
        rcTip.left = rcButton.left - rcPanel.left < ScaleByMonitorDpiX(kWrappedTipNearLeft)
                         ? rcButton.left
                         : rcPanel.left + ScaleByMonitorDpiX(kWrappedTipIndent);
    } else {
        const int nTextWidth = TextWidth(strText);
        rcTip.right = rcTip.left + ScaleByMonitorDpiX(nTextWidth);
        if (rcTip.left + nTextWidth > rcPanel.right - x14) {
            rcTip.left = rcPanel.right - nTextWidth - x14;
        }
        if (rcTip.left < rcPanel.left + x14) {
            rcTip.left = rcPanel.left + x14;
        }
    }
    return rcTip.Height() >= 1 && rcTip.Width() > 0;
}

int CFeaturesPanelDlg::TextWidth(const CString& strText) {
    CClientDC dc(this);
    SIZE size{};
    GetTextExtentPoint32W(dc.GetSafeHdc(), strText, strText.GetLength(), &size);
    return size.cx;
}

void CFeaturesPanelDlg::OnDestroy() {
    if (m_nCaptionTimer) {
        KillTimer(kCaptionTimer);
        m_nCaptionTimer = 0;
    }
    if (m_nWatchTimer) {
        KillTimer(kWatchTimer);
        m_nWatchTimer = 0;
    }
    // The buttons' states are cached before anything waits: a host that holds a worker past the close's
    // bound ends the process in a wait (CButtonWorkers::WaitForAll).
    for (const int nId : kDeclarationOrder) {
        CDeckFeatureButton* pButton = ButtonOfId(nId);
        if (pButton && pButton->m_bInited == 1) {
            pButton->SaveCachedState();
        }
    }
    m_workers.WaitForAll();
    CDeckBaseDialog::OnDestroy();
}
