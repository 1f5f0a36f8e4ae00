// What the conservation mode and rapid charge buttons (consumer brand) share: each is one value of the
// host's battery charge mode, switched on and off with SetBatteryChargeMode, shown with the
// charge-care look of its table, and published in its bit of the toolbar's "PowerStatusInfo". The grid
// keeps the two exclusive, waiting for m_bSetDone.
#pragma once

#include <atomic>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

class CChargeModeBtn : public CDeckFeatureButton {
public:
    // What makes one of the two buttons.
    struct SChargeMode {
        const wchar_t* pszKey;           // the cache section
        const wchar_t* pszEvent;         // the telemetry event of a click
        const char* pszModeWord;         // its value among the host's charge modes
        int nSetMode;                    // the mode SetBatteryChargeMode takes to switch it on
        int nPowerStatusBit;             // its bit of "PowerStatusInfo"
        _beginthreadex_proc_type pfnSet; // its set worker (argument the button)
        int nOffPng, nOnPng, nDisabledPng;
        const wchar_t* pszName; // English defaults and string ids of its texts
        int nNameId;
        const wchar_t* pszOnTip;
        int nOnTipId;
        const wchar_t* pszOffTip;
        int nOffTipId;
        const wchar_t* pszOnCaption;
        int nOnCaptionId;
        const wchar_t* pszOffCaption;
        int nOffCaptionId;
    };

    explicit CChargeModeBtn(const SChargeMode& mode);
    // The probe and the set workers use this class's members.
    ~CChargeModeBtn() override;

    // The off, on and disabled images.
    bool Init(CWnd* pParent) override;
    // Once probed and not disabled: the other state, set on the host by a worker in the order of the
    // clicks.
    void ClicktoSwitch() override;

    // Publishes the state (1 on, else off) in "PowerStatusInfo"; shows 0 off, 1 on or 2 disabled with
    // their caption and tip (another state changes none of them); the narrator text. From any thread; the
    // grid calls it too.
    void SetButtonStatusIcon(int nState);

    // The host's charge-mode settings as the probe reads them: supported when the supported modes
    // contain the button's mode word, on when the current mode does (substrings, case-sensitive); the
    // status routine then shows the state. Without settings the button is unsupported.
    void TakeChargeModeSettings(const ContractAnswer& settings);

    std::atomic<BYTE> m_bSupported = 0; // the host's supported charge modes include the button's
    CString m_strOnCaption;
    CString m_strOffCaption;
    std::atomic<int> m_nOn = 0;
    std::atomic<BYTE> m_bSetDone = 0; // 0 while a set request is pending, 1 once the host call returned

protected:
    // The set worker's body: the button's mode while it is on, else the normal mode, to the host once
    // its turn comes. -1 without a contract instance (logged with the operation's name) or while the
    // button is unsupported; else 0 with the answer and the mode sent.
    int SetChargeMode(const wchar_t* pszOperation, ContractAnswer& answer, int& nMode);

private:
    const SChargeMode& m_mode;
};
