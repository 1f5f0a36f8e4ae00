// The battery charge threshold button (business brand): switches the host's charge threshold, which
// stops charging at a stop percentage and resumes below a start percentage for up to two batteries.
// Offered while the maker's power-management application runs; greyed while a battery reset runs or
// the system battery is missing. Every state it shows is published in the toolbar's "PowerStatusInfo".
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

class CBatteryChargeThresholdBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1065 }; // the control id in the grid's dialog template

    // The images of the charge-care buttons (this one and the conservation mode's).
    enum { kOnPng = 370, kOffPng = 371, kDisabledPng = 372 };

    CBatteryChargeThresholdBtn();
    // The probe and the set workers use this class's members.
    ~CBatteryChargeThresholdBtn() override;

    bool Init(CWnd* pParent) override;
    // The body of every charge-care button's Init: the off, on and disabled images.
    static bool SetChargeCareImages(CDeckFeatureButton& button, CWnd* pParent);
    // Support, battery and state, on the probe worker.
    int DoJudgeSupportCallback() override;
    // Once probed, with no battery reset running and the battery present: the other state, set on the
    // host by a worker.
    void ClicktoSwitch() override;

    // Publishes the state (0 off, else on) in "PowerStatusInfo" and keeps it as the status; shows it,
    // or the disabled state while a reset runs or the battery is missing. From any thread.
    void SetButtonStatusIcon(int nState);

    // The set worker: pParam is the button. The workers call the host one at a time, each with the
    // state and thresholds as they are when its turn comes, so that the host ends in the state the last
    // click asked for. -1 without a contract instance, else 0.
    static unsigned __stdcall SetChargeThreshold(void* pParam);

    // nSupported is 1 when the first "Capability" keyed exactly "BatteryChargeThreshold" of the
    // "CapabilityList" (in the answer or inside its "Data") holds "true" in any case, else 0. False when
    // the answer does not parse or holds no such entry.
    static bool ParseChargeThresholdCapability(const ContractAnswer& answer, int& nSupported);
    // Battery 1's threshold and on/off from the first "BatteryChargeThreshold" element, battery 2's from
    // its next sibling of that name (on when either is), each only when it holds "IsEnabled"; the reset
    // runs when an "IsResetRunning" setting (key in any case) of the "BatteryResetStatus" elements says
    // "true" in any case. The outputs are cleared first. False when the answer does not parse, holds no
    // threshold element, or neither a threshold text nor a reset status.
    static bool ParseChargeThresholdSettings(const ContractAnswer& answer, int& nResetRunning, int& nEnabled,
                                             std::string& strThreshold1, std::string& strThreshold2);
    // "INDEX-[START% - STOP%]" (at most 19 characters) of the elements' whole numbers, each rounded down
    // to a multiple of 5; a missing element or one that holds no number counts 0.
    static void FormatChargeThresholdText(std::string& strText, int nIndex, const TiXmlElement* pStart,
                                          const TiXmlElement* pStop);
    // The set call's argument "INDEX,START,STOP" of a threshold text, each field at most 8 characters; a
    // field that does not scan stays empty. The number of fields scanned (0 for an empty text, which
    // gives an empty argument).
    static int BuildChargeThresholdArguments(const std::string& strThreshold, _bstr_t& argument);

    // The system power status cannot be read, has no battery or does not know its battery's data; the
    // charge-care buttons are then of no use.
    static bool IsBatteryMissing();

    // The two threshold texts, as the probe or the last set worker left them.
    void GetThresholdTexts(std::string& strThreshold1, std::string& strThreshold2) const;

    // Written by the probe, read by clicks and set workers.
    std::atomic<int> m_nResetRunning = -1; // -1 until probed, then 1 while a battery reset runs, else 0
    std::atomic<int> m_nEnabled = 0;       // the threshold on (1) or off (0)
    std::atomic<BYTE> m_bBatteryError = 0; // the system battery is missing or its data unknown

private:
    void SetThresholdTexts(const std::string& strThreshold1, const std::string& strThreshold2);
    // The host's state and thresholds, once its capability says that the feature exists.
    void ReadThresholdStatus();

    // The texts until the host tells them, and after one that does not scan.
    static constexpr const char* kDefaultThreshold1 = "1-[75% - 80%]";
    static constexpr const char* kDefaultThreshold2 = "2-[75% - 80%]";

    mutable std::mutex m_thresholdLock;
    std::string m_strThreshold1 = kDefaultThreshold1;
    std::string m_strThreshold2 = kDefaultThreshold2;
};
