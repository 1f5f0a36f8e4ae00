// The WiFi security button: shows whether the host's WiFi security service is on and switches it; while
// the service lacks Windows' location permission, a click opens the Solvane app's WiFi security page
// instead. Shown only where the host's WiFi security plug-in is installed and the Solvane app's own
// security add-in is not.
#pragma once

#include <atomic>
#include <string>

#include "features/DeckFeatureButton.h"
#include "services/ContractAnswer.h"

class CWiFiSecurityBtn : public CDeckFeatureButton {
public:
    enum { IDC = 1056 }; // the control id in the grid's dialog template

    // The five settings of the service's status answer.
    struct WifiSecurityStatus {
        std::string strIsSupported = "false";
        std::string strIsEnabled;
        std::string strSystemPolicy;
        std::string strUserPreference;
        std::string strLocationPermission;
    };

    CWiFiSecurityBtn();
    // The probe and the set workers use this class's members.
    ~CWiFiSecurityBtn() override;

    bool Init(CWnd* pParent) override;
    // Support and state from the host, on the probe worker.
    int DoJudgeSupportCallback() override;
    // With the location permission: the other state, set on the host by a worker. Without: shown off,
    // and the Solvane app's WiFi security page opens.
    void ClicktoSwitch() override;

    // Image, caption, tip and narrator text of the state, as the location permission allows.
    void SetButtonStatusIcon(int nState);

    // The set worker: pParam is the address of the state (an std::atomic<int>). The workers call the
    // host one at a time, each with the state as it is when its turn comes, so that the host ends in the
    // state shown however fast the clicks come. -1 without a contract instance, else 0.
    static unsigned __stdcall SetWiFiStatus(void* pParam);
    // True when the host's WiFi security plug-in is installed and the Solvane security add-in is not.
    static bool IsWiFiSecurityPluginAvailable();
    // True for an empty text or one holding "allow" exactly three times (one per location consent).
    static bool IsLocationPermissionAllowed(const std::string& strText);
    // Opens the Solvane app's WiFi security page; false when its URI may not be opened.
    static bool OpenWiFiSecurityPage();
    // The five settings of the "SettingList" (in the answer or inside its "Data"); a setting that is
    // missing, or lacks its key or text, keeps its start value. False when the answer does not parse or
    // holds no list.
    static bool ParseWifiSecurityStatus(const ContractAnswer& answer, WifiSecurityStatus& status);

    // 1 when the last probe found the location permission granted; written by the probe, read by clicks.
    std::atomic<int> m_nLocationPermission = 0;
};
