// The interactive e-course mode button (consumer brand): switches the audio profile's mode for on-line
// lessons through the host. Offered where the host reports a Dolby or a Maxwave audio profile with the
// mode enabled and a known state; shown disabled while the audio driver is not available. Its tooltip is
// always its description.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

class CECourseModeBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1072 }; // the control id in the grid's dialog template

    // The machine's audio profile as the host reports it.
    enum { ProfileNone = 0, ProfileDolby = 1, ProfileMaxwave = 2 };

    CECourseModeBtn();
    // Waits for the probe and the set workers, which run this class's code.
    ~CECourseModeBtn() override;

    // The icon fills the whole circle.
    bool Init(CWnd* pParent) override;
    // Profile, driver and state from the host, on the probe worker.
    int DoJudgeSupportCallback() override;
    // The other state, set on the host by a worker.
    void ClicktoSwitch() override;

    // Image and caption of a state (0 off, 1 on) while the driver is available, else of the disabled
    // state; other states change nothing but the narrator text. The tip stays the description. From any
    // thread.
    void SetButtonStatusIcon(int nState);
    // The description the tooltip shows (the string table's), for the button's life.
    const wchar_t* GetDescription() const { return m_pszDescription.get(); }

    // The set worker: pParam is the address of the state to set (an std::atomic<int>). The workers call
    // the host one at a time, each with the state as it is when its turn comes, so that the host ends in
    // the state the last click asked for. -1 without a contract instance, else 0.
    static unsigned __stdcall SetECourseMode(void* pParam);
    // The texts of the "Capability" entries keyed (attribute "Key", exactly) "IsDolbyAudioProfile",
    // "IsMaxwaveAudioProfile" and "AudioProfilesSupported" of the "CapabilityList", in the answer or inside
    // its "Data"; the last entry of a key with a text counts, a key without one leaves its text untouched.
    // False when the answer does not parse or holds no list.
    static bool ParseDolbyCapability(const ContractAnswer& answer, std::string& strDolbyProfile,
                                     std::string& strMaxwaveProfile, std::string& strSupportedProfiles);
    // "IsAudioProfileEnabled" and "DriverAvailability" (true for the text "true" in any case) and
    // "ECourseStatus" (1 "true", 0 "false" in any case, else -1) of the "SettingList" of "Setting" entries
    // keyed exactly so; they start false, false and -1, and the last entry of a key counts. False when the
    // answer does not parse or holds no list.
    static bool ParseECourseSettings(const ContractAnswer& answer, bool& bProfileEnabled,
                                     bool& bDriverAvailable, int& nECourseState);

    // Written by the probe, read by the status routine on any thread.
    std::atomic<int> m_nAudioProfile = ProfileNone;
    std::atomic<BYTE> m_bDriverAvailable = 0; // the host's "DriverAvailability" of the last status

private:
    std::unique_ptr<wchar_t[]> m_pszDescription;
};
