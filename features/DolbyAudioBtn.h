// The Dolby audio button: switches the machine's Dolby audio profile on and off through the host.
// Offered where the host reports the Dolby profile with a current profile it supports; while an
// application scenario of the host's app-scenario plug-in holds the audio, the button stays disabled.
#pragma once

#include <atomic>
#include <string>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

// Whether the host's app-scenario plug-in reports that an application scenario holds the audio.
bool IsAppScenarioAudioOpen();

class CDolbyAudioBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1059 }; // the control id in the grid's dialog template

    // The machine's audio profile as the host reports it.
    enum { ProfileNone = 0, ProfileDolby = 1, ProfileMaxwave = 2 };

    // Reads the app-scenario plug-in's state once.
    CDolbyAudioBtn();
    // Waits for the probe and the set workers, which run this class's code.
    ~CDolbyAudioBtn() override;

    bool Init(CWnd* pParent) override;
    // Profile, state and current profile from the host, on the probe worker.
    int DoJudgeSupportCallback() override;
    // The other state, set on the host by a worker; while an application scenario holds the audio only
    // the disabled look.
    void ClicktoSwitch() override;

    // Image, caption and tip of a state (0 off, 1 on, 2 disabled); other values change nothing but the
    // narrator text. From any thread.
    void SetButtonStatusIcon(int nState);

    // The set worker: pParam is the address of the state to set (an std::atomic<int>). The workers call
    // the host one at a time, each with the state as it is when its turn comes, so that the host ends in
    // the state the last click asked for. -1 without a contract instance, else 0.
    static unsigned __stdcall SetDolby(void* pParam);
    // The texts of the "Setting" entries keyed (attribute "key", exactly) "IsAudioProfileEnabled" and
    // "CurrentAudioProfile" of the "SettingList", in the answer or inside its "Data", and whether
    // "DriverAvailability" is "true" in any case (false first); the last entry of a key counts. False
    // when the answer does not parse or holds no list.
    static bool ParseDolbySettings(const ContractAnswer& answer, std::string& strProfileEnabled,
                                   std::string& strCurrentProfile, bool& bDriverAvailable);

    // Written by the probe.
    std::atomic<int> m_nAudioProfile = ProfileNone;
    // The app-scenario plug-in's state as the constructor read it.
    const BYTE m_bAppScenarioAudio;
};
