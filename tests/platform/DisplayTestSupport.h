// Screens for the display and drawing tests: a test machine's "/display" fact rewritten in place.
#pragma once

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "tests/support/TestMachine.h"

namespace display_test {

// One 1920 x 1080 monitor at (left, 0) with a 40-pixel taskbar (at 96 DPI), as the profiles describe it.
inline nlohmann::json Monitor(int dpi, int left = 0) {
    return {{"device", "\\\\.\\DISPLAY1"},
            {"left", left},
            {"top", 0},
            {"width", 1920},
            {"height", 1080},
            {"dpi", dpi},
            {"taskbarHeight", 40}};
}

// Replaces the machine's list of monitors (or the whole "/display" fact with a value that is no list).
inline void SetMonitors(const testing_support::CTestMachine& machine, const nlohmann::json& monitors) {
    testing_support::SetMachineFact(machine.Folder(), "/display/monitors", monitors);
}

} // namespace display_test
