// Input: focus, activation and the foreground window, capture, hover tracking, key states, cursors and
// icons, and the input the desktop delivers (mouse and keyboard as the system's input would).
#include <algorithm>
#include <utility>

#include "platform/internal.h"
#include "platform/resources.h"
#include "platform/threads.h"
#include "platform/window/Desktop.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

constexpr ULONG_PTR kCursorBase = 0x00C00000u;
constexpr ULONG_PTR kIconBase = 0x00D00000u;
constexpr DWORD kDefaultHoverMs = 400;
constexpr LONG kHoverSlack = 2;
constexpr WORD kSystemCursors[] = {32512, 32513, 32514, 32515, 32646, 32648, 32649};

struct CInputState {
    POINT cursor{};
    HCURSOR shownCursor = nullptr;
    HWND foreground = nullptr;
    HWND capture = nullptr;
    BYTE asyncKeys[256] = {};
    WPARAM buttons = 0;
};

CInputState& Input() {
    static auto* state = new CInputState;
    return *state;
}

struct CNotification {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

void Deliver(const std::vector<CNotification>& notifications) {
    for (const CNotification& n : notifications) {
        SendNotifyMessageW(n.hwnd, n.message, n.wParam, n.lParam);
    }
}

std::vector<CWindow*> TopLevelWindowsOfLocked(DWORD threadId) {
    std::vector<CWindow*> windows;
    for (CWindow* window : DesktopLocked()->children) {
        if (window->threadId == threadId && threadId != 0) {
            windows.push_back(window);
        }
    }
    return windows;
}

LPARAM ClientPointLocked(const CWindow& window, POINT screen) {
    const POINT origin = ScreenOriginLocked(window);
    return MAKELPARAM(screen.x - origin.x, screen.y - origin.y);
}

WPARAM MouseKeys() {
    const CInputState& input = Input();
    WPARAM keys = input.buttons;
    keys |= (input.asyncKeys[VK_SHIFT] & 0x80) ? MK_SHIFT : 0;
    keys |= (input.asyncKeys[VK_CONTROL] & 0x80) ? MK_CONTROL : 0;
    return keys;
}

// The window that takes mouse input at the cursor: the capture, else the window under it.
CWindow* MouseTargetLocked() {
    CWindow* capture = FindLocked(Input().capture);
    return capture ? capture : WindowFromPointLocked(Input().cursor);
}

void PostMouseLocked(UINT message, WPARAM wParam, bool screenCoordinates) {
    CWindow* target = MouseTargetLocked();
    if (!target || target->threadId == 0) {
        return;
    }
    const POINT cursor = Input().cursor;
    const LPARAM lParam =
        screenCoordinates ? MAKELPARAM(cursor.x, cursor.y) : ClientPointLocked(*target, cursor);
    PostInputLocked(QueueLocked(target->threadId), MSG{target->handle, message, wParam, lParam, 0, cursor});
}

bool IsMouseButtonDown(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

} // namespace

POINT CursorPosLocked() {
    return Input().cursor;
}

HWND GetForegroundWindowLocked() {
    return Input().foreground;
}

void ForgetWindowLocked(CWindow& window) {
    auto inside = [&window](HWND hwnd) {
        const CWindow* other = FindLocked(hwnd);
        return other && (other == &window || IsDescendantLocked(&window, other));
    };
    ForEachQueueLocked([&](CThreadQueue& queue) {
        if (inside(queue.focus)) {
            queue.focus = nullptr;
        }
        if (inside(queue.capture)) {
            queue.capture = nullptr;
        }
        if (inside(queue.tracking.hwnd)) {
            queue.tracking = CTracking{};
        }
        if (window.destroying && queue.active == window.handle) {
            queue.active = nullptr;
        }
    });
    if (inside(Input().capture)) {
        Input().capture = nullptr;
    }
    if (window.destroying && Input().foreground == window.handle) {
        Input().foreground = nullptr;
    }
}

void CheckTrackingLocked() {
    if (!DesktopLocked()) {
        return;
    }
    const POINT cursor = Input().cursor;
    const CWindow* under = WindowFromPointLocked(cursor);
    ForEachQueueLocked([&](CThreadQueue& queue) {
        CTracking& tracking = queue.tracking;
        if (!tracking.hwnd) {
            return;
        }
        if (!under || under->handle != tracking.hwnd) {
            if (tracking.flags & TME_LEAVE) {
                PostInputLocked(queue, MSG{tracking.hwnd, WM_MOUSELEAVE, 0, 0, 0, cursor});
            }
            tracking = CTracking{};
            return;
        }
        if ((tracking.flags & TME_HOVER) && (std::abs(cursor.x - tracking.hoverPoint.x) > kHoverSlack ||
                                             std::abs(cursor.y - tracking.hoverPoint.y) > kHoverSlack)) {
            tracking.hoverPoint = cursor;
            tracking.hoverDue = NowMs() + tracking.hoverTime;
            WakeLocked(queue);
        }
    });
}

unsigned long long ServeHoverLocked(CThreadQueue& queue) {
    CTracking& tracking = queue.tracking;
    if (!tracking.hwnd || !(tracking.flags & TME_HOVER)) {
        return ~0ull;
    }
    if (NowMs() < tracking.hoverDue) {
        return tracking.hoverDue;
    }
    if (const CWindow* window = FindLocked(tracking.hwnd)) {
        PostInputLocked(queue, MSG{tracking.hwnd, WM_MOUSEHOVER, MouseKeys(),
                                   ClientPointLocked(*window, Input().cursor), 0, Input().cursor});
    }
    tracking.flags &= ~TME_HOVER;
    if (!tracking.flags) {
        tracking = CTracking{};
    }
    return ~0ull;
}

void ResolveKeyboardTargetLocked(CThreadQueue& queue) {
    while (!queue.input.empty()) {
        MSG& front = queue.input.front();
        if (front.hwnd || front.message < WM_KEYFIRST || front.message > WM_KEYLAST) {
            return;
        }
        front.hwnd = queue.focus ? queue.focus : queue.active;
        if (front.hwnd) {
            return;
        }
        queue.input.pop_front();
    }
}

void TakeInputMessage(MSG& msg) {
    bool activate = false;
    HWND top = nullptr;
    bool captured = false;
    {
        Lock lock = LockWindows();
        CThreadQueue& queue = CurrentQueueLocked();
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && msg.wParam < 256) {
            BYTE& state = queue.keyState[msg.wParam];
            if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
                state = static_cast<BYTE>((state & 0x80) ? state : ((state ^ 0x01) | 0x80));
            } else if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) {
                state &= 0x01;
            }
        }
        if (CWindow* window = FindLocked(msg.hwnd); window && IsMouseButtonDown(msg.message)) {
            CWindow* topLevel = TopLevelLocked(window);
            top = topLevel->handle;
            activate = top != Input().foreground && !(topLevel->exStyle & WS_EX_NOACTIVATE);
        }
        captured = queue.capture != nullptr;
    }
    if (activate) {
        ActivateForeground(top, true);
    }
    const bool mouse =
        msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST && msg.message != WM_MOUSEWHEEL;
    if (mouse && !captured) {
        SendMessageW(msg.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg.hwnd),
                     MAKELPARAM(HTCLIENT, msg.message));
    }
}

void ActivateForeground(HWND hwnd, bool byMouse) {
    std::vector<CNotification> notifications;
    HWND raised = nullptr;
    {
        Lock lock = LockWindows();
        CWindow* window = FindLocked(hwnd);
        CWindow* top = window ? TopLevelLocked(window) : nullptr;
        if (top == DesktopLocked() || (top && top->threadId == 0)) {
            top = nullptr; // the desktop and the shell belong to another application
        }
        CWindow* previous = FindLocked(Input().foreground);
        const DWORD oldThread = previous ? previous->threadId : 0;
        const DWORD newThread = top ? top->threadId : 0;
        Input().foreground = top ? top->handle : nullptr;
        raised = Input().foreground;
        if (oldThread != newThread) {
            if (CThreadQueue* queue = ExistingQueueLocked(oldThread)) {
                if (FindLocked(queue->active)) {
                    notifications.push_back({queue->active, WM_ACTIVATE, WA_INACTIVE,
                                             reinterpret_cast<LPARAM>(top ? top->handle : nullptr)});
                }
                if (FindLocked(queue->focus)) {
                    notifications.push_back({queue->focus, WM_KILLFOCUS, 0, 0});
                }
                queue->active = nullptr;
                queue->focus = nullptr;
            }
            for (CWindow* each : TopLevelWindowsOfLocked(oldThread)) {
                notifications.push_back(
                    {each->handle, WM_ACTIVATEAPP, FALSE, static_cast<LPARAM>(newThread)});
            }
            for (CWindow* each : TopLevelWindowsOfLocked(newThread)) {
                notifications.push_back({each->handle, WM_ACTIVATEAPP, TRUE, static_cast<LPARAM>(oldThread)});
            }
        }
        if (top) {
            CThreadQueue& queue = QueueLocked(newThread);
            const HWND oldActive = FindLocked(queue.active) ? queue.active : nullptr;
            if (oldActive != top->handle) {
                if (oldActive) {
                    notifications.push_back(
                        {oldActive, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top->handle)});
                }
                queue.active = top->handle;
                if (CWindow* owner = FindLocked(top->owner)) {
                    owner->lastActivePopup = top->handle;
                }
                notifications.push_back({top->handle, WM_ACTIVATE,
                                         byMouse ? WPARAM{WA_CLICKACTIVE} : WPARAM{WA_ACTIVE},
                                         reinterpret_cast<LPARAM>(oldActive)});
            }
        }
        ScreenChangedLocked();
    }
    if (raised) {
        SetWindowPos(raised, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    Deliver(notifications);
}

} // namespace platform::window

using namespace platform::window;

// ---- Focus and activation ----
HWND SetFocus(HWND hWnd) {
    HWND previous = nullptr;
    HWND top = nullptr;
    bool activate = false;
    {
        Lock lock = LockWindows();
        CThreadQueue& queue = CurrentQueueLocked();
        previous = queue.focus;
        if (hWnd) {
            CWindow* window = FindLocked(hWnd);
            if (!window || window->threadId != queue.threadId) {
                SetLastError(window ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            top = TopLevelLocked(window)->handle;
            activate = top != queue.active;
        }
    }
    if (activate) {
        ActivateForeground(top, false);
    }
    {
        Lock lock = LockWindows();
        CThreadQueue& queue = CurrentQueueLocked();
        if (queue.focus == hWnd) {
            return previous;
        }
        previous = queue.focus;
        queue.focus = hWnd;
    }
    if (previous && IsWindow(previous)) {
        SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    }
    if (hWnd && GetFocus() == hWnd) {
        SendMessageW(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
}

HWND GetFocus() {
    Lock lock = LockWindows();
    return CurrentQueueLocked().focus;
}

HWND GetActiveWindow() {
    Lock lock = LockWindows();
    return CurrentQueueLocked().active;
}

HWND SetActiveWindow(HWND hWnd) {
    const HWND previous = GetActiveWindow();
    {
        Lock lock = LockWindows();
        const CWindow* window = FindLocked(hWnd);
        if (!window || window->threadId != GetCurrentThreadId()) {
            SetLastError(window ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
    }
    ActivateForeground(hWnd, false);
    return previous;
}

HWND GetForegroundWindow() {
    Lock lock = LockWindows();
    return Input().foreground;
}

BOOL SetForegroundWindow(HWND hWnd) {
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    ActivateForeground(hWnd, false);
    return TRUE;
}

BOOL AttachThreadInput(DWORD idAttach, DWORD idAttachTo, BOOL fAttach) {
    Lock lock = LockWindows();
    auto known = [](DWORD threadId) { return threadId == kShellThreadId || ExistingQueueLocked(threadId); };
    if (idAttach == idAttachTo || !known(idAttach) || !known(idAttachTo)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

// ---- Keys ----
SHORT GetKeyState(int nVirtKey) {
    if (nVirtKey < 0 || nVirtKey > 255) {
        return 0;
    }
    Lock lock = LockWindows();
    const BYTE state = CurrentQueueLocked().keyState[nVirtKey];
    return static_cast<SHORT>(((state & 0x80) ? 0xFF80 : 0) | (state & 0x01));
}

SHORT GetAsyncKeyState(int vKey) {
    if (vKey < 0 || vKey > 255) {
        return 0;
    }
    Lock lock = LockWindows();
    return static_cast<SHORT>((Input().asyncKeys[vKey] & 0x80) ? 0x8000 : 0);
}

void keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, ULONG_PTR dwExtraInfo) {
    const bool up = (dwFlags & KEYEVENTF_KEYUP) != 0;
    platform::AppendMachineEvent("input.key", {{"vk", bVk}, {"up", up}});
    platform::desktop::Key(bVk, !up);
}

// ---- Mouse ----
HWND SetCapture(HWND hWnd) {
    HWND previous = nullptr;
    {
        Lock lock = LockWindows();
        CWindow* window = FindLocked(hWnd);
        CThreadQueue& queue = CurrentQueueLocked();
        if (!window || window->threadId != queue.threadId) {
            return nullptr;
        }
        previous = queue.capture;
        queue.capture = hWnd;
        Input().capture = hWnd;
    }
    if (previous && previous != hWnd) {
        SendMessageW(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hWnd));
    }
    return previous;
}

HWND GetCapture() {
    Lock lock = LockWindows();
    return CurrentQueueLocked().capture;
}

BOOL ReleaseCapture() {
    HWND previous = nullptr;
    {
        Lock lock = LockWindows();
        CThreadQueue& queue = CurrentQueueLocked();
        previous = std::exchange(queue.capture, nullptr);
        if (Input().capture == previous) {
            Input().capture = nullptr;
        }
        CheckTrackingLocked();
    }
    if (previous) {
        SendMessageW(previous, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

BOOL GetCursorPos(LPPOINT lpPoint) {
    if (!lpPoint) {
        return FALSE;
    }
    Lock lock = LockWindows();
    *lpPoint = Input().cursor;
    return TRUE;
}

BOOL SetCursorPos(int X, int Y) {
    platform::desktop::MoveMouse(POINT{X, Y});
    return TRUE;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT lpEventTrack) {
    if (!lpEventTrack || lpEventTrack->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock = LockWindows();
    CThreadQueue& queue = CurrentQueueLocked();
    const CWindow* window = FindLocked(lpEventTrack->hwndTrack);
    if (!window || window->threadId != queue.threadId) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    CTracking& tracking = queue.tracking;
    const DWORD flags = lpEventTrack->dwFlags & (TME_HOVER | TME_LEAVE);
    if (lpEventTrack->dwFlags & TME_CANCEL) {
        if (tracking.hwnd == window->handle) {
            tracking.flags &= ~flags;
            if (!tracking.flags) {
                tracking = CTracking{};
            }
        }
        return TRUE;
    }
    const POINT cursor = Input().cursor;
    if (WindowFromPointLocked(cursor) != window) {
        if (flags & TME_LEAVE) {
            PostInputLocked(queue, MSG{window->handle, WM_MOUSELEAVE, 0, 0, 0, cursor});
        }
        return TRUE;
    }
    if (tracking.hwnd != window->handle) {
        tracking = CTracking{};
    }
    tracking.hwnd = window->handle;
    tracking.flags |= flags;
    if (flags & TME_HOVER) {
        tracking.hoverTime =
            lpEventTrack->dwHoverTime == HOVER_DEFAULT ? kDefaultHoverMs : lpEventTrack->dwHoverTime;
        tracking.hoverDue = NowMs() + tracking.hoverTime;
        tracking.hoverPoint = cursor;
    }
    WakeLocked(queue);
    return TRUE;
}

BOOL _TrackMouseEvent(LPTRACKMOUSEEVENT lpEventTrack) {
    return TrackMouseEvent(lpEventTrack);
}

// ---- Cursors and icons ----
HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
    const auto id = reinterpret_cast<ULONG_PTR>(lpCursorName);
    if (!hInstance && IS_INTRESOURCE(lpCursorName) &&
        std::find(std::begin(kSystemCursors), std::end(kSystemCursors), id) != std::end(kSystemCursors)) {
        return reinterpret_cast<HCURSOR>(kCursorBase + id);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR hCursor) {
    Lock lock = LockWindows();
    return std::exchange(Input().shownCursor, hCursor);
}

HCURSOR GetCursor() {
    Lock lock = LockWindows();
    return Input().shownCursor;
}

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
    if (!IS_INTRESOURCE(lpIconName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const auto id = reinterpret_cast<ULONG_PTR>(lpIconName);
    if (!hInstance) {
        if (id == 32512) {
            return reinterpret_cast<HICON>(kIconBase + id);
        }
    } else if (FindResourceW(hInstance, lpIconName, L"PNG")) {
        return reinterpret_cast<HICON>(kIconBase + id);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

BOOL DestroyIcon(HICON hIcon) {
    return hIcon ? TRUE : FALSE;
}

// ---- The desktop's input ----
namespace platform::desktop {

void MoveMouse(POINT screen) {
    window::EnsureDesktop();
    Lock lock = LockWindows();
    Input().cursor = screen;
    PostMouseLocked(WM_MOUSEMOVE, MouseKeys(), false);
    CheckTrackingLocked();
}

void Button(EButton button, bool down, POINT screen) {
    bool moved = false;
    {
        Lock lock = LockWindows();
        moved = Input().cursor.x != screen.x || Input().cursor.y != screen.y;
    }
    if (moved) {
        MoveMouse(screen);
    }
    HWND shell = nullptr;
    {
        Lock lock = LockWindows();
        static const UINT kMessages[3][2] = {
            {WM_LBUTTONUP, WM_LBUTTONDOWN}, {WM_RBUTTONUP, WM_RBUTTONDOWN}, {WM_MBUTTONUP, WM_MBUTTONDOWN}};
        static const WPARAM kKeys[3] = {MK_LBUTTON, MK_RBUTTON, MK_MBUTTON};
        static const BYTE kVirtualKeys[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
        const int index = static_cast<int>(button);
        Input().buttons = down ? (Input().buttons | kKeys[index]) : (Input().buttons & ~kKeys[index]);
        Input().asyncKeys[kVirtualKeys[index]] = down ? 0x80 : 0;
        CWindow* target = MouseTargetLocked();
        if (down && target && target->threadId == 0) {
            shell = target->handle;
        }
        PostMouseLocked(kMessages[index][down ? 1 : 0], MouseKeys(), false);
    }
    if (shell) {
        ActivateForeground(shell, true);
    }
}

void Click(POINT screen, EButton button) {
    Button(button, true, screen);
    Button(button, false, screen);
}

void Wheel(POINT screen, int delta) {
    MoveMouse(screen);
    Lock lock = LockWindows();
    PostMouseLocked(WM_MOUSEWHEEL, MAKEWPARAM(MouseKeys(), delta), true);
}

void Key(BYTE vk, bool down) {
    window::EnsureDesktop();
    Lock lock = LockWindows();
    BYTE& state = Input().asyncKeys[vk];
    const bool wasDown = (state & 0x80) != 0;
    state = down ? 0x80 : 0;
    const CWindow* foreground = FindLocked(Input().foreground);
    if (!foreground || foreground->threadId == 0) {
        return;
    }
    const bool alt = (Input().asyncKeys[VK_MENU] & 0x80) != 0;
    const bool system = alt || vk == VK_F10 || vk == VK_MENU;
    const UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    const LPARAM lParam = static_cast<LPARAM>(1u | (alt ? 0x20000000u : 0u) | (wasDown ? 0x40000000u : 0u) |
                                              (down ? 0u : 0x80000000u));
    PostInputLocked(QueueLocked(foreground->threadId), MSG{nullptr, message, vk, lParam, 0, Input().cursor});
}

void PressKey(BYTE vk) {
    Key(vk, true);
    Key(vk, false);
}

HCURSOR CurrentCursor() {
    return GetCursor();
}

} // namespace platform::desktop
