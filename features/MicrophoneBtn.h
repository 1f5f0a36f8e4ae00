// The microphone button: mutes and unmutes the machine's default audio capture endpoint itself, through
// Core Audio (CMixer), not through the host. It follows the machine's microphone key by watching the
// mute state that the maker's on-screen display publishes in the registry, and re-reads the endpoint
// after an F4 key-down. While Windows' privacy consent denies microphone access it shows its off image
// and a click opens the Solvane app's audio page instead.
#pragma once

#include <atomic>
#include <mutex>

#include "features/DeckFeatureButton.h"

class CMicrophoneBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1058 }; // the control id in the grid's dialog template

    CMicrophoneBtn();
    // Ends the registry watcher and waits for it and the probes.
    ~CMicrophoneBtn() override;

    // The images, the probe and the registry watcher.
    bool Init(CWnd* pParent) override;
    // The consent, then state and support from the capture endpoint, on the probe worker (COM made
    // usable there for the probe's length); no host call, no log.
    int DoJudgeSupportCallback() override;
    // Access denied: only the Solvane audio page. Else the mute flipped at once, on this thread.
    void ClicktoSwitch() override;
    // An F4 key-down starts one more probe; every message then goes to the base.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Image, caption, tip and narrator text: off while access is denied, else the state (0 muted, 1
    // live, 2 disabled) when support is exactly 1; other states or support change nothing but the
    // narrator text. From any thread.
    void SetButtonStatusIcon(int nState);
    // Flips the endpoint's mute; m_nStatus takes the new state only when the endpoint took it. False
    // when the set failed.
    bool ToggleMicMute();

    // The registry watcher's procedure (the argument is the button).
    static unsigned __stdcall WatchThreadProc(void* pParam);
    // Reads the on-screen display's mute state after each change of its key until told to stop, or
    // until the key cannot be watched.
    void WatchMicrophoneRegistry();
    // Shows the published mute state: a nonzero DWORD is muted, anything else (missing too) live.
    void ReadMicrophoneMuteState();

    // 1 tells the watcher to end; its event (below) wakes it.
    std::atomic<BYTE> m_bStopWatch = 0;
    // 1 when the privacy consent denies microphone access; set by every probe, read by clicks.
    std::atomic<BYTE> m_bNoMicAccess = 0;

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

// True unless one of Windows' four microphone consents (device, user, the Solvane app, desktop apps) is
// set to a text other than "Allow" (any case); consents that are missing or empty do not count.
bool IsMicrophoneAccessAllowed();
// Opens the Solvane app's audio page; false when its URI may not be opened.
bool OpenSolvaneAudioPage();
