// The standard controls: push buttons (with owner drawing), statics and scroll bars, and the drawing
// helpers they share.
#include <algorithm>
#include <string>

#include "platform/window/Controls.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

const COLORREF kButtonFace = RGB(225, 225, 225);
const COLORREF kButtonPressed = RGB(204, 228, 247);
const COLORREF kButtonFrame = RGB(173, 173, 173);
const COLORREF kFocusColor = RGB(0, 120, 215);
const COLORREF kTrackColor = RGB(240, 240, 240);
const COLORREF kArrowColor = RGB(222, 222, 222);
const COLORREF kThumbColor = RGB(192, 192, 192);

// A button's state in its window bytes.
constexpr LONG_PTR kPushed = 0x1;
constexpr LONG_PTR kTrackingMouse = 0x2;

LONG_PTR State(HWND hwnd) {
    return GetWindowLongPtrW(hwnd, 0);
}

void SetState(HWND hwnd, LONG_PTR state) {
    if (State(hwnd) != state) {
        SetWindowLongPtrW(hwnd, 0, state);
        InvalidateRect(hwnd, nullptr, TRUE);
    }
}

std::wstring TextOf(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool ClientContains(HWND hwnd, LPARAM lParam) {
    RECT client;
    GetClientRect(hwnd, &client);
    return PtInRect(&client, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
}

DWORD StyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

void DrawText(HDC hdc, HWND hwnd, const std::wstring& text, RECT rect, UINT format) {
    const HGDIOBJ previous = SelectObject(hdc, ControlFont(hwnd));
    SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rect, format);
    SelectObject(hdc, previous);
}

void PaintButton(HWND hwnd, HDC hdc, const RECT& client) {
    const LONG_PTR state = State(hwnd);
    const DWORD style = StyleOf(hwnd);
    if ((style & BS_TYPEMASK) == BS_OWNERDRAW) {
        const bool focused = GetFocus() == hwnd;
        DRAWITEMSTRUCT item{ODT_BUTTON,
                            static_cast<UINT>(GetDlgCtrlID(hwnd)),
                            0,
                            ODA_DRAWENTIRE,
                            ((state & kPushed) ? ODS_SELECTED : 0u) | (focused ? ODS_FOCUS : 0u) |
                                (IsWindowEnabled(hwnd) ? 0u : ODS_DISABLED),
                            hwnd,
                            hdc,
                            client,
                            0};
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, static_cast<WPARAM>(item.CtlID),
                     reinterpret_cast<LPARAM>(&item));
        return;
    }
    FillRect(hdc, &client, ControlBrush(hwnd, hdc, WM_CTLCOLORBTN));
    FillSolid(hdc, client, (state & kPushed) ? kButtonPressed : kButtonFace);
    DrawFrame(hdc, client, GetFocus() == hwnd ? kFocusColor : kButtonFrame);
    SetTextColor(hdc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawText(hdc, hwnd, TextOf(hwnd), client,
             DT_CENTER | ((style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER));
    if (GetFocus() == hwnd) {
        RECT focus = client;
        InflateRect(&focus, -3, -3);
        DrawFocusRectangle(hdc, focus);
    }
}

void Click(HWND hwnd) {
    NotifyParent(hwnd, BN_CLICKED);
}

void PaintStatic(HWND hwnd, HDC hdc, const RECT& client) {
    const DWORD style = StyleOf(hwnd);
    switch (style & SS_TYPEMASK) {
    case SS_BLACKRECT:
        FillSolid(hdc, client, RGB(0, 0, 0));
        return;
    case SS_GRAYRECT:
        FillSolid(hdc, client, GetSysColor(COLOR_BTNSHADOW));
        return;
    case SS_WHITERECT:
        FillSolid(hdc, client, RGB(255, 255, 255));
        return;
    case SS_OWNERDRAW: {
        DRAWITEMSTRUCT item{
            ODT_STATIC, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE, 0, hwnd, hdc, client, 0};
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, static_cast<WPARAM>(item.CtlID),
                     reinterpret_cast<LPARAM>(&item));
        return;
    }
    default:
        break;
    }
    FillRect(hdc, &client, ControlBrush(hwnd, hdc, WM_CTLCOLORSTATIC));
    const UINT align = (style & SS_TYPEMASK) == SS_CENTER  ? DT_CENTER
                       : (style & SS_TYPEMASK) == SS_RIGHT ? DT_RIGHT
                                                           : DT_LEFT;
    DrawText(hdc, hwnd, TextOf(hwnd), client,
             align | ((style & SS_CENTERIMAGE) ? DT_SINGLELINE | DT_VCENTER : DT_WORDBREAK));
}

// ---- Scroll bars ----
struct CScrollGeometry {
    bool vertical;
    int length; // along the bar
    int arrow;  // each arrow's length
    int thumbStart;
    int thumbLength;
};

CScrollState ScrollStateOf(HWND hwnd) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hwnd);
    return window ? window->scroll : CScrollState{};
}

int MaxPosition(const CScrollState& state) {
    return std::max(state.nMin, state.nMax - std::max(0, static_cast<int>(state.nPage) - 1));
}

CScrollGeometry Geometry(HWND hwnd, const CScrollState& state, int position) {
    RECT client;
    GetClientRect(hwnd, &client);
    CScrollGeometry g{};
    g.vertical = (StyleOf(hwnd) & SBS_VERT) != 0;
    g.length = g.vertical ? client.bottom : client.right;
    const int breadth = g.vertical ? client.right : client.bottom;
    g.arrow = std::min(breadth, g.length / 2);
    const int track = std::max(0, g.length - 2 * g.arrow);
    const int range = state.nMax - state.nMin + 1;
    g.thumbLength = state.nPage > 0 && range > 0
                        ? std::max(std::min(8, track), MulDiv(track, static_cast<int>(state.nPage), range))
                        : std::min(track, g.arrow);
    g.thumbLength = std::min(g.thumbLength, track);
    const int span = MaxPosition(state) - state.nMin;
    g.thumbStart = g.arrow + (span > 0 ? MulDiv(track - g.thumbLength, position - state.nMin, span) : 0);
    return g;
}

void SendScroll(HWND hwnd, WORD code, int position = 0) {
    const bool vertical = (StyleOf(hwnd) & SBS_VERT) != 0;
    SendMessageW(GetParent(hwnd), vertical ? WM_VSCROLL : WM_HSCROLL,
                 MAKEWPARAM(code, static_cast<WORD>(position)), reinterpret_cast<LPARAM>(hwnd));
}

void UpdateScrollState(HWND hwnd, const std::function<void(CScrollState&)>& change) {
    {
        Lock lock = LockWindows();
        CWindow* window = FindLocked(hwnd);
        if (!window) {
            return;
        }
        change(window->scroll);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void PaintScrollBar(HWND hwnd, HDC hdc, const RECT& client) {
    const CScrollState state = ScrollStateOf(hwnd);
    const CScrollGeometry g = Geometry(hwnd, state, state.tracking ? state.nTrackPos : state.nPos);
    FillSolid(hdc, client, kTrackColor);
    auto along = [&](int start, int length) {
        return g.vertical ? RECT{0, start, client.right, start + length}
                          : RECT{start, 0, start + length, client.bottom};
    };
    FillSolid(hdc, along(0, g.arrow), kArrowColor);
    FillSolid(hdc, along(g.length - g.arrow, g.arrow), kArrowColor);
    if (IsWindowEnabled(hwnd) && MaxPosition(state) > state.nMin) {
        FillSolid(hdc, along(g.thumbStart, g.thumbLength), kThumbColor);
    }
}

void ScrollBarButtonDown(HWND hwnd, LPARAM lParam) {
    const CScrollState state = ScrollStateOf(hwnd);
    const CScrollGeometry g = Geometry(hwnd, state, state.nPos);
    const int at = g.vertical ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
    SetCapture(hwnd);
    if (at < g.arrow) {
        SendScroll(hwnd, SB_LINEUP);
    } else if (at >= g.length - g.arrow) {
        SendScroll(hwnd, SB_LINEDOWN);
    } else if (at < g.thumbStart) {
        SendScroll(hwnd, SB_PAGEUP);
    } else if (at >= g.thumbStart + g.thumbLength) {
        SendScroll(hwnd, SB_PAGEDOWN);
    } else {
        SetWindowLongPtrW(hwnd, 0, at - g.thumbStart);
        UpdateScrollState(hwnd, [](CScrollState& s) {
            s.tracking = true;
            s.nTrackPos = s.nPos;
        });
    }
}

void ScrollBarDrag(HWND hwnd, LPARAM lParam) {
    const CScrollState state = ScrollStateOf(hwnd);
    if (!state.tracking) {
        return;
    }
    const CScrollGeometry g = Geometry(hwnd, state, state.nPos);
    const int at = (g.vertical ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam)) -
                   static_cast<int>(GetWindowLongPtrW(hwnd, 0));
    const int travel = g.length - 2 * g.arrow - g.thumbLength;
    const int span = MaxPosition(state) - state.nMin;
    const int position =
        travel > 0 ? state.nMin + MulDiv(std::clamp(at - g.arrow, 0, travel), span, travel) : state.nMin;
    if (position != state.nTrackPos) {
        UpdateScrollState(hwnd, [position](CScrollState& s) { s.nTrackPos = position; });
        SendScroll(hwnd, SB_THUMBTRACK, position);
    }
}

void ScrollBarButtonUp(HWND hwnd) {
    if (GetCapture() != hwnd) {
        return;
    }
    const CScrollState state = ScrollStateOf(hwnd);
    ReleaseCapture();
    if (state.tracking) {
        SendScroll(hwnd, SB_THUMBPOSITION, state.nTrackPos);
        UpdateScrollState(hwnd, [](CScrollState& s) { s.tracking = false; });
    }
    SendScroll(hwnd, SB_ENDSCROLL);
}

template <typename Paint> LRESULT PaintWith(HWND hwnd, Paint paint) {
    PAINTSTRUCT ps;
    if (HDC hdc = BeginPaint(hwnd, &ps)) {
        RECT client;
        GetClientRect(hwnd, &client);
        paint(hwnd, hdc, client);
        EndPaint(hwnd, &ps);
    }
    return 0;
}

bool IsScrollBar(HWND hwnd) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hwnd);
    return window && ClassIs(*window, L"ScrollBar");
}

// A new text or enabled state changes how the control looks.
LRESULT RepaintAfterDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
    InvalidateRect(hwnd, nullptr, TRUE);
    return message == WM_SETTEXT ? result : 0;
}

} // namespace

HFONT ControlFont(HWND hwnd) {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HBRUSH ControlBrush(HWND hwnd, HDC hdc, UINT ctlColorMessage) {
    const HWND parent = GetParent(hwnd);
    const auto brush =
        reinterpret_cast<HBRUSH>(parent ? SendMessageW(parent, ctlColorMessage, reinterpret_cast<WPARAM>(hdc),
                                                       reinterpret_cast<LPARAM>(hwnd))
                                        : 0);
    return brush ? brush : GetSysColorBrush(COLOR_3DFACE);
}

void NotifyParent(HWND hwnd, WORD code) {
    if (const HWND parent = GetParent(hwnd)) {
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code),
                     reinterpret_cast<LPARAM>(hwnd));
    }
}

void FillSolid(HDC hdc, const RECT& rect, COLORREF color) {
    const HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, &rect, brush);
    DeleteObject(brush);
}

void DrawFrame(HDC hdc, const RECT& rect, COLORREF color) {
    FillSolid(hdc, RECT{rect.left, rect.top, rect.right, rect.top + 1}, color);
    FillSolid(hdc, RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, color);
    FillSolid(hdc, RECT{rect.left, rect.top, rect.left + 1, rect.bottom}, color);
    FillSolid(hdc, RECT{rect.right - 1, rect.top, rect.right, rect.bottom}, color);
}

void DrawFocusRectangle(HDC hdc, const RECT& rect) {
    const HPEN pen = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
    const HGDIOBJ previous = SelectObject(hdc, pen);
    MoveToEx(hdc, rect.left, rect.top, nullptr);
    LineTo(hdc, rect.right - 1, rect.top);
    LineTo(hdc, rect.right - 1, rect.bottom - 1);
    LineTo(hdc, rect.left, rect.bottom - 1);
    LineTo(hdc, rect.left, rect.top);
    SelectObject(hdc, previous);
    DeleteObject(pen);
}

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const LONG_PTR state = State(hwnd);
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_BUTTON | ((StyleOf(hwnd) & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON
                                                                                : DLGC_UNDEFPUSHBUTTON);
    case WM_PAINT:
        return PaintWith(hwnd, PaintButton);
    case WM_ERASEBKGND:
        return TRUE;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        SetCapture(hwnd);
        SetState(hwnd, state | kPushed | kTrackingMouse);
        return 0;
    case WM_MOUSEMOVE:
        if (state & kTrackingMouse) {
            SetState(hwnd, ClientContains(hwnd, lParam) ? (state | kPushed) : (state & ~kPushed));
        }
        return 0;
    case WM_LBUTTONUP:
        if (state & kTrackingMouse) {
            SetState(hwnd, 0);
            ReleaseCapture();
            if (ClientContains(hwnd, lParam)) {
                Click(hwnd);
            }
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            SetState(hwnd, state | kPushed);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && (state & kPushed)) {
            SetState(hwnd, 0);
            Click(hwnd);
        }
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (message == WM_KILLFOCUS) {
            SetState(hwnd, 0);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case BM_CLICK:
        Click(hwnd);
        return 0;
    case BM_GETSTATE:
        return ((state & kPushed) ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
    case BM_SETSTATE:
        SetState(hwnd, wParam ? (state | kPushed) : (state & ~kPushed));
        return 0;
    case BM_SETSTYLE:
        SetWindowLongPtrW(hwnd, GWL_STYLE,
                          static_cast<LONG_PTR>((StyleOf(hwnd) & ~BS_TYPEMASK) | (wParam & BS_TYPEMASK)));
        if (LOWORD(lParam)) {
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
        return RepaintAfterDefault(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_NCHITTEST:
        return (StyleOf(hwnd) & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_PAINT:
        return PaintWith(hwnd, PaintStatic);
    case WM_ERASEBKGND:
        return TRUE;
    case WM_LBUTTONDOWN:
        if (StyleOf(hwnd) & SS_NOTIFY) {
            NotifyParent(hwnd, STN_CLICKED);
        }
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
        return RepaintAfterDefault(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        return PaintWith(hwnd, PaintScrollBar);
    case WM_ERASEBKGND:
        return TRUE;
    case WM_LBUTTONDOWN:
        ScrollBarButtonDown(hwnd, lParam);
        return 0;
    case WM_MOUSEMOVE:
        ScrollBarDrag(hwnd, lParam);
        return 0;
    case WM_LBUTTONUP:
        ScrollBarButtonUp(hwnd);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace platform::window

using namespace platform::window;

int SetScrollInfo(HWND hwnd, int nBar, LPCSCROLLINFO lpsi, BOOL redraw) {
    if (nBar != SB_CTL || !lpsi || !IsScrollBar(hwnd)) {
        SetLastError(nBar != SB_CTL ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return 0;
    }
    int position = 0;
    {
        Lock lock = LockWindows();
        CScrollState& state = FindLocked(hwnd)->scroll;
        if (lpsi->fMask & SIF_RANGE) {
            state.nMin = lpsi->nMin;
            state.nMax = std::max(lpsi->nMin, lpsi->nMax);
        }
        if (lpsi->fMask & SIF_PAGE) {
            state.nPage = std::min<UINT>(lpsi->nPage, static_cast<UINT>(state.nMax - state.nMin + 1));
        }
        if (lpsi->fMask & SIF_POS) {
            state.nPos = lpsi->nPos;
        }
        state.nPos = std::clamp(state.nPos, state.nMin, MaxPosition(state));
        position = state.nPos;
    }
    if (redraw) {
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    return position;
}

BOOL GetScrollInfo(HWND hwnd, int nBar, LPSCROLLINFO lpsi) {
    if (nBar != SB_CTL || !lpsi || !IsScrollBar(hwnd)) {
        SetLastError(nBar != SB_CTL ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const CScrollState state = ScrollStateOf(hwnd);
    if (lpsi->fMask & SIF_RANGE) {
        lpsi->nMin = state.nMin;
        lpsi->nMax = state.nMax;
    }
    if (lpsi->fMask & SIF_PAGE) {
        lpsi->nPage = state.nPage;
    }
    if (lpsi->fMask & SIF_POS) {
        lpsi->nPos = state.nPos;
    }
    if (lpsi->fMask & SIF_TRACKPOS) {
        lpsi->nTrackPos = state.tracking ? state.nTrackPos : state.nPos;
    }
    return TRUE;
}

int SetScrollPos(HWND hWnd, int nBar, int nPos, BOOL bRedraw) {
    const int previous = GetScrollPos(hWnd, nBar);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, nPos, 0};
    SetScrollInfo(hWnd, nBar, &info, bRedraw);
    return previous;
}

int GetScrollPos(HWND hWnd, int nBar) {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hWnd, nBar, &info) ? info.nPos : 0;
}

BOOL SetScrollRange(HWND hWnd, int nBar, int nMinPos, int nMaxPos, BOOL bRedraw) {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, nMinPos, nMaxPos, 0, 0, 0};
    return nBar == SB_CTL && IsScrollBar(hWnd) ? (SetScrollInfo(hWnd, nBar, &info, bRedraw), TRUE) : FALSE;
}

BOOL GetScrollRange(HWND hWnd, int nBar, LPINT lpMinPos, LPINT lpMaxPos) {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, 0, 0, 0, 0, 0};
    if (!lpMinPos || !lpMaxPos || !GetScrollInfo(hWnd, nBar, &info)) {
        return FALSE;
    }
    *lpMinPos = info.nMin;
    *lpMaxPos = info.nMax;
    return TRUE;
}
