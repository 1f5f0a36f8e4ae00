// Common controls, the shell manager and the visual manager.
#include "platform/framework.h"
#include "platform/framework/FrameworkState.h"

namespace {

constexpr DWORD kKnownControlClasses = 0x0000FFFFu;

} // namespace

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX) ||
        (picce->dwICC & ~kKnownControlClasses) != 0) {
        return FALSE;
    }
    platform::FrameworkState().commonControlClasses |= picce->dwICC;
    return TRUE;
}

CShellManager::CShellManager() {
    platform::FrameworkState().shellManager = this;
}

CShellManager::~CShellManager() {
    auto& state = platform::FrameworkState();
    if (state.shellManager == this) {
        state.shellManager = nullptr;
    }
}

IMPLEMENT_DYNCREATE(CMFCVisualManager, CObject)
IMPLEMENT_DYNCREATE(CMFCVisualManagerWindows, CMFCVisualManager)

void CMFCVisualManager::SetDefaultManager(CRuntimeClass* pRTI) {
    if (!pRTI || !pRTI->m_pfnCreateObject || !pRTI->IsDerivedFrom(RUNTIME_CLASS(CMFCVisualManager))) {
        return;
    }
    auto& state = platform::FrameworkState();
    state.visualManagerClass = pRTI;
    state.visualManager.reset();
}

CMFCVisualManager* CMFCVisualManager::GetInstance() {
    auto& state = platform::FrameworkState();
    if (!state.visualManager) {
        CRuntimeClass* pClass =
            state.visualManagerClass ? state.visualManagerClass : RUNTIME_CLASS(CMFCVisualManager);
        state.visualManager.reset(static_cast<CMFCVisualManager*>(pClass->CreateObject()));
    }
    return state.visualManager.get();
}
