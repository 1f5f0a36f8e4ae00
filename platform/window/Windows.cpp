// Windows and classes: the table, creation and destruction, the tree and its z-order, styles, values,
// texts and properties.
#include <algorithm>
#include <utility>
#include <cwctype>

#include "platform/internal.h"
#include "platform/threads.h"
#include "platform/window/Controls.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

constexpr uintptr_t kFirstHandle = 0x10010;
constexpr uintptr_t kHandleStep = 0x10;

struct CTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::unique_ptr<CWindow>> windows;
    std::vector<std::unique_ptr<CWindowClass>> classes;
    std::unordered_map<DWORD, std::unique_ptr<CThreadQueue>> queues;
    uintptr_t nextHandle = kFirstHandle;
    ATOM nextAtom = 0xC000;
    CWindow* desktop = nullptr;
};

// Lives to the end of the process: threads may still end after static destructors have run.
CTable& Table() {
    static CTable* table = new CTable;
    return *table;
}

thread_local CreationHook t_creationHook;

void MakeDesktop();

// Ends the thread's windows and queue when the thread ends.
struct CThreadCleanup {
    ~CThreadCleanup();
};
thread_local CThreadCleanup t_cleanup;

void UnlinkLocked(CWindow& window) {
    if (window.parent) {
        auto& siblings = window.parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), &window), siblings.end());
    }
}

// Removes the window and its children from the table without any message (their thread is gone).
void DiscardLocked(CWindow& window) {
    for (CWindow* child : std::vector<CWindow*>(window.children)) {
        DiscardLocked(*child);
    }
    ForgetWindowLocked(window);
    RemoveTimersLocked(window.handle);
    UnlinkLocked(window);
    ReleaseSurfaceLocked(window);
    if (window.cls) {
        --window.cls->windows;
    }
    Table().windows.erase(reinterpret_cast<uintptr_t>(window.handle));
}

CThreadCleanup::~CThreadCleanup() {
    const DWORD threadId = GetCurrentThreadId();
    Lock lock = LockWindows();
    std::vector<CWindow*> owned;
    for (auto& [value, window] : Table().windows) {
        if (window->threadId == threadId && (!window->parent || window->parent->threadId != threadId)) {
            owned.push_back(window.get());
        }
    }
    for (CWindow* window : owned) {
        DiscardLocked(*window);
    }
    auto found = Table().queues.find(threadId);
    if (found != Table().queues.end()) {
        found->second->alive = false;
        FailSentMessagesLocked(*found->second, nullptr);
        Table().queues.erase(found);
    }
    ScreenChangedLocked();
}

bool IsAtom(LPCWSTR name) {
    return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0;
}

std::wstring PropertyName(LPCWSTR name) {
    return IsAtom(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : FoldCase(name);
}

void InsertTopLevelLocked(CWindow& window) {
    auto& siblings = Table().desktop->children;
    auto position = siblings.begin();
    if (!(window.exStyle & WS_EX_TOPMOST)) {
        position = std::find_if(siblings.begin(), siblings.end(),
                                [](const CWindow* other) { return !(other->exStyle & WS_EX_TOPMOST); });
    }
    siblings.insert(position, &window);
}

CWindow* NewWindowLocked(CWindowClass& cls, CWindow* parent) {
    auto& table = Table();
    auto window = std::make_unique<CWindow>();
    uintptr_t value = table.nextHandle;
    while (table.windows.contains(value)) {
        value += kHandleStep;
    }
    table.nextHandle = value + kHandleStep;
    window->handle = reinterpret_cast<HWND>(value);
    window->cls = &cls;
    window->proc = cls.proc;
    window->parent = parent;
    window->extra.assign(static_cast<size_t>((cls.cbWndExtra + 7) / 8), 0);
    ++cls.windows;
    CWindow* result = window.get();
    table.windows.emplace(value, std::move(window));
    return result;
}

void SendDestroy(HWND hwnd) {
    CallProcedure(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        Lock lock = LockWindows();
        if (CWindow* window = FindLocked(hwnd)) {
            for (CWindow* child : window->children) {
                child->destroying = true;
                children.push_back(child->handle);
            }
        }
    }
    for (HWND child : children) {
        SendDestroy(child);
    }
}

void SendNcDestroyAndFree(HWND hwnd) {
    std::vector<HWND> children;
    {
        Lock lock = LockWindows();
        if (CWindow* window = FindLocked(hwnd)) {
            for (CWindow* child : window->children) {
                children.push_back(child->handle);
            }
        }
    }
    for (HWND child : children) {
        SendNcDestroyAndFree(child);
    }
    CallProcedure(hwnd, WM_NCDESTROY, 0, 0);
    Lock lock = LockWindows();
    if (CWindow* window = FindLocked(hwnd)) {
        if (CThreadQueue* queue = ExistingQueueLocked(window->threadId)) {
            FailSentMessagesLocked(*queue, hwnd);
            std::erase_if(queue->posted, [hwnd](const MSG& msg) { return msg.hwnd == hwnd; });
            std::erase_if(queue->input, [hwnd](const MSG& msg) { return msg.hwnd == hwnd; });
        }
        DiscardLocked(*window);
    }
}

std::vector<HWND> OwnedPopupsLocked(HWND owner) {
    std::vector<HWND> popups;
    for (CWindow* window : Table().desktop->children) {
        if (window->owner == owner) {
            popups.push_back(window->handle);
        }
    }
    return popups;
}

bool MatchesLocked(const CWindow& window, LPCWSTR className, LPCWSTR windowName) {
    if (className) {
        if (IsAtom(className) ? window.cls->atom != reinterpret_cast<ULONG_PTR>(className)
                              : !EqualsNoCase(window.cls->name, className)) {
            return false;
        }
    }
    return !windowName || window.text == windowName;
}

CWindowClass* RegisterLocked(const WNDCLASSEXW& wc) {
    auto& table = Table();
    auto cls = std::make_unique<CWindowClass>();
    cls->name = wc.lpszClassName;
    cls->atom = table.nextAtom++;
    cls->style = wc.style;
    cls->proc = wc.lpfnWndProc;
    cls->cbWndExtra = wc.cbWndExtra;
    cls->instance = wc.hInstance;
    cls->icon = wc.hIcon;
    cls->cursor = wc.hCursor;
    cls->background = wc.hbrBackground;
    table.classes.push_back(std::move(cls));
    return table.classes.back().get();
}

void RegisterSystemClassesLocked() {
    struct SystemClass {
        LPCWSTR name;
        WNDPROC proc;
        int extra;
        int background; // COLOR_ index + 1, 0 for none
    };
    const SystemClass kClasses[] = {
        {L"#32769", DesktopProc, 0, 0},
        {L"#32770", DefDlgProcW, DLGWINDOWEXTRA, COLOR_3DFACE + 1},
        {L"Button", ButtonProc, 8, 0},
        {L"Static", StaticProc, 0, 0},
        {L"ScrollBar", ScrollBarProc, 8, 0},
        {L"SysLink", SysLinkProc, 8, 0},
        {TOOLTIPS_CLASSW, ToolTipProc, 8, 0},
        {L"Shell_TrayWnd", ShellWindowProc, 0, 0},
        {L"TrayNotifyWnd", ShellWindowProc, 0, 0},
        {L"ReBarWindow32", ShellWindowProc, 0, 0},
        {L"Corvex Rigpanel Ampwise", ShellWindowProc, 0, 0},
    };
    for (const SystemClass& system : kClasses) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_GLOBALCLASS;
        wc.lpfnWndProc = system.proc;
        wc.cbWndExtra = system.extra;
        wc.lpszClassName = system.name;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(system.background));
        RegisterLocked(wc);
    }
}

} // namespace

Lock LockWindows() {
    return Lock(Table().mutex);
}

CWindow* FindLocked(HWND hwnd) {
    auto& windows = Table().windows;
    const auto found = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return found == windows.end() ? nullptr : found->second.get();
}

CWindow* FindOrFailLocked(HWND hwnd) {
    CWindow* window = FindLocked(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return window;
}

CWindow* DesktopLocked() {
    return Table().desktop;
}

CWindowClass* FindClassLocked(LPCWSTR name, HINSTANCE instance) {
    if (!name) {
        return nullptr;
    }
    CWindowClass* global = nullptr;
    for (auto& cls : Table().classes) {
        const bool matches =
            IsAtom(name) ? cls->atom == reinterpret_cast<ULONG_PTR>(name) : EqualsNoCase(cls->name, name);
        if (!matches) {
            continue;
        }
        if (cls->instance == instance && !(cls->style & CS_GLOBALCLASS)) {
            return cls.get();
        }
        if (cls->style & CS_GLOBALCLASS) {
            global = cls.get();
        }
    }
    return global;
}

CThreadQueue* ExistingQueueLocked(DWORD threadId) {
    auto& queues = Table().queues;
    const auto found = queues.find(threadId);
    return found == queues.end() ? nullptr : found->second.get();
}

bool ThreadHasWindowsLocked(DWORD threadId) {
    return std::any_of(Table().windows.begin(), Table().windows.end(),
                       [threadId](const auto& entry) { return entry.second->threadId == threadId; });
}

bool CurrentThreadHasWindows() {
    Lock lock = LockWindows();
    return ThreadHasWindowsLocked(GetCurrentThreadId());
}

void ForEachQueueLocked(const std::function<void(CThreadQueue&)>& action) {
    for (auto& [threadId, queue] : Table().queues) {
        action(*queue);
    }
}

CThreadQueue& QueueLocked(DWORD threadId) {
    auto& queue = Table().queues[threadId];
    if (!queue) {
        queue = std::make_unique<CThreadQueue>();
        queue->threadId = threadId;
    }
    return *queue;
}

CThreadQueue& CurrentQueueLocked() {
    (void)&t_cleanup; // the thread's clean-up runs when it ends
    return QueueLocked(GetCurrentThreadId());
}

bool ClassIs(const CWindow& window, std::wstring_view name) {
    return window.cls && EqualsNoCase(window.cls->name, name);
}

POINT ScreenOriginLocked(const CWindow& window) {
    POINT origin{0, 0};
    for (const CWindow* w = &window; w && w->parent; w = w->parent) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
    }
    return origin;
}

RECT ClientRectLocked(const CWindow& window) {
    return RECT{0, 0, window.rect.right - window.rect.left, window.rect.bottom - window.rect.top};
}

CWindow* TopLevelLocked(CWindow* window) {
    while (window && window->parent && window->parent != Table().desktop) {
        window = window->parent;
    }
    return window;
}

bool IsVisibleLocked(const CWindow* window) {
    for (; window && window->parent; window = window->parent) {
        if (!(window->style & WS_VISIBLE)) {
            return false;
        }
    }
    return window != nullptr;
}

bool IsEnabledLocked(const CWindow* window) {
    return window && !(window->style & WS_DISABLED);
}

bool IsDescendantLocked(const CWindow* ancestor, const CWindow* window) {
    for (const CWindow* w = window ? window->parent : nullptr; w; w = w->parent) {
        if (w == ancestor) {
            return true;
        }
    }
    return false;
}

LRESULT CallProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        Lock lock = LockWindows();
        if (const CWindow* window = FindLocked(hwnd)) {
            proc = window->proc;
        }
    }
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

void SetCreationHook(CreationHook hook) {
    t_creationHook = std::move(hook);
}

CreationHook TakeCreationHook() {
    return std::exchange(t_creationHook, nullptr);
}

void EnsureDesktop() {
    static std::once_flag once;
    thread_local bool t_making = false;
    if (t_making) {
        return;
    }
    std::call_once(once, [] {
        // The shell's windows are not the window whose creation the caller hooked.
        CreationHook callerHook = TakeCreationHook();
        t_making = true;
        MakeDesktop();
        t_making = false;
        SetCreationHook(std::move(callerHook));
    });
}

namespace {

void MakeDesktop() {
    {
        Lock lock = LockWindows();
        auto& table = Table();
        RegisterSystemClassesLocked();
        CWindow* desktop = NewWindowLocked(*FindClassLocked(L"#32769", nullptr), nullptr);
        desktop->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        desktop->rect = VirtualScreenRect();
        table.desktop = desktop;
        ResizeSurfaceLocked(*desktop);
    }
    CreateShellWindows();
}

} // namespace

} // namespace platform::window

using namespace platform::window;
using platform::EqualsNoCase;

// ---- Classes ----
ATOM RegisterClassExW(const WNDCLASSEXW* lpwcx) {
    EnsureDesktop();
    if (!lpwcx || lpwcx->cbSize != sizeof(WNDCLASSEXW) || !lpwcx->lpfnWndProc || !lpwcx->lpszClassName ||
        IsAtom(lpwcx->lpszClassName) || !*lpwcx->lpszClassName || lpwcx->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Lock lock = LockWindows();
    for (const auto& cls : Table().classes) {
        if (EqualsNoCase(cls->name, lpwcx->lpszClassName) &&
            (cls->instance == lpwcx->hInstance || (cls->style & CS_GLOBALCLASS))) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    return RegisterLocked(*lpwcx)->atom;
}

BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance) {
    Lock lock = LockWindows();
    auto& classes = Table().classes;
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        CWindowClass& cls = **it;
        const bool matches = IsAtom(lpClassName) ? cls.atom == reinterpret_cast<ULONG_PTR>(lpClassName)
                                                 : lpClassName && EqualsNoCase(cls.name, lpClassName);
        if (matches && cls.instance == hInstance && !(cls.style & CS_GLOBALCLASS)) {
            if (cls.windows > 0) {
                SetLastError(ERROR_CLASS_HAS_WINDOWS);
                return FALSE;
            }
            classes.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

BOOL GetClassInfoExW(HINSTANCE hInstance, LPCWSTR lpszClass, WNDCLASSEXW* lpwcx) {
    EnsureDesktop();
    Lock lock = LockWindows();
    const CWindowClass* cls = FindClassLocked(lpszClass, hInstance);
    if (!cls || !lpwcx) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *lpwcx = WNDCLASSEXW{sizeof(WNDCLASSEXW), cls->style,    cls->proc, 0,
                         cls->cbWndExtra,     cls->instance, cls->icon, cls->cursor,
                         cls->background,     nullptr,       lpszClass, cls->icon};
    return TRUE;
}

int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
    Lock lock = LockWindows();
    const CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return 0;
    }
    if (!lpClassName || nMaxCount <= 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const size_t count = std::min(window->cls->name.size(), static_cast<size_t>(nMaxCount - 1));
    std::copy_n(window->cls->name.begin(), count, lpClassName);
    lpClassName[count] = L'\0';
    return static_cast<int>(count);
}

ULONG_PTR GetClassLongPtrW(HWND hWnd, int nIndex) {
    Lock lock = LockWindows();
    const CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return 0;
    }
    switch (nIndex) {
    case GCLP_HCURSOR:
        return reinterpret_cast<ULONG_PTR>(window->cls->cursor);
    case GCLP_HBRBACKGROUND:
        return reinterpret_cast<ULONG_PTR>(window->cls->background);
    case GCLP_HICON:
        return reinterpret_cast<ULONG_PTR>(window->cls->icon);
    case GCLP_WNDPROC:
        return reinterpret_cast<ULONG_PTR>(window->cls->proc);
    case GCL_STYLE:
        return window->cls->style;
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

ULONG_PTR SetClassLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    Lock lock = LockWindows();
    CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return 0;
    }
    CWindowClass& cls = *window->cls;
    auto swap = [&](auto& field) {
        const ULONG_PTR previous = (ULONG_PTR)(field);
        field = reinterpret_cast<std::remove_reference_t<decltype(field)>>(dwNewLong);
        return previous;
    };
    switch (nIndex) {
    case GCLP_HCURSOR:
        return swap(cls.cursor);
    case GCLP_HBRBACKGROUND:
        return swap(cls.background);
    case GCLP_HICON:
        return swap(cls.icon);
    case GCLP_WNDPROC:
        return swap(cls.proc);
    case GCL_STYLE: {
        const ULONG_PTR previous = cls.style;
        cls.style = static_cast<UINT>(dwNewLong);
        return previous;
    }
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

DWORD GetClassLongW(HWND hWnd, int nIndex) {
    return nIndex == GCLP_WNDPROC ? (SetLastError(ERROR_INVALID_INDEX), 0u)
                                  : static_cast<DWORD>(GetClassLongPtrW(hWnd, nIndex));
}

DWORD SetClassLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    if (nIndex == GCLP_WNDPROC) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    // A 32-bit value names a handle: handles of the layer fit in 32 bits.
    return static_cast<DWORD>(SetClassLongPtrW(
        hWnd, nIndex, static_cast<LONG_PTR>(static_cast<ULONG_PTR>(static_cast<DWORD>(dwNewLong)))));
}

// ---- Windows ----
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                     LPVOID lpParam) {
    EnsureDesktop();
    HWND hwnd = nullptr;
    {
        Lock lock = LockWindows();
        CWindowClass* cls = FindClassLocked(lpClassName, hInstance);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        CWindow* parent = hWndParent ? FindLocked(hWndParent) : nullptr;
        if (hWndParent && !parent && hWndParent != HWND_MESSAGE) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        const bool child = (dwStyle & WS_CHILD) != 0;
        if (child && !parent) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        CWindow* window = NewWindowLocked(*cls, child ? parent : Table().desktop);
        window->style = dwStyle & ~WS_VISIBLE;
        window->exStyle = dwExStyle;
        window->text = lpWindowName ? lpWindowName : L"";
        window->instance = hInstance;
        window->threadId = GetCurrentThreadId();
        (void)CurrentQueueLocked();
        if (child) {
            window->id = reinterpret_cast<UINT_PTR>(hMenu);
            parent->children.push_back(window);
        } else {
            window->owner = parent ? TopLevelLocked(parent)->handle : nullptr;
            InsertTopLevelLocked(*window);
        }
        const int x = X == CW_USEDEFAULT ? 0 : X;
        const int y = X == CW_USEDEFAULT ? 0 : Y;
        const int cx = nWidth == CW_USEDEFAULT ? 0 : std::max(0, nWidth);
        const int cy = nWidth == CW_USEDEFAULT ? 0 : std::max(0, nHeight);
        window->rect = RECT{x, y, x + cx, y + cy};
        if (!child) {
            ResizeSurfaceLocked(*window);
        }
        hwnd = window->handle;
    }
    if (CreationHook hook = TakeCreationHook()) {
        hook(hwnd);
    }
    CREATESTRUCTW cs{
        lpParam,      hInstance,   hMenu,    hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
        lpWindowName, lpClassName, dwExStyle};
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    RECT rect{};
    GetClientRect(hwnd, &rect);
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect.right, rect.bottom));
    {
        Lock lock = LockWindows();
        const CWindow* window = FindLocked(hwnd);
        rect = window ? window->rect : RECT{};
    }
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    if ((dwStyle & WS_VISIBLE) && IsWindow(hwnd)) {
        ShowWindow(hwnd, (dwExStyle & WS_EX_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hWnd) {
    std::vector<HWND> popups;
    {
        Lock lock = LockWindows();
        CWindow* window = FindLocked(hWnd);
        if (!window || window == Table().desktop) {
            SetLastError(window ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (window->threadId != 0 && window->threadId != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (window->destroying) {
            return TRUE;
        }
        window->destroying = true;
        popups = OwnedPopupsLocked(hWnd);
    }
    for (HWND popup : popups) {
        DestroyWindow(popup);
    }
    ShowWindow(hWnd, SW_HIDE);
    SendDestroy(hWnd);
    SendNcDestroyAndFree(hWnd);
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    Lock lock = LockWindows();
    return FindLocked(hWnd) != nullptr;
}

BOOL IsWindowVisible(HWND hWnd) {
    Lock lock = LockWindows();
    return IsVisibleLocked(FindLocked(hWnd));
}

BOOL IsWindowEnabled(HWND hWnd) {
    Lock lock = LockWindows();
    return IsEnabledLocked(FindLocked(hWnd));
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    bool wasDisabled = false;
    {
        Lock lock = LockWindows();
        CWindow* window = FindOrFailLocked(hWnd);
        if (!window) {
            return FALSE;
        }
        wasDisabled = (window->style & WS_DISABLED) != 0;
        if (wasDisabled == !bEnable) {
            return wasDisabled;
        }
        window->style = bEnable ? (window->style & ~WS_DISABLED) : (window->style | WS_DISABLED);
        if (!bEnable) {
            ForgetWindowLocked(*window);
        }
        InvalidateLocked(*window, nullptr, true, Children::ByStyle);
    }
    SendMessageW(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsChild(HWND hWndParent, HWND hWnd) {
    Lock lock = LockWindows();
    const CWindow* parent = FindLocked(hWndParent);
    const CWindow* window = FindLocked(hWnd);
    for (const CWindow* w = window; parent && w && (w->style & WS_CHILD); w = w->parent) {
        if (w->parent == parent) {
            return TRUE;
        }
    }
    return FALSE;
}

BOOL IsIconic(HWND hWnd) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    return window && (window->style & WS_MINIMIZE) ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    Lock lock = LockWindows();
    const CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return 0;
    }
    if (lpdwProcessId) {
        *lpdwProcessId = window->threadId ? GetCurrentProcessId() : kShellProcessId;
    }
    return window->threadId ? window->threadId : kShellThreadId;
}

// ---- Values ----
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) {
    Lock lock = LockWindows();
    const CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return 0;
    }
    switch (nIndex) {
    case GWL_STYLE:
        return static_cast<LONG_PTR>(window->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(window->exStyle);
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_ID:
        return static_cast<LONG_PTR>(window->id);
    case GWLP_USERDATA:
        return window->userData;
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>((window->style & WS_CHILD) ? window->parent->handle
                                                                     : window->owner);
    default:
        break;
    }
    if (nIndex >= 0 && nIndex % 8 == 0 && static_cast<size_t>(nIndex / 8) < window->extra.size()) {
        return window->extra[static_cast<size_t>(nIndex / 8)];
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    Lock lock = LockWindows();
    CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return 0;
    }
    LONG_PTR previous = 0;
    switch (nIndex) {
    case GWL_STYLE:
        previous = static_cast<LONG_PTR>(window->style);
        window->style = static_cast<DWORD>(dwNewLong);
        ScreenChangedLocked();
        return previous;
    case GWL_EXSTYLE:
        previous = static_cast<LONG_PTR>(window->exStyle);
        window->exStyle = static_cast<DWORD>(dwNewLong);
        return previous;
    case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(window->proc);
        window->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        return previous;
    case GWLP_ID:
        previous = static_cast<LONG_PTR>(window->id);
        window->id = static_cast<UINT_PTR>(dwNewLong);
        return previous;
    case GWLP_USERDATA:
        return std::exchange(window->userData, dwNewLong);
    case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(window->instance);
        window->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
        return previous;
    default:
        break;
    }
    if (nIndex >= 0 && nIndex % 8 == 0 && static_cast<size_t>(nIndex / 8) < window->extra.size()) {
        return std::exchange(window->extra[static_cast<size_t>(nIndex / 8)], dwNewLong);
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG GetWindowLongW(HWND hWnd, int nIndex) {
    if (nIndex == GWLP_WNDPROC || nIndex == GWLP_HINSTANCE || nIndex == GWLP_HWNDPARENT) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex));
}

LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    if (nIndex == GWLP_WNDPROC || nIndex == GWLP_HINSTANCE || nIndex == GWLP_HWNDPARENT) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    const bool styles = nIndex == GWL_STYLE || nIndex == GWL_EXSTYLE;
    const LONG_PTR value = styles ? static_cast<LONG_PTR>(static_cast<DWORD>(dwNewLong)) : dwNewLong;
    return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, value));
}

// ---- Text and properties ----
BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : L"")) ? TRUE
                                                                                                  : FALSE;
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    if (!lpString || nMaxCount <= 0) {
        return 0;
    }
    lpString[0] = L'\0';
    DWORD threadId = 0;
    {
        Lock lock = LockWindows();
        const CWindow* window = FindOrFailLocked(hWnd);
        if (!window) {
            return 0;
        }
        threadId = window->threadId;
        // Another thread's window answers from its stored text, as another process's window does.
        if (threadId != GetCurrentThreadId()) {
            const size_t count = std::min(window->text.size(), static_cast<size_t>(nMaxCount - 1));
            std::copy_n(window->text.begin(), count, lpString);
            lpString[count] = L'\0';
            return static_cast<int>(count);
        }
    }
    return static_cast<int>(
        SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthW(HWND hWnd) {
    {
        Lock lock = LockWindows();
        const CWindow* window = FindOrFailLocked(hWnd);
        if (!window) {
            return 0;
        }
        if (window->threadId != GetCurrentThreadId()) {
            return static_cast<int>(window->text.size());
        }
    }
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetPropW(HWND hWnd, LPCWSTR lpString, HANDLE hData) {
    Lock lock = LockWindows();
    CWindow* window = FindLocked(hWnd);
    if (!window || !lpString) {
        SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const std::wstring name = PropertyName(lpString);
    for (auto& [key, value] : window->props) {
        if (key == name) {
            value = hData;
            return TRUE;
        }
    }
    window->props.emplace_back(name, hData);
    return TRUE;
}

HANDLE GetPropW(HWND hWnd, LPCWSTR lpString) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    if (!window || !lpString) {
        return nullptr;
    }
    const std::wstring name = PropertyName(lpString);
    for (const auto& [key, value] : window->props) {
        if (key == name) {
            return value;
        }
    }
    return nullptr;
}

HANDLE RemovePropW(HWND hWnd, LPCWSTR lpString) {
    Lock lock = LockWindows();
    CWindow* window = FindLocked(hWnd);
    if (!window || !lpString) {
        return nullptr;
    }
    const std::wstring name = PropertyName(lpString);
    for (auto it = window->props.begin(); it != window->props.end(); ++it) {
        if (it->first == name) {
            HANDLE data = it->second;
            window->props.erase(it);
            return data;
        }
    }
    return nullptr;
}

// ---- The tree ----
HWND GetDesktopWindow() {
    EnsureDesktop();
    Lock lock = LockWindows();
    return Table().desktop->handle;
}

HWND GetWindow(HWND hWnd, UINT uCmd) {
    Lock lock = LockWindows();
    const CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return nullptr;
    }
    if (uCmd == GW_CHILD) {
        return window->children.empty() ? nullptr : window->children.front()->handle;
    }
    if (uCmd == GW_OWNER) {
        return window->owner;
    }
    if (!window->parent) {
        return nullptr;
    }
    const auto& siblings = window->parent->children;
    const auto self = std::find(siblings.begin(), siblings.end(), window);
    switch (uCmd) {
    case GW_HWNDFIRST:
        return siblings.front()->handle;
    case GW_HWNDLAST:
        return siblings.back()->handle;
    case GW_HWNDNEXT:
        return self + 1 == siblings.end() ? nullptr : (*(self + 1))->handle;
    case GW_HWNDPREV:
        return self == siblings.begin() ? nullptr : (*(self - 1))->handle;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND GetParent(HWND hWnd) {
    Lock lock = LockWindows();
    const CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return nullptr;
    }
    if (window->style & WS_CHILD) {
        return window->parent->handle;
    }
    return (window->style & WS_POPUP) ? window->owner : nullptr;
}

HWND SetParent(HWND hWndChild, HWND hWndNewParent) {
    Lock lock = LockWindows();
    CWindow* window = FindLocked(hWndChild);
    CWindow* parent = hWndNewParent ? FindLocked(hWndNewParent) : Table().desktop;
    if (!window || !parent || window == Table().desktop || window == parent ||
        IsDescendantLocked(window, parent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND previous = window->parent->handle;
    UnlinkLocked(*window);
    window->parent = parent;
    if (parent == Table().desktop) {
        InsertTopLevelLocked(*window);
        ResizeSurfaceLocked(*window);
    } else {
        parent->children.insert(parent->children.begin(), window);
        ReleaseSurfaceLocked(*window);
        InvalidateLocked(*window, nullptr, true, Children::All);
    }
    ScreenChangedLocked();
    return previous;
}

HWND GetAncestor(HWND hwnd, UINT gaFlags) {
    Lock lock = LockWindows();
    CWindow* window = FindLocked(hwnd);
    if (!window || !window->parent) {
        return nullptr;
    }
    switch (gaFlags) {
    case GA_PARENT:
        return window->parent->handle;
    case GA_ROOT:
        return TopLevelLocked(window)->handle;
    case GA_ROOTOWNER: {
        CWindow* root = TopLevelLocked(window);
        while (CWindow* owner = FindLocked(root->owner)) {
            root = owner;
        }
        return root->handle;
    }
    default:
        return nullptr;
    }
}

HWND GetLastActivePopup(HWND hWnd) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    if (!window) {
        return nullptr;
    }
    const CWindow* popup = FindLocked(window->lastActivePopup);
    return popup && popup->owner == hWnd && IsVisibleLocked(popup) ? popup->handle : hWnd;
}

HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
    return FindWindowExW(nullptr, nullptr, lpClassName, lpWindowName);
}

HWND FindWindowExW(HWND hWndParent, HWND hWndChildAfter, LPCWSTR lpszClass, LPCWSTR lpszWindow) {
    EnsureDesktop();
    Lock lock = LockWindows();
    if (hWndParent == HWND_MESSAGE) {
        return nullptr; // no message-only windows
    }
    const CWindow* parent = hWndParent ? FindLocked(hWndParent) : Table().desktop;
    if (!parent) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const auto& children = parent->children;
    auto it = children.begin();
    if (hWndChildAfter) {
        it = std::find_if(children.begin(), children.end(),
                          [hWndChildAfter](const CWindow* w) { return w->handle == hWndChildAfter; });
        if (it == children.end()) {
            return nullptr;
        }
        ++it;
    }
    for (; it != children.end(); ++it) {
        if (MatchesLocked(**it, lpszClass, lpszWindow)) {
            return (*it)->handle;
        }
    }
    return nullptr;
}

namespace {

std::vector<HWND> ChildHandles(HWND parent, bool recursive) {
    std::vector<HWND> handles;
    Lock lock = LockWindows();
    std::function<void(const CWindow&)> collect = [&](const CWindow& window) {
        for (const CWindow* child : window.children) {
            handles.push_back(child->handle);
            if (recursive) {
                collect(*child);
            }
        }
    };
    if (const CWindow* window = parent ? FindLocked(parent) : Table().desktop) {
        collect(*window);
    }
    return handles;
}

} // namespace

BOOL EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    EnsureDesktop();
    for (HWND hwnd : ChildHandles(nullptr, false)) {
        if (IsWindow(hwnd) && !lpEnumFunc(hwnd, lParam)) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    for (HWND hwnd : ChildHandles(hWndParent, true)) {
        if (IsWindow(hwnd) && !lpEnumFunc(hwnd, lParam)) {
            return FALSE;
        }
    }
    return TRUE;
}
