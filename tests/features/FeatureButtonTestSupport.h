// The feature button framework's tests: a button whose probe waits until the test answers for the host,
// a stand-in for the features grid that counts the WM_SIZE the buttons send it and routes clicks, and the
// ShowEx.cfg cache of the test machine.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "controls/SkinnedControl.h"
#include "features/DeckFeatureButton.h"
#include "platform/comdef.h"
#include "platform/inifile.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "tests/controls/ControlWindowSupport.h"

namespace features_test {

constexpr int kOnPng = 364;
constexpr int kOffPng = 365;
constexpr int kDisabledPng = 366;
constexpr int kButtonId = 1056;
constexpr LPCWSTR kKey = L"TestFeature";
const COLORREF kPanelBackground = 0xF4F1EB;
const COLORREF kOffCircle = 0xF8F7F5;
const COLORREF kOnCircle = 0xFD814A;
const COLORREF kDisabledCircle = 0xEBEAE6;
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kFrameDot = RGB(0xB4, 0xB4, 0xB4);
constexpr auto kLongWait = std::chrono::seconds(60);

// What the host tells the probe: a support and a state, or a failure on the way.
struct ProbeAnswer {
    enum class EKind { State, FrameworkException, ComError };
    int nSupport = 1;
    int nStatus = FeatureStateOff;
    EKind kind = EKind::State;
};

inline ProbeAnswer StateAnswer(int nSupport, int nStatus) {
    return ProbeAnswer{nSupport, nStatus, ProbeAnswer::EKind::State};
}
inline ProbeAnswer FailingAnswer(ProbeAnswer::EKind kind) {
    return ProbeAnswer{0, 0, kind};
}

// A feature of its own: off, on and disabled images, captions from its name, a set worker that reads the
// state once, and a probe that takes the test's next answer.
class CProbeButton : public CDeckFeatureButton {
public:
    explicit CProbeButton(LPCWSTR pszKey = kKey) {
        m_strKey = pszKey;
        m_strName = L"Test feature";
        m_strOnTip = L"Test feature: On";
        m_strOffTip = L"Test feature: Off";
        m_strTip = m_strOffTip;
    }
    // The probe may still wait for an answer: it gets one, and the button outlives it.
    ~CProbeButton() override {
        Answer(StateAnswer(m_nSupport, m_nStatus));
        WaitForWorkers();
    }

    bool Init(CWnd* pParent) override { return SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0); }

    int DoJudgeSupportCallback() override {
        m_nProbeThread = GetCurrentThreadId();
        const ProbeAnswer answer = NextAnswer();
        switch (answer.kind) {
        case ProbeAnswer::EKind::FrameworkException:
            throw new CException;
        case ProbeAnswer::EKind::ComError:
            throw _com_error(E_FAIL);
        case ProbeAnswer::EKind::State:
            break;
        }
        m_nSupport = answer.nSupport;
        m_nStatus = answer.nStatus;
        SetButtonStatusIcon(answer.nStatus);
        return answer.nSupport;
    }

    void ClicktoSwitch() override {
        if (m_bInited != 1 || m_bDisabled != 0) {
            return;
        }
        m_nStatus = m_nStatus == FeatureStateOn ? FeatureStateOff : FeatureStateOn;
        SetButtonStatusIcon(m_nStatus);
        StartButtonThread(SetWorker, this);
    }

    void SetButtonStatusIcon(int nState) {
        switch (nState) {
        case FeatureStateOff:
            SetIconState(kOffPng, FeatureStateOff);
            m_strTip = m_strOffTip;
            m_strCaption = L"Test feature off";
            break;
        case FeatureStateOn:
            SetIconState(kOnPng, FeatureStateOn);
            m_strTip = m_strOnTip;
            m_strCaption = L"Test feature on";
            break;
        case FeatureStateDisabled:
            SetIconState(kDisabledPng, FeatureStateDisabled);
            m_strCaption = m_strName + L" " + g_strDisabled;
            m_strTip = m_strName + L": " + g_strDisabled;
            break;
        default:
            break;
        }
        SetNarratorText(L"%s.", m_strCaption.Get().GetString());
    }

    // The host's next answer to the probe, from any thread.
    void Answer(const ProbeAnswer& answer) {
        {
            const std::lock_guard lock(m_lock);
            m_answers.push_back(answer);
        }
        m_changed.notify_all();
    }

    // From another thread: returns once the button's window is being destroyed, or the wait is long.
    bool WaitUntilDestroying() {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, kLongWait, [this] { return m_bDestroying; });
    }

    using CDeckFeatureButton::WaitForWorkers;

    std::atomic<DWORD> m_nProbeThread = 0;
    std::atomic<int> m_nSetWorkerState = -1; // the state the last set worker read
    std::atomic<int> m_nSetWorkers = 0;
    std::atomic<bool> m_bSetWorkerFails = false;

protected:
    void OnDestroy() {
        {
            const std::lock_guard lock(m_lock);
            m_bDestroying = true;
        }
        m_changed.notify_all();
        CDeckFeatureButton::OnDestroy();
    }
    DECLARE_MESSAGE_MAP()

private:
    ProbeAnswer NextAnswer() {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [this] { return !m_answers.empty(); });
        const ProbeAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    static unsigned __stdcall SetWorker(void* pParam) {
        auto* pButton = static_cast<CProbeButton*>(pParam);
        pButton->m_nSetWorkerState = pButton->m_nStatus.load();
        ++pButton->m_nSetWorkers;
        if (pButton->m_bSetWorkerFails) {
            throw _com_error(E_FAIL);
        }
        return 0;
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<ProbeAnswer> m_answers;
    bool m_bDestroying = false;
};

// What the grid does for the tests: it counts the WM_SIZE (0, 0) its buttons send, noting on which thread
// and what the button had done by then, hides a button that lost its support, and routes clicks.
class CGridStandIn : public CWnd {
public:
    struct SizeRequest {
        DWORD nThread;
        BYTE bInited;
        int nSupport;
        bool bCacheHadSupport;
    };

    CProbeButton* m_pButton = nullptr;
    std::vector<SizeRequest> m_sizeRequests;
    int m_nClicks = 0;

protected:
    void OnSize(UINT nType, int cx, int cy) {
        if (nType != 0 || cx != 0 || cy != 0 || !m_pButton) {
            return;
        }
        int nCached = 0;
        const bool bCached = ReadIniInt(kKey, L"support", GetShowExCfgPath().c_str(), nCached);
        m_sizeRequests.push_back({GetCurrentThreadId(), m_pButton->m_bInited, m_pButton->m_nSupport,
                                  bCached && nCached == m_pButton->m_nSupport});
        if (m_pButton->m_hWnd && m_pButton->m_nSupport <= 0) {
            m_pButton->ShowWindow(SW_HIDE);
        }
    }
    void OnButtonClicked() {
        ++m_nClicks;
        if (m_pButton) {
            m_pButton->ClicktoSwitch();
        }
    }
    DECLARE_MESSAGE_MAP()
};

// A grid stand-in at (100, 100) with a button 60 wide and 48 (or the height given) high at (20, 10), square
// once it has its images.
class CFeatureButtonTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        m_strCachePath = GetShowExCfgPath().c_str(); // also makes its folder on this machine
    }
    void TearDown() override {
        if (m_button.m_hWnd) {
            SetClassCursor(&m_button, IDC_ARROW); // the class cursor is every button's
            m_button.Answer(StateAnswer(m_button.m_nSupport, m_button.m_nStatus));
            m_button.DestroyWindow();
        }
        CControlWindowTest::TearDown();
    }

    CGridStandIn& MakeGrid() {
        if (!m_grid.m_hWnd) {
            EXPECT_TRUE(m_grid.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 220},
                                        nullptr, 0));
            m_grid.m_pButton = &m_button;
        }
        return m_grid;
    }
    CProbeButton& MakeButton(int nHeight = 48) {
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 80, 10 + nHeight}, &MakeGrid(), kButtonId));
        return m_button;
    }
    // The button made and initialised; its probe waits for an answer.
    CProbeButton& MakeInitialisedButton(int nHeight = 48) {
        CProbeButton& button = MakeButton(nHeight);
        EXPECT_TRUE(button.Init(&m_grid));
        return button;
    }
    // Answers the probe and runs the messages until it has finished.
    bool FinishProbe(const ProbeAnswer& answer) {
        m_button.Answer(answer);
        return controls_test::PumpUntil([this] { return m_button.m_bInited == 1; });
    }

    void WriteCache(LPCWSTR pszKey, LPCWSTR pszValue, LPCWSTR pszSection = kKey) const {
        ASSERT_TRUE(WritePrivateProfileStringW(pszSection, pszKey, pszValue, m_strCachePath));
    }
    std::optional<int> CachedValue(LPCWSTR pszKey, LPCWSTR pszSection = kKey) const {
        int nValue = 0;
        if (!ReadIniInt(pszSection, pszKey, m_strCachePath, nValue)) {
            return std::nullopt;
        }
        return nValue;
    }
    // The four cached values, or nullopt where a key is missing.
    std::vector<std::optional<int>> CachedState(LPCWSTR pszSection = kKey) const {
        return {CachedValue(L"support", pszSection), CachedValue(L"status", pszSection),
                CachedValue(L"StatusIconID", pszSection), CachedValue(L"StateIconType", pszSection)};
    }

    CString m_strCachePath;
    CGridStandIn m_grid;
    CProbeButton m_button;
};

// Where the round paint puts things on a square button, in pixels.
struct RoundPaint {
    int nSize;                  // client width and height
    Gdiplus::REAL fDiameter;    // d = size - 1: the circle spans 0 to d
    Gdiplus::REAL fHoverOrigin; // -e, e = d / 10 in whole pixels: the hover circle spans -e to d + e
    Gdiplus::REAL fHoverSize;   // d + 2e
};

// The icon's square: its left and top, and its side.
struct IconSquare {
    Gdiplus::REAL fOffset;
    Gdiplus::REAL fSide;
};

constexpr RoundPaint kRound48{48, 47, -4, 55};
constexpr RoundPaint kRound50{50, 49, -4, 57};
// d/16 and 14/16 of d, and (1 - scale)/2 of d and scale x d, for d = 47 and 49.
constexpr IconSquare kDefaultIcon48{2.9375f, 41.125f};
constexpr IconSquare kDefaultIcon50{3.0625f, 42.875f};
constexpr IconSquare kIcon48At065{8.225f, 30.55f};
constexpr IconSquare kIcon48At150{-11.75f, 70.5f};

// What the button paints: the panel colour, the circle, the icon (none without an id), then the hover shade.
inline void DrawExpectedButton(gdi_test::CSurface& surface, const RoundPaint& paint, COLORREF crCircle,
                               int nPngId, const IconSquare& icon, bool bHover = false) {
    const RECT all{0, 0, paint.nSize, paint.nSize};
    const HBRUSH hPanel = CreateSolidBrush(kPanelBackground);
    FillRect(surface.Dc(), &all, hPanel);
    DeleteObject(hPanel);
    Gdiplus::Graphics graphics(surface.Dc());
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    const Gdiplus::SolidBrush circle(
        Gdiplus::Color(GetRValue(crCircle), GetGValue(crCircle), GetBValue(crCircle)));
    graphics.FillEllipse(&circle, 0.0f, 0.0f, paint.fDiameter, paint.fDiameter);
    if (nPngId) {
        Gdiplus::Bitmap* pIcon = nullptr;
        ASSERT_TRUE(LoadPngFromResource(nPngId, &pIcon));
        graphics.DrawImage(pIcon, icon.fOffset, icon.fOffset, icon.fSide, icon.fSide);
        delete pIcon;
    }
    if (bHover) {
        const Gdiplus::SolidBrush shade{Gdiplus::Color(0x06000000u)};
        graphics.FillEllipse(&shade, Gdiplus::RectF(paint.fHoverOrigin, paint.fHoverOrigin, paint.fHoverSize,
                                                    paint.fHoverSize));
    }
}

} // namespace features_test
