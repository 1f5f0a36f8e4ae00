// The airplane power mode button (business brand): switches the power manager's airplane power mode
// through the host, offered only while the power manager runs. Every state it shows is published in bit 0
// of the toolbar's PowerStatusInfo, which the battery panel watches.
#pragma once

#include <string>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

class CAirplaneModeBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1067 }; // the control id in the grid's dialog template

    CAirplaneModeBtn();
    // Waits for the probe and the set workers, which run this class's code.
    ~CAirplaneModeBtn() override;

    bool Init(CWnd* pParent) override;
    // Support and state from the host, on the probe worker.
    int DoJudgeSupportCallback() override;
    // The other state, published at once and set on the host by a worker.
    void ClicktoSwitch() override;

    // PowerStatusInfo bit 0, image, caption and tip of a state (0 off, 1 on, 2 disabled); other values
    // change nothing but the narrator text. From any thread.
    void SetButtonStatusIcon(int nState);

    // The set worker: pParam is the address of the state to set (an std::atomic<int>). The workers call
    // the host one at a time, each with the state as it is when its turn comes, so that the host ends in
    // the state the last click asked for. -1 without a contract instance, else 0.
    static unsigned __stdcall SetAirplaneMode(void* pParam);
    // The text of the first entry keyed exactly "AirplanePowerMode" of the "CapabilityList" of
    // "Capability" entries, or of the "SettingList" of "Setting" entries, in the answer or inside its
    // "Data": empty when the entry holds no text, untouched when it holds nothing at all. False when the
    // answer does not parse or holds no such entry.
    static bool ParseAirplaneModeCapability(const ContractAnswer& answer, std::string& strValue);
    static bool ParseAirplaneModeSetting(const ContractAnswer& answer, std::string& strValue);
};
