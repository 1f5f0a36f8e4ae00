// The mute of the machine's default audio capture endpoint (the microphone) through Core Audio. Each
// operation makes and releases its own Core Audio objects, on a thread where COM is initialised, so a
// CMixer is a stack object made where it is needed.
#pragma once

#include "platform/base.h"

class CMixer {
public:
    virtual ~CMixer() = default;

    // 1 when the default capture endpoint is live, 0 when it is muted, -1 when a step fails (no
    // device, no enumerator).
    int GetMicMute();
    // 1 when the mute was set, 0 on any failure.
    int SetMicMute(BOOL bMute);
    // True when there is a default capture endpoint and at least one active capture endpoint.
    bool HasCaptureDevice();
};
