#include "features/DeckFeatureButton.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <string>
#include <utility>

#include "controls/FocusFrame.h"
#include "controls/SkinnedControl.h"
#include "platform/comdef.h"
#include "platform/inifile.h"
#include "platform/shell.h"
#include "services/DrawingRoutines.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/ResourceStrings.h"

CString g_strDisabled = L"Disabled";

namespace {

constexpr int kDisabledStringId = 468;
constexpr int kOwnerFilledSlots = 4; // the slots SetImages fills; the fifth is the subclass's own
const COLORREF kDefaultCircleColors[kOwnerFilledSlots] = {0xF8F7F5, 0xFD814A, 0xEBEAE6, 0xFFFFFF};
const COLORREF kPanelBackground = 0xF4F1EB;
constexpr Gdiplus::ARGB kHoverShade = 0x06000000u;
constexpr int kValueChars = 64;

// The buttons' constructors run on the user-interface thread while earlier buttons' workers may read the
// word: it is written only when the string table gives another one.
void RenewDisabledWord() {
    CString strWord;
    LoadResString(strWord, L"Disabled", kDisabledStringId);
    if (strWord != g_strDisabled) {
        g_strDisabled = strWord;
    }
}

// The one ShowEx.cfg path of the process, made on first use and again while it is empty.
CString CachedShowExCfgPath() {
    static std::mutex lock;
    static std::wstring strPath;
    const std::lock_guard guard(lock);
    if (strPath.empty()) {
        strPath = GetShowExCfgPath();
    }
    return strPath.c_str();
}

// The four values of a section are read and written together, whichever thread does it.
std::mutex& CacheLock() {
    static std::mutex lock;
    return lock;
}

int ReadCachedValue(const CString& strSection, LPCWSTR pszKey, const CString& strPath,
                    bool* pbRead = nullptr) {
    int nValue = 0;
    const bool bRead = ReadIniInt(strSection, pszKey, strPath, nValue);
    if (pbRead) {
        *pbRead = bRead;
    }
    return nValue;
}

Gdiplus::Color OpaqueColor(COLORREF cr) {
    return Gdiplus::Color(GetRValue(cr), GetGValue(cr), GetBValue(cr));
}

} // namespace

BEGIN_MESSAGE_MAP(CDeckFeatureButton, CButton)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_DESTROY()
ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

CDeckFeatureButton::CDeckFeatureButton() : CControlNarratorText(this) {
    for (std::unique_ptr<FeatureImage>& pImage : m_pImages) {
        pImage = std::make_unique<FeatureImage>();
    }
    m_pCurImage = &m_blankImage;
    RenewDisabledWord();
}

CDeckFeatureButton::~CDeckFeatureButton() {
    WaitForWorkers();
}

void CDeckFeatureButton::ClicktoSwitch() {}

int CDeckFeatureButton::RefreshNow() {
    const int nSupportBefore = m_nSupport;
    JudgeSupport();
    if (m_nSupport != nSupportBefore) {
        SendSizeToParent();
        if (m_hWnd) {
            Invalidate();
        }
    }
    return SaveCachedState();
}

BOOL CDeckFeatureButton::OnEraseBkgnd(CDC* pDC) {
    return TRUE;
}

int CDeckFeatureButton::DoJudgeSupportCallback() {
    return 0;
}

void CDeckFeatureButton::LoadCachedState() {
    if (!IsCacheAtHand()) {
        return;
    }
    const CString strPath = m_strIniPath;
    {
        const std::lock_guard lock(CacheLock());
        bool bSupportRead = false;
        m_nSupport = ReadCachedValue(m_strKey, L"support", strPath, &bSupportRead);
        if (bSupportRead) {
            m_nStatus = ReadCachedValue(m_strKey, L"status", strPath);
            m_nStatusIconID = ReadCachedValue(m_strKey, L"StatusIconID", strPath);
            m_nStateIconType = ReadCachedValue(m_strKey, L"StateIconType", strPath);
        }
    }
    if (m_hWnd && m_nStatusIconID != 0) {
        ShowWindow(m_nSupport > 0 ? SW_SHOW : SW_HIDE);
    }
}

BOOL CDeckFeatureButton::SaveCachedState() {
    if (!IsCacheAtHand()) {
        return FALSE;
    }
    const CString strPath = m_strIniPath;
    const std::pair<LPCWSTR, int> values[] = {{L"support", m_nSupport},
                                              {L"status", m_nStatus},
                                              {L"StatusIconID", m_nStatusIconID},
                                              {L"StateIconType", m_nStateIconType}};
    const std::lock_guard lock(CacheLock());
    BOOL bWritten = FALSE;
    for (size_t i = 0; i < std::size(values); ++i) {
        wchar_t szValue[kValueChars] = {};
        swprintf_s(szValue, kValueChars, L"%d", values[i].second);
        bWritten = WritePrivateProfileStringW(m_strKey, values[i].first, szValue, strPath);
        if (!bWritten && i == 0) {
            break;
        }
    }
    return bWritten;
}

BOOL CDeckFeatureButton::PreTranslateMessage(MSG* pMsg) {
    KeepPointerFlags(this, pMsg, m_bHover, m_bTracking, m_bMouseInput);
    return CWnd::PreTranslateMessage(pMsg);
}

bool CDeckFeatureButton::SetImages(CWnd* pParent, int nOffId, int nOnId, int nDisabledId, int nFourthId,
                                   COLORREF crOff, COLORREF crOn, COLORREF crDisabled, COLORREF crFourth) {
    m_pParent = pParent;
    const int ids[kOwnerFilledSlots] = {nOffId, nOnId, nDisabledId, nFourthId};
    const COLORREF colors[kOwnerFilledSlots] = {crOff, crOn, crDisabled, crFourth};
    bool bAnyLoaded = false;
    for (int k = 0; k < kOwnerFilledSlots; ++k) {
        FeatureImage* pImage = m_pImages[k].get();
        if (!pImage || ids[k] == 0) {
            continue;
        }
        pImage->nPngId = ids[k];
        pImage->crBack = colors[k] ? colors[k] : kDefaultCircleColors[k];
        bAnyLoaded = LoadPngFromResource(ids[k], &pImage->pBitmap) || bAnyLoaded;
    }
    if (!bAnyLoaded) {
        m_nSupport = 0;
        SendSizeToParent();
        return false;
    }
    if (m_nSupport < 1) {
        LoadCachedState();
    }
    SetIconState(m_nStatusIconID, m_nStateIconType);
    if (!m_pCurImage) {
        m_pCurImage = m_pImages[0].get();
    }
    if (m_hWnd) {
        SizeToClientHeight(this);
        GetClientRect(&m_rcClient);
    }
    m_workers.Start(ProbeThread, this);
    return true;
}

void CDeckFeatureButton::SetIconState(int nImageId, int nStateType) {
    if (nImageId < 0) {
        return;
    }
    m_nStatusIconID = nImageId;
    m_nStateIconType = nStateType;
    m_bDisabled = nStateType == FeatureStateDisabled ? 1 : 0;
    const auto pMatch =
        std::find_if(std::begin(m_pImages), std::end(m_pImages),
                     [nImageId](const auto& pImage) { return pImage && pImage->nPngId == nImageId; });
    if (pMatch != std::end(m_pImages)) {
        m_pCurImage = pMatch->get();
    }
    if (m_pCurImage && m_bInited == 1) {
        InvalidateClient();
    }
}

bool CDeckFeatureButton::GetIniPath() {
    m_strIniPath = CachedShowExCfgPath();
    return PathFileExistsW(m_strIniPath.Get()) != FALSE;
}

unsigned __stdcall CDeckFeatureButton::ProbeThread(void* pParam) {
    if (!pParam) {
        return static_cast<unsigned>(-1);
    }
    return static_cast<unsigned>(static_cast<CDeckFeatureButton*>(pParam)->RunProbe());
}

void CDeckFeatureButton::OnPaint() {
    PaintSkinned(this, kPanelBackground, [this](CDC& dc, Gdiplus::Graphics& graphics, const CRect& rcClient) {
        const int d = std::min(rcClient.Width(), rcClient.Height()) - 1;
        const auto fD = static_cast<Gdiplus::REAL>(d);
        const FeatureImage* pImage = m_pCurImage;
        const Gdiplus::SolidBrush circle(OpaqueColor(pImage ? pImage->crBack : kPanelBackground));
        graphics.FillEllipse(&circle, 0.0f, 0.0f, fD, fD);
        if (pImage && pImage->pBitmap) {
            Gdiplus::REAL fOffset = fD * 0.0625f;
            Gdiplus::REAL fSize = fD * 14 * 0.0625f;
            if (m_fIconScale > 0.1 && m_fIconScale <= 1.5) {
                fSize = m_fIconScale * fD;
                fOffset = (1 - m_fIconScale) * 0.5f * fD;
            }
            graphics.DrawImage(pImage->pBitmap, fOffset, fOffset, fSize, fSize);
        }
        const int e = d / 10;
        m_rcHover =
            Gdiplus::RectF(static_cast<Gdiplus::REAL>(-e), static_cast<Gdiplus::REAL>(-e),
                           static_cast<Gdiplus::REAL>(d + 2 * e), static_cast<Gdiplus::REAL>(d + 2 * e));
        if (m_bHover) {
            const Gdiplus::SolidBrush shade{Gdiplus::Color(kHoverShade)};
            graphics.FillEllipse(&shade, m_rcHover);
        } else if (!m_bMouseInput) {
            DrawFocusFrame(this, &dc, rcClient);
        }
    });
}

// The workers may still use the images: they are freed once the workers are done.
void CDeckFeatureButton::OnDestroy() {
    WaitForWorkers();
    if (m_bInited == 1) {
        SaveCachedState();
    }
    FreeImages();
    CButton::OnDestroy();
}

void CDeckFeatureButton::OnMouseMove(UINT nFlags, CPoint point) {
    TrackHoverAndLeave(this, m_bTracking);
    if (m_rcClient.PtInRect(point)) {
        const bool bClickable = m_bInited == 1 && m_bDisabled == 0;
        ::SetCursor(SetClassCursor(this, bClickable ? IDC_HAND : IDC_NO));
    } else {
        SetClassCursor(this, IDC_ARROW);
    }
    CButton::OnMouseMove(nFlags, point);
}

bool CDeckFeatureButton::StartButtonThread(_beginthreadex_proc_type pfnProc, void* pArg) {
    return m_workers.Start(pfnProc, pArg);
}

void CDeckFeatureButton::WaitForWorkers() {
    m_workers.WaitForAll();
}

// A framework exception on the way leaves the button unclickable: m_bInited stays 0.
int CDeckFeatureButton::RunProbe() {
    int nResult = 0;
    try {
        if (m_pCurImage) {
            InvalidateClient();
        }
        const int nSupportBefore = m_nSupport;
        const int nIconBefore = m_nStatusIconID;
        nResult = JudgeSupport();
        const bool bSupportChanged = m_nSupport != nSupportBefore;
        if (bSupportChanged) {
            // Sent, not posted: the worker waits until the grid has laid itself out again.
            SendSizeToParent();
        }
        SaveCachedState();
        if (m_nStatusIconID != nIconBefore) {
            InvalidateClient();
        }
        if ((m_nStatusIconID != nIconBefore || bSupportChanged) && m_hWnd) {
            Invalidate();
        }
        m_bInited = 1;
    } catch (CException* pException) {
        pException->Delete();
    }
    return nResult;
}

// The path is looked for once: a file missing then is not looked for again, and the first save makes it.
bool CDeckFeatureButton::IsCacheAtHand() {
    if (m_strIniPath.IsEmpty() && !GetIniPath()) {
        return false;
    }
    return !m_strKey.IsEmpty();
}

// A failed contract call that the probe did not catch counts as no answer.
int CDeckFeatureButton::JudgeSupport() {
    try {
        return DoJudgeSupportCallback();
    } catch (const _com_error&) {
        return 0;
    }
}

void CDeckFeatureButton::InvalidateClient() {
    if (!m_hWnd) {
        return;
    }
    CRect rcClient;
    GetClientRect(&rcClient);
    InvalidateRect(&rcClient, TRUE);
}

void CDeckFeatureButton::SendSizeToParent() {
    if (m_pParent) {
        ::SendMessageW(m_pParent->GetSafeHwnd(), WM_SIZE, 0, 0);
    }
}

void CDeckFeatureButton::FreeImages() {
    m_pCurImage = &m_blankImage;
    for (std::unique_ptr<FeatureImage>& pImage : m_pImages) {
        pImage.reset();
    }
}
