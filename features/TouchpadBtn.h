// The touchpad button: switches the notebook's touchpad on and off through the host. While Windows'
// own precision-touchpad switch is off the button shows off, and a click opens Windows' touchpad
// settings (switching the host's touchpad on first when it is off). On the business brand a switch
// that the host does not confirm is repeated once through the brand's own method.
#pragma once

#include <atomic>
#include <string>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

// Windows' precision-touchpad switch: on unless its key holds a REG_DWORD "Enabled" other than 1; on as
// well when the key is missing.
bool IsPrecisionTouchPadEnabled();

class CTouchpadBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1062 }; // the control id in the grid's dialog template

    CTouchpadBtn();
    // Waits for the probe and the set workers, which run this class's code.
    ~CTouchpadBtn() override;

    // Reads the machine's model and Windows' switch once, then the images and the probe.
    bool Init(CWnd* pParent) override;
    // Support and state from the host, on the probe worker (DoJudgeSupportByPXH).
    int DoJudgeSupportCallback() override;
    // The other state, set on the host by a worker; while Windows' switch is off, Windows' touchpad
    // settings open as well.
    void ClicktoSwitch() override;

    int DoJudgeSupportByPXH();
    void ToggleTouchPad();
    // Hides the button while unsupported; else image, caption and tip of the state (0 off, 1 on, 2
    // disabled; other values keep them) or, while Windows' switch is off, the off look. From any thread.
    void SetButtonStatusIcon(int nState);

    // The set worker: pParam is the address of the state to set (an std::atomic<int>). On the business
    // brand a state the answer does not confirm is set once more through SetKobalTouchPad. The workers
    // call the host one at a time, each with the state as it is when its turn comes. -1 without a
    // contract instance, else 0.
    static unsigned __stdcall SetTouchPad(void* pParam);
    // The text of the first "Capability" keyed (attribute "key", exactly) "TouchPadControl" of the
    // "CapabilityList", in the answer or inside its "Data" (empty without a text). False when there is
    // none.
    static bool ParseTouchPadCapability(const ContractAnswer& answer, std::string& strValue);
    // The text and the attribute "errorCode" of the "Setting" entries keyed "TouchPadEnabled" of the
    // "SettingList" (the last entry counts; a missing attribute leaves the code). False when the answer
    // does not parse or holds no list.
    static bool ParseTouchPadStatus(const ContractAnswer& answer, std::string& strState,
                                    std::string& strErrorCode);
    // The state of the first "TouchPadEnabled" setting: 1 for "True" in any case, else 0. False, the
    // state untouched, when there is none.
    static bool ParseSetTouchPadResult(const ContractAnswer& answer, int& nState);

    // Read by Init, before the probe starts.
    BYTE m_bIsH352Machine = 0;
    BYTE m_bPrecisionTouchPadOn = 1;

private:
    // The probe's error line without a contract instance, and no support; -1.
    int ProbeWithoutContract(const wchar_t* pszOperation);
};
