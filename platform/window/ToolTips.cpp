// Tooltips ("tooltips_class32"): tools by window or rectangle, shown after the mouse rests on one (the
// messages reach the tooltip through TTM_RELAYEVENT), with the text of the tool or of TTN_NEEDTEXTW.
#include <algorithm>
#include <utility>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/window/Controls.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kInitialDelayMs = 500;
constexpr int kMarginX = 4;
constexpr int kMarginY = 2;

struct CTool {
    UINT flags;
    HWND hwnd;
    UINT_PTR id;
    RECT rect;
    HINSTANCE instance;
    std::wstring text;
    bool callback;
    LPARAM lParam;
};

struct CToolTip {
    std::vector<CTool> tools;
    int current = -1; // the tool under the mouse
    bool active = true;
    int maxWidth = -1;
    UINT initialDelay = kInitialDelayMs;
    std::wstring text;
};

CToolTip* StateOf(HWND hwnd) {
    return reinterpret_cast<CToolTip*>(GetWindowLongPtrW(hwnd, 0));
}

bool SameTool(const CTool& tool, HWND hwnd, UINT_PTR id) {
    return tool.hwnd == hwnd && tool.id == id;
}

int FindTool(const CToolTip& tip, const TTTOOLINFOW* info) {
    for (size_t i = 0; i < tip.tools.size(); ++i) {
        if (SameTool(tip.tools[i], info->hwnd, info->uId)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

CTool ToolOf(const TTTOOLINFOW& info) {
    const bool callback = info.lpszText == LPSTR_TEXTCALLBACKW;
    std::wstring text;
    if (!callback && info.lpszText) {
        text = IS_INTRESOURCE(info.lpszText) ? std::wstring() : std::wstring(info.lpszText);
    }
    return CTool{info.uFlags, info.hwnd, info.uId, info.rect, info.hinst, text, callback, info.lParam};
}

// The tool under the message's point: a window tool when the message is for that window or it holds the
// point, a rectangle tool of the message's window when the point lies in its rectangle.
int ToolAt(const CToolTip& tip, const MSG& msg) {
    for (size_t i = 0; i < tip.tools.size(); ++i) {
        const CTool& tool = tip.tools[i];
        if (tool.flags & TTF_IDISHWND) {
            const auto toolWindow = reinterpret_cast<HWND>(tool.id);
            RECT rect;
            if (msg.hwnd == toolWindow || (GetWindowRect(toolWindow, &rect) && PtInRect(&rect, msg.pt) &&
                                           IsWindowVisible(toolWindow))) {
                return static_cast<int>(i);
            }
        } else if (msg.hwnd == tool.hwnd) {
            POINT point = msg.pt;
            ScreenToClient(tool.hwnd, &point);
            if (PtInRect(&tool.rect, point)) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

LRESULT NotifyOwner(HWND hwnd, const CTool& tool, UINT code, NMHDR* header) {
    *header = NMHDR{hwnd, tool.id, code};
    return SendMessageW(tool.hwnd, WM_NOTIFY, tool.id, reinterpret_cast<LPARAM>(header));
}

void Hide(HWND hwnd, CToolTip& tip) {
    KillTimer(hwnd, kShowTimer);
    if (IsWindowVisible(hwnd)) {
        ShowWindow(hwnd, SW_HIDE);
        if (tip.current >= 0 && static_cast<size_t>(tip.current) < tip.tools.size()) {
            NMHDR header;
            NotifyOwner(hwnd, tip.tools[static_cast<size_t>(tip.current)], TTN_POP, &header);
        }
    }
}

std::wstring TextOfTool(HWND hwnd, const CTool& tool) {
    if (!tool.callback) {
        return tool.text;
    }
    NMTTDISPINFOW info{};
    info.lpszText = info.szText;
    info.hinst = tool.instance;
    info.uFlags = tool.flags;
    info.lParam = tool.lParam;
    NotifyOwner(hwnd, tool, TTN_NEEDTEXTW, &info.hdr);
    if (!info.lpszText) {
        return {};
    }
    if (IS_INTRESOURCE(info.lpszText)) {
        LPCWSTR resource = nullptr;
        const int length =
            LoadStringW(info.hinst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info.lpszText)),
                        reinterpret_cast<LPWSTR>(&resource), 0);
        return length > 0 ? std::wstring(resource, static_cast<size_t>(length)) : std::wstring();
    }
    return info.lpszText;
}

SIZE TextSize(HWND hwnd, const CToolTip& tip) {
    const HDC hdc = GetDC(hwnd);
    const HGDIOBJ previous = SelectObject(hdc, ControlFont(hwnd));
    RECT rect{0, 0, tip.maxWidth > 0 ? tip.maxWidth : 0x7FFF, 0};
    DrawTextW(hdc, tip.text.c_str(), static_cast<int>(tip.text.size()), &rect,
              DT_CALCRECT | DT_NOPREFIX | (tip.maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(hdc, previous);
    ReleaseDC(hwnd, hdc);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Asks for the text, then shows the tip below the cursor, or where the owner moved it meanwhile.
void Show(HWND hwnd, CToolTip& tip) {
    if (tip.current < 0 || static_cast<size_t>(tip.current) >= tip.tools.size() || !tip.active) {
        return;
    }
    RECT before;
    GetWindowRect(hwnd, &before);
    const CTool tool = tip.tools[static_cast<size_t>(tip.current)];
    tip.text = TextOfTool(hwnd, tool);
    if (tip.text.empty() || StateOf(hwnd) != &tip) {
        return;
    }
    RECT after;
    GetWindowRect(hwnd, &after);
    const SIZE size = TextSize(hwnd, tip);
    POINT place{after.left, after.top};
    if (EqualRect(&before, &after)) {
        GetCursorPos(&place);
        place.y += 20;
    }
    NMHDR header;
    if (!NotifyOwner(hwnd, tool, TTN_SHOW, &header)) {
        SetWindowPos(hwnd, HWND_TOPMOST, place.x, place.y, size.cx + 2 * kMarginX, size.cy + 2 * kMarginY,
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
    } else {
        ShowWindow(hwnd, SW_SHOWNA);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void Relay(HWND hwnd, CToolTip& tip, const MSG& msg) {
    if (msg.message != WM_MOUSEMOVE) {
        if ((msg.message >= WM_LBUTTONDOWN && msg.message <= WM_MOUSELAST) ||
            (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST)) {
            Hide(hwnd, tip);
        }
        return;
    }
    const int tool = ToolAt(tip, msg);
    if (tool == tip.current) {
        return;
    }
    Hide(hwnd, tip);
    tip.current = tool;
    if (tool >= 0 && tip.active) {
        SetTimer(hwnd, kShowTimer, tip.initialDelay, nullptr);
    }
}

void Paint(HWND hwnd, const CToolTip& tip) {
    PAINTSTRUCT ps;
    const HDC hdc = BeginPaint(hwnd, &ps);
    if (!hdc) {
        return;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    FillSolid(hdc, client, GetSysColor(COLOR_INFOBK));
    DrawFrame(hdc, client, RGB(118, 118, 118));
    const HGDIOBJ previous = SelectObject(hdc, ControlFont(hwnd));
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(COLOR_INFOTEXT));
    RECT text = client;
    InflateRect(&text, -kMarginX, -kMarginY);
    DrawTextW(hdc, tip.text.c_str(), static_cast<int>(tip.text.size()), &text,
              DT_NOPREFIX | (tip.maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(hdc, previous);
    EndPaint(hwnd, &ps);
}

LRESULT ToolMessage(HWND hwnd, CToolTip& tip, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* info = reinterpret_cast<const TTTOOLINFOW*>(lParam);
    switch (message) {
    case TTM_ADDTOOLW: {
        if (!info) {
            return FALSE;
        }
        const int index = FindTool(tip, info);
        if (index >= 0) {
            tip.tools[static_cast<size_t>(index)] = ToolOf(*info);
        } else {
            tip.tools.push_back(ToolOf(*info));
        }
        return TRUE;
    }
    case TTM_DELTOOLW: {
        const int index = info ? FindTool(tip, info) : -1;
        if (index >= 0) {
            if (index == tip.current) {
                Hide(hwnd, tip);
                tip.current = -1;
            } else if (index < tip.current) {
                --tip.current;
            }
            tip.tools.erase(tip.tools.begin() + index);
        }
        return 0;
    }
    case TTM_UPDATETIPTEXTW: {
        const int index = info ? FindTool(tip, info) : -1;
        if (index >= 0) {
            CTool& tool = tip.tools[static_cast<size_t>(index)];
            const CTool updated = ToolOf(*info);
            tool.text = updated.text;
            tool.callback = updated.callback;
        }
        return 0;
    }
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(tip.tools.size());
    case TTM_ACTIVATE:
        tip.active = wParam != 0;
        if (!tip.active) {
            Hide(hwnd, tip);
        }
        return 0;
    case TTM_SETMAXTIPWIDTH:
        return std::exchange(tip.maxWidth, static_cast<int>(lParam));
    case TTM_GETMAXTIPWIDTH:
        return tip.maxWidth;
    case TTM_SETDELAYTIME:
        if (wParam == TTDT_INITIAL || wParam == TTDT_AUTOMATIC) {
            tip.initialDelay = LOWORD(lParam) ? LOWORD(lParam) : kInitialDelayMs;
        }
        return 0;
    case TTM_POP:
        Hide(hwnd, tip);
        return 0;
    case TTM_UPDATE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case TTM_RELAYEVENT:
        if (lParam) {
            Relay(hwnd, tip, *reinterpret_cast<const MSG*>(lParam));
        }
        return 0;
    case TTM_ADJUSTRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect) {
            return FALSE;
        }
        InflateRect(rect, wParam ? kMarginX : -kMarginX, wParam ? kMarginY : -kMarginY);
        return TRUE;
    }
    case TTM_GETTEXTW: {
        auto* out = reinterpret_cast<TTTOOLINFOW*>(lParam);
        const int index = out ? FindTool(tip, out) : -1;
        if (index >= 0 && out->lpszText) {
            const std::wstring& text = tip.tools[static_cast<size_t>(index)].text;
            const size_t count =
                std::min(text.size(), wParam > 0 ? static_cast<size_t>(wParam - 1) : size_t{79});
            text.copy(out->lpszText, count);
            out->lpszText[count] = L'\0';
        }
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

LRESULT ToolTipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new CToolTip));
        return TRUE;
    }
    CToolTip* tip = StateOf(hwnd);
    if (!tip) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    switch (message) {
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, 0, 0);
        delete tip;
        return 0;
    case WM_TIMER:
        if (wParam == kShowTimer) {
            KillTimer(hwnd, kShowTimer);
            Show(hwnd, *tip);
        }
        return 0;
    case WM_PAINT:
        Paint(hwnd, *tip);
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_MOUSEMOVE:
        Hide(hwnd, *tip);
        return 0;
    default:
        return message >= WM_USER ? ToolMessage(hwnd, *tip, message, wParam, lParam)
                                  : DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace platform::window
