// The camera privacy state that every start of the features grid sets on the host once, without a
// button: the class exists only as the name of its worker.
#pragma once

#include "platform/threads.h"

// The state the grid passes to the worker (by address): 1, never changed.
extern int g_nCameraPrivacyState;

class CCameraPrivacyBtn {
public:
    // The worker (_beginthreadex): sets the camera privacy state that pParam points at (an int) on the
    // host and logs the answer. -1 without a contract instance or a state, else 0. Touches no window.
    static unsigned __stdcall SetCamera(void* pParam);
};
