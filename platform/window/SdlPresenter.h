// The presenter for a desktop session: a real window that shows the emulated screen and turns the
// person's mouse and keyboard into the desktop's input calls.
#pragma once

#include <memory>

#include "platform/window/Desktop.h"

namespace platform::desktop {

// Whether a display is set (DISPLAY or WAYLAND_DISPLAY).
bool DisplayIsSet();
// A presenter showing the screen in a window on the display; null when no window can be opened.
std::unique_ptr<CPresenter> MakeWindowPresenter();
// The window presenter when a display is set, else the PNG writer stays.
void PresentOnDisplayWhenSet();

} // namespace platform::desktop
