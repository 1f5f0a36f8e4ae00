// Dialogs: made from the program's templates in dialog units, the default dialog procedure, modal runs,
// and the keyboard navigation of IsDialogMessage.
#include <algorithm>

#include "platform/display.h"
#include "platform/resources/DialogTemplates.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

struct CDialogInfo {
    int baseX = 6;
    int baseY = 13;
    HFONT font = nullptr;
    HWND savedFocus = nullptr;
    WORD defaultId = IDOK;
    bool ended = false;
    INT_PTR result = 0;
};

std::mutex& DialogsMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::unordered_map<HWND, CDialogInfo>& Dialogs() {
    static auto* dialogs = new std::unordered_map<HWND, CDialogInfo>;
    return *dialogs;
}

template <typename Action>
auto WithDialog(HWND hDlg, Action action) -> decltype(action(std::declval<CDialogInfo*>())) {
    const std::lock_guard<std::mutex> lock(DialogsMutex());
    const auto found = Dialogs().find(hDlg);
    return action(found == Dialogs().end() ? nullptr : &found->second);
}

UINT PrimaryDpi() {
    UINT dpiX = 96;
    UINT dpiY = 96;
    if (FAILED(GetDpiForMonitor(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), MDT_EFFECTIVE_DPI,
                                &dpiX, &dpiY))) {
        return 96;
    }
    return dpiY;
}

// The template's font at the DPI, and the base units it gives: the average width of the alphabet's
// letters and the cell height.
void MakeDialogFont(const DialogTemplate& dialog, CDialogInfo& info) {
    const bool ownFont = (dialog.style & DS_SETFONT) && !dialog.fontFace.empty();
    info.font = ownFont ? CreateFontW(-MulDiv(dialog.pointSize, static_cast<int>(PrimaryDpi()), 72), 0, 0, 0,
                                      dialog.weight, dialog.italic, 0, 0, dialog.charset, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                      dialog.fontFace.c_str())
                        : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const HDC hdc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(hdc, info.font);
    TEXTMETRICW metrics{};
    SIZE size{};
    static const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    if (GetTextMetricsW(hdc, &metrics) && GetTextExtentPoint32W(hdc, kAlphabet, 52, &size)) {
        info.baseX = std::max(1, static_cast<int>((size.cx / 26 + 1) / 2));
        info.baseY = std::max(1, static_cast<int>(metrics.tmHeight));
    }
    SelectObject(hdc, previous);
    DeleteDC(hdc);
    if (!ownFont) {
        info.font = nullptr;
    }
}

RECT ToPixels(const CDialogInfo& info, short x, short y, short cx, short cy) {
    const int left = MulDiv(x, info.baseX, 4);
    const int top = MulDiv(y, info.baseY, 8);
    return RECT{left, top, left + MulDiv(cx, info.baseX, 4), top + MulDiv(cy, info.baseY, 8)};
}

std::optional<int> TemplateId(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) {
        return static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    }
    if (name && name[0] == L'#') {
        return static_cast<int>(std::wcstol(name + 1, nullptr, 10));
    }
    return std::nullopt;
}

// The dialog that navigation runs in: control-parent children take part in their parent's navigation.
HWND NavigationRoot(HWND hDlg) {
    HWND root = hDlg;
    for (;;) {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(root, GWL_STYLE));
        const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(root, GWL_EXSTYLE));
        const HWND parent = GetParent(root);
        if (!(style & WS_CHILD) || !(exStyle & WS_EX_CONTROLPARENT) || !parent) {
            return root;
        }
        root = parent;
    }
}

// The controls of the dialog in navigation order, control-parent children opened up.
void CollectControls(HWND parent, std::vector<HWND>& out) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child) || !IsWindowEnabled(child)) {
            continue;
        }
        if (GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
            CollectControls(child, out);
        } else {
            out.push_back(child);
        }
    }
}

bool HasStyle(HWND hwnd, DWORD style) {
    return (static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & style) != 0;
}

HWND Step(const std::vector<HWND>& controls, HWND from, bool previous) {
    if (controls.empty()) {
        return nullptr;
    }
    const auto found = std::find(controls.begin(), controls.end(), from);
    if (found == controls.end()) {
        return previous ? controls.back() : controls.front();
    }
    const size_t index = static_cast<size_t>(found - controls.begin());
    const size_t count = controls.size();
    return controls[previous ? (index + count - 1) % count : (index + 1) % count];
}

// Enter: the focused push button's own command, else the dialog's default id.
void PressEnter(HWND hDlg, HWND focus, UINT focusCode) {
    if (focus && (focusCode & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && IsWindowEnabled(focus)) {
        SendMessageW(GetParent(focus), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                     reinterpret_cast<LPARAM>(focus));
        return;
    }
    const LRESULT defId = SendMessageW(hDlg, DM_GETDEFID, 0, 0);
    const WORD id = HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : static_cast<WORD>(IDOK);
    const HWND button = GetDlgItem(hDlg, id);
    if (!button || IsWindowEnabled(button)) {
        SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    }
}

HWND FirstTabStop(HWND hDlg) {
    return GetNextDlgTabItem(hDlg, nullptr, FALSE);
}

bool ReturnsResultDirectly(UINT message) {
    return message == WM_INITDIALOG || message == WM_QUERYDRAGICON ||
           (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

} // namespace

} // namespace platform::window

using namespace platform::window;

HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    const std::optional<int> id = TemplateId(lpTemplateName);
    const std::optional<platform::DialogTemplate> dialog =
        id ? platform::FindDialogTemplate(*id) : std::nullopt;
    if (!dialog) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    CDialogInfo info;
    MakeDialogFont(*dialog, info);
    const HFONT font = info.font ? info.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    RECT rect = ToPixels(info, dialog->x, dialog->y, dialog->cx, dialog->cy);
    const bool child = (dialog->style & WS_CHILD) != 0;
    if (!child && hWndParent) {
        POINT origin{0, 0};
        ClientToScreen(hWndParent, &origin);
        OffsetRect(&rect, origin.x, origin.y);
    }
    const DWORD exStyle = dialog->exStyle | ((dialog->style & DS_CONTROL) ? WS_EX_CONTROLPARENT : 0u);
    CreationHook outer = TakeCreationHook();
    SetCreationHook([&](HWND hDlg) {
        SetWindowLongPtrW(hDlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(lpDialogFunc));
        {
            const std::lock_guard<std::mutex> lock(DialogsMutex());
            Dialogs()[hDlg] = info;
        }
        if (outer) {
            outer(hDlg);
        }
    });
    const HWND hDlg = CreateWindowExW(
        exStyle, L"#32770", dialog->caption.c_str(), dialog->style & ~WS_VISIBLE, rect.left, rect.top,
        rect.right - rect.left, rect.bottom - rect.top, hWndParent, nullptr, hInstance, nullptr);
    SetCreationHook(nullptr);
    if (!hDlg) {
        if (info.font) {
            DeleteObject(info.font);
        }
        return nullptr;
    }
    SendMessageW(hDlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const platform::DialogControlTemplate& control : dialog->controls) {
        const RECT bounds = ToPixels(info, control.x, control.y, control.cx, control.cy);
        const HWND hwnd = CreateWindowExW(
            control.exStyle, control.className.c_str(), control.text.c_str(), control.style | WS_CHILD,
            bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, hDlg,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(control.id)), hInstance, nullptr);
        if (!hwnd) {
            DestroyWindow(hDlg);
            return nullptr;
        }
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    const HWND first = FirstTabStop(hDlg);
    if (SendMessageW(hDlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), dwInitParam) && IsWindow(hDlg)) {
        const HWND focus = FirstTabStop(hDlg);
        if (focus && !(dialog->style & DS_CONTROL)) {
            SetFocus(focus);
        }
    }
    if ((dialog->style & WS_VISIBLE) && IsWindow(hDlg)) {
        ShowWindow(hDlg, SW_SHOWNORMAL);
    }
    return IsWindow(hDlg) ? hDlg : nullptr;
}

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    const HWND owner = hWndParent ? GetAncestor(hWndParent, GA_ROOT) : nullptr;
    const HWND hDlg = CreateDialogParamW(hInstance, lpTemplateName, owner, lpDialogFunc, dwInitParam);
    if (!hDlg) {
        return -1;
    }
    const bool disabledOwner = owner && IsWindowEnabled(owner);
    if (disabledOwner) {
        EnableWindow(owner, FALSE);
    }
    if (!IsWindowVisible(hDlg)) {
        ShowWindow(hDlg, SW_SHOWNORMAL);
    }
    INT_PTR result = -1;
    MSG msg;
    while (IsWindow(hDlg)) {
        const auto state = WithDialog(hDlg, [](CDialogInfo* info) {
            return info ? std::optional(std::pair(info->ended, info->result)) : std::nullopt;
        });
        if (!state || state->first) {
            result = state ? state->second : -1;
            break;
        }
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(hDlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (disabledOwner) {
        EnableWindow(owner, TRUE);
    }
    DestroyWindow(hDlg);
    return result;
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    const bool found = WithDialog(hDlg, [nResult](CDialogInfo* info) {
        if (info) {
            info->ended = true;
            info->result = nResult;
        }
        return info != nullptr;
    });
    if (!found) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const HWND owner = GetWindow(hDlg, GW_OWNER);
    if (owner) {
        EnableWindow(owner, TRUE);
    }
    ShowWindow(hDlg, SW_HIDE);
    PostMessageW(hDlg, WM_NULL, 0, 0); // wakes the modal run
    return TRUE;
}

bool platform::window::IsDialogEnded(HWND hDlg, INT_PTR* result) {
    return WithDialog(hDlg, [result](CDialogInfo* info) {
        if (info && info->ended && result) {
            *result = info->result;
        }
        return info && info->ended;
    });
}

void platform::window::RestartDialog(HWND hDlg) {
    WithDialog(hDlg, [](CDialogInfo* info) {
        if (info) {
            info->ended = false;
        }
        return 0;
    });
}

LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (const auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hDlg, DWLP_DLGPROC))) {
        SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
        if (const INT_PTR handled = proc(hDlg, Msg, wParam, lParam)) {
            return ReturnsResultDirectly(Msg) ? handled : GetWindowLongPtrW(hDlg, DWLP_MSGRESULT);
        }
    }
    switch (Msg) {
    case WM_CLOSE:
        SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDCANCEL)));
        return 0;
    case WM_ERASEBKGND: {
        const auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(hDlg, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hDlg)));
        RECT client;
        GetClientRect(hDlg, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush ? brush : GetSysColorBrush(COLOR_3DFACE));
        return TRUE;
    }
    case DM_GETDEFID:
        return WithDialog(hDlg, [](CDialogInfo* info) {
            return info ? static_cast<LRESULT>(MAKELONG(info->defaultId, DC_HASDEFID)) : LRESULT{0};
        });
    case DM_SETDEFID:
        return WithDialog(hDlg, [wParam](CDialogInfo* info) {
            if (info) {
                info->defaultId = static_cast<WORD>(wParam);
            }
            return static_cast<LRESULT>(info != nullptr);
        });
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(hDlg, focus)) {
                WithDialog(
                    hDlg, [focus](CDialogInfo* info) { return info ? (info->savedFocus = focus) : nullptr; });
            }
            return 0;
        }
        [[fallthrough]];
    case WM_SETFOCUS: {
        HWND saved = WithDialog(hDlg, [](CDialogInfo* info) { return info ? info->savedFocus : nullptr; });
        if (!saved || !IsChild(hDlg, saved) || !IsWindowVisible(saved)) {
            saved = FirstTabStop(hDlg);
        }
        if (saved) {
            SetFocus(saved);
        } else if (Msg == WM_ACTIVATE) {
            SetFocus(hDlg);
        }
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(WithDialog(hDlg, [](CDialogInfo* info) {
            return info && info->font ? info->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        }));
    case WM_NCDESTROY: {
        const HFONT font = WithDialog(hDlg, [hDlg](CDialogInfo* info) {
            const HFONT owned = info ? info->font : nullptr;
            Dialogs().erase(hDlg);
            return owned;
        });
        if (font) {
            DeleteObject(font);
        }
        return 0;
    }
    default:
        return DefWindowProcW(hDlg, Msg, wParam, lParam);
    }
}

BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg) {
    if (!lpMsg || !hDlg || (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd))) {
        return FALSE;
    }
    if (lpMsg->message == WM_KEYDOWN) {
        const HWND focus = GetFocus();
        const UINT code = lpMsg->hwnd
                              ? static_cast<UINT>(SendMessageW(lpMsg->hwnd, WM_GETDLGCODE, lpMsg->wParam,
                                                               reinterpret_cast<LPARAM>(lpMsg)))
                              : 0;
        if (!(code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))) {
            const HWND root = NavigationRoot(hDlg);
            const bool shift = GetKeyState(VK_SHIFT) < 0;
            switch (lpMsg->wParam) {
            case VK_TAB:
                if (!(code & DLGC_WANTTAB)) {
                    if (const HWND next = GetNextDlgTabItem(root, focus, shift)) {
                        SetFocus(next);
                    }
                    return TRUE;
                }
                break;
            case VK_LEFT:
            case VK_UP:
            case VK_RIGHT:
            case VK_DOWN:
                if (!(code & DLGC_WANTARROWS)) {
                    const bool previous = lpMsg->wParam == VK_LEFT || lpMsg->wParam == VK_UP;
                    if (const HWND next = GetNextDlgGroupItem(root, focus, previous)) {
                        SetFocus(next);
                    }
                    return TRUE;
                }
                break;
            case VK_RETURN: {
                const UINT focusCode = focus && focus != lpMsg->hwnd
                                           ? static_cast<UINT>(SendMessageW(focus, WM_GETDLGCODE, 0, 0))
                                           : code;
                PressEnter(hDlg, focus, focusCode);
                return TRUE;
            }
            case VK_ESCAPE:
                SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDCANCEL)));
                return TRUE;
            default:
                break;
            }
        }
    }
    TranslateMessage(lpMsg);
    DispatchMessageW(lpMsg);
    return TRUE;
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    for (HWND child = GetWindow(hDlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == nIDDlgItem) {
            return child;
        }
    }
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) {
    Lock lock = LockWindows();
    const CWindow* window = FindLocked(hWnd);
    return window && (window->style & WS_CHILD) ? static_cast<int>(window->id) : 0;
}

HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    std::vector<HWND> controls;
    CollectControls(hDlg, controls);
    std::erase_if(controls, [](HWND hwnd) { return !HasStyle(hwnd, WS_TABSTOP); });
    return Step(controls, hCtl, bPrevious != FALSE);
}

HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    std::vector<HWND> controls;
    CollectControls(hDlg, controls);
    const auto found = std::find(controls.begin(), controls.end(), hCtl);
    if (found == controls.end()) {
        return Step(controls, nullptr, bPrevious != FALSE);
    }
    // The group: from the last WS_GROUP control at or before hCtl to the next WS_GROUP control.
    auto first = found;
    while (first != controls.begin() && !HasStyle(*first, WS_GROUP)) {
        --first;
    }
    auto last = found + 1;
    while (last != controls.end() && !HasStyle(*last, WS_GROUP)) {
        ++last;
    }
    return Step(std::vector<HWND>(first, last), hCtl, bPrevious != FALSE);
}

BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    const HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SetWindowTextW(item, lpString) : FALSE;
}

LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SendMessageW(item, Msg, wParam, lParam) : 0;
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
    return WithDialog(hDlg, [lpRect](CDialogInfo* info) {
        if (!info || !lpRect) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        *lpRect = RECT{MulDiv(lpRect->left, info->baseX, 4), MulDiv(lpRect->top, info->baseY, 8),
                       MulDiv(lpRect->right, info->baseX, 4), MulDiv(lpRect->bottom, info->baseY, 8)};
        return TRUE;
    });
}

LONG GetDialogBaseUnits() {
    CDialogInfo info;
    MakeDialogFont(platform::DialogTemplate{}, info);
    return MAKELONG(info.baseX, info.baseY);
}
