// Message queues: sending, posting, getting and dispatching messages; timers; the default window
// procedure.
#include <algorithm>
#include <chrono>

#include "platform/internal.h"
#include "platform/threads.h"
#include "platform/time.h"
#include "platform/window/Controls.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

constexpr unsigned long long kNoDeadline = ~0ull;

bool InRange(UINT message, UINT min, UINT max) {
    return (min == 0 && max == 0) || (message >= min && message <= max);
}

bool Matches(const MSG& msg, HWND filter, UINT min, UINT max) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        return msg.hwnd == nullptr && InRange(msg.message, min, max);
    }
    return (!filter || msg.hwnd == filter) && InRange(msg.message, min, max);
}

// How late a busy machine delivers a timer's first tick ("/session/timerLatenessMs", none by default);
// WM_TIMER is only ever due after its time, never before.
UINT TimerLateness() {
    const nlohmann::json lateness = MachineFact("/session/timerLatenessMs");
    return lateness.is_number_unsigned() ? std::min<UINT>(lateness.get<UINT>(), 60000u) : 0u;
}

MSG MakeMessageLocked(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{hwnd, message, wParam, lParam, GetTickCount(), CursorPosLocked()};
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Lock lock = LockWindows();
    return MakeMessageLocked(hwnd, message, wParam, lParam);
}

void CompleteLocked(CSentMessage& sent, LRESULT result) {
    sent.result = result;
    sent.done = true;
    if (CThreadQueue* sender = ExistingQueueLocked(sent.senderThread)) {
        sender->changed.notify_all();
    }
}

// Runs the oldest message sent to this thread.
void ServeOneSentLocked(CThreadQueue& queue, Lock& lock) {
    const std::shared_ptr<CSentMessage> sent = queue.sent.front();
    queue.sent.pop_front();
    lock.unlock();
    ++queue.sendDepth;
    const LRESULT result = CallProcedure(sent->hwnd, sent->message, sent->wParam, sent->lParam);
    --queue.sendDepth;
    lock.lock();
    CompleteLocked(*sent, result);
}

template <typename Queue>
bool TakeFrom(Queue& messages, HWND filter, UINT min, UINT max, bool remove, MSG& out) {
    const auto found = std::find_if(messages.begin(), messages.end(),
                                    [&](const MSG& msg) { return Matches(msg, filter, min, max); });
    if (found == messages.end()) {
        return false;
    }
    out = *found;
    if (remove) {
        messages.erase(found);
    }
    return true;
}

bool TakeTimerLocked(CThreadQueue& queue, HWND filter, UINT min, UINT max, bool remove, MSG& out,
                     unsigned long long& nextDue) {
    const unsigned long long now = NowMs();
    for (CTimer& timer : queue.timers) {
        const MSG msg =
            MakeMessageLocked(timer.hwnd, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc));
        if (!Matches(msg, filter, min, max)) {
            continue;
        }
        if (timer.due <= now) {
            out = msg;
            if (remove) {
                timer.due = now + timer.elapse;
            }
            return true;
        }
        nextDue = std::min(nextDue, timer.due);
    }
    return false;
}

enum class ETake { None, Message, Quit };

// One look at the queue in Windows' order; sent messages are run, not returned.
ETake TakeMessageLocked(CThreadQueue& queue, Lock& lock, HWND filter, UINT min, UINT max, bool remove,
                        MSG& out, unsigned long long& nextDue) {
    while (!queue.sent.empty()) {
        ServeOneSentLocked(queue, lock);
    }
    if (TakeFrom(queue.posted, filter, min, max, remove, out)) {
        return ETake::Message;
    }
    if (queue.quit) {
        out = MakeMessageLocked(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
        if (remove) {
            queue.quit = false;
        }
        return ETake::Quit;
    }
    ResolveKeyboardTargetLocked(queue);
    if (TakeFrom(queue.input, filter, min, max, remove, out)) {
        return ETake::Message;
    }
    if (InRange(WM_PAINT, min, max) && filter != reinterpret_cast<HWND>(-1)) {
        const HWND paint = NextWindowToPaintLocked(queue.threadId);
        if (paint && (!filter || paint == filter)) {
            out = MakeMessageLocked(paint, WM_PAINT, 0, 0);
            return ETake::Message;
        }
    }
    nextDue = std::min(nextDue, ServeHoverLocked(queue));
    if (TakeFrom(queue.input, filter, min, max, remove, out)) {
        return ETake::Message;
    }
    return TakeTimerLocked(queue, filter, min, max, remove, out, nextDue) ? ETake::Message : ETake::None;
}

bool IsInputMessage(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSEHOVER ||
           message == WM_MOUSELEAVE;
}

// Get and peek: ETake::None only when not waiting.
ETake GetOrPeek(LPMSG lpMsg, HWND hWnd, UINT min, UINT max, UINT removeFlags, bool wait) {
    EnsureDesktop();
    Lock lock = LockWindows();
    CThreadQueue& queue = CurrentQueueLocked();
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    bool presented = false;
    for (;;) {
        unsigned long long nextDue = kNoDeadline;
        MSG msg{};
        const ETake taken = TakeMessageLocked(queue, lock, hWnd, min, max, remove, msg, nextDue);
        if (taken != ETake::None) {
            lock.unlock();
            if (remove && IsInputMessage(msg.message)) {
                TakeInputMessage(msg);
            }
            *lpMsg = msg;
            return taken;
        }
        if (!presented) {
            presented = true;
            lock.unlock();
            OnThreadIdle();
            lock.lock();
            continue;
        }
        if (!wait) {
            return ETake::None;
        }
        queue.waiting = true;
        NotifySettleWaitersLocked();
        if (nextDue == kNoDeadline) {
            queue.changed.wait(lock);
        } else {
            const unsigned long long now = NowMs();
            queue.changed.wait_for(lock, std::chrono::milliseconds(nextDue > now ? nextDue - now : 0));
        }
        queue.waiting = false;
        presented = false;
    }
}

WCHAR CharacterOfKey(WPARAM vk, bool shift) {
    if (vk >= 'A' && vk <= 'Z') {
        return static_cast<WCHAR>(shift ? vk : vk - 'A' + 'a');
    }
    if (vk >= '0' && vk <= '9') {
        return static_cast<WCHAR>(vk);
    }
    switch (vk) {
    case VK_SPACE:
        return L' ';
    case VK_RETURN:
        return L'\r';
    case VK_TAB:
        return L'\t';
    case VK_BACK:
        return L'\b';
    case VK_ESCAPE:
        return 0x1B;
    default:
        return 0;
    }
}

HBRUSH ClassBackground(HWND hwnd) {
    const auto value = static_cast<INT_PTR>(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND));
    if (value > 0 && value <= COLOR_HOTLIGHT + 1) {
        return GetSysColorBrush(static_cast<int>(value - 1));
    }
    return reinterpret_cast<HBRUSH>(value);
}

LRESULT DefaultCtlColor(UINT message, HDC hdc) {
    const bool window = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
    SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(hdc, GetSysColor(window ? COLOR_WINDOW : COLOR_3DFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(window ? COLOR_WINDOW : COLOR_3DFACE));
}

LRESULT DefaultSetCursor(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const HWND parent = (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
    if (parent && SendMessageW(parent, WM_SETCURSOR, wParam, lParam)) {
        return TRUE;
    }
    if (reinterpret_cast<HWND>(wParam) == hwnd && static_cast<SHORT>(LOWORD(lParam)) == HTCLIENT) {
        if (const auto cursor = reinterpret_cast<HCURSOR>(GetClassLongPtrW(hwnd, GCLP_HCURSOR))) {
            SetCursor(cursor);
            return TRUE;
        }
    }
    return FALSE;
}

} // namespace

unsigned long long NowMs() {
    return static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count());
}

void WakeLocked(CThreadQueue& queue) {
    queue.waiting = false;
    queue.changed.notify_all();
}

void PostLocked(CThreadQueue& queue, const MSG& msg) {
    queue.posted.push_back(msg);
    WakeLocked(queue);
}

void PostInputLocked(CThreadQueue& queue, const MSG& msg) {
    queue.input.push_back(msg);
    WakeLocked(queue);
}

void FailSentMessagesLocked(CThreadQueue& queue, HWND hwnd) {
    for (auto it = queue.sent.begin(); it != queue.sent.end();) {
        if (!hwnd || (*it)->hwnd == hwnd) {
            CompleteLocked(**it, 0);
            it = queue.sent.erase(it);
        } else {
            ++it;
        }
    }
}

void RemoveTimersLocked(HWND hwnd) {
    ForEachQueueLocked([hwnd](CThreadQueue& queue) {
        std::erase_if(queue.timers, [hwnd](const CTimer& timer) { return timer.hwnd == hwnd; });
    });
}

} // namespace platform::window

using namespace platform::window;

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const DWORD current = GetCurrentThreadId();
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    if (!window) {
        return 0;
    }
    if (window->threadId == 0 || window->threadId == current) {
        lock.unlock();
        return CallProcedure(hWnd, Msg, wParam, lParam);
    }
    CThreadQueue* target = ExistingQueueLocked(window->threadId);
    if (!target || !target->alive) {
        return 0;
    }
    auto sent =
        std::make_shared<CSentMessage>(CSentMessage{hWnd, Msg, wParam, lParam, 0, false, true, current});
    target->sent.push_back(sent);
    WakeLocked(*target);
    CThreadQueue& own = CurrentQueueLocked();
    while (!sent->done) {
        if (!own.sent.empty()) {
            ServeOneSentLocked(own, lock);
            continue;
        }
        own.changed.wait(lock);
    }
    return sent->result;
}

BOOL SendNotifyMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const DWORD current = GetCurrentThreadId();
    Lock lock = LockWindows();
    const CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return FALSE;
    }
    if (window->threadId == 0 || window->threadId == current) {
        lock.unlock();
        CallProcedure(hWnd, Msg, wParam, lParam);
        return TRUE;
    }
    CThreadQueue* target = ExistingQueueLocked(window->threadId);
    if (!target || !target->alive) {
        return FALSE;
    }
    target->sent.push_back(
        std::make_shared<CSentMessage>(CSentMessage{hWnd, Msg, wParam, lParam, 0, false, false, current}));
    WakeLocked(*target);
    return TRUE;
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!hWnd) {
        return PostThreadMessageW(GetCurrentThreadId(), Msg, wParam, lParam);
    }
    const MSG msg = MakeMessage(hWnd, Msg, wParam, lParam);
    Lock lock = LockWindows();
    const CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return FALSE;
    }
    if (window->threadId == 0) {
        lock.unlock();
        CallProcedure(hWnd, Msg, wParam, lParam);
        return TRUE;
    }
    PostLocked(QueueLocked(window->threadId), msg);
    return TRUE;
}

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const MSG msg = MakeMessage(nullptr, Msg, wParam, lParam);
    Lock lock = LockWindows();
    CThreadQueue* queue =
        idThread == GetCurrentThreadId() ? &CurrentQueueLocked() : ExistingQueueLocked(idThread);
    if (!queue) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    PostLocked(*queue, msg);
    return TRUE;
}

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return GetOrPeek(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, PM_REMOVE, true) == ETake::Quit ? FALSE
                                                                                                : TRUE;
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return GetOrPeek(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg, false) != ETake::None;
}

BOOL WaitMessage() {
    MSG msg;
    while (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        Lock lock = LockWindows();
        CThreadQueue& queue = CurrentQueueLocked();
        if (queue.sent.empty() && queue.posted.empty() && queue.input.empty() && !queue.quit) {
            queue.waiting = true;
            NotifySettleWaitersLocked();
            queue.changed.wait_for(lock, std::chrono::milliseconds(USER_TIMER_MINIMUM));
            queue.waiting = false;
        }
    }
    return TRUE;
}

BOOL TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg || (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_SYSKEYDOWN)) {
        return FALSE;
    }
    MSG msg = *lpMsg;
    if (lpMsg->message == WM_KEYDOWN && lpMsg->wParam == VK_F1) {
        msg.message = WM_KEYF1;
        msg.wParam = 0;
        msg.lParam = 0;
    } else {
        const bool shift = GetKeyState(VK_SHIFT) < 0;
        const WCHAR ch = CharacterOfKey(lpMsg->wParam, shift);
        if (!ch) {
            return FALSE;
        }
        msg.message = lpMsg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        msg.wParam = ch;
    }
    Lock lock = LockWindows();
    CThreadQueue& queue = CurrentQueueLocked();
    queue.posted.push_front(msg);
    WakeLocked(queue);
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* lpMsg) {
    if (!lpMsg) {
        return 0;
    }
    {
        Lock lock = LockWindows();
        CurrentQueueLocked().lastMessage = *lpMsg;
    }
    if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
        reinterpret_cast<TIMERPROC>(lpMsg->lParam)(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
        return 0;
    }
    return lpMsg->hwnd ? CallProcedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam) : 0;
}

void PostQuitMessage(int nExitCode) {
    Lock lock = LockWindows();
    CThreadQueue& queue = CurrentQueueLocked();
    queue.quit = true;
    queue.quitCode = nExitCode;
    WakeLocked(queue);
}

LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

BOOL InSendMessage() {
    Lock lock = LockWindows();
    return CurrentQueueLocked().sendDepth > 0;
}

DWORD GetMessagePos() {
    Lock lock = LockWindows();
    const POINT pt = CurrentQueueLocked().lastMessage.pt;
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
}

LONG GetMessageTime() {
    Lock lock = LockWindows();
    return static_cast<LONG>(CurrentQueueLocked().lastMessage.time);
}

// ---- Timers ----
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    const UINT lateness = TimerLateness();
    Lock lock = LockWindows();
    CThreadQueue& queue = CurrentQueueLocked();
    if (hWnd) {
        const CWindow* window = FindLocked(hWnd);
        if (!window || window->threadId != queue.threadId) {
            SetLastError(window ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    } else {
        const bool existing = std::any_of(queue.timers.begin(), queue.timers.end(), [&](const CTimer& timer) {
            return !timer.hwnd && timer.id == nIDEvent && nIDEvent != 0;
        });
        if (!existing) {
            nIDEvent = queue.nextTimerId++;
        }
    }
    const UINT elapse = std::clamp<UINT>(uElapse, USER_TIMER_MINIMUM, 0x7FFFFFFFu);
    std::erase_if(queue.timers,
                  [&](const CTimer& timer) { return timer.hwnd == hWnd && timer.id == nIDEvent; });
    queue.timers.push_back(CTimer{hWnd, nIDEvent, elapse, NowMs() + elapse + lateness, lpTimerFunc});
    WakeLocked(queue);
    return hWnd && nIDEvent == 0 ? 1 : nIDEvent;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    Lock lock = LockWindows();
    bool killed = false;
    ForEachQueueLocked([&](CThreadQueue& queue) {
        killed |= std::erase_if(queue.timers, [&](const CTimer& timer) {
                      return timer.hwnd == hWnd && timer.id == uIDEvent;
                  }) > 0;
    });
    if (!killed) {
        SetLastError(ERROR_INVALID_PARAMETER);
    }
    return killed ? TRUE : FALSE;
}

// ---- The default procedure ----
LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT: {
        Lock lock = LockWindows();
        CWindow* window = FindLocked(hWnd);
        if (!window) {
            return FALSE;
        }
        window->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        return TRUE;
    }
    case WM_GETTEXT: {
        Lock lock = LockWindows();
        const CWindow* window = FindLocked(hWnd);
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!window || !buffer || wParam == 0) {
            return 0;
        }
        const size_t count = std::min(window->text.size(), static_cast<size_t>(wParam - 1));
        std::copy_n(window->text.begin(), count, buffer);
        buffer[count] = L'\0';
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH: {
        Lock lock = LockWindows();
        const CWindow* window = FindLocked(hWnd);
        return window ? static_cast<LRESULT>(window->text.size()) : 0;
    }
    case WM_SETFONT: {
        {
            Lock lock = LockWindows();
            if (CWindow* window = FindLocked(hWnd)) {
                window->font = reinterpret_cast<HFONT>(wParam);
            }
        }
        if (LOWORD(lParam)) {
            InvalidateRect(hWnd, nullptr, TRUE);
        }
        return 0;
    }
    case WM_GETFONT: {
        Lock lock = LockWindows();
        const CWindow* window = FindLocked(hWnd);
        return window ? reinterpret_cast<LRESULT>(window->font) : 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(hWnd, &ps)) {
            EndPaint(hWnd, &ps);
        }
        return 0;
    }
    case WM_ERASEBKGND: {
        const HBRUSH brush = ClassBackground(hWnd);
        if (!brush) {
            return FALSE;
        }
        RECT client;
        GetClientRect(hWnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (pos && !(pos->flags & SWP_NOMOVE)) {
            SendMessageW(hWnd, WM_MOVE, 0, MAKELPARAM(pos->x, pos->y));
        }
        if (pos && !(pos->flags & SWP_NOSIZE)) {
            SendMessageW(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(pos->cx, pos->cy));
        }
        return 0;
    }
    case WM_SETCURSOR:
        return DefaultSetCursor(hWnd, wParam, lParam);
    case WM_MOUSEWHEEL: {
        const bool child = (GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) != 0;
        return child ? SendMessageW(GetParent(hWnd), Msg, wParam, lParam) : 0;
    }
    case WM_KEYF1: {
        HELPINFO info{sizeof(info), HELPINFO_WINDOW, GetDlgCtrlID(hWnd), hWnd, 0, {}};
        GetCursorPos(&info.MousePos);
        SendMessageW(hWnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        return 0;
    }
    case WM_HELP: {
        const bool child = (GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) != 0;
        const HWND next = child ? GetParent(hWnd) : GetWindow(hWnd, GW_OWNER);
        return next ? SendMessageW(next, Msg, wParam, lParam) : 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            SetFocus(hWnd);
        }
        return 0;
    case WM_NCHITTEST: {
        RECT rect;
        GetWindowRect(hWnd, &rect);
        return PtInRect(&rect, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) ? HTCLIENT : HTNOWHERE;
    }
    case WM_QUERYDRAGICON:
        return static_cast<LRESULT>(GetClassLongPtrW(hWnd, GCLP_HICON));
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return DefaultCtlColor(Msg, reinterpret_cast<HDC>(wParam));
    default:
        return 0;
    }
}
