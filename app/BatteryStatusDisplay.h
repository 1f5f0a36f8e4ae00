// The data side of the battery panel's picture: which charge picture and mode badge it shows, its texts
// and narrator line, the charge-mode state they depend on (from the toolbar's "PowerStatusInfo", the
// power manager's airplane-mode event and the host), and the refresh worker that recomputes them off
// the user-interface thread. The panel owns it and every worker holds it too, so that a worker still in
// a host call when the panel goes touches nothing freed; the picture itself is reached only while the
// panel lets it (Close).
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "platform/power.h"
#include "platform/strings.h"
#include "platform/threads.h"
#include "services/ContractAnswer.h"
#include "services/ContractInterface.h"
#include "services/PowerManagerLib.h"

class CPNGBatteryStatic;

class CBatteryStatusDisplay : public std::enable_shared_from_this<CBatteryStatusDisplay> {
public:
    // The pictures and badges that are no charge level.
    enum { kUnreadablePng = 156, kBatteryUnknownPng = 179, kNoBatteryPng = 180 };
    enum {
        kNoBadge = 0,
        kAirplaneBadge = 144,
        kChargingBadge = 163,
        kChargingAirplaneBadge = 164,
        kChargingCareBadge = 165,
        kChargingRapidBadge = 166,
    };

    CBatteryStatusDisplay() = default;
    ~CBatteryStatusDisplay();
    CBatteryStatusDisplay(const CBatteryStatusDisplay&) = delete;
    CBatteryStatusDisplay& operator=(const CBatteryStatusDisplay&) = delete;

    // On the user-interface thread before anything else: the picture to show on, the panel's heading
    // for the narrator line, the contract instance (the display keeps its own reference, so that a
    // worker's call never meets a released object), the brand and, on business-brand machines, the
    // power-manager library.
    void Attach(CPNGBatteryStatic* pBattery, const CString& strHeading, int nBrand,
                std::shared_ptr<CPowerManagerLib> pPowerManagerLib);
    // The panel goes: every reader returns at once, the refresh worker is told to end, the picture is
    // let go once no worker shows on it (meanwhile the calling thread runs the messages sent to it), and
    // the workers are waited for, at most dwBoundMs. A worker still running afterwards owns the display.
    void Close(DWORD dwBoundMs);

    // The airplane-mode event's state, then the first call starts the refresh worker and every later one
    // lets it refresh.
    void RequestRefresh();
    // Lets the running refresh worker refresh; nothing before the first RequestRefresh.
    void SignalRefresh();
    // Picture, badge, texts and narrator line anew. A refresh that meets another one running leaves the
    // work to it, which then refreshes once more.
    void UpdateBatteryInfo();
    // The charge picture of the percentage, or the error picture with its text (false).
    static bool SelectBatteryImage(const SYSTEM_POWER_STATUS& status, int& nImageId, CString& strError);
    // The badge of the charge modes, charging or on battery.
    void SelectModeBadge(bool bCharging, int& nOverlayId) const;
    // The remaining time on battery, the time to full charge on mains power (the power-manager library's
    // on business-brand machines, the host's elsewhere once the charge time is ready), and the status
    // line. True.
    bool FormatRemainingTime(const SYSTEM_POWER_STATUS& status, CString& strLabel, CString& strTime,
                             CString& strStatus);
    // "DelayShowRemainTime" of the toolbar's key when it is a REG_DWORD (else the flag as it was).
    bool ReadDelayShowRemainTime();
    // The four mode flags from the toolbar's "PowerStatusInfo" when it is a REG_DWORD, then the refresh:
    // at once on the calling thread, or (delay, the registry monitor's thread) 50 ms later by the refresh
    // worker, so that the monitor never waits for the host.
    void ReadPowerStatusInfo(bool bDelay);

    // The one-shot host queries (0 done, -1 no contract instance, -2 no answer or a failed call).
    int JudgeChargeThreshold();
    int JudgeConservationMode();
    int JudgeRapidCharge();
    // Runs the query on a counted worker that holds the display; false when the thread cannot start.
    bool BeginDetachedThread(int (CBatteryStatusDisplay::*pfnWork)());

    // 1 while the power manager's airplane-mode event is signalled, else 0 (also without the event).
    static int ReadAirplaneModeEvent();

    // The minutes to full charge of the last "ChargeCompletionTimeinMins" setting of the first
    // "BatteryStatus" element (in the answer or inside its "Data") and of its next sibling of that name,
    // each the whole number its text begins with (0 without one, held within the int range). False, both
    // 0, when the answer does not parse or holds no such element.
    static bool ParseBatteryStatusAnswer(const ContractAnswer& answer, int& nFirst, int& nSecond);

    void GetThresholdTexts(std::string& strText1, std::string& strText2) const;

    std::atomic<int> m_nThresholdResetRunning = 0;
    std::atomic<int> m_nThresholdEnabled = 0;
    std::atomic<BYTE> m_bConservationSupported = 0;
    std::atomic<int> m_nConservationOn = 0;
    std::atomic<BYTE> m_bRapidSupported = 0;
    std::atomic<int> m_nRapidOn = 0;
    std::atomic<int> m_nAirplaneOn = 0;
    std::atomic<BYTE> m_bStopRefresh = 0;
    std::atomic<BYTE> m_bDelayShowRemainTime = 0;
    std::atomic<BYTE> m_bChargeTimeReady = 0; // set by the panel's first tick of timer 2001 or 2002
    std::atomic<BYTE> m_bClosing = 0;

private:
    struct CWorkerStart;
    static unsigned __stdcall WorkerProc(void* pParam);
    int RefreshLoop();
    // The host's charge modes: whether the supported ones and the current one hold the mode's word. The
    // results of the queries; the operation's name for the log.
    int JudgeChargeMode(const wchar_t* pszOperation, const char* pszMode, std::atomic<BYTE>& bSupported,
                        std::atomic<int>& nOn);
    void UpdateOnce();
    // The time to full charge on mains power in minutes (0: none to show); false when it is not ready yet.
    bool MinutesToFullCharge(int& nMinutes);
    void ShowUnreadable();
    void Show(int nImageId, int nOverlayId, const CString& strNarrator, const CString* pTexts,
              bool bThreeTexts);
    // The picture while the panel lets the workers show on it (then held until LeavePicture), else null.
    CPNGBatteryStatic* EnterPicture();
    void LeavePicture();
    void SetThresholdTexts(const std::string& strText1, const std::string& strText2);

    // Set by Attach on the user-interface thread before any worker starts.
    IContractInterfacePtr m_pContract;
    std::shared_ptr<CPowerManagerLib> m_pPowerManagerLib;
    int m_nBrand = -1;
    CString m_strHeading;

    mutable std::mutex m_thresholdLock;
    std::string m_strThresholdText1;
    std::string m_strThresholdText2;

    // Made by the first RequestRefresh, closed by the display's end.
    std::mutex m_eventLock;
    HANDLE m_hRefreshEvent = nullptr;

    // Refreshes asked for while one runs (see UpdateBatteryInfo).
    std::atomic<int> m_nUpdateRequests = 0;

    // The picture while the panel lets the workers show on it, and how many do now.
    std::mutex m_pictureLock;
    std::condition_variable m_pictureFree;
    CPNGBatteryStatic* m_pBattery = nullptr;
    int m_nPictureUsers = 0;

    // The counted workers.
    std::mutex m_workersLock;
    std::condition_variable m_workersDone;
    int m_nWorkers = 0;
};
