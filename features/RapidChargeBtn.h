// The rapid charge button (consumer brand): the host charges the battery faster ("Quick" charge mode).
// Offered where the battery plug-in lists the mode and the system battery is known; exclusive with
// conservation mode (the grid switches the other off first).
#pragma once

#include "features/ChargeModeBtn.h"

class CRapidChargeBtn : public CChargeModeBtn {
public:
    enum { IDC = 1071 }; // the control id in the grid's dialog template

    CRapidChargeBtn();

    // Battery and charge modes, on the probe worker.
    int DoJudgeSupportCallback() override;

    // The set worker: pParam is the button. Sends rapid charge while it is on, else normal charging.
    static unsigned __stdcall SetRapidCharge(void* pParam);
};
