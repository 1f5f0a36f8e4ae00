// The dotted keyboard-focus rectangle that the owner-drawn controls paint themselves.
#pragma once

#include "platform/framework_window.h"

// The dotted outline just inside the rectangle (client coordinates) in RGB(180, 180, 180), drawn only
// while the window has the focus and the narrator is off.
void DrawFocusFrame(CWnd* pWnd, CDC* pDC, const RECT& rcFrame);
