#include "features/BatteryChargeThresholdBtn.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/power.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "services/PowerStatusInfo.h"
#include "services/ResourceStrings.h"

namespace {

// What the host is given when the first threshold text does not scan.
const wchar_t kDefaultArgument1[] = L"1,75,80";
const wchar_t kDefaultArgument2[] = L"2,75,80";
// What switching off sends: the batteries' numbers alone.
const wchar_t kOffArgument1[] = L"1";
const wchar_t kOffArgument2[] = L"2";

constexpr int kThresholdFields = 3;
constexpr size_t kMaxThresholdText = 19;
constexpr size_t kArgumentFieldSize = 9; // with its end
constexpr int kPercentStep = 5;
constexpr BYTE kFullCharge = 100;

bool IsTrue(const char* pszText) {
    return pszText && IsEqualNoCaseA(pszText, "true");
}

// The number the element's text starts with, as atoi reads it (0 without one, the int's limits beyond
// them); rounded down to the threshold's step.
int PercentOf(const TiXmlElement* pElement) {
    const char* pszText = GetElementText(pElement);
    const long long nNumber = pszText ? std::strtoll(pszText, nullptr, 10) : 0;
    const int nPercent = static_cast<int>(std::clamp<long long>(nNumber, INT_MIN, INT_MAX));
    return nPercent / kPercentStep * kPercentStep;
}

// The threshold element's text, when it says whether it is on.
bool ReadThreshold(const TiXmlElement* pThreshold, int nIndex, bool& bEnabled, std::string& strText) {
    const TiXmlElement* pEnabled = pThreshold ? pThreshold->FirstChildElement("IsEnabled") : nullptr;
    if (!pEnabled) {
        return false;
    }
    bEnabled = IsTrue(GetElementText(pEnabled));
    CBatteryChargeThresholdBtn::FormatChargeThresholdText(strText, nIndex,
                                                          pThreshold->FirstChildElement("StartValue"),
                                                          pThreshold->FirstChildElement("StopValue"));
    return true;
}

// The first status element's settings decide; the later ones can only add a running reset.
int ReadResetRunning(const TiXmlElement* pFirstStatus) {
    int nResetRunning = 0;
    for (const TiXmlElement* pStatus = pFirstStatus; pStatus;
         pStatus = pStatus->NextSiblingElement("BatteryResetStatus")) {
        for (const TiXmlElement* pSetting = pStatus->FirstChildElement("Setting"); pSetting;
             pSetting = pSetting->NextSiblingElement("Setting")) {
            const char* pszKey = pSetting->Attribute("key");
            if (!pszKey || !IsEqualNoCaseA(pszKey, "IsResetRunning")) {
                continue;
            }
            const bool bRunning = IsTrue(GetElementText(pSetting));
            nResetRunning = bRunning || (pStatus != pFirstStatus && nResetRunning == 1) ? 1 : 0;
        }
    }
    return nResetRunning;
}

// The set workers' turns (see SetChargeThreshold).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

CBatteryChargeThresholdBtn::CBatteryChargeThresholdBtn() {
    m_strKey = L"BatteryChargeThreshold";
    LoadResString(m_strName, L"Battery charge threshold", 457);
    LoadResString(m_strOnTip, L"Battery charge threshold: On", 502);
    LoadResString(m_strOffTip, L"Battery charge threshold: Off", 503);
    m_strTip = m_strOffTip;
}

CBatteryChargeThresholdBtn::~CBatteryChargeThresholdBtn() {
    WaitForWorkers();
}

bool CBatteryChargeThresholdBtn::Init(CWnd* pParent) {
    return SetChargeCareImages(*this, pParent);
}

bool CBatteryChargeThresholdBtn::SetChargeCareImages(CDeckFeatureButton& button, CWnd* pParent) {
    button.SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    return true;
}

int CBatteryChargeThresholdBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CBatteryChargeThresholdBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return m_nSupport;
    }
    if (!IsPowerManagerRunning()) {
        m_nSupport = 0;
        WriteLog(L"[BCT Voltaro.exe error or not running ---> dont support]");
        return m_nSupport;
    }
    m_bBatteryError = IsBatteryMissing() ? 1 : 0;
    const ContractAnswer capability =
        ContractAnswerOf([] { return g_pContractInterface->IsSupportBatteryEx(); });
    if (!capability) {
        WriteLog(L"[BCT IsSupportBatteryEx response is null]");
        return m_nSupport;
    }
    WriteLog(L"[BCT IsSupportBatteryEx  resonse:%s]", static_cast<const wchar_t*>(capability));
    int nSupported = 0;
    m_nSupport = ParseChargeThresholdCapability(capability, nSupported) ? nSupported : 0;
    if (m_nSupport == 1) {
        ReadThresholdStatus();
    }
    return m_nSupport;
}

void CBatteryChargeThresholdBtn::ReadThresholdStatus() {
    const ContractAnswer status =
        ContractAnswerOf([] { return g_pContractInterface->GetChargeThresholdStatusEx(); });
    if (!status) {
        WriteLog(L"[BCT GetChargeThresholdStatusEx response is null]");
        return;
    }
    WriteLog(L"[BCT GetChargeThresholdStatusEx  resonse:%s]", static_cast<const wchar_t*>(status));
    // A status that does not parse clears all four: the button then shows off.
    int nResetRunning = 0;
    int nEnabled = 0;
    std::string strThreshold1;
    std::string strThreshold2;
    ParseChargeThresholdSettings(status, nResetRunning, nEnabled, strThreshold1, strThreshold2);
    m_nResetRunning = nResetRunning;
    m_nEnabled = nEnabled;
    SetThresholdTexts(strThreshold1, strThreshold2);
    SetButtonStatusIcon(nEnabled);
}

void CBatteryChargeThresholdBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0 || m_nResetRunning != 0 || m_bBatteryError != 0) {
        return;
    }
    const int nEnabled = m_nEnabled == 0 ? 1 : 0;
    m_nEnabled = nEnabled;
    m_nStatus = nEnabled;
    SetButtonStatusIcon(nEnabled);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.BatteryChargeThreshold", nEnabled == 1 ? L"On" : L"Off",
                     L"Features.Toolbar.Flipdecks");
    StartButtonThread(SetChargeThreshold, this);
}

void CBatteryChargeThresholdBtn::SetButtonStatusIcon(int nState) {
    SetPowerStatusInfoBit(PowerStatusInfoChargeThreshold, nState != 0 ? FeatureStateOn : FeatureStateOff);
    m_nStatus = nState;
    CString strCaption;
    if (m_nResetRunning == 1 || m_bBatteryError == 1) {
        SetIconState(kDisabledPng, FeatureStateDisabled);
        m_strCaption = m_strName + L" " + g_strDisabled;
        m_strTip = m_strName;
    } else if (nState != 0) {
        SetIconState(kOnPng, FeatureStateOn);
        LoadResString(strCaption, L"Battery charge threshold on", 458);
        m_strCaption = strCaption;
        m_strTip = m_strOnTip;
    } else {
        SetIconState(kOffPng, FeatureStateOff);
        LoadResString(strCaption, L"Battery charge threshold off", 459);
        m_strCaption = strCaption;
        m_strTip = m_strOffTip;
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

unsigned __stdcall CBatteryChargeThresholdBtn::SetChargeThreshold(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CBatteryChargeThresholdBtn::SetChargeThreshold");
        return static_cast<unsigned>(-1);
    }
    auto& button = *static_cast<CBatteryChargeThresholdBtn*>(pParam);
    const std::lock_guard turn(SetCallLock());
    const int nEnabled = button.m_nEnabled;
    _bstr_t argument1(kOffArgument1);
    _bstr_t argument2(kOffArgument2);
    if (nEnabled == 1) {
        std::string strThreshold1;
        std::string strThreshold2;
        button.GetThresholdTexts(strThreshold1, strThreshold2);
        const int nScanned = BuildChargeThresholdArguments(strThreshold1, argument1);
        BuildChargeThresholdArguments(strThreshold2, argument2);
        if (nScanned != kThresholdFields) {
            argument1 = kDefaultArgument1;
            argument2 = kDefaultArgument2;
            button.SetThresholdTexts(kDefaultThreshold1, kDefaultThreshold2);
        }
    }
    const ContractAnswer answer = ContractAnswerOf(
        [&] { return g_pContractInterface->SetChargeThreshold(nEnabled, argument1, argument2); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetChargeThreshold SetStatus=%d, resonse:%s]", nEnabled, pszAnswer);
    }
    return 0;
}

bool CBatteryChargeThresholdBtn::ParseChargeThresholdCapability(const ContractAnswer& answer,
                                                                int& nSupported) {
    nSupported = 0;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pList = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) ||
        !FindElementInAnswer(pRoot, "CapabilityList", pList, dataDocument)) {
        return false;
    }
    const TiXmlElement* pCapability = FindKeyedChild(pList, "Capability", "key", "BatteryChargeThreshold");
    if (!pCapability) {
        return false;
    }
    nSupported = IsTrue(GetElementText(pCapability)) ? 1 : 0;
    return true;
}

bool CBatteryChargeThresholdBtn::ParseChargeThresholdSettings(const ContractAnswer& answer,
                                                              int& nResetRunning, int& nEnabled,
                                                              std::string& strThreshold1,
                                                              std::string& strThreshold2) {
    nResetRunning = 0;
    nEnabled = 0;
    strThreshold1.clear();
    strThreshold2.clear();
    TiXmlDocument document;
    TiXmlDocument thresholdDocument;
    TiXmlDocument resetDocument;
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pThreshold = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) ||
        !FindElementInAnswer(pRoot, "BatteryChargeThreshold", pThreshold, thresholdDocument)) {
        return false;
    }
    bool bEnabled = false;
    if (ReadThreshold(pThreshold, 1, bEnabled, strThreshold1)) {
        nEnabled = bEnabled ? 1 : 0;
    }
    if (ReadThreshold(pThreshold->NextSiblingElement("BatteryChargeThreshold"), 2, bEnabled, strThreshold2) &&
        bEnabled) {
        nEnabled = 1;
    }
    const TiXmlElement* pResetStatus = nullptr;
    if (!FindElementInAnswer(pRoot, "BatteryResetStatus", pResetStatus, resetDocument)) {
        return !strThreshold1.empty() || !strThreshold2.empty();
    }
    nResetRunning = ReadResetRunning(pResetStatus);
    return true;
}

void CBatteryChargeThresholdBtn::FormatChargeThresholdText(std::string& strText, int nIndex,
                                                           const TiXmlElement* pStart,
                                                           const TiXmlElement* pStop) {
    strText = std::to_string(nIndex) + "-[" + std::to_string(PercentOf(pStart)) + "% - " +
              std::to_string(PercentOf(pStop)) + "%]";
    strText.resize(std::min(strText.size(), kMaxThresholdText));
}

int CBatteryChargeThresholdBtn::BuildChargeThresholdArguments(const std::string& strThreshold,
                                                              _bstr_t& argument) {
    argument = L"";
    if (strThreshold.empty()) {
        return 0;
    }
    char szIndex[kArgumentFieldSize] = {};
    char szStart[kArgumentFieldSize] = {};
    char szStop[kArgumentFieldSize] = {};
    const int nScanned =
        std::sscanf(strThreshold.c_str(), "%8[^-]%*2c%8[^%]%*4c%8[^%]", szIndex, szStart, szStop);
    argument = (std::string(szIndex) + "," + szStart + "," + szStop).c_str();
    return std::max(nScanned, 0);
}

void CBatteryChargeThresholdBtn::GetThresholdTexts(std::string& strThreshold1,
                                                   std::string& strThreshold2) const {
    const std::lock_guard lock(m_thresholdLock);
    strThreshold1 = m_strThreshold1;
    strThreshold2 = m_strThreshold2;
}

void CBatteryChargeThresholdBtn::SetThresholdTexts(const std::string& strThreshold1,
                                                   const std::string& strThreshold2) {
    const std::lock_guard lock(m_thresholdLock);
    m_strThreshold1 = strThreshold1;
    m_strThreshold2 = strThreshold2;
}

bool CBatteryChargeThresholdBtn::IsBatteryMissing() {
    SYSTEM_POWER_STATUS status{};
    return !GetSystemPowerStatus(&status) || status.BatteryFlag == BATTERY_FLAG_NO_BATTERY ||
           status.BatteryFlag == BATTERY_FLAG_UNKNOWN || status.BatteryLifePercent > kFullCharge;
}
