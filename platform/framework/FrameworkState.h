// The framework's state for the process (its "module state"): what the application started, for the
// framework's own parts and the window system.
#pragma once

#include <memory>

#include "platform/framework.h"

namespace platform {

struct CFrameworkState {
    CWinApp* app = nullptr;
    bool oleInitialized = false;
    std::unique_ptr<COleMessageFilter> messageFilter;
    bool controlContainerEnabled = false;
    DWORD commonControlClasses = 0;
    CShellManager* shellManager = nullptr;
    CRuntimeClass* visualManagerClass = nullptr;
    std::unique_ptr<CMFCVisualManager> visualManager;
};

// Used from the user-interface thread only, as the framework's objects are.
CFrameworkState& FrameworkState();

} // namespace platform
