// The machine's screen as its facts describe it ("/display/monitors"), for the layer's window system and
// presenter: each monitor's bounds, DPI, taskbar and work area, the first one primary.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi.h"

namespace platform {

struct ScreenMonitor {
    std::wstring device;
    RECT bounds;
    UINT dpi;
    // The taskbar along the monitor's bottom edge (its height scales with the DPI), and what it leaves.
    RECT taskbar;
    RECT workArea;
};

// A fact such as {"device": "\\\\.\\DISPLAY1", "left": 0, "top": 0, "width": 1920, "height": 1080,
// "dpi": 96, "taskbarHeight": 40}; entries without a positive size are left out, a missing or unusable
// DPI is 96, a missing taskbar height 0 (the height is given at 96 DPI).
std::vector<ScreenMonitor> ScreenMonitors();

} // namespace platform
