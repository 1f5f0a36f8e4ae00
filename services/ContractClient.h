// The one process-wide instance of the host's contract interface, the launch context and the
// telemetry senders.
#pragma once

#include <string>

#include "platform/time.h"
#include "services/ContractInterface.h"

extern IContractInterfacePtr g_pContractInterface;
extern std::wstring g_strLaunchContext;

// 0 when the instance exists already, 1 after a failed creation (logged), else the HRESULT of
// InitializeContract.
int CreateContractInterfaceInstance();
// Releases the instance if it is held; the pointer is null afterwards.
void ReleaseContractInterface();

// Runs one contract call; a failed HRESULT (the wrapper's _com_error) becomes a null answer, so the
// caller's null-answer path runs instead of the process ending.
template <typename Call> _bstr_t ContractAnswerOf(Call call) {
    try {
        return call();
    } catch (const _com_error&) {
        return _bstr_t();
    }
}
// The same for a method without an answer: the failing HRESULT.
template <typename Call> HRESULT ContractResultOf(Call call) {
    try {
        return call();
    } catch (const _com_error& error) {
        return error.Error();
    }
}

int TrackPanelPageView();
int SendFeatureEvent(const wchar_t* pszEvent, const wchar_t* pszValue, const wchar_t* pszPage);
int SendPageEvent(const wchar_t* pszPage, const wchar_t* pszFromPage, const wchar_t* pszValue);
int TrackPanelPageLeave(const FILETIME* pOpenTime);
