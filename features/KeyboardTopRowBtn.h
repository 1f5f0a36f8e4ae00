// The keyboard top-row button: switches the top row between its special functions and the F1-F12 keys
// by turning the Fn lock over through the host. The state shown follows from the Fn lock and from which
// keys the keyboard puts first; on the business brand the Fn sticky key greys the button.
#pragma once

#include <atomic>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

class CKeyboardTopRowBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1061 }; // the control id in the grid's dialog template

    // m_nStatus: the special functions lead, or the F1-F12 keys (2 while greyed by the Fn sticky key).
    enum { kStateF1F12 = 0, kStateSpecial = 1 };
    enum { kF1F12Png = 394, kSpecialPng = 373, kF1F12DisabledPng = 396, kSpecialDisabledPng = 375 };
    enum { kShownStateType = 3 };
    // The F1-F12 tip, which in Ukrainian is too long for the grid's one-line tooltip.
    enum { IDS_TIP_F1F12 = 507 };
    enum : LANGID { kLangUkrainian = 0x0422 };

    CKeyboardTopRowBtn();
    // The probe and the set workers use this class's members.
    ~CKeyboardTopRowBtn() override;

    // The brand's road, the four images, the probe.
    bool Init(CWnd* pParent) override;
    // Support and settings from the host by the brand's road, on the probe worker.
    int DoJudgeSupportCallback() override;
    // The Fn lock turned over and set on the host by a worker; nothing while the Fn sticky key holds.
    void ClicktoSwitch() override;

    // Stores the state; image, caption, tip and narrator text of the state, or the greyed look while
    // the business brand's Fn sticky key is on.
    void SetButtonStatusIcon(int nStatus);
    // The state the settings give: the Fn lock when the F1-F12 keys lead, else the other state.
    int ShownState() const;

    int KobalJudgeSupport();
    int IxorJudgeSupport();
    void IxorToggleFnLock();

    // The set workers: pParam is the address of the Fn lock (an std::atomic<bool>), sent as 1 or 0. The
    // workers call the host one at a time, each with the Fn lock as it is when its turn comes, so that
    // the host ends in the state shown however fast the clicks come. -1 without a contract instance,
    // else 0.
    static unsigned __stdcall KobalSetFnLock(void* pParam);
    static unsigned __stdcall IxorSetFnLock(void* pParam);

    // The flags of a "CapabilityList" of "Capability" entries or a "SettingList" of "Setting" entries
    // (in the answer or inside its "Data"): each false first, then set by the text of every entry of
    // its key (keys exact, texts ignoring case). False when the answer does not parse; the settings
    // parsers log that.
    // Capabilities: "PrimaryFunction", "FnLock", "FnStickKey" are "true".
    static bool ParseKobalKbdCapability(const ContractAnswer& answer, bool& bPrimary, bool& bFnLock,
                                        bool& bFnStick);
    // Settings: "PrimaryFunction" is "select", "FnLock" and "FnStickKey" are "true".
    static bool ParseKobalKBDSettings(const ContractAnswer& answer, bool& bPrimaryFunction, bool& bFnLock,
                                      bool& bFnStickKey);
    // Capabilities: "PrimeKey" and "FnLock" are "true".
    static bool ParseIxorKbdCapability(const ContractAnswer& answer, bool& bPrimeKey, bool& bFnLock);
    // Settings: "PrimeKey" is "fnkey".
    static bool ParseIxorPrimeKeySettings(const ContractAnswer& answer, bool& bPrimaryFunction);
    // Settings: "FnLock" is "true".
    static bool ParseIxorFnLockSettings(const ContractAnswer& answer, bool& bFnLock);

    // Whether the text is, exactly, the Ukrainian F1-F12 tip, one the grid wraps.
    static bool IsWrappedTipText(const CString& strText);

    // Set by Init, before the probe starts.
    bool m_bKobalBrand = false;
    // Written by the probe, read by clicks; the Fn lock also written by clicks and read by the workers.
    std::atomic<bool> m_bPrimaryFunction = false; // the F1-F12 keys lead
    std::atomic<bool> m_bFnLock = false;
    std::atomic<bool> m_bFnStickKey = false; // business brand only

private:
    void QueryKobalSupport();
    // The greyed look of the business brand's Fn sticky key, by the settings.
    void ShowFnStickKeyLook();
    void ToggleFnLock(_beginthreadex_proc_type pfnSetWorker);
};
