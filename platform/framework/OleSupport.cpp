// The framework's OLE support: OLE for the user-interface thread and the application's message filter.
#include "platform/com.h"
#include "platform/framework.h"
#include "platform/framework/FrameworkState.h"

IMPLEMENT_DYNAMIC(COleMessageFilter, CCmdTarget)

BOOL COleMessageFilter::Register() {
    m_bRegistered = TRUE;
    return TRUE;
}

void COleMessageFilter::Revoke() {
    m_bRegistered = FALSE;
}

void COleMessageFilter::EnableBusyDialog(BOOL bEnableBusy) {
    m_bEnableBusy = bEnableBusy;
}

void COleMessageFilter::EnableNotRespondingDialog(BOOL bEnableNotResponding) {
    m_bEnableNotResponding = bEnableNotResponding;
}

void COleMessageFilter::SetBusyReply(SERVERCALL nBusyReply) {
    m_nBusyReply = nBusyReply;
}

void COleMessageFilter::SetMessagePendingDelay(DWORD nTimeout) {
    m_nTimeout = nTimeout;
}

BOOL AfxOleInit() {
    auto& state = platform::FrameworkState();
    if (state.oleInitialized) {
        return TRUE;
    }
    if (FAILED(OleInitialize(nullptr))) {
        return FALSE;
    }
    state.oleInitialized = true;
    state.messageFilter = std::make_unique<COleMessageFilter>();
    state.messageFilter->Register();
    return TRUE;
}

void AfxOleTerm(BOOL bJustRevoke) {
    auto& state = platform::FrameworkState();
    if (state.messageFilter) {
        state.messageFilter->Revoke();
        state.messageFilter.reset();
    }
    if (!bJustRevoke && state.oleInitialized) {
        state.oleInitialized = false;
        OleUninitialize();
    }
}

COleMessageFilter* AfxOleGetMessageFilter() {
    return platform::FrameworkState().messageFilter.get();
}

void AfxEnableControlContainer() {
    platform::FrameworkState().controlContainerEnabled = true;
}
