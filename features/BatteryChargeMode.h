// The host's one battery charge mode, of which conservation mode and rapid charge are values: its modes,
// the reading of its settings answer, and the order of the two buttons' set calls.
#pragma once

#include <string>

#include "services/ContractAnswer.h"

class CBatteryChargeMode {
public:
    // The modes IContractInterface::SetBatteryChargeMode takes.
    enum { ModeNormal = 0, ModeRapidCharge = 1, ModeConservation = 2 };

    // The texts of the "Setting" entries keyed exactly "Supported-BatteryChargeMode" and
    // "BatteryChargeMode" of the "SettingList" (in the answer or inside its "Data"); a later entry of a
    // key overwrites an earlier one, an entry without a text leaves its output as it was. False when the
    // answer does not parse or holds no list; true also when no entry matches.
    static bool ParseBatteryChargeModeSettings(const ContractAnswer& answer, std::string& strSupported,
                                               std::string& strCurrent);

    // The buttons' set calls reach the host in the order of the clicks, since each call of one button
    // undoes the other's mode: a click queues its button before it starts its set worker; a worker takes
    // its turn, and the queue drops the click when the worker could not start.
    static void QueueSetCall(const void* pButton);
    static void DropSetCall(const void* pButton);

    // The set worker's turn, from the construction (once the earlier clicks' calls are made) to the
    // destruction. A button with no click queued goes at once.
    class CSetCallTurn {
    public:
        explicit CSetCallTurn(const void* pButton);
        ~CSetCallTurn();
        CSetCallTurn(const CSetCallTurn&) = delete;
        CSetCallTurn& operator=(const CSetCallTurn&) = delete;

    private:
        const void* m_pButton;
        bool m_bQueued;
    };
};
