// The privacy guard button (business brand): switches the screen's privacy guard through the host and
// follows the state that the screen-privacy driver publishes in the registry, so that a hotkey or other
// software switching the guard repaints the button.
#pragma once

#include <atomic>
#include <mutex>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

class CPrivacyGuardBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1063 }; // the control id in the grid's dialog template

    CPrivacyGuardBtn();
    // Ends the registry watcher and waits for it and the set workers.
    ~CPrivacyGuardBtn() override;

    // The images, the probe and the registry watcher.
    bool Init(CWnd* pParent) override;
    // Support and state from the host, on the probe worker; a feature the host does not offer ends the
    // watcher.
    int DoJudgeSupportCallback() override;
    // The other state, set on the host by a worker.
    void ClicktoSwitch() override;

    // Image, caption, tip and narrator text of a state (0 off, 1 on, 2 disabled); other values change
    // nothing but the narrator text. From any thread.
    void SetButtonStatusIcon(int nState);

    // The set worker: pParam is the address of the state to set (an std::atomic<int>). The workers call
    // the host one at a time, each with the state as it is when its turn comes, so that the host ends in
    // the state the last click asked for. -1 without a contract instance, else 0.
    static unsigned __stdcall SetPrivacyGuard(void* pParam);
    // The flags "PrivacyGuard" and "PrivacyGuardOnPassword" (keys in any case; 1 for the text "True" in
    // any case, else 0) of the "CapabilityList" of "Capability" entries, or of the "SettingList" of
    // "Setting" entries, in the answer or inside its "Data". Both are 0 first and the last entry of a key
    // counts. False when the answer does not parse, holds no list or neither key.
    static bool ParsePrivacyGuardCapability(const ContractAnswer& answer, int& nPrivacyGuard,
                                            int& nOnPassword);
    static bool ParsePrivacyGuardSettings(const ContractAnswer& answer, int& nPrivacyGuard, int& nOnPassword);

    // The registry watcher's procedure (the argument is the button).
    static unsigned __stdcall WatchThreadProc(void* pParam);
    // Reads the driver's state after each change of its key until told to stop, or until the key cannot
    // be watched.
    void WatchShadeveilRegistry();
    // Shows the driver's state: a missing or malformed value is off; a value that is no state is left out.
    void ReadShadeveilState();

    // 1 tells the watcher to end; its event (below) wakes it.
    std::atomic<BYTE> m_bStopWatch = 0;
    // The state the last click asked for, which the set workers send (the watcher changes m_nStatus).
    std::atomic<int> m_nRequestedState = 0;

protected:
    // The watcher ends before the base frees the images.
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    void StopWatch();
    HANDLE MakeWatchEvent();
    void CloseWatchEvent();

    // Made and closed by the watcher; the lock keeps a signal from reaching a closed handle.
    HANDLE m_hWatchEvent = nullptr;
    std::mutex m_watchLock;
};
