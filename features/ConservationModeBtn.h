// The conservation mode button (consumer brand): the host keeps the battery at a reduced charge level
// ("Storage" charge mode). Offered where the battery plug-in supports the mode without limits and the
// system battery is known; exclusive with rapid charge (the grid switches the other off first).
#pragma once

#include "features/ChargeModeBtn.h"

class CConservationModeBtn : public CChargeModeBtn {
public:
    enum { IDC = 1068 }; // the control id in the grid's dialog template

    CConservationModeBtn();

    // Battery, capability and charge modes, on the probe worker.
    int DoJudgeSupportCallback() override;

    // The set worker: pParam is the button. Sends conservation mode while it is on, else normal charging.
    static unsigned __stdcall SetConservationMode(void* pParam);

    // nSupported is 1 when the "CapabilityList" (in the answer or inside its "Data") says "true" (in any
    // case) for "ChargeMode-Storage" and not for "ChargeMode-StorageLimited" (keys exact, a later entry of
    // a key counting), else 0; the result is the same. False, 0, when the answer does not parse or holds
    // no list.
    static bool ParseConservationModeCapability(const ContractAnswer& answer, int& nSupported);
};
