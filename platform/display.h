// The screen from the machine's profile: monitors and their DPI, the process's DPI awareness, system
// metrics and the system parameters of the desktop.
#pragma once

#include "platform/base.h"
#include "platform/gdi.h"

// ---- Monitors ----
FLIPDECK_DECLARE_HANDLE(HMONITOR);
#define MONITOR_DEFAULTTONULL 0x00000000u
#define MONITOR_DEFAULTTOPRIMARY 0x00000001u
#define MONITOR_DEFAULTTONEAREST 0x00000002u
// The monitor that holds the point (left and top edges included, right and bottom excluded), else as
// the flag says: none, the primary one or the nearest one.
HMONITOR MonitorFromPoint(POINT pt, DWORD dwFlags);

// ---- DPI ----
enum MONITOR_DPI_TYPE {
    MDT_EFFECTIVE_DPI = 0,
    MDT_ANGULAR_DPI = 1,
    MDT_RAW_DPI = 2,
    MDT_DEFAULT = MDT_EFFECTIVE_DPI
};
enum PROCESS_DPI_AWARENESS {
    PROCESS_DPI_UNAWARE = 0,
    PROCESS_SYSTEM_DPI_AWARE = 1,
    PROCESS_PER_MONITOR_DPI_AWARE = 2
};
// Once per process: a second call fails with E_ACCESSDENIED.
HRESULT SetProcessDpiAwareness(PROCESS_DPI_AWARENESS value);
// The effective DPI answers as the process's awareness sees it: 96 for an unaware process, the primary
// monitor's DPI for a system-aware one, the monitor's own for a per-monitor-aware one. The raw and
// angular DPI are the monitor's own. E_INVALIDARG for a handle that is no monitor.
HRESULT GetDpiForMonitor(HMONITOR hmonitor, MONITOR_DPI_TYPE dpiType, UINT* dpiX, UINT* dpiY);

// ---- System metrics (of the primary monitor's DPI) ----
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CYVTHUMB 9
#define SM_CXHTHUMB 10
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXEDGE 45
#define SM_CYEDGE 46
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_XVIRTUALSCREEN 76
#define SM_YVIRTUALSCREEN 77
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#define SM_CMONITORS 80
// 0 for an index not listed above, as for an index Windows does not know.
int GetSystemMetrics(int nIndex);

// ---- System parameters ----
#define SPI_GETNONCLIENTMETRICS 0x0029u
#define SPI_GETWORKAREA 0x0030u

struct NONCLIENTMETRICSW {
    UINT cbSize;
    int iBorderWidth;
    int iScrollWidth;
    int iScrollHeight;
    int iCaptionWidth;
    int iCaptionHeight;
    LOGFONTW lfCaptionFont;
    int iSmCaptionWidth;
    int iSmCaptionHeight;
    LOGFONTW lfSmCaptionFont;
    int iMenuWidth;
    int iMenuHeight;
    LOGFONTW lfMenuFont;
    LOGFONTW lfStatusFont;
    LOGFONTW lfMessageFont;
    int iPaddedBorderWidth;
};
using NONCLIENTMETRICS = NONCLIENTMETRICSW;
using LPNONCLIENTMETRICSW = NONCLIENTMETRICSW*;

// SPI_GETWORKAREA: the primary monitor's work area (a RECT). SPI_GETNONCLIENTMETRICS: uiParam and
// cbSize both sizeof(NONCLIENTMETRICSW), or that without iPaddedBorderWidth. Other actions fail with
// ERROR_NOT_SUPPORTED.
BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
#define SystemParametersInfo SystemParametersInfoW
