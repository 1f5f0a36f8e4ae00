// The screen of the process's desktop, for tests, the presenters and the tools that drive a running
// program: the composed screen as pixels, input as the system's input would deliver it, and the moment
// the screen settles.
//
// How a presenter plugs in: implement CPresenter and hand it to SetPresenter. Whenever the screen has
// settled after a change (the user-interface thread went idle after painting), Present is called, on
// that thread, with the composed screen. The default presenter writes it to screen.png in the machine
// folder (when the machine exists). A presenter that shows a real window turns the person's mouse and
// keyboard into the same calls a test makes: MoveMouse, Button, Wheel and Key, in screen coordinates.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/window.h"

namespace platform::desktop {

// Pixels as 0x00RRGGBB, rows from the top.
struct CScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    COLORREF At(int x, int y) const;
    bool WritePng(const std::filesystem::path& file) const;
};

class CPresenter {
public:
    virtual ~CPresenter() = default;
    virtual void Present(const CScreenImage& screen) = 0;
};

// The presenter that writes screen.png (atomically) into the machine folder.
std::unique_ptr<CPresenter> MakePngPresenter();
// Replaces the presenter (null: the PNG writer); returns the previous one.
std::unique_ptr<CPresenter> SetPresenter(std::unique_ptr<CPresenter> presenter);

// The screen now: the desktop's background, then the visible top-level windows from the bottom of the
// z-order to the top (the taskbar and the shell's windows among them).
CScreenImage ComposeScreen();
// The screen's rectangle: the desktop window's, which ComposeScreen shows (the monitors' bounding
// rectangle when the desktop was made).
RECT ScreenRect();

// ---- Input, as the system delivers it ----
enum class EButton { Left, Right, Middle };
// The mouse to a screen point: WM_MOUSEMOVE to the window under it (or the capture), hover and leave.
void MoveMouse(POINT screen);
// A button pressed or released at a screen point (the mouse moves there first).
void Button(EButton button, bool down, POINT screen);
// Press and release.
void Click(POINT screen, EButton button = EButton::Left);
// WM_MOUSEWHEEL with the delta (WHEEL_DELTA per notch, positive away from the user).
void Wheel(POINT screen, int delta);
// A key pressed or released for the focus window of the foreground thread.
void Key(BYTE vk, bool down);
// Press and release.
void PressKey(BYTE vk);

// The cursor the system shows now (SetCursor's last).
HCURSOR CurrentCursor();

// Waits until every thread that has windows is idle in its message calls with nothing to do (no sent,
// posted or input message, nothing to paint, no hover pending). False when the time runs out.
bool WaitUntilSettled(DWORD timeoutMs = 5000);

} // namespace platform::desktop
