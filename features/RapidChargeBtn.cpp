#include "features/RapidChargeBtn.h"

#include "features/BatteryChargeMode.h"
#include "features/BatteryChargeThresholdBtn.h"
#include "services/ContractClient.h"
#include "services/Log.h"
#include "services/PowerStatusInfo.h"

namespace {

constexpr int kOnPng = 376;
constexpr int kOffPng = 377;
constexpr int kDisabledPng = 378;

const CChargeModeBtn::SChargeMode kRapidCharge = {
    L"RapidCharge",
    L"Features.Toolbar.Flipdecks.RapidCharge",
    "Quick",
    CBatteryChargeMode::ModeRapidCharge,
    PowerStatusInfoRapidCharge,
    CRapidChargeBtn::SetRapidCharge,
    kOffPng,
    kOnPng,
    kDisabledPng,
    L"Rapid charge",
    441,
    L"Rapid charge: On",
    494,
    L"Rapid charge: Off",
    495,
    L"Rapid charge on",
    442,
    L"Rapid charge off",
    443,
};

} // namespace

CRapidChargeBtn::CRapidChargeBtn() : CChargeModeBtn(kRapidCharge) {}

int CRapidChargeBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CRapidChargeBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return -1;
    }
    if (CBatteryChargeThresholdBtn::IsBatteryMissing()) {
        m_nSupport = 0;
        WriteLog(L"[CRapidChargeBtn BatteryStatus is error. not support]");
        return 0;
    }
    const ContractAnswer settings =
        ContractAnswerOf([] { return g_pContractInterface->GetBatteryChargeModeEx(); });
    if (!settings) {
        WriteLog(L"[CRapidChargeBtn GetBatteryChargeModeEx response is null]");
        return -2;
    }
    WriteLog(L"[CRapidChargeBtn GetBatteryChargeModeEx  resonse:%s]", static_cast<const wchar_t*>(settings));
    TakeChargeModeSettings(settings);
    return 0;
}

unsigned __stdcall CRapidChargeBtn::SetRapidCharge(void* pParam) {
    auto& button = *static_cast<CRapidChargeBtn*>(pParam);
    ContractAnswer answer;
    int nMode = 0;
    const int nResult = button.SetChargeMode(L"CRapidChargeBtn::SetRapidCharge", answer, nMode);
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetRapidCharge nSetState=%d, resonse:%s]", nMode, pszAnswer);
    }
    return static_cast<unsigned>(nResult);
}
