// Monitors, DPI awareness, system metrics and system parameters from the machine's screen.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <cwchar>
#include <optional>

#include "platform/display.h"
#include "platform/display/Screen.h"

namespace {

using platform::ScreenMonitor;

// Monitor handles name a monitor of the screen by its place in the profile's list.
constexpr size_t kMaxMonitors = 16;
HMONITOR__ g_monitorHandles[kMaxMonitors];

std::atomic<int> g_dpiAwareness{-1};

HMONITOR HandleOf(size_t index) {
    return index < kMaxMonitors ? &g_monitorHandles[index] : nullptr;
}

std::optional<ScreenMonitor> MonitorOf(HMONITOR handle) {
    if (handle < &g_monitorHandles[0] || handle >= &g_monitorHandles[kMaxMonitors]) {
        return std::nullopt;
    }
    const auto monitors = platform::ScreenMonitors();
    const auto index = static_cast<size_t>(handle - &g_monitorHandles[0]);
    return index < monitors.size() ? std::optional(monitors[index]) : std::nullopt;
}

long long DistanceSquared(const RECT& rect, POINT pt) {
    const long long dx =
        pt.x < rect.left ? rect.left - pt.x : (pt.x >= rect.right ? pt.x - rect.right + 1 : 0);
    const long long dy =
        pt.y < rect.top ? rect.top - pt.y : (pt.y >= rect.bottom ? pt.y - rect.bottom + 1 : 0);
    return dx * dx + dy * dy;
}

// The DPI that sizes system metrics: the primary monitor's.
int SystemDpi() {
    const auto monitors = platform::ScreenMonitors();
    return monitors.empty() ? 96 : static_cast<int>(monitors.front().dpi);
}

int Scaled(int length) {
    return MulDiv(length, SystemDpi(), 96);
}

RECT VirtualScreen(const std::vector<ScreenMonitor>& monitors) {
    if (monitors.empty()) {
        return RECT{};
    }
    RECT bounds = monitors.front().bounds;
    for (const ScreenMonitor& monitor : monitors) {
        bounds.left = std::min(bounds.left, monitor.bounds.left);
        bounds.top = std::min(bounds.top, monitor.bounds.top);
        bounds.right = std::max(bounds.right, monitor.bounds.right);
        bounds.bottom = std::max(bounds.bottom, monitor.bounds.bottom);
    }
    return bounds;
}

// "Segoe UI" 9 points at the system DPI, as the desktop's fonts are.
LOGFONTW DesktopFont() {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(9, SystemDpi(), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    std::wcsncpy(font.lfFaceName, L"Segoe UI", LF_FACESIZE - 1);
    return font;
}

BOOL GetNonClientMetrics(UINT uiParam, NONCLIENTMETRICSW* metrics) {
    constexpr UINT kFullSize = sizeof(NONCLIENTMETRICSW);
    constexpr UINT kOldSize = kFullSize - sizeof(int);
    if (!metrics || uiParam != metrics->cbSize ||
        (metrics->cbSize != kFullSize && metrics->cbSize != kOldSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    NONCLIENTMETRICSW filled{};
    filled.cbSize = metrics->cbSize;
    filled.iBorderWidth = 1;
    filled.iScrollWidth = Scaled(17);
    filled.iScrollHeight = Scaled(17);
    filled.iCaptionWidth = Scaled(36);
    filled.iCaptionHeight = Scaled(22);
    filled.lfCaptionFont = DesktopFont();
    filled.iSmCaptionWidth = Scaled(22);
    filled.iSmCaptionHeight = Scaled(22);
    filled.lfSmCaptionFont = DesktopFont();
    filled.iMenuWidth = Scaled(19);
    filled.iMenuHeight = Scaled(19);
    filled.lfMenuFont = DesktopFont();
    filled.lfStatusFont = DesktopFont();
    filled.lfMessageFont = DesktopFont();
    filled.iPaddedBorderWidth = Scaled(4);
    std::memcpy(metrics, &filled, metrics->cbSize);
    return TRUE;
}

} // namespace

HMONITOR MonitorFromPoint(POINT pt, DWORD dwFlags) {
    const auto monitors = platform::ScreenMonitors();
    size_t nearest = 0;
    long long nearestDistance = LLONG_MAX;
    for (size_t i = 0; i < monitors.size(); ++i) {
        const long long distance = DistanceSquared(monitors[i].bounds, pt);
        if (distance == 0) {
            return HandleOf(i);
        }
        if (distance < nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    if (monitors.empty()) {
        return nullptr;
    }
    switch (dwFlags) {
    case MONITOR_DEFAULTTOPRIMARY:
        return HandleOf(0);
    case MONITOR_DEFAULTTONEAREST:
        return HandleOf(nearest);
    default:
        return nullptr;
    }
}

HRESULT SetProcessDpiAwareness(PROCESS_DPI_AWARENESS value) {
    if (value < PROCESS_DPI_UNAWARE || value > PROCESS_PER_MONITOR_DPI_AWARE) {
        return E_INVALIDARG;
    }
    int expected = -1;
    return g_dpiAwareness.compare_exchange_strong(expected, value) ? S_OK : E_ACCESSDENIED;
}

HRESULT GetDpiForMonitor(HMONITOR hmonitor, MONITOR_DPI_TYPE dpiType, UINT* dpiX, UINT* dpiY) {
    if (!dpiX || !dpiY || dpiType < MDT_EFFECTIVE_DPI || dpiType > MDT_RAW_DPI) {
        return E_INVALIDARG;
    }
    const auto monitor = MonitorOf(hmonitor);
    if (!monitor) {
        return E_INVALIDARG;
    }
    UINT dpi = monitor->dpi;
    if (dpiType == MDT_EFFECTIVE_DPI) {
        const int awareness = g_dpiAwareness.load();
        if (awareness == PROCESS_SYSTEM_DPI_AWARE) {
            dpi = static_cast<UINT>(SystemDpi());
        } else if (awareness != PROCESS_PER_MONITOR_DPI_AWARE) {
            dpi = 96;
        }
    }
    *dpiX = dpi;
    *dpiY = dpi;
    return S_OK;
}

int GetSystemMetrics(int nIndex) {
    const auto monitors = platform::ScreenMonitors();
    const RECT primary = monitors.empty() ? RECT{} : monitors.front().bounds;
    const RECT virtualScreen = VirtualScreen(monitors);
    switch (nIndex) {
    case SM_CXSCREEN:
        return primary.right - primary.left;
    case SM_CYSCREEN:
        return primary.bottom - primary.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return Scaled(17);
    case SM_CYCAPTION:
        return Scaled(23);
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXICON:
    case SM_CYICON:
        return Scaled(32);
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return Scaled(16);
    case SM_XVIRTUALSCREEN:
        return virtualScreen.left;
    case SM_YVIRTUALSCREEN:
        return virtualScreen.top;
    case SM_CXVIRTUALSCREEN:
        return virtualScreen.right - virtualScreen.left;
    case SM_CYVIRTUALSCREEN:
        return virtualScreen.bottom - virtualScreen.top;
    case SM_CMONITORS:
        return static_cast<int>(monitors.size());
    default:
        return 0;
    }
}

BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni) {
    switch (uiAction) {
    case SPI_GETWORKAREA: {
        const auto monitors = platform::ScreenMonitors();
        if (!pvParam || monitors.empty()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *static_cast<RECT*>(pvParam) = monitors.front().workArea;
        return TRUE;
    }
    case SPI_GETNONCLIENTMETRICS:
        return GetNonClientMetrics(uiParam, static_cast<NONCLIENTMETRICSW*>(pvParam));
    default:
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
}
