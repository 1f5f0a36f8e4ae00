// A power setting's change as the system delivers it, for the machine's channel and the tests.
#pragma once

#include "platform/window.h"

namespace platform::desktop {

// Sends WM_POWERBROADCAST (PBT_POWERSETTINGCHANGE) with the setting and its DWORD value to each window
// registered for the setting, in the order of registration, each on its own thread; returns once every
// one has answered or died.
void NotifyPowerSettingChange(REFGUID setting, DWORD value);

} // namespace platform::desktop
