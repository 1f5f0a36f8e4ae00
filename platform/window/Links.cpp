// The link control ("SysLink"): text whose <a> parts are links, NM_CLICK for a click on one and
// NM_RETURN for Enter while it has the focus.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/window/Controls.h"
#include "platform/window/WindowSystem.h"

namespace platform::window {

namespace {

struct CSegment {
    std::wstring text;
    int link = -1; // index of the link, -1 for plain text
    std::wstring id;
    std::wstring url;
};

std::wstring Attribute(const std::wstring& tag, const wchar_t* name) {
    const std::wstring key = std::wstring(name) + L"=\"";
    const size_t start = tag.find(key);
    if (start == std::wstring::npos) {
        return {};
    }
    const size_t end = tag.find(L'"', start + key.size());
    return end == std::wstring::npos ? std::wstring()
                                     : tag.substr(start + key.size(), end - start - key.size());
}

// "Read <a href=\"x\">more</a>." as its plain and link parts; an unclosed tag is plain text.
std::vector<CSegment> ParseMarkup(const std::wstring& markup) {
    std::vector<CSegment> segments;
    size_t position = 0;
    int links = 0;
    while (position < markup.size()) {
        const size_t open = markup.find(L"<a", position);
        const size_t tagEnd = open == std::wstring::npos ? open : markup.find(L'>', open);
        const size_t close = tagEnd == std::wstring::npos ? tagEnd : markup.find(L"</a>", tagEnd);
        if (close == std::wstring::npos) {
            segments.push_back({markup.substr(position), -1, {}, {}});
            break;
        }
        if (open > position) {
            segments.push_back({markup.substr(position, open - position), -1, {}, {}});
        }
        const std::wstring tag = markup.substr(open, tagEnd - open);
        segments.push_back({markup.substr(tagEnd + 1, close - tagEnd - 1), links++, Attribute(tag, L"id"),
                            Attribute(tag, L"href")});
        position = close + 4;
    }
    return segments;
}

std::wstring MarkupOf(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Each segment's rectangle on one line from the left edge.
std::vector<RECT> Layout(HWND hwnd, HDC hdc, const std::vector<CSegment>& segments) {
    std::vector<RECT> rects;
    RECT client;
    GetClientRect(hwnd, &client);
    LONG x = 0;
    for (const CSegment& segment : segments) {
        SIZE size{};
        GetTextExtentPoint32W(hdc, segment.text.c_str(), static_cast<int>(segment.text.size()), &size);
        rects.push_back(RECT{x, 0, x + size.cx, std::max<LONG>(size.cy, client.bottom)});
        x += size.cx;
    }
    return rects;
}

template <typename Use> auto WithLayout(HWND hwnd, Use use) {
    const std::vector<CSegment> segments = ParseMarkup(MarkupOf(hwnd));
    const HDC hdc = GetDC(hwnd);
    const HGDIOBJ previous = SelectObject(hdc, ControlFont(hwnd));
    const auto result = use(hdc, segments, Layout(hwnd, hdc, segments));
    SelectObject(hdc, previous);
    ReleaseDC(hwnd, hdc);
    return result;
}

void Notify(HWND hwnd, UINT code, const CSegment& segment) {
    NMLINK link{};
    link.hdr = NMHDR{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), code};
    link.item.mask = LIF_ITEMINDEX | LIF_ITEMID | LIF_URL;
    link.item.iLink = segment.link;
    segment.id.copy(link.item.szID, MAX_LINKID_TEXT - 1);
    segment.url.copy(link.item.szUrl, L_MAX_URL_LENGTH - 1);
    SendMessageW(GetParent(hwnd), WM_NOTIFY, link.hdr.idFrom, reinterpret_cast<LPARAM>(&link));
}

const CSegment* FirstLink(const std::vector<CSegment>& segments) {
    const auto found =
        std::find_if(segments.begin(), segments.end(), [](const CSegment& s) { return s.link >= 0; });
    return found == segments.end() ? nullptr : &*found;
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    const HDC hdc = BeginPaint(hwnd, &ps);
    if (!hdc) {
        return;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & LWS_TRANSPARENT)) {
        FillRect(hdc, &client, ControlBrush(hwnd, hdc, WM_CTLCOLORSTATIC));
    }
    const std::vector<CSegment> segments = ParseMarkup(MarkupOf(hwnd));
    LOGFONTW logFont{};
    GetObjectW(ControlFont(hwnd), sizeof(logFont), &logFont);
    logFont.lfUnderline = TRUE;
    const HFONT underlined = CreateFontIndirectW(&logFont);
    const HGDIOBJ previous = SelectObject(hdc, ControlFont(hwnd));
    const std::vector<RECT> rects = Layout(hwnd, hdc, segments);
    SetBkMode(hdc, TRANSPARENT);
    for (size_t i = 0; i < segments.size(); ++i) {
        const bool link = segments[i].link >= 0;
        SelectObject(hdc, link ? static_cast<HGDIOBJ>(underlined) : static_cast<HGDIOBJ>(ControlFont(hwnd)));
        SetTextColor(hdc, GetSysColor(link ? COLOR_HOTLIGHT : COLOR_WINDOWTEXT));
        RECT rect = rects[i];
        DrawTextW(hdc, segments[i].text.c_str(), static_cast<int>(segments[i].text.size()), &rect,
                  DT_SINGLELINE | DT_NOPREFIX);
        if (link && GetFocus() == hwnd && &segments[i] == FirstLink(segments)) {
            DrawFocusRectangle(hdc, rects[i]);
        }
    }
    SelectObject(hdc, previous);
    DeleteObject(underlined);
    EndPaint(hwnd, &ps);
}

} // namespace

LRESULT SysLinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE:
        return wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case WM_LBUTTONUP: {
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const std::vector<CSegment> segments = ParseMarkup(MarkupOf(hwnd));
        const int hit =
            WithLayout(hwnd, [&](HDC, const std::vector<CSegment>& parsed, const std::vector<RECT>& rects) {
                for (size_t i = 0; i < parsed.size(); ++i) {
                    if (parsed[i].link >= 0 && PtInRect(&rects[i], point)) {
                        return static_cast<int>(i);
                    }
                }
                return -1;
            });
        if (hit >= 0) {
            Notify(hwnd, NM_CLICK, segments[static_cast<size_t>(hit)]);
        }
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_SPACE) {
            const std::vector<CSegment> segments = ParseMarkup(MarkupOf(hwnd));
            if (const CSegment* link = FirstLink(segments)) {
                Notify(hwnd, wParam == VK_RETURN ? NM_RETURN : NM_CLICK, *link);
            }
        }
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return result;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace platform::window
