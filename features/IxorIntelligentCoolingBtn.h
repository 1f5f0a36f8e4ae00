// The intelligent cooling button (consumer brand): cycles the notebook's thermal mode. The thermal
// service QRMDSVC keeps the mode, not the host: the button reads the service's values in the registry,
// sends the chosen mode to the service as a user-defined control code and follows changes made
// elsewhere (the hotkey, other software) with a registry watcher. Support, the thermal solution's
// version, is decided once in Init.
#pragma once

#include <atomic>
#include <mutex>

#include "features/DeckFeatureButton.h"
#include "platform/resources.h"

// Set by Init when the machine has a thermal solution: only then are the toolbar's time stamps written.
extern std::atomic<bool> g_bIntelligentCoolingActive;

class CIxorIntelligentCoolingBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1070 }; // the control id in the grid's dialog template

    // The modes, each also the control code that makes the service take it. On thermal solutions 4 and 5
    // the cool and quiet mode is battery saving and the performance mode extreme performance.
    enum { ModeIntelligent = 135, ModeCoolQuiet = 146, ModePerformance = 148 };

    // The string ids of the tooltips whose texts are too long for the grid's one-line tooltip in some
    // languages: the extreme performance tip in Japanese and Russian and the battery saving tip in
    // Russian are wrapped (IsWrappedTipText); the battery saving tip in Ukrainian keeps a narrower right
    // margin (IsNarrowMarginTipText).
    enum { IDS_TIP_EXTREME_PERFORMANCE = 514, IDS_TIP_BATTERY_SAVING = 515 };
    enum : LANGID {
        kLangJapanese = 0x0411, // ja-JP
        kLangRussian = 0x0419,  // ru-RU
        kLangUkrainian = 0x0422 // uk-UA
    };

    // The next mode of a click, with the telemetry value it sends.
    struct ModeChoice {
        int nCode;
        const wchar_t* pszValue;
    };

    CIxorIntelligentCoolingBtn();
    // Ends the registry watcher and waits for it and the set workers.
    ~CIxorIntelligentCoolingBtn() override;

    // Support from the thermal solution's version; with one, the images, the watcher, the mode shown and
    // the toolbar's init time stamp. True.
    bool Init(CWnd* pParent) override;
    // The next mode, sent to the service by a worker, and its telemetry event.
    void ClicktoSwitch() override;

    // The thermal solution's version (3, 4 or 5) when its service runs and its energy driver is there;
    // else 0.
    int GetRMDVersion();
    // The service's three values (missing or malformed ones read as 0); m_nStatus 1 while it picks the
    // mode itself. False, the values 0, when its key cannot be opened.
    bool RMDGetStatus(DWORD& dwCapability, DWORD& dwCurrentSetting, DWORD& dwAutomaticModeSetting);
    // Image, caption, tip and narrator text of a mode in the thermal solution's version; another code
    // shows the intelligent mode's image and leaves the texts. From any thread.
    void SetButtonStatusIcon(int nMode);
    // Shows the mode the service's values stand for; values that name no mode, or that are read while
    // a click's mode is still to be sent, change nothing.
    void UpdateModeFromStatus();
    // Sends the mode to the service; a failed send is repeated once after a second. The button is no
    // longer busy once the service was reached; one that cannot be opened leaves it busy.
    void SetRMDMode(int nCode);
    // Waits, at most 1.5 seconds, while the button is busy with a click's mode.
    void WaitWhileBusy();
    // Shows the service's mode after each change of its values until told to stop, or until the key
    // cannot be watched.
    void WatchModeRegistry();

    // Writes the toolbar's "IxorRMDToolbarInitTime" (bInit) or "IxorRMDToolbarExitTime" as the seconds
    // since 1970, when a button found a thermal solution. The flyout calls it with false when it is
    // destroyed.
    static void WriteIntelligentCoolingToolbarTime(bool bInit);

    // Whether the text is, exactly, one of the tips the grid wraps, as the string table has it in its
    // language.
    static bool IsWrappedTipText(const CString& strText);
    // Whether the text is, exactly, the Ukrainian battery saving tip.
    static bool IsNarrowMarginTipText(const CString& strText);

    // The version of the "Version" value: 0 below 0x4000, 3 up to 0x4FFF, 4 up to 0x5FFF, else 5.
    static int VersionOfValue(DWORD dwVersion);
    // The mode the service's values stand for; 0 when they name none.
    static int ModeOfStatus(DWORD dwCapability, DWORD dwCurrentSetting, DWORD dwAutomaticModeSetting);
    // The mode a click goes to from the one shown. A machine whose capability names some but not both
    // of the two fixed modes only switches intelligent cooling on and off, whatever its version.
    static ModeChoice NextModeOfClick(int nVersion, int nMode, DWORD dwCapability,
                                      DWORD dwAutomaticModeSetting);

    // The set worker: pParam is the button. The workers send one at a time, each the mode shown when its
    // turn comes. 0.
    static unsigned __stdcall SetModeThread(void* pParam);
    // The registry watcher's procedure (the argument is the button); -1 without one, else 0.
    static unsigned __stdcall WatchThreadProc(void* pParam);

    // 1 tells the watcher to end; its event wakes it.
    std::atomic<BYTE> m_bStopWatch = 0;
    // The mode shown; 0 until known.
    std::atomic<int> m_nMode = 0;
    // Set by a click, cleared when its mode has reached the service; the next click and the watcher wait
    // (bounded) while it is set.
    std::atomic<bool> m_bBusy = false;

    // The captions and tips of the modes (extreme performance and battery saving on thermal solutions 4
    // and 5), in the user-interface language.
    CString m_strIntelligentCaption;
    CString m_strPerformanceCaption;
    CString m_strExtremePerformanceCaption;
    CString m_strCoolQuietCaption;
    CString m_strBatterySavingCaption;
    CString m_strIntelligentTip;
    CString m_strPerformanceTip;
    CString m_strExtremePerformanceTip;
    CString m_strCoolQuietTip;
    CString m_strBatterySavingTip;

protected:
    // The watcher ends before the base frees the images.
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    void SendShownMode();
    void StopWatch();
    HANDLE MakeWatchEvent();
    void CloseWatchEvent();

    // Made and closed by the watcher; the lock keeps a signal from reaching a closed handle.
    HANDLE m_hWatchEvent = nullptr;
    std::mutex m_watchLock;
};
