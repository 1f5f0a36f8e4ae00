// The window procedures of the system's window classes: the desktop, dialogs, the standard controls and
// the shell's windows.
#pragma once

#include "platform/window.h"

namespace platform::window {

LRESULT DesktopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SysLinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ToolTipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ShellWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The font a control draws with: its WM_SETFONT font, else the default GUI font.
HFONT ControlFont(HWND hwnd);
// The brush and colours the parent chooses for a control (WM_CTLCOLORBTN, WM_CTLCOLORSTATIC, ...), set
// into the DC; the system face brush when the parent has no answer.
HBRUSH ControlBrush(HWND hwnd, HDC hdc, UINT ctlColorMessage);
// WM_COMMAND with the control's id and the code to its parent.
void NotifyParent(HWND hwnd, WORD code);
// The layer's drawing of focus rectangles and 3-D edges.
void DrawFocusRectangle(HDC hdc, const RECT& rect);
void FillSolid(HDC hdc, const RECT& rect, COLORREF color);
void DrawFrame(HDC hdc, const RECT& rect, COLORREF color);

} // namespace platform::window
