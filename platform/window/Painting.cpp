// Invalidation and painting: each top-level window draws on a surface of its own, its children on the
// same surface inside their rectangles; system colours.
#include <algorithm>

#include "platform/gdi/Surface.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

// The surface behind each DC of a window, released with the DC.
std::unordered_map<HDC, cairo_surface_t*>& WindowDCs() {
    static auto* dcs = new std::unordered_map<HDC, cairo_surface_t*>;
    return *dcs;
}

bool IsEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

RECT Intersection(const RECT& a, const RECT& b) {
    RECT result{};
    IntersectRect(&result, &a, &b);
    return result;
}

RECT Offset(RECT rect, LONG dx, LONG dy) {
    OffsetRect(&rect, dx, dy);
    return rect;
}

// The part of the window's client area (client coordinates) its ancestors let it show.
RECT VisibleClientLocked(const CWindow& window) {
    RECT visible = ClientRectLocked(window);
    LONG dx = 0;
    LONG dy = 0;
    for (const CWindow* w = &window; w->parent && w->parent->parent; w = w->parent) {
        dx += w->rect.left;
        dy += w->rect.top;
        visible = Intersection(visible, Offset(ClientRectLocked(*w->parent), -dx, -dy));
    }
    return visible;
}

// What other windows take from the window's DC (client coordinates): its visible children when it has
// WS_CLIPCHILDREN, and the visible siblings above it, and above each of its ancestors, that have
// WS_CLIPSIBLINGS. Top-level windows draw on surfaces of their own.
std::vector<RECT> ClippedOutLocked(const CWindow& window) {
    std::vector<RECT> out;
    if (window.style & WS_CLIPCHILDREN) {
        for (const CWindow* child : window.children) {
            if (child->style & WS_VISIBLE) {
                out.push_back(child->rect);
            }
        }
    }
    LONG dx = 0;
    LONG dy = 0;
    for (const CWindow* w = &window; w->parent && w->parent->parent; w = w->parent) {
        dx += w->rect.left;
        dy += w->rect.top;
        if (!(w->style & WS_CLIPSIBLINGS)) {
            continue;
        }
        for (const CWindow* sibling : w->parent->children) {
            if (sibling == w) {
                break;
            }
            if (sibling->style & WS_VISIBLE) {
                out.push_back(Offset(sibling->rect, -dx, -dy));
            }
        }
    }
    return out;
}

// A DC on the window's top-level surface, clipped to the rectangle (client coordinates) and to what
// other windows leave it.
HDC SurfaceDCLocked(const CWindow& window, const RECT& clip) {
    const CWindow* top = window.parent ? TopLevelLocked(const_cast<CWindow*>(&window)) : &window;
    cairo_surface_t* surface = top->surface;
    if (!surface) {
        return nullptr;
    }
    const POINT origin = ScreenOriginLocked(window);
    const POINT topOrigin = ScreenOriginLocked(*top);
    const POINT offset{origin.x - topOrigin.x, origin.y - topOrigin.y};
    const RECT visible = Intersection(clip, VisibleClientLocked(window));
    std::vector<RECT> excluded = ClippedOutLocked(window);
    for (RECT& rect : excluded) {
        OffsetRect(&rect, offset.x, offset.y);
    }
    const HDC hdc =
        platform::gdi::CreateSurfaceDC(surface, offset, Offset(visible, offset.x, offset.y), excluded);
    if (hdc) {
        cairo_surface_reference(surface);
        WindowDCs()[hdc] = surface;
    }
    return hdc;
}

HWND PaintCandidateLocked(const CWindow& window, DWORD threadId) {
    if (!(window.style & WS_VISIBLE)) {
        return nullptr;
    }
    if (window.threadId == threadId && !IsEmpty(window.update)) {
        return window.handle;
    }
    for (auto it = window.children.rbegin(); it != window.children.rend(); ++it) {
        if (HWND found = PaintCandidateLocked(**it, threadId)) {
            return found;
        }
    }
    return nullptr;
}

// The windows under this one (itself first) that need painting; with a thread, only its windows.
void CollectNeedingPaintLocked(const CWindow& window, std::vector<HWND>& out, std::optional<DWORD> threadId) {
    if (!(window.style & WS_VISIBLE)) {
        return;
    }
    if (!IsEmpty(window.update) && (!threadId || window.threadId == *threadId)) {
        out.push_back(window.handle);
    }
    for (auto it = window.children.rbegin(); it != window.children.rend(); ++it) {
        CollectNeedingPaintLocked(**it, out, threadId);
    }
}

bool ReleaseWindowDC(HDC hdc) {
    cairo_surface_t* surface = nullptr;
    {
        Lock lock = LockWindows();
        const auto found = WindowDCs().find(hdc);
        if (found == WindowDCs().end()) {
            return false;
        }
        surface = found->second;
        WindowDCs().erase(found);
        ScreenChangedLocked();
    }
    DeleteDC(hdc);
    cairo_surface_destroy(surface);
    return true;
}

} // namespace

void InvalidateLocked(CWindow& window, const RECT* rect, bool erase, Children children) {
    if (!IsVisibleLocked(&window)) {
        return;
    }
    const RECT client = ClientRectLocked(window);
    const RECT area = rect ? Intersection(*rect, client) : client;
    if (IsEmpty(area)) {
        return;
    }
    UnionRect(&window.update, &window.update, &area);
    window.erase = window.erase || erase;
    const bool reachesChildren =
        children == Children::All || (children == Children::ByStyle && !(window.style & WS_CLIPCHILDREN));
    for (CWindow* child : reachesChildren ? window.children : std::vector<CWindow*>()) {
        const RECT part = Intersection(area, child->rect);
        if (!IsEmpty(part)) {
            const RECT inChild = Offset(part, -child->rect.left, -child->rect.top);
            InvalidateLocked(*child, &inChild, erase, children);
        }
    }
    if (CThreadQueue* queue = ExistingQueueLocked(window.threadId)) {
        WakeLocked(*queue);
    }
    ScreenChangedLocked();
}

void ResizeSurfaceLocked(CWindow& window) {
    ReleaseSurfaceLocked(window);
    const RECT client = ClientRectLocked(window);
    window.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max<LONG>(1, client.right),
                                                std::max<LONG>(1, client.bottom));
    cairo_t* cr = cairo_create(window.surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    InvalidateLocked(window, nullptr, true, Children::All);
    ScreenChangedLocked();
}

void ReleaseSurfaceLocked(CWindow& window) {
    if (window.surface) {
        cairo_surface_destroy(window.surface);
        window.surface = nullptr;
    }
}

HWND NextWindowToPaintLocked(DWORD threadId) {
    const CWindow* desktop = DesktopLocked();
    if (!desktop) {
        return nullptr;
    }
    for (auto it = desktop->children.rbegin(); it != desktop->children.rend(); ++it) {
        if (HWND found = PaintCandidateLocked(**it, threadId)) {
            return found;
        }
    }
    return nullptr;
}

void PaintShellWindow(HWND hwnd) {
    std::vector<HWND> windows;
    {
        Lock lock = LockWindows();
        CWindow* window = FindLocked(hwnd);
        if (!window) {
            return;
        }
        CollectNeedingPaintLocked(*window, windows, DWORD{0});
    }
    for (HWND each : windows) {
        SendMessageW(each, WM_PAINT, 0, 0);
    }
}

} // namespace platform::window

using namespace platform::window;

namespace {

BOOL InvalidateWithChildren(HWND hWnd, const RECT* lpRect, BOOL bErase, Children children) {
    EnsureDesktop();
    Lock lock = LockWindows();
    CWindow* window = hWnd ? FindLocked(hWnd) : DesktopLocked();
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    InvalidateLocked(*window, lpRect, bErase != FALSE, children);
    return TRUE;
}

} // namespace

BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
    return InvalidateWithChildren(hWnd, lpRect, bErase, Children::ByStyle);
}

BOOL ValidateRect(HWND hWnd, const RECT* lpRect) {
    Lock lock = LockWindows();
    CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return FALSE;
    }
    // The update area is one rectangle: validating a part that leaves a band keeps it whole.
    if (!lpRect || (lpRect->left <= window->update.left && lpRect->top <= window->update.top &&
                    lpRect->right >= window->update.right && lpRect->bottom >= window->update.bottom)) {
        window->update = RECT{};
        window->erase = false;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    if (!window) {
        return FALSE;
    }
    if (lpRect) {
        *lpRect = window->update;
    }
    return IsEmpty(window->update) ? FALSE : TRUE;
}

BOOL UpdateWindow(HWND hWnd) {
    std::vector<HWND> windows;
    {
        Lock lock = LockWindows();
        CWindow* window = FindOrFailLocked(hWnd);
        if (!window) {
            return FALSE;
        }
        CollectNeedingPaintLocked(*window, windows, std::nullopt);
    }
    for (HWND each : windows) {
        if (GetUpdateRect(each, nullptr, FALSE)) {
            SendMessageW(each, WM_PAINT, 0, 0);
        }
    }
    return TRUE;
}

BOOL RedrawWindow(HWND hWnd, const RECT* lprcUpdate, HRGN hrgnUpdate, UINT flags) {
    if (hrgnUpdate) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (flags & RDW_INVALIDATE) {
        const Children children = (flags & RDW_ALLCHILDREN)  ? Children::All
                                  : (flags & RDW_NOCHILDREN) ? Children::None
                                                             : Children::ByStyle;
        InvalidateWithChildren(hWnd, lprcUpdate, (flags & RDW_ERASE) ? TRUE : FALSE, children);
    }
    if (flags & RDW_VALIDATE) {
        ValidateRect(hWnd, lprcUpdate);
    }
    return (flags & (RDW_UPDATENOW | RDW_ERASENOW)) ? UpdateWindow(hWnd) : IsWindow(hWnd);
}

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    if (!lpPaint) {
        return nullptr;
    }
    *lpPaint = PAINTSTRUCT{};
    {
        Lock lock = LockWindows();
        CWindow* window = FindOrFailLocked(hWnd);
        if (!window) {
            return nullptr;
        }
        lpPaint->rcPaint = Intersection(window->update, VisibleClientLocked(*window));
        lpPaint->fErase = window->erase ? TRUE : FALSE;
        window->update = RECT{};
        window->erase = false;
        lpPaint->hdc = SurfaceDCLocked(*window, lpPaint->rcPaint);
    }
    if (lpPaint->hdc && lpPaint->fErase) {
        lpPaint->fErase =
            SendMessageW(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(lpPaint->hdc), 0) ? FALSE : TRUE;
    }
    return lpPaint->hdc;
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    return lpPaint && ReleaseWindowDC(lpPaint->hdc) ? TRUE : FALSE;
}

HDC GetDC(HWND hWnd) {
    EnsureDesktop();
    Lock lock = LockWindows();
    const CWindow* window = hWnd ? FindLocked(hWnd) : DesktopLocked();
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return SurfaceDCLocked(*window, ClientRectLocked(*window));
}

HDC GetWindowDC(HWND hWnd) {
    return GetDC(hWnd);
}

int ReleaseDC(HWND hWnd, HDC hDC) {
    return ReleaseWindowDC(hDC) ? 1 : 0;
}

BOOL ScrollWindow(HWND hWnd, int XAmount, int YAmount, const RECT* lpRect, const RECT* lpClipRect) {
    Lock lock = LockWindows();
    CWindow* window = FindOrFailLocked(hWnd);
    if (!window) {
        return FALSE;
    }
    // The children move along (unless only a part scrolls); the client area is painted anew.
    if (!lpRect) {
        for (CWindow* child : window->children) {
            OffsetRect(&child->rect, XAmount, YAmount);
        }
        CheckTrackingLocked();
    }
    InvalidateLocked(*window, lpClipRect ? lpClipRect : lpRect, true, Children::All);
    return TRUE;
}

DWORD GetSysColor(int nIndex) {
    switch (nIndex) {
    case COLOR_SCROLLBAR:
        return RGB(200, 200, 200);
    case COLOR_BACKGROUND:
        return RGB(0, 99, 177);
    case COLOR_WINDOW:
    case COLOR_BTNHIGHLIGHT:
    case COLOR_INFOBK:
        return RGB(255, 255, 255);
    case COLOR_3DFACE:
        return RGB(240, 240, 240);
    case COLOR_BTNSHADOW:
        return RGB(160, 160, 160);
    case COLOR_GRAYTEXT:
        return RGB(109, 109, 109);
    case COLOR_3DDKSHADOW:
        return RGB(105, 105, 105);
    case COLOR_HOTLIGHT:
        return RGB(0, 102, 204);
    default:
        return RGB(0, 0, 0);
    }
}

HBRUSH GetSysColorBrush(int nIndex) {
    static std::mutex mutex;
    static std::map<int, HBRUSH>* brushes = new std::map<int, HBRUSH>;
    const std::lock_guard<std::mutex> lock(mutex);
    HBRUSH& brush = (*brushes)[nIndex];
    if (!brush) {
        brush = CreateSolidBrush(GetSysColor(nIndex));
    }
    return brush;
}
