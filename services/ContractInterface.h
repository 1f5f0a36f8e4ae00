// The plug-in host's contract interface: a dual interface of its COM server "Pactbridge.dll". The raw
// methods keep the host's table order (positions 7 to 78 behind IUnknown and IDispatch); the wrappers
// return the XML answer as a _bstr_t and raise _com_error on a failed HRESULT.
#pragma once

#include "platform/comdef.h"

FLIPDECK_DECLARE_UUID(Pactbridge, "{4E2A7C19-5B3D-4F60-9A81-C3D57E0B2F46}")
constexpr CLSID CLSID_Pactbridge = __uuidof(Pactbridge);

FLIPDECK_DECLARE_UUID(IContractInterface, "{7D1B3E55-2C9A-4B07-8E64-F19A0C3D5B72}")
struct IContractInterface : IDispatch {
    // Wrappers (the smart pointer's methods).
    _bstr_t IsSupportDolbyEx();
    _bstr_t GetDolbyStatusEx();
    _bstr_t SetDolby(int state);
    _bstr_t GetECourseStatusEx();
    _bstr_t SetECourseMode(int state);
    _bstr_t CheckPluginInvoke();
    _bstr_t GetMachineBrand();
    _bstr_t IsSupportBacklightEx();
    _bstr_t GetBacklightStatusEx();
    _bstr_t SetBackLight(int level);
    _bstr_t GetIxorKBDCapability();
    _bstr_t GetIxorPrimeKeySettings();
    _bstr_t GetIxorFnLockSettings();
    _bstr_t SetIxorFnLock(int state);
    _bstr_t GetKobalKBDCapability();
    _bstr_t GetKobalKBDSettings();
    _bstr_t SetKobalFnLock(int state);
    _bstr_t SetKobalTouchPad(int state);
    _bstr_t IsSupportTouchPadEx2();
    _bstr_t GetTouchPadStatusEx();
    _bstr_t SetTouchPad(int state);
    _bstr_t SetCamera(int state);
    _bstr_t GetEyeCareModeStatusEx(int type);
    _bstr_t SetEyeCareMode(int state, int type);
    _bstr_t IsSupportBatteryEx();
    _bstr_t GetBatteryStatus();
    _bstr_t GetBatteryChargeModeEx();
    _bstr_t SetBatteryChargeMode(int mode);
    _bstr_t GetChargeThresholdStatusEx();
    _bstr_t SetChargeThreshold(int enable, const _bstr_t& startValue, const _bstr_t& stopValue);
    _bstr_t GetMachineTypeModel();
    _bstr_t GetAutoKBDBacklightEx();
    _bstr_t SetSmartSense(int state);
    _bstr_t GetAirplaneModeCapability();
    _bstr_t GetAllPowerSettings();
    _bstr_t SetAirplaneMode(int state);
    _bstr_t GetWifiSecurityStatus();
    _bstr_t SetWiFiStatus(int state);
    _bstr_t IsSupportPrivacyGuard();
    _bstr_t GetPrivacyGuardStatus();
    _bstr_t SetPrivacyGuard(int state);
    HRESULT InitializeContract(const _bstr_t& packageName, const _bstr_t& version);
    HRESULT SendPageView(const _bstr_t& feature, const _bstr_t& page);
    HRESULT SendFeatureTelemetry(const _bstr_t& eventName, const _bstr_t& value, const _bstr_t& page,
                                 const _bstr_t& launchContext);
    HRESULT SendPageTelemetry(const _bstr_t& page, const _bstr_t& fromPage, const _bstr_t& value,
                              const _bstr_t& launchContext);

    // Raw methods, in table order. The unused positions belong to methods the program never calls.
    STDMETHOD(raw_IsSupportDolbyEx)(BSTR* pAnswer) PURE;                                                // 7
    STDMETHOD(raw_GetDolbyStatusEx)(BSTR* pAnswer) PURE;                                                // 8
    STDMETHOD(raw_SetDolby)(int state, BSTR* pAnswer) PURE;                                             // 9
    STDMETHOD(raw_GetECourseStatusEx)(BSTR* pAnswer) PURE;                                              // 10
    STDMETHOD(raw_SetECourseMode)(int state, BSTR* pAnswer) PURE;                                       // 11
    STDMETHOD(raw_CheckPluginInvoke)(BSTR* pAnswer) PURE;                                               // 12
    STDMETHOD(raw_GetMachineBrand)(BSTR* pAnswer) PURE;                                                 // 13
    STDMETHOD(raw_Unused14)() PURE;                                                                     // 14
    STDMETHOD(raw_IsSupportBacklightEx)(BSTR* pAnswer) PURE;                                            // 15
    STDMETHOD(raw_GetBacklightStatusEx)(BSTR* pAnswer) PURE;                                            // 16
    STDMETHOD(raw_SetBackLight)(int level, BSTR* pAnswer) PURE;                                         // 17
    STDMETHOD(raw_GetIxorKBDCapability)(BSTR* pAnswer) PURE;                                            // 18
    STDMETHOD(raw_GetIxorPrimeKeySettings)(BSTR* pAnswer) PURE;                                         // 19
    STDMETHOD(raw_GetIxorFnLockSettings)(BSTR* pAnswer) PURE;                                           // 20
    STDMETHOD(raw_SetIxorFnLock)(int state, BSTR* pAnswer) PURE;                                        // 21
    STDMETHOD(raw_GetKobalKBDCapability)(BSTR* pAnswer) PURE;                                           // 22
    STDMETHOD(raw_GetKobalKBDSettings)(BSTR* pAnswer) PURE;                                             // 23
    STDMETHOD(raw_Unused24)() PURE;                                                                     // 24
    STDMETHOD(raw_SetKobalFnLock)(int state, BSTR* pAnswer) PURE;                                       // 25
    STDMETHOD(raw_Unused26)() PURE;                                                                     // 26
    STDMETHOD(raw_Unused27)() PURE;                                                                     // 27
    STDMETHOD(raw_SetKobalTouchPad)(int state, BSTR* pAnswer) PURE;                                     // 28
    STDMETHOD(raw_IsSupportTouchPadEx2)(BSTR* pAnswer) PURE;                                            // 29
    STDMETHOD(raw_GetTouchPadStatusEx)(BSTR* pAnswer) PURE;                                             // 30
    STDMETHOD(raw_SetTouchPad)(int state, BSTR* pAnswer) PURE;                                          // 31
    STDMETHOD(raw_Unused32)() PURE;                                                                     // 32
    STDMETHOD(raw_Unused33)() PURE;                                                                     // 33
    STDMETHOD(raw_SetCamera)(int state, BSTR* pAnswer) PURE;                                            // 34
    STDMETHOD(raw_Unused35)() PURE;                                                                     // 35
    STDMETHOD(raw_Unused36)() PURE;                                                                     // 36
    STDMETHOD(raw_Unused37)() PURE;                                                                     // 37
    STDMETHOD(raw_Unused38)() PURE;                                                                     // 38
    STDMETHOD(raw_Unused39)() PURE;                                                                     // 39
    STDMETHOD(raw_Unused40)() PURE;                                                                     // 40
    STDMETHOD(raw_GetEyeCareModeStatusEx)(int type, BSTR* pAnswer) PURE;                                // 41
    STDMETHOD(raw_SetEyeCareMode)(int state, int type, BSTR* pAnswer) PURE;                             // 42
    STDMETHOD(raw_GetEyeCareTempSettings)(int* pSupport) PURE;                                          // 43
    STDMETHOD(raw_Unused44)() PURE;                                                                     // 44
    STDMETHOD(raw_Unused45)() PURE;                                                                     // 45
    STDMETHOD(raw_Unused46)() PURE;                                                                     // 46
    STDMETHOD(raw_IsSupportBatteryEx)(BSTR* pAnswer) PURE;                                              // 47
    STDMETHOD(raw_GetBatteryStatus)(BSTR* pAnswer) PURE;                                                // 48
    STDMETHOD(raw_GetBatteryChargeModeEx)(BSTR* pAnswer) PURE;                                          // 49
    STDMETHOD(raw_SetBatteryChargeMode)(int mode, BSTR* pAnswer) PURE;                                  // 50
    STDMETHOD(raw_Unused51)() PURE;                                                                     // 51
    STDMETHOD(raw_Unused52)() PURE;                                                                     // 52
    STDMETHOD(raw_Unused53)() PURE;                                                                     // 53
    STDMETHOD(raw_Unused54)() PURE;                                                                     // 54
    STDMETHOD(raw_GetChargeThresholdStatusEx)(BSTR* pAnswer) PURE;                                      // 55
    STDMETHOD(raw_SetChargeThreshold)(int enable, BSTR startValue, BSTR stopValue, BSTR* pAnswer) PURE; // 56
    STDMETHOD(raw_GetMachineTypeModel)(BSTR* pAnswer) PURE;                                             // 57
    STDMETHOD(raw_Unused58)() PURE;                                                                     // 58
    STDMETHOD(raw_GetAutoKBDBacklightEx)(BSTR* pAnswer) PURE;                                           // 59
    STDMETHOD(raw_Unused60)() PURE;                                                                     // 60
    STDMETHOD(raw_SetSmartSense)(int state, BSTR* pAnswer) PURE;                                        // 61
    STDMETHOD(raw_GetAirplaneModeCapability)(BSTR* pAnswer) PURE;                                       // 62
    STDMETHOD(raw_GetAllPowerSettings)(BSTR* pAnswer) PURE;                                             // 63
    STDMETHOD(raw_Unused64)() PURE;                                                                     // 64
    STDMETHOD(raw_SetAirplaneMode)(int state, BSTR* pAnswer) PURE;                                      // 65
    STDMETHOD(raw_GetWifiSecurityStatus)(BSTR* pAnswer) PURE;                                           // 66
    STDMETHOD(raw_SetWiFiStatus)(int state, BSTR* pAnswer) PURE;                                        // 67
    STDMETHOD(raw_Unused68)() PURE;                                                                     // 68
    STDMETHOD(raw_IsSupportPrivacyGuard)(BSTR* pAnswer) PURE;                                           // 69
    STDMETHOD(raw_GetPrivacyGuardStatus)(BSTR* pAnswer) PURE;                                           // 70
    STDMETHOD(raw_SetPrivacyGuard)(int state, BSTR* pAnswer) PURE;                                      // 71
    STDMETHOD(raw_Unused72)() PURE;                                                                     // 72
    STDMETHOD(raw_GetPrivacyMonitorState)(int* pState) PURE;                                            // 73
    STDMETHOD(raw_GetPrivacyMonitorStatus)
    (int* pValue1, int* pValue2, int* pValue3, int* pValue4, int* pValue5, int* pValue6, int* pValue7,
     int* pValue8) PURE;                                                                                 // 74
    STDMETHOD(raw_InitializeContract)(BSTR packageName, BSTR version) PURE;                              // 75
    STDMETHOD(raw_SendPageView)(BSTR feature, BSTR page) PURE;                                           // 76
    STDMETHOD(raw_SendFeatureTelemetry)(BSTR eventName, BSTR value, BSTR page, BSTR launchContext) PURE; // 77
    STDMETHOD(raw_SendPageTelemetry)(BSTR page, BSTR fromPage, BSTR value, BSTR launchContext) PURE;     // 78
};

_COM_SMARTPTR_TYPEDEF(IContractInterface, __uuidof(IContractInterface));

// Raises _com_error for a failed HRESULT of a contract method; passes any other through.
inline HRESULT CheckContractResult(HRESULT hr, IContractInterface* contract) {
    if (FAILED(hr)) {
        _com_issue_errorex(hr, contract, __uuidof(IContractInterface));
    }
    return hr;
}

inline _bstr_t IContractInterface::IsSupportDolbyEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_IsSupportDolbyEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetDolbyStatusEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetDolbyStatusEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetDolby(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetDolby(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetECourseStatusEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetECourseStatusEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetECourseMode(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetECourseMode(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::CheckPluginInvoke() {
    BSTR answer = nullptr;
    CheckContractResult(raw_CheckPluginInvoke(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetMachineBrand() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetMachineBrand(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::IsSupportBacklightEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_IsSupportBacklightEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetBacklightStatusEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetBacklightStatusEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetBackLight(int level) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetBackLight(level, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetIxorKBDCapability() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetIxorKBDCapability(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetIxorPrimeKeySettings() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetIxorPrimeKeySettings(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetIxorFnLockSettings() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetIxorFnLockSettings(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetIxorFnLock(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetIxorFnLock(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetKobalKBDCapability() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetKobalKBDCapability(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetKobalKBDSettings() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetKobalKBDSettings(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetKobalFnLock(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetKobalFnLock(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetKobalTouchPad(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetKobalTouchPad(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::IsSupportTouchPadEx2() {
    BSTR answer = nullptr;
    CheckContractResult(raw_IsSupportTouchPadEx2(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetTouchPadStatusEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetTouchPadStatusEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetTouchPad(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetTouchPad(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetCamera(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetCamera(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetEyeCareModeStatusEx(int type) {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetEyeCareModeStatusEx(type, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetEyeCareMode(int state, int type) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetEyeCareMode(state, type, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::IsSupportBatteryEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_IsSupportBatteryEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetBatteryStatus() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetBatteryStatus(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetBatteryChargeModeEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetBatteryChargeModeEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetBatteryChargeMode(int mode) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetBatteryChargeMode(mode, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetChargeThresholdStatusEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetChargeThresholdStatusEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetChargeThreshold(int enable, const _bstr_t& startValue,
                                                      const _bstr_t& stopValue) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetChargeThreshold(enable, static_cast<wchar_t*>(startValue),
                                               static_cast<wchar_t*>(stopValue), &answer),
                        this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetMachineTypeModel() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetMachineTypeModel(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetAutoKBDBacklightEx() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetAutoKBDBacklightEx(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetSmartSense(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetSmartSense(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetAirplaneModeCapability() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetAirplaneModeCapability(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetAllPowerSettings() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetAllPowerSettings(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetAirplaneMode(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetAirplaneMode(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetWifiSecurityStatus() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetWifiSecurityStatus(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetWiFiStatus(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetWiFiStatus(state, &answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::IsSupportPrivacyGuard() {
    BSTR answer = nullptr;
    CheckContractResult(raw_IsSupportPrivacyGuard(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::GetPrivacyGuardStatus() {
    BSTR answer = nullptr;
    CheckContractResult(raw_GetPrivacyGuardStatus(&answer), this);
    return _bstr_t(answer, false);
}

inline _bstr_t IContractInterface::SetPrivacyGuard(int state) {
    BSTR answer = nullptr;
    CheckContractResult(raw_SetPrivacyGuard(state, &answer), this);
    return _bstr_t(answer, false);
}

inline HRESULT IContractInterface::InitializeContract(const _bstr_t& packageName, const _bstr_t& version) {
    return CheckContractResult(
        raw_InitializeContract(static_cast<wchar_t*>(packageName), static_cast<wchar_t*>(version)), this);
}

inline HRESULT IContractInterface::SendPageView(const _bstr_t& feature, const _bstr_t& page) {
    return CheckContractResult(raw_SendPageView(static_cast<wchar_t*>(feature), static_cast<wchar_t*>(page)),
                               this);
}

inline HRESULT IContractInterface::SendFeatureTelemetry(const _bstr_t& eventName, const _bstr_t& value,
                                                        const _bstr_t& page, const _bstr_t& launchContext) {
    return CheckContractResult(
        raw_SendFeatureTelemetry(static_cast<wchar_t*>(eventName), static_cast<wchar_t*>(value),
                                 static_cast<wchar_t*>(page), static_cast<wchar_t*>(launchContext)),
        this);
}

inline HRESULT IContractInterface::SendPageTelemetry(const _bstr_t& page, const _bstr_t& fromPage,
                                                     const _bstr_t& value, const _bstr_t& launchContext) {
    return CheckContractResult(
        raw_SendPageTelemetry(static_cast<wchar_t*>(page), static_cast<wchar_t*>(fromPage),
                              static_cast<wchar_t*>(value), static_cast<wchar_t*>(launchContext)),
        this);
}
