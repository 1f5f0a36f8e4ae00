// The window system's state: classes, windows and the thread queues, in one table guarded by one lock.
// Window procedures are always called without the lock; helpers named ...Locked expect it held.
#pragma once

#include <cairo.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/window.h"

namespace platform::window {

using Lock = std::unique_lock<std::mutex>;
Lock LockWindows();

struct CWindowClass {
    std::wstring name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int cbWndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    int windows = 0;
};

struct CScrollState {
    int nMin = 0;
    int nMax = 100;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
    bool tracking = false;
};

struct CWindow {
    HWND handle = nullptr;
    CWindowClass* cls = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    CWindow* parent = nullptr; // null for the desktop itself
    HWND owner = nullptr;
    // Front (top of the z-order) first.
    std::vector<CWindow*> children;
    // In the parent's client coordinates (the screen's for top-level windows).
    RECT rect{};
    std::wstring text;
    UINT_PTR id = 0;
    HINSTANCE instance = nullptr;
    LONG_PTR userData = 0;
    std::vector<LONG_PTR> extra; // the class's window bytes, by LONG_PTR
    std::vector<std::pair<std::wstring, HANDLE>> props;
    DWORD threadId = 0; // 0: the shell's windows, served on the caller's thread
    bool destroying = false;
    // What needs painting, in client coordinates; empty when nothing.
    RECT update{};
    bool erase = false;
    bool inPaint = false;
    HFONT font = nullptr;
    CScrollState scroll;
    HWND lastActivePopup = nullptr;
    // A top-level window's pixels.
    cairo_surface_t* surface = nullptr;
};

// A message sent to another thread's window, served by that thread.
struct CSentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    bool waited = true;
    DWORD senderThread = 0;
};

struct CTimer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    unsigned long long due;
    TIMERPROC proc;
};

struct CTracking {
    HWND hwnd = nullptr;
    DWORD flags = 0;
    DWORD hoverTime = 0;
    unsigned long long hoverDue = 0;
    POINT hoverPoint{};
};

// One thread's queue and input state.
struct CThreadQueue {
    DWORD threadId = 0;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<std::shared_ptr<CSentMessage>> sent;
    std::condition_variable changed;
    bool quit = false;
    int quitCode = 0;
    std::vector<CTimer> timers;
    UINT_PTR nextTimerId = 1;
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    CTracking tracking;
    BYTE keyState[256] = {};
    MSG lastMessage{};
    int sendDepth = 0; // inside a procedure called for a message of another thread
    bool waiting = false;
    bool alive = true;
};

// ---- The table ----
CWindow* FindLocked(HWND hwnd);
// As FindLocked, with ERROR_INVALID_WINDOW_HANDLE as the last error when the handle is no window.
CWindow* FindOrFailLocked(HWND hwnd);
CWindow* DesktopLocked();
CWindowClass* FindClassLocked(LPCWSTR name, HINSTANCE instance);
CThreadQueue& QueueLocked(DWORD threadId);
CThreadQueue& CurrentQueueLocked();
CThreadQueue* ExistingQueueLocked(DWORD threadId);
bool ThreadHasWindowsLocked(DWORD threadId);
bool CurrentThreadHasWindows();
void ForEachQueueLocked(const std::function<void(CThreadQueue&)>& action);
// Wakes the thread so that it looks at its queue again; it no longer counts as settled.
void WakeLocked(CThreadQueue& queue);
// Tells the screen something changed (a window moved, showed, hid or painted).
void ScreenChangedLocked();

// ---- Geometry ----
// The window's top-left corner in screen coordinates and the client rectangle (0, 0, w, h).
POINT ScreenOriginLocked(const CWindow& window);
RECT ClientRectLocked(const CWindow& window);
CWindow* TopLevelLocked(CWindow* window);
bool IsVisibleLocked(const CWindow* window); // the window and all its ancestors
bool IsEnabledLocked(const CWindow* window);
bool IsDescendantLocked(const CWindow* ancestor, const CWindow* window);
CWindow* WindowFromPointLocked(POINT screen);
bool ClassIs(const CWindow& window, std::wstring_view name);

// ---- Messages ----
// Runs the window's procedure on the calling thread (null procedure or window: 0).
LRESULT CallProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// To the thread's queue: posted or input messages.
void PostLocked(CThreadQueue& queue, const MSG& msg);
void PostInputLocked(CThreadQueue& queue, const MSG& msg);
// Fails every sent message still waiting for a window (it died) or for a thread (it ended).
void FailSentMessagesLocked(CThreadQueue& queue, HWND hwnd);
void RemoveTimersLocked(HWND hwnd);
unsigned long long NowMs();

// ---- Painting ----
// Which children an invalidation reaches: all of them (the window system's own repaints, what a show,
// move or resize uncovers), none, or, as InvalidateRect, those of a window without WS_CLIPCHILDREN.
enum class Children { ByStyle, All, None };
void InvalidateLocked(CWindow& window, const RECT* rect, bool erase, Children children);
// Sizes a top-level window's surface to the window (new pixels, everything invalid).
void ResizeSurfaceLocked(CWindow& window);
void ReleaseSurfaceLocked(CWindow& window);
// The window that needs painting first among the thread's windows (parents before children, lower
// siblings before upper ones); null when none.
HWND NextWindowToPaintLocked(DWORD threadId);
// Paints the shell's windows under this one (they have no thread of their own) at once.
void PaintShellWindow(HWND hwnd);

// ---- Input ----
HWND GetForegroundWindowLocked();
POINT CursorPosLocked();
// Key messages are addressed when the thread takes them: to its focus window, else its active one.
void ResolveKeyboardTargetLocked(CThreadQueue& queue);
// Focus, activation and hover state when a window is hidden, disabled or destroyed.
void ForgetWindowLocked(CWindow& window);
// The mouse moved, or a window changed under it: WM_MOUSELEAVE to tracked windows it left.
void CheckTrackingLocked();
// The earliest hover deadline of the thread, 0 for none; posts WM_MOUSEHOVER for those that passed.
unsigned long long ServeHoverLocked(CThreadQueue& queue);
// Runs when the thread takes an input message from its queue: key state, WM_SETCURSOR, activation.
void TakeInputMessage(MSG& msg);
// Activates the top-level window (null: the desktop) as the foreground window.
void ActivateForeground(HWND hwnd, bool byMouse);

// ---- Creation hooks ----
// Runs once for the next window the thread creates, before its first message (the framework attaches
// its window object there).
using CreationHook = std::function<void(HWND)>;
void SetCreationHook(CreationHook hook);
CreationHook TakeCreationHook();

// ---- Dialogs ----
// Whether EndDialog ended the dialog's run, with its result; a new run starts it again.
bool IsDialogEnded(HWND hDlg, INT_PTR* result);
void RestartDialog(HWND hDlg);

// ---- The desktop ----
// The shell's windows answer as another process's would: this thread and process id.
constexpr DWORD kShellThreadId = 1;
constexpr DWORD kShellProcessId = 4;
// Makes the desktop and the shell's windows on first use.
void EnsureDesktop();
// The monitors' bounding rectangle.
RECT VirtualScreenRect();
// The taskbar and its children, from the machine's facts.
void CreateShellWindows();
// The queue went idle: present the screen when it changed.
void OnThreadIdle();
// Wakes WaitUntilSettled to look again.
void NotifySettleWaitersLocked();

} // namespace platform::window
