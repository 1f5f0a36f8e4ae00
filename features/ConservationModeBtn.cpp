#include "features/ConservationModeBtn.h"

#include <string_view>

#include "features/BatteryChargeMode.h"
#include "features/BatteryChargeThresholdBtn.h"
#include "services/ContractClient.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/PowerStatusInfo.h"

namespace {

const CChargeModeBtn::SChargeMode kConservationMode = {
    L"ConservationMode",
    L"Features.Toolbar.Flipdecks.ConservationMode",
    "Storage",
    CBatteryChargeMode::ModeConservation,
    PowerStatusInfoConservationMode,
    CConservationModeBtn::SetConservationMode,
    CBatteryChargeThresholdBtn::kOffPng,
    CBatteryChargeThresholdBtn::kOnPng,
    CBatteryChargeThresholdBtn::kDisabledPng,
    L"Conservation mode",
    444,
    L"Conservation mode: On",
    496,
    L"Conservation mode: Off",
    497,
    L"Conservation mode on",
    445,
    L"Conservation mode off",
    446,
};

bool IsTrue(const char* pszText) {
    return pszText && IsEqualNoCaseA(pszText, "true");
}

} // namespace

CConservationModeBtn::CConservationModeBtn() : CChargeModeBtn(kConservationMode) {}

int CConservationModeBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CConservationModeBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return -1;
    }
    if (CBatteryChargeThresholdBtn::IsBatteryMissing()) {
        m_nSupport = 0;
        WriteLog(L"[CM BatteryStatus is error. not support]");
        return 0;
    }
    const ContractAnswer capability =
        ContractAnswerOf([] { return g_pContractInterface->IsSupportBatteryEx(); });
    if (!capability) {
        m_nSupport = 0;
        WriteLog(L"[CM IsSupportBatteryEx response is null]");
        return -2;
    }
    WriteLog(L"[CM IsSupportBatteryEx  resonse:%s]", static_cast<const wchar_t*>(capability));
    int nSupported = 0;
    if (!ParseConservationModeCapability(capability, nSupported)) {
        m_nSupport = 0;
        WriteLog(L"[don't support ConservationMode!]");
        return 0;
    }
    const ContractAnswer settings =
        ContractAnswerOf([] { return g_pContractInterface->GetBatteryChargeModeEx(); });
    if (!settings) {
        m_nSupport = 0;
        WriteLog(L"[GetBatteryChargeModeEx response is null]");
        return -2;
    }
    WriteLog(L"[GetBatteryChargeModeEx  resonse:%s]", static_cast<const wchar_t*>(settings));
    TakeChargeModeSettings(settings);
    return 0;
}

unsigned __stdcall CConservationModeBtn::SetConservationMode(void* pParam) {
    auto& button = *static_cast<CConservationModeBtn*>(pParam);
    ContractAnswer answer;
    int nMode = 0;
    const int nResult = button.SetChargeMode(L"CConservationModeBtn::SetConservationMode", answer, nMode);
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetConservationMode nSetState=%d, resonse:%s]", nMode, pszAnswer);
    }
    return static_cast<unsigned>(nResult);
}

bool CConservationModeBtn::ParseConservationModeCapability(const ContractAnswer& answer, int& nSupported) {
    nSupported = 0;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = FindAnswerElement(answer, "CapabilityList", document, dataDocument);
    if (!pList) {
        return false;
    }
    bool bStorage = false;
    bool bLimited = false;
    for (const TiXmlElement* pCapability = pList->FirstChildElement("Capability"); pCapability;
         pCapability = pCapability->NextSiblingElement("Capability")) {
        const char* pszKey = pCapability->Attribute("key");
        const std::string_view key = pszKey ? pszKey : "";
        if (key == "ChargeMode-Storage") {
            bStorage = IsTrue(GetElementText(pCapability));
        } else if (key == "ChargeMode-StorageLimited") {
            bLimited = IsTrue(GetElementText(pCapability));
        }
    }
    nSupported = bStorage && !bLimited ? 1 : 0;
    return nSupported == 1;
}
