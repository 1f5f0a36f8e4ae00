// The keyboard backlight button: steps the backlight through off, level 1, level 2 and auto as the
// keyboard offers them. The business brand reaches auto through the host's smart-sense switch, the
// consumer brand as a level of its own; a model H352 machine never shows the button.
#pragma once

#include <atomic>
#include <string>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

class CKeyboardBacklightBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1060 }; // the control id in the grid's dialog template

    // The backlight's states in m_nKbbStatus (auto only on the consumer brand's road).
    enum { kLevelOff = 0, kLevel1 = 1, kLevel2 = 2, kLevelAuto = 3 };
    // The status images; the state type 3 marks the level states.
    enum { kOffPng = 406, kDisabledPng = 407, kLevel1Png = 409, kLevel2Png = 412, kAutoPng = 415 };
    enum { kLevelStateType = 3 };

    CKeyboardBacklightBtn();
    // The probe and the set workers use this class's members.
    ~CKeyboardBacklightBtn() override;

    // The disabled image in the fifth slot, the four level images, the probe.
    bool Init(CWnd* pParent) override;
    // Support, level kind and state from the host by the brand's road, on the probe worker.
    int DoJudgeSupportCallback() override;
    // The brand's next state, set on the host by a worker.
    void ClicktoSwitch() override;

    // Image, caption, tip and narrator text of the status image (a level image, or the disabled look
    // once the host said the backlight is disabled).
    void SetButtonStatusIcon(int nImageId);

    int KobalJudgeSupport();
    int IxorJudgeSupport();
    void KobalClicktoSwitch();
    void IxorClicktoSwitch();
    // The business road's routine also takes the level as m_nStatus.
    void KobalSetButtonStatusIcon(int nImageId);
    void IxorSetButtonStatusIcon(int nImageId);

    // The set worker: pParam is the button. The workers call the host one at a time, each with the
    // state shown when its turn comes (SetSmartSense 1 for the business brand's auto, else SetBackLight
    // with the level), so that the host ends in the state shown however fast the clicks come. -1
    // without a contract instance, else 0.
    static unsigned __stdcall SetShownState(void* pParam);

    // The text of the first "Capability" keyed "KeyboardBacklightControl" of the "CapabilityList" (in
    // the answer or inside its "Data"); empty without text. False when the answer does not parse or
    // holds no such entry.
    static bool ParseBacklightCapability(const ContractAnswer& answer, std::string& strValue);
    // The texts of the "Setting" entries keyed "KeyboardBacklightLevel" and "KeyboardBacklightStatus"
    // of the "SettingList" (the last entry of a key counts; one without text is passed over); empty
    // when missing. False, logged, when the answer does not parse or has no root element.
    static bool ParseBacklightSettings(const ContractAnswer& answer, std::string& strLevel,
                                       std::string& strStatus);
    // The same for "IsAutoModeEnabled" and "IsAutoModeOn", without logging.
    static bool ParseAutoBacklightSettings(const ContractAnswer& answer, std::string& strEnabled,
                                           std::string& strOn);
    // The list named pszList of a settings answer (in the answer or inside its "Data"; null when there
    // is none), parsed into the documents. False when the answer does not parse or has no root
    // element, logged when bLog is set.
    static bool LoadSettingsList(const ContractAnswer& answer, const char* pszList, bool bLog,
                                 TiXmlDocument& document, TiXmlDocument& dataDocument,
                                 const TiXmlElement*& pList);

    // Set in the constructor: the button is never supported on a model H352.
    const bool m_bIsH352Machine;
    // Written by the probe, read and written by clicks, read by the set workers.
    std::atomic<int> m_nSmartSenseSupport = 0; // the business brand's auto mode is available
    std::atomic<int> m_nSmartSenseStatus = 0;  // ... and on
    std::atomic<int> m_nKobalIconID = 0;       // the business road's status image
    std::atomic<int> m_nKbbSupport = 0;        // the level answer named a level kind the road offers
    std::atomic<int> m_nKbbLevelType = 0;      // 1 one level, 2 two, 3 two red/white, 4 two with auto
    std::atomic<int> m_nKbbStatus = kLevelOff;
    std::atomic<bool> m_bKbbDisabled = false; // the host said "DisabledOff": for the button's life
    std::atomic<int> m_nIxorIconID = 0;       // the consumer road's status image; it drives the cycle
    CString m_strOnText;
    CString m_strOffText;
    CString m_strLowText;
    CString m_strHighText;
    CString m_strAutoText;

private:
    // The business brand's auto mode is shown.
    bool IsKobalAuto() const;
    // The level kind of the level answer on the brand's road; false when the road does not offer it.
    bool TakeLevelKind(const std::string& strLevel, bool bKobal);
    // The state and image of an offered level kind's status text: the level with its image, else off
    // (the disabled look for "DisabledOff").
    int TakeStatus(const std::string& strStatus, int nAutoLevel);
    void ShowStatusImage(int nImageId);
    void LogProbeResult();
    void SendLevelEvent(const wchar_t* pszValue);
};
