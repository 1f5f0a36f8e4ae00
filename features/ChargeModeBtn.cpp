#include "features/ChargeModeBtn.h"

#include <string>

#include "features/BatteryChargeMode.h"
#include "features/BatteryChargeThresholdBtn.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Log.h"
#include "services/PowerStatusInfo.h"
#include "services/ResourceStrings.h"

CChargeModeBtn::CChargeModeBtn(const SChargeMode& mode) : m_mode(mode) {
    m_strKey = mode.pszKey;
    LoadResString(m_strName, mode.pszName, mode.nNameId);
    LoadResString(m_strOnCaption, mode.pszOnCaption, mode.nOnCaptionId);
    LoadResString(m_strOffCaption, mode.pszOffCaption, mode.nOffCaptionId);
    LoadResString(m_strOnTip, mode.pszOnTip, mode.nOnTipId);
    LoadResString(m_strOffTip, mode.pszOffTip, mode.nOffTipId);
    m_strTip = m_strOffTip;
}

CChargeModeBtn::~CChargeModeBtn() {
    WaitForWorkers();
}

bool CChargeModeBtn::Init(CWnd* pParent) {
    SetImages(pParent, m_mode.nOffPng, m_mode.nOnPng, m_mode.nDisabledPng, 0);
    return true;
}

void CChargeModeBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    m_bSetDone = 0;
    const int nOn = m_nOn == 0 ? 1 : 0;
    m_nOn = nOn;
    m_nStatus = nOn;
    SetButtonStatusIcon(nOn);
    SendFeatureEvent(m_mode.pszEvent, nOn == 1 ? L"On" : L"Off", L"Features.Toolbar.Flipdecks");
    CBatteryChargeMode::QueueSetCall(this);
    if (!StartButtonThread(m_mode.pfnSet, this)) {
        CBatteryChargeMode::DropSetCall(this);
    }
}

void CChargeModeBtn::SetButtonStatusIcon(int nState) {
    SetPowerStatusInfoBit(m_mode.nPowerStatusBit, nState == 1 ? FeatureStateOn : FeatureStateOff);
    switch (nState) {
    case FeatureStateOff:
        SetIconState(m_mode.nOffPng, FeatureStateOff);
        m_strCaption = m_strOffCaption;
        m_strTip = m_strOffTip;
        break;
    case FeatureStateOn:
        SetIconState(m_mode.nOnPng, FeatureStateOn);
        m_strCaption = m_strOnCaption;
        m_strTip = m_strOnTip;
        break;
    case FeatureStateDisabled:
        SetIconState(m_mode.nDisabledPng, FeatureStateDisabled);
        m_strCaption = m_strName + L" " + g_strDisabled;
        m_strTip = m_strName;
        break;
    default:
        break;
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

void CChargeModeBtn::TakeChargeModeSettings(const ContractAnswer& settings) {
    std::string strSupported;
    std::string strCurrent;
    if (!CBatteryChargeMode::ParseBatteryChargeModeSettings(settings, strSupported, strCurrent)) {
        m_bSupported = 0;
        m_nSupport = 0;
        return;
    }
    m_bSupported = strSupported.find(m_mode.pszModeWord) != std::string::npos ? 1 : 0;
    m_nOn = strCurrent.find(m_mode.pszModeWord) != std::string::npos ? 1 : 0;
    m_nSupport = m_bSupported;
    m_nStatus = m_nOn.load();
    SetButtonStatusIcon(m_nOn);
}

int CChargeModeBtn::SetChargeMode(const wchar_t* pszOperation, ContractAnswer& answer, int& nMode) {
    // Every queued click takes its turn, so that the later ones are not held up.
    const CBatteryChargeMode::CSetCallTurn turn(this);
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]", pszOperation);
        return -1;
    }
    m_bSetDone = 0;
    if (m_bSupported == 0) {
        return -1;
    }
    nMode = m_nOn == 1 ? m_mode.nSetMode : CBatteryChargeMode::ModeNormal;
    answer = ContractAnswerOf([nMode] { return g_pContractInterface->SetBatteryChargeMode(nMode); });
    m_bSetDone = 1;
    return 0;
}
