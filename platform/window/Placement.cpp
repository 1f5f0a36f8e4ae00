// Showing, placing and stacking windows; rectangles in screen and client coordinates; hit-testing.
#include <algorithm>

#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

bool IsTopLevelLocked(const CWindow& window) {
    return window.parent == DesktopLocked();
}

bool IsPlacementValue(HWND insertAfter) {
    return insertAfter == HWND_TOP || insertAfter == HWND_BOTTOM || insertAfter == HWND_TOPMOST ||
           insertAfter == HWND_NOTOPMOST;
}

// The sibling the window is to follow: null for a placement value; the window itself when the z-order
// is to stay (the window, or one that is not its sibling: Windows then leaves the z-order alone).
CWindow* InsertAfterLocked(CWindow& window, HWND insertAfter) {
    if (IsPlacementValue(insertAfter)) {
        return nullptr;
    }
    CWindow* after = FindLocked(insertAfter);
    return after && after->parent == window.parent ? after : &window;
}

// Moves the window in its siblings' z-order; true when its place changed. A top-level window placed
// after another joins that one's band, topmost or not.
bool ReorderLocked(CWindow& window, HWND insertAfter, CWindow* after) {
    if (after == &window) {
        return false;
    }
    auto& siblings = window.parent->children;
    const auto before = std::find(siblings.begin(), siblings.end(), &window);
    const size_t oldIndex = static_cast<size_t>(before - siblings.begin());
    const bool topLevel = IsTopLevelLocked(window);
    if (after && topLevel) {
        window.exStyle = (window.exStyle & ~WS_EX_TOPMOST) | (after->exStyle & WS_EX_TOPMOST);
    } else if (insertAfter == HWND_TOPMOST && topLevel) {
        window.exStyle |= WS_EX_TOPMOST;
    } else if ((insertAfter == HWND_NOTOPMOST || insertAfter == HWND_BOTTOM) && topLevel) {
        window.exStyle &= ~WS_EX_TOPMOST;
    }
    siblings.erase(before);
    auto position = siblings.end();
    if (after) {
        position = std::find(siblings.begin(), siblings.end(), after) + 1;
    } else if (insertAfter != HWND_BOTTOM) {
        position = siblings.begin();
        if (topLevel && !(window.exStyle & WS_EX_TOPMOST)) {
            position = std::find_if(siblings.begin(), siblings.end(),
                                    [](const CWindow* other) { return !(other->exStyle & WS_EX_TOPMOST); });
        }
    }
    const size_t newIndex = static_cast<size_t>(position - siblings.begin());
    siblings.insert(position, &window);
    if (newIndex != oldIndex) {
        InvalidateLocked(window, nullptr, true, Children::All);
        ScreenChangedLocked();
    }
    return newIndex != oldIndex;
}

// The part of the parent that the window covered needs painting again.
void InvalidateUnderLocked(CWindow& window) {
    if (window.parent && !IsTopLevelLocked(window)) {
        InvalidateLocked(*window.parent, &window.rect, true, Children::All);
    }
    ScreenChangedLocked();
}

bool IsActivatingShow(int nCmdShow) {
    return nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE && nCmdShow != SW_SHOWMINNOACTIVE;
}

bool IsMinimizingShow(int nCmdShow) {
    return nCmdShow == SW_MINIMIZE || nCmdShow == SW_SHOWMINIMIZED || nCmdShow == SW_SHOWMINNOACTIVE;
}

// A minimised window leaves the emulated screen (there is no taskbar button to show it).
bool IsHidingShow(int nCmdShow) {
    return nCmdShow == SW_HIDE || IsMinimizingShow(nCmdShow);
}

// The child of the window (client coordinates) that takes the mouse at the point, or null.
CWindow* ChildAtLocked(CWindow& window, POINT point) {
    for (CWindow* child : window.children) {
        if (!(child->style & WS_VISIBLE) || !PtInRect(&child->rect, point)) {
            continue;
        }
        const bool transparent = (ClassIs(*child, L"Static") && !(child->style & SS_NOTIFY)) ||
                                 (child->exStyle & WS_EX_TRANSPARENT);
        if (transparent) {
            continue;
        }
        return child;
    }
    return nullptr;
}

} // namespace

CWindow* WindowFromPointLocked(POINT screen) {
    CWindow* desktop = DesktopLocked();
    CWindow* window = nullptr;
    for (CWindow* top : desktop->children) {
        if ((top->style & WS_VISIBLE) && PtInRect(&top->rect, screen) && !ClassIs(*top, TOOLTIPS_CLASSW)) {
            window = top;
            break;
        }
    }
    if (!window) {
        return desktop;
    }
    POINT point{screen.x - window->rect.left, screen.y - window->rect.top};
    while (CWindow* child = ChildAtLocked(*window, point)) {
        if (!IsEnabledLocked(child)) {
            break;
        }
        point.x -= child->rect.left;
        point.y -= child->rect.top;
        window = child;
    }
    return window;
}

} // namespace platform::window

using namespace platform::window;

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    bool wasVisible = false;
    bool changed = false;
    bool activate = false;
    bool deactivate = false;
    HWND owner = nullptr;
    const bool show = !IsHidingShow(nCmdShow);
    {
        Lock lock = LockWindows();
        CWindow* window = FindLocked(hWnd);
        if (!window || window == DesktopLocked()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasVisible = (window->style & WS_VISIBLE) != 0;
        changed = show != wasVisible;
        if (IsMinimizingShow(nCmdShow)) {
            window->style |= WS_MINIMIZE;
        } else if (nCmdShow != SW_HIDE) {
            window->style &= ~WS_MINIMIZE;
        }
        const bool topLevel = IsTopLevelLocked(*window);
        if (changed && show) {
            window->style |= WS_VISIBLE;
            InvalidateLocked(*window, nullptr, true, Children::All);
            ScreenChangedLocked();
        } else if (changed) {
            window->style &= ~WS_VISIBLE;
            InvalidateUnderLocked(*window);
            deactivate = topLevel && window->handle == GetForegroundWindowLocked();
            ForgetWindowLocked(*window);
            owner = window->owner;
        }
        activate = show && topLevel && IsActivatingShow(nCmdShow) && !(window->exStyle & WS_EX_NOACTIVATE) &&
                   !ClassIs(*window, TOOLTIPS_CLASSW);
        CheckTrackingLocked();
    }
    if (changed) {
        SendMessageW(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    }
    if (activate) {
        ActivateForeground(hWnd, false);
    } else if (deactivate) {
        ActivateForeground(IsWindowVisible(owner) ? owner : nullptr, false);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    WINDOWPOS pos{};
    bool changed = false;
    bool activate = false;
    {
        Lock lock = LockWindows();
        CWindow* window = FindLocked(hWnd);
        const bool ordering = !(uFlags & SWP_NOZORDER);
        if (!window || window == DesktopLocked() ||
            (ordering && !IsPlacementValue(hWndInsertAfter) && !FindLocked(hWndInsertAfter))) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        CWindow* const after = ordering ? InsertAfterLocked(*window, hWndInsertAfter) : window;
        if (after == window) {
            uFlags |= SWP_NOZORDER;
        }
        const RECT old = window->rect;
        RECT next = old;
        if (!(uFlags & SWP_NOMOVE)) {
            OffsetRect(&next, X - old.left, Y - old.top);
        }
        if (!(uFlags & SWP_NOSIZE)) {
            next.right = next.left + std::max(0, cx);
            next.bottom = next.top + std::max(0, cy);
        }
        const bool moved = next.left != old.left || next.top != old.top;
        const bool sized =
            next.right - next.left != old.right - old.left || next.bottom - next.top != old.bottom - old.top;
        const bool reordered = ReorderLocked(*window, hWndInsertAfter, after);
        if (moved || sized) {
            InvalidateUnderLocked(*window);
            window->rect = next;
            if (IsTopLevelLocked(*window) && sized) {
                ResizeSurfaceLocked(*window);
            } else if (!(uFlags & SWP_NOREDRAW)) {
                InvalidateLocked(*window, nullptr, true, Children::All);
            }
            CheckTrackingLocked();
        }
        changed = moved || sized || reordered;
        pos = WINDOWPOS{hWnd,
                        hWndInsertAfter,
                        static_cast<int>(next.left),
                        static_cast<int>(next.top),
                        static_cast<int>(next.right - next.left),
                        static_cast<int>(next.bottom - next.top),
                        (uFlags & ~(SWP_NOMOVE | SWP_NOSIZE)) | (moved ? 0u : SWP_NOMOVE) |
                            (sized ? 0u : SWP_NOSIZE)};
        activate = IsTopLevelLocked(*window) && !(uFlags & SWP_NOACTIVATE) &&
                   !(window->exStyle & WS_EX_NOACTIVATE) && !ClassIs(*window, TOOLTIPS_CLASSW);
    }
    if (changed) {
        SendMessageW(hWnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    }
    if (uFlags & SWP_SHOWWINDOW) {
        ShowWindow(hWnd, activate ? SW_SHOW : SW_SHOWNA);
    } else if (uFlags & SWP_HIDEWINDOW) {
        ShowWindow(hWnd, SW_HIDE);
    } else if (activate && IsWindowVisible(hWnd)) {
        ActivateForeground(hWnd, false);
    }
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight,
                        SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0u : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hWnd) {
    return SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    EnsureDesktop();
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    if (!window || !lpRect) {
        SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const POINT origin = ScreenOriginLocked(*window);
    const RECT client = ClientRectLocked(*window);
    *lpRect = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    if (!window->parent) {
        *lpRect = window->rect;
    }
    return TRUE;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    if (!window || !lpRect) {
        SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *lpRect = ClientRectLocked(*window);
    return TRUE;
}

BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    if (!window || !lpPoint) {
        return FALSE;
    }
    const POINT origin = ScreenOriginLocked(*window);
    lpPoint->x += origin.x;
    lpPoint->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    if (!window || !lpPoint) {
        return FALSE;
    }
    const POINT origin = ScreenOriginLocked(*window);
    lpPoint->x -= origin.x;
    lpPoint->y -= origin.y;
    return TRUE;
}

int MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
    Lock lock = LockWindows();
    const CWindow* from = hWndFrom ? FindLocked(hWndFrom) : nullptr;
    const CWindow* to = hWndTo ? FindLocked(hWndTo) : nullptr;
    if ((hWndFrom && !from) || (hWndTo && !to)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const POINT fromOrigin = from ? ScreenOriginLocked(*from) : POINT{0, 0};
    const POINT toOrigin = to ? ScreenOriginLocked(*to) : POINT{0, 0};
    const LONG dx = fromOrigin.x - toOrigin.x;
    const LONG dy = fromOrigin.y - toOrigin.y;
    for (UINT i = 0; i < cPoints; ++i) {
        lpPoints[i].x += dx;
        lpPoints[i].y += dy;
    }
    return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

HWND WindowFromPoint(POINT Point) {
    EnsureDesktop();
    Lock lock = LockWindows();
    return WindowFromPointLocked(Point)->handle;
}

HWND ChildWindowFromPoint(HWND hWndParent, POINT Point) {
    Lock lock = LockWindows();
    const CWindow* parent = FindLocked(hWndParent);
    if (!parent) {
        return nullptr;
    }
    const RECT client = ClientRectLocked(*parent);
    if (!PtInRect(&client, Point)) {
        return nullptr;
    }
    for (const CWindow* child : parent->children) {
        if (PtInRect(&child->rect, Point)) {
            return child->handle;
        }
    }
    return hWndParent;
}

// ---- Rectangles ----
BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (!lprc) {
        return FALSE;
    }
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT lprc) {
    return SetRect(lprc, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT lprcDst, const RECT* lprcSrc) {
    if (!lprcDst || !lprcSrc) {
        return FALSE;
    }
    *lprcDst = *lprcSrc;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* lprc) {
    return !lprc || lprc->right <= lprc->left || lprc->bottom <= lprc->top;
}

BOOL PtInRect(const RECT* lprc, POINT pt) {
    return lprc && pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}

BOOL OffsetRect(LPRECT lprc, int dx, int dy) {
    if (!lprc) {
        return FALSE;
    }
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

BOOL InflateRect(LPRECT lprc, int dx, int dy) {
    if (!lprc) {
        return FALSE;
    }
    lprc->left -= dx;
    lprc->right += dx;
    lprc->top -= dy;
    lprc->bottom += dy;
    return TRUE;
}

BOOL IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2) {
        return FALSE;
    }
    const RECT result{std::max(lprcSrc1->left, lprcSrc2->left), std::max(lprcSrc1->top, lprcSrc2->top),
                      std::min(lprcSrc1->right, lprcSrc2->right),
                      std::min(lprcSrc1->bottom, lprcSrc2->bottom)};
    if (IsRectEmpty(&result)) {
        *lprcDst = RECT{};
        return FALSE;
    }
    *lprcDst = result;
    return TRUE;
}

BOOL UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2) {
        return FALSE;
    }
    if (IsRectEmpty(lprcSrc1)) {
        *lprcDst = IsRectEmpty(lprcSrc2) ? RECT{} : *lprcSrc2;
    } else if (IsRectEmpty(lprcSrc2)) {
        *lprcDst = *lprcSrc1;
    } else {
        *lprcDst =
            RECT{std::min(lprcSrc1->left, lprcSrc2->left), std::min(lprcSrc1->top, lprcSrc2->top),
                 std::max(lprcSrc1->right, lprcSrc2->right), std::max(lprcSrc1->bottom, lprcSrc2->bottom)};
    }
    return !IsRectEmpty(lprcDst);
}

BOOL EqualRect(const RECT* lprc1, const RECT* lprc2) {
    return lprc1 && lprc2 && lprc1->left == lprc2->left && lprc1->top == lprc2->top &&
           lprc1->right == lprc2->right && lprc1->bottom == lprc2->bottom;
}
