// The eye-care button (consumer brand): switches the display's warmer colour temperature through the
// host's vision-protection plug-in. Offered only where that plug-in is newer than the one the eye-care
// panel serves and the BIOS is not one of those that keep eye care to themselves; greyed while the
// graphics driver is disabled.
#pragma once

#include <atomic>
#include <mutex>

#include "features/DeckFeatureButton.h"
#include "platform/resources.h"
#include "services/ContractAnswer.h"

// True when the BIOS version of the firmware's tables begins with one of the BIOS prefixes of eye care's
// list, ignoring case; false when it does not or cannot be read.
bool IsEyeCareWhiteListBios();
// True when the host's vision-protection plug-in is installed and newer than 1.2.92.14.
bool IsEyeCarePluginVersionOk();
// The "Settings" of the "CTempSettings" of a GetEyeCareModeStatusEx answer, found in the answer or, when
// it is not there, inside its "Data": the eye-mode state (1 for "true"), the colour temperature (6500
// without a number), whether a schedule is on ("InSchedule" and "MyScheduleState" both "true"), the API
// capability and the capability code ("Support" 1, "NotAvaliable" 2 with an older plug-in; 3, 4 and
// "NotSupport" 5 with a newer one). Keys and texts ignore case. The outputs are 0, -1, false, false and
// -1 first. 0 when the answer does not parse or its "Data" holds no settings; else 1, also for an
// answer without settings or "Data".
int ParseEyeCareTempSettings(const ContractAnswer& answer, int& nEyeModeState, int& nColorTemperature,
                             bool& bInSchedule, bool& bApiCapability, int& nCapability);

class CEyecareModeBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1073 }; // the control id in the grid's dialog template
    // The string of the tip while the graphics driver is disabled. The grid's tooltip wraps it in the
    // languages of kWrappedTipLanguages, whose texts are too long for one line (IsWrappedTipText).
    enum { IDS_DRIVER_DISABLED_TIP = 523 };
    static constexpr LANGID kWrappedTipLanguages[] = {
        0x041A, // Croatian
        0x0816, // Portuguese
        0x0C0A, // Spanish
        0x0408, // Greek
    };

    CEyecareModeBtn();
    // The probe and the set workers use this class's members.
    ~CEyecareModeBtn() override;

    // The images, the icon's size for the cached state, the probe.
    bool Init(CWnd* pParent) override;
    // Support and state from the host, on the probe worker; never on a business-brand or gaming machine.
    int DoJudgeSupportCallback() override;
    // The other state, set on the host by a worker.
    void ClicktoSwitch() override;

    // Image, icon size, caption, tip and narrator text of a state (0 off, 1 on, 2 disabled); other values
    // change nothing but the narrator text. From any thread.
    void SetButtonStatusIcon(int nState);

    // The set worker: pParam is the address of the state to set (an std::atomic<int>). The workers call
    // the host one at a time, each with the state as it is when its turn comes, so that the host ends in
    // the state the last click asked for. -1 without a contract instance, else 0.
    static unsigned __stdcall SetEyeCareMode(void* pParam);

    // Whether the text is the driver-disabled tip of one of kWrappedTipLanguages, exactly.
    static bool IsWrappedTipText(const CString& strText);

    // While set, the disabled state's tip is the name; cleared by a probe that finds the graphics driver
    // disabled, whose tip is then the disabled caption.
    std::atomic<int> m_nNameWhenDisabled = 1;

private:
    void ShowIconScaleOf(int nIconId);

    // Loaded with the button on the user-interface thread, in its language, for the workers too.
    CString m_strOnCaption;
    CString m_strOffCaption;
    // The icon's size and its image change together, whichever thread changes them.
    std::mutex m_iconLock;
};
