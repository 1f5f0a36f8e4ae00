#include "app/BatteryStatusDisplay.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cctype>
#include <string_view>

#include "controls/PNGBatteryStatic.h"
#include "features/BatteryChargeMode.h"
#include "features/BatteryChargeThresholdBtn.h"
#include "platform/window.h"
#include "services/ContractClient.h"
#include "services/Log.h"
#include "services/Registry.h"
#include "services/ResourceStrings.h"

namespace {

constexpr BYTE kMainsPower = AC_LINE_ONLINE;
constexpr int kFullCharge = 100;
constexpr DWORD kMonitorDelayMs = 50;
constexpr size_t kTimeTextChars = 256; // 255 characters and the end
// How often a thread waiting for the workers runs the messages sent to it.
constexpr auto kSentMessagesSlice = std::chrono::milliseconds(10);

// The lowest charge of each picture, from the fullest down; below the last one, 145.
struct SChargePicture {
    int nFrom;
    int nImageId;
};
constexpr SChargePicture kChargePictures[] = {{98, 155}, {85, 154}, {75, 153}, {65, 152}, {55, 151},
                                              {45, 150}, {35, 149}, {25, 148}, {15, 147}, {5, 146}};
constexpr int kEmptyPng = 145;

// The words and labels, each the string table's from its first use in the process on.
struct STexts {
    CString strHour = ResString(L"hour", 191);
    CString strHours = ResString(L"hours", 192);
    CString strMinute = ResString(L"minute", 193);
    CString strMinutes = ResString(L"minutes", 194);
    CString strRemainingTime = ResString(L"REMAINING TIME", 195);
    CString strTimeToFull = ResString(L"TIME TO FULL CHARGE", 196);
    CString strNoBattery = ResString(L"No system battery", 197);
    CString strVoltageIncorrect = ResString(L"Battery voltage incorrect", 198);
    CString strBatteryRemaining = ResString(L"Battery remaining", 471);
    CString strBatteryAvailable = ResString(L"Battery available", 472);
};

const STexts& Texts() {
    static const STexts texts;
    return texts;
}

// "H hour(s) M minute(s)", or "M minute(s)" under an hour; the singular only for exactly 1.
CString FormatDuration(unsigned nHours, unsigned nMinutes) {
    const STexts& texts = Texts();
    const CString& strMinuteWord = nMinutes == 1 ? texts.strMinute : texts.strMinutes;
    wchar_t szText[kTimeTextChars] = {};
    if (nHours >= 1) {
        _snwprintf_s(szText, kTimeTextChars, _TRUNCATE, L"%u %s %u %s", nHours,
                     (nHours == 1 ? texts.strHour : texts.strHours).GetString(), nMinutes,
                     strMinuteWord.GetString());
    } else {
        _snwprintf_s(szText, kTimeTextChars, _TRUNCATE, L"%u %s", nMinutes, strMinuteWord.GetString());
    }
    return szText;
}

// The whole number the text begins with, as atoi reads it, held within the int range; 0 without one.
int LeadingNumber(const char* pszText) {
    if (!pszText) {
        return 0;
    }
    while (std::isspace(static_cast<unsigned char>(*pszText))) {
        ++pszText;
    }
    const bool bNegative = *pszText == '-';
    if (*pszText == '-' || *pszText == '+') {
        ++pszText;
    }
    long long nValue = 0;
    for (; *pszText >= '0' && *pszText <= '9'; ++pszText) {
        nValue = std::min<long long>(nValue * 10 + (*pszText - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    nValue = bNegative ? -nValue : nValue;
    return static_cast<int>(std::clamp<long long>(nValue, INT_MIN, INT_MAX));
}

int ChargeCompletionMinutes(const TiXmlElement* pStatus) {
    int nMinutes = 0;
    for (const TiXmlElement* pSetting = pStatus->FirstChildElement("Setting"); pSetting;
         pSetting = pSetting->NextSiblingElement("Setting")) {
        const char* pszKey = pSetting->Attribute("key");
        if (pszKey && std::string_view(pszKey) == "ChargeCompletionTimeinMins") {
            nMinutes = LeadingNumber(GetElementText(pSetting));
        }
    }
    return nMinutes;
}

bool Contains(const std::string& strText, const char* pszWord) {
    return strText.find(pszWord) != std::string::npos;
}

} // namespace

int CBatteryStatusDisplay::ReadAirplaneModeEvent() {
    const HANDLE hEvent = OpenEventW(SYNCHRONIZE, TRUE, L"Global\\VoltaroActivateAirplaneModeEvent");
    if (!hEvent) {
        return 0;
    }
    const int nOn = WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0 ? 1 : 0;
    CloseHandle(hEvent);
    return nOn;
}

struct CBatteryStatusDisplay::CWorkerStart {
    std::shared_ptr<CBatteryStatusDisplay> pDisplay;
    int (CBatteryStatusDisplay::*pfnWork)();
};

CBatteryStatusDisplay::~CBatteryStatusDisplay() {
    if (m_hRefreshEvent) {
        CloseHandle(m_hRefreshEvent);
    }
}

void CBatteryStatusDisplay::Attach(CPNGBatteryStatic* pBattery, const CString& strHeading, int nBrand,
                                   std::shared_ptr<CPowerManagerLib> pPowerManagerLib) {
    {
        const std::lock_guard lock(m_pictureLock);
        m_pBattery = pBattery;
    }
    m_strHeading = strHeading;
    m_nBrand = nBrand;
    m_pPowerManagerLib = std::move(pPowerManagerLib);
    m_pContract = g_pContractInterface;
}

void CBatteryStatusDisplay::Close(DWORD dwBoundMs) {
    m_bClosing = 1;
    m_bStopRefresh = 1;
    SignalRefresh();
    {
        std::unique_lock lock(m_pictureLock);
        m_pBattery = nullptr;
        while (!m_pictureFree.wait_for(lock, kSentMessagesSlice, [this] { return m_nPictureUsers == 0; })) {
            lock.unlock();
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
            lock.lock();
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwBoundMs);
    std::unique_lock lock(m_workersLock);
    while (!m_workersDone.wait_for(lock, kSentMessagesSlice, [this] { return m_nWorkers == 0; }) &&
           std::chrono::steady_clock::now() < deadline) {
        lock.unlock();
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        lock.lock();
    }
}

void CBatteryStatusDisplay::RequestRefresh() {
    if (m_bClosing) {
        return;
    }
    m_nAirplaneOn = ReadAirplaneModeEvent();
    const std::lock_guard lock(m_eventLock);
    if (m_hRefreshEvent) {
        SetEvent(m_hRefreshEvent);
        return;
    }
    m_hRefreshEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hRefreshEvent && !BeginDetachedThread(&CBatteryStatusDisplay::RefreshLoop)) {
        CloseHandle(m_hRefreshEvent);
        m_hRefreshEvent = nullptr;
    }
}

void CBatteryStatusDisplay::SignalRefresh() {
    const std::lock_guard lock(m_eventLock);
    if (m_hRefreshEvent) {
        SetEvent(m_hRefreshEvent);
    }
}

int CBatteryStatusDisplay::RefreshLoop() {
    HANDLE hEvent = nullptr;
    {
        const std::lock_guard lock(m_eventLock);
        hEvent = m_hRefreshEvent;
    }
    while (hEvent && !m_bStopRefresh) {
        if (WaitForSingleObject(hEvent, INFINITE) != WAIT_OBJECT_0 || m_bStopRefresh) {
            break;
        }
        ResetEvent(hEvent);
        UpdateBatteryInfo();
    }
    return 0;
}

void CBatteryStatusDisplay::UpdateBatteryInfo() {
    if (m_bClosing || m_nUpdateRequests.fetch_add(1) != 0) {
        return;
    }
    int nTaken = 1;
    do {
        UpdateOnce();
        nTaken = m_nUpdateRequests.fetch_sub(nTaken) - nTaken;
    } while (nTaken != 0 && !m_bClosing);
    if (nTaken != 0) {
        m_nUpdateRequests -= nTaken;
    }
}

void CBatteryStatusDisplay::UpdateOnce() {
    SYSTEM_POWER_STATUS status{};
    if (!GetSystemPowerStatus(&status)) {
        ShowUnreadable();
        return;
    }
    int nImageId = kUnreadablePng;
    CString strError;
    const bool bLevel = SelectBatteryImage(status, nImageId, strError);
    CString strNarrator;
    CString texts[3]; // the percentage, the time and its label
    if (bLevel) {
        texts[0].Format(L"%d", static_cast<int>(status.BatteryLifePercent));
        CString strStatus;
        FormatRemainingTime(status, texts[2], texts[1], strStatus);
        // The line is read out with the latest percentage, unless that one is no level.
        SYSTEM_POWER_STATUS latest{};
        if (GetSystemPowerStatus(&latest) && latest.BatteryLifePercent <= kFullCharge) {
            status = latest;
        }
        strNarrator.Format(L"%s. %d%s %s. %s. %s", m_strHeading.GetString(),
                           static_cast<int>(status.BatteryLifePercent), L"%", strStatus.GetString(),
                           texts[2].GetString(), texts[1].GetString());
    } else {
        strNarrator = strError;
        texts[0] = strError;
    }
    int nOverlayId = kNoBadge;
    SelectModeBadge(status.ACLineStatus == kMainsPower, nOverlayId);
    Show(nImageId, nOverlayId, strNarrator, texts, bLevel);
}

void CBatteryStatusDisplay::ShowUnreadable() {
    CPNGBatteryStatic* pBattery = EnterPicture();
    if (!pBattery) {
        return;
    }
    pBattery->SetImages(kUnreadablePng, kNoBadge);
    pBattery->Invalidate();
    LeavePicture();
}

void CBatteryStatusDisplay::Show(int nImageId, int nOverlayId, const CString& strNarrator,
                                 const CString* pTexts, bool bThreeTexts) {
    CPNGBatteryStatic* pBattery = EnterPicture();
    if (!pBattery) {
        return;
    }
    pBattery->SetNarratorText(strNarrator);
    if (bThreeTexts) {
        pBattery->SetTexts(pTexts[0], pTexts[1], pTexts[2]);
    } else {
        pBattery->SetText(pTexts[0]);
    }
    pBattery->SetImages(nImageId, nOverlayId);
    pBattery->Invalidate();
    LeavePicture();
}

CPNGBatteryStatic* CBatteryStatusDisplay::EnterPicture() {
    const std::lock_guard lock(m_pictureLock);
    if (m_pBattery) {
        ++m_nPictureUsers;
    }
    return m_pBattery;
}

void CBatteryStatusDisplay::LeavePicture() {
    const std::lock_guard lock(m_pictureLock);
    if (--m_nPictureUsers == 0) {
        m_pictureFree.notify_all();
    }
}

bool CBatteryStatusDisplay::SelectBatteryImage(const SYSTEM_POWER_STATUS& status, int& nImageId,
                                               CString& strError) {
    strError.Empty();
    nImageId = kUnreadablePng;
    if (status.BatteryFlag == BATTERY_FLAG_NO_BATTERY) {
        nImageId = kNoBatteryPng;
        strError = Texts().strNoBattery;
        return false;
    }
    if (status.BatteryFlag == BATTERY_FLAG_UNKNOWN || status.BatteryLifePercent > kFullCharge) {
        nImageId = kBatteryUnknownPng;
        strError = Texts().strVoltageIncorrect;
        return false;
    }
    nImageId = kEmptyPng;
    for (const SChargePicture& picture : kChargePictures) {
        if (status.BatteryLifePercent >= picture.nFrom) {
            nImageId = picture.nImageId;
            break;
        }
    }
    return true;
}

void CBatteryStatusDisplay::SelectModeBadge(bool bCharging, int& nOverlayId) const {
    if (!bCharging) {
        if (m_nAirplaneOn == 1) {
            nOverlayId = kAirplaneBadge;
        }
        return;
    }
    nOverlayId = kChargingBadge;
    if (m_nAirplaneOn == 1) {
        nOverlayId = kChargingAirplaneBadge;
    } else if (m_nRapidOn == 1) {
        nOverlayId = kChargingRapidBadge;
    } else if (m_nConservationOn == 1 || m_nThresholdEnabled == 1) {
        nOverlayId = kChargingCareBadge;
    }
}

bool CBatteryStatusDisplay::FormatRemainingTime(const SYSTEM_POWER_STATUS& status, CString& strLabel,
                                                CString& strTime, CString& strStatus) {
    const STexts& texts = Texts();
    if (status.ACLineStatus != kMainsPower) {
        if (status.BatteryLifeTime != BATTERY_LIFE_UNKNOWN && m_bDelayShowRemainTime == 0) {
            const DWORD dwSeconds = status.BatteryLifeTime;
            strTime = FormatDuration(dwSeconds / 3600, dwSeconds % 3600 / 60);
            strLabel = texts.strRemainingTime;
        }
        strStatus = texts.strBatteryRemaining;
        return true;
    }
    int nMinutes = 0;
    if (MinutesToFullCharge(nMinutes) && nMinutes > 0) {
        strTime = FormatDuration(static_cast<unsigned>(nMinutes) / 60, static_cast<unsigned>(nMinutes) % 60);
        strLabel = texts.strTimeToFull;
    }
    strStatus = texts.strBatteryAvailable;
    return true;
}

bool CBatteryStatusDisplay::MinutesToFullCharge(int& nMinutes) {
    nMinutes = 0;
    if (m_pPowerManagerLib && m_nBrand == 1) {
        m_pPowerManagerLib->GetTotalBatteryValue(nMinutes);
        return true;
    }
    if (!m_pContract || m_bChargeTimeReady == 0) {
        return false;
    }
    const ContractAnswer answer = ContractAnswerOf([this] { return m_pContract->GetBatteryStatus(); });
    int nFirst = 0;
    int nSecond = 0;
    if (ParseBatteryStatusAnswer(answer, nFirst, nSecond)) {
        // A negative time counts as none.
        nMinutes = static_cast<int>(
            std::min<long long>(static_cast<long long>(std::max(nFirst, 0)) + std::max(nSecond, 0), INT_MAX));
    }
    return true;
}

bool CBatteryStatusDisplay::ReadDelayShowRemainTime() {
    CRegistry key;
    DWORD dwValue = 0;
    if (key.OpenToolbarKey() && key.QueryDwordValue(L"DelayShowRemainTime", dwValue)) {
        m_bDelayShowRemainTime = dwValue != 0 ? 1 : 0;
    }
    return m_bDelayShowRemainTime != 0;
}

void CBatteryStatusDisplay::ReadPowerStatusInfo(bool bDelay) {
    if (m_bClosing) {
        return;
    }
    if (bDelay) {
        Sleep(kMonitorDelayMs);
    }
    CRegistry key;
    DWORD dwValue = 0;
    if (!key.OpenToolbarKey() || !key.QueryDwordValue(L"PowerStatusInfo", dwValue)) {
        return;
    }
    m_nAirplaneOn = (dwValue >> 0) & 1;
    m_nThresholdEnabled = (dwValue >> 1) & 1;
    m_nConservationOn = (dwValue >> 2) & 1;
    m_nRapidOn = (dwValue >> 3) & 1;
    if (bDelay) {
        SignalRefresh();
    } else {
        UpdateBatteryInfo();
    }
}

int CBatteryStatusDisplay::JudgeChargeThreshold() {
    if (!m_pContract) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CBatteryTimeInfoDlg::JudgeChargeThreshold");
        return -1;
    }
    const ContractAnswer capability = ContractAnswerOf([this] { return m_pContract->IsSupportBatteryEx(); });
    if (!capability) {
        return -2;
    }
    int nSupported = 0;
    if (!CBatteryChargeThresholdBtn::ParseChargeThresholdCapability(capability, nSupported) ||
        nSupported != 1) {
        return 0;
    }
    const ContractAnswer status =
        ContractAnswerOf([this] { return m_pContract->GetChargeThresholdStatusEx(); });
    if (!status) {
        return -2;
    }
    int nResetRunning = 0;
    int nEnabled = 0;
    std::string strText1;
    std::string strText2;
    CBatteryChargeThresholdBtn::ParseChargeThresholdSettings(status, nResetRunning, nEnabled, strText1,
                                                             strText2);
    m_nThresholdResetRunning = nResetRunning;
    m_nThresholdEnabled = nEnabled;
    SetThresholdTexts(strText1, strText2);
    return 0;
}

int CBatteryStatusDisplay::JudgeConservationMode() {
    return JudgeChargeMode(L"CBatteryTimeInfoDlg::JudgeConservationMode", "Storage", m_bConservationSupported,
                           m_nConservationOn);
}

int CBatteryStatusDisplay::JudgeRapidCharge() {
    const int nResult =
        JudgeChargeMode(L"CBatteryTimeInfoDlg::JudgeRapidCharge", "Quick", m_bRapidSupported, m_nRapidOn);
    if (nResult == 0 && m_bRapidSupported) {
        RequestRefresh();
    }
    return nResult;
}

int CBatteryStatusDisplay::JudgeChargeMode(const wchar_t* pszOperation, const char* pszMode,
                                           std::atomic<BYTE>& bSupported, std::atomic<int>& nOn) {
    if (!m_pContract) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]", pszOperation);
        return -1;
    }
    const ContractAnswer settings =
        ContractAnswerOf([this] { return m_pContract->GetBatteryChargeModeEx(); });
    if (!settings) {
        return -2;
    }
    std::string strSupported;
    std::string strCurrent;
    if (CBatteryChargeMode::ParseBatteryChargeModeSettings(settings, strSupported, strCurrent)) {
        bSupported = Contains(strSupported, pszMode) ? 1 : 0;
        nOn = Contains(strCurrent, pszMode) ? 1 : 0;
    }
    return 0;
}

bool CBatteryStatusDisplay::BeginDetachedThread(int (CBatteryStatusDisplay::*pfnWork)()) {
    {
        const std::lock_guard lock(m_workersLock);
        ++m_nWorkers;
    }
    auto pStart = std::make_unique<CWorkerStart>(CWorkerStart{shared_from_this(), pfnWork});
    const uintptr_t hThread = _beginthreadex(nullptr, 0, WorkerProc, pStart.get(), 0, nullptr);
    if (!hThread) {
        const std::lock_guard lock(m_workersLock);
        --m_nWorkers;
        m_workersDone.notify_all();
        return false;
    }
    pStart.release();
    CloseHandle(reinterpret_cast<HANDLE>(hThread));
    return true;
}

unsigned __stdcall CBatteryStatusDisplay::WorkerProc(void* pParam) {
    const std::unique_ptr<CWorkerStart> pStart(static_cast<CWorkerStart*>(pParam));
    CBatteryStatusDisplay& display = *pStart->pDisplay;
    const int nResult = (display.*pStart->pfnWork)();
    {
        const std::lock_guard lock(display.m_workersLock);
        --display.m_nWorkers;
        display.m_workersDone.notify_all();
    }
    return static_cast<unsigned>(nResult);
}

bool CBatteryStatusDisplay::ParseBatteryStatusAnswer(const ContractAnswer& answer, int& nFirst,
                                                     int& nSecond) {
    nFirst = 0;
    nSecond = 0;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pStatus = FindAnswerElement(answer, "BatteryStatus", document, dataDocument);
    if (!pStatus) {
        return false;
    }
    nFirst = ChargeCompletionMinutes(pStatus);
    if (const TiXmlElement* pSecond = pStatus->NextSiblingElement("BatteryStatus")) {
        nSecond = ChargeCompletionMinutes(pSecond);
    }
    return true;
}

void CBatteryStatusDisplay::GetThresholdTexts(std::string& strText1, std::string& strText2) const {
    const std::lock_guard lock(m_thresholdLock);
    strText1 = m_strThresholdText1;
    strText2 = m_strThresholdText2;
}

void CBatteryStatusDisplay::SetThresholdTexts(const std::string& strText1, const std::string& strText2) {
    const std::lock_guard lock(m_thresholdLock);
    m_strThresholdText1 = strText1;
    m_strThresholdText2 = strText2;
}
