#include "app/FlipdeckExApp.h"

#include "app/FlipdeckExDlg.h"

#include "platform/com.h"
#include "platform/display.h"
#include "platform/gdiplus.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "services/ContractClient.h"
#include "services/CrashDump.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "services/PluginInvokeIndex.h"
#include "services/SystemRoutines.h"
#include "services/WindowsVersion.h"

namespace {

const wchar_t* const kExeName = L"FlipdeckEx.exe";
const wchar_t* const kContextMenuPage = L"Pages.Taskbar.ContextMenu";

// A one-shot menu item that sends one feature event.
struct FeatureEventItem {
    const wchar_t* pszItem;
    const wchar_t* pszEvent;
    const wchar_t* pszValue;
    const wchar_t* pszPage;
};

const FeatureEventItem kFeatureEventItems[] = {
    {L"MENUITEM_CLICK_GOTO_SOLVANE", L"Features.TaskBar.ContextMenu.GoToSolvane", L"", kContextMenuPage},
    {L"MENUITEM_CLICK_GOTO_ZRSETTINGS", L"Features.TaskBar.ContextMenu.GoToSettingsZR", L"",
     kContextMenuPage},
    {L"MENUITEM_CLICK_REMAIN_PERCENTAGE", L"Features.TaskBar.ContextMenu.ShowRemaining", L"Percentage",
     kContextMenuPage},
    {L"MENUITEM_CLICK_REMAIN_TIME", L"Features.TaskBar.ContextMenu.ShowRemaining", L"Time", kContextMenuPage},
    {L"MENUITEM_CLICK_MSG_DISABLE", L"Features.TaskBar.ContextMenu.DisableMessage", L"Disabled",
     kContextMenuPage},
    {L"MENUITEM_CLICK_MSG_ENABLE", L"Features.TaskBar.ContextMenu.DisableMessage", L"Enabled",
     kContextMenuPage},
    {L"MENUITEM_CLICK_AW_SHOW", L"Features.TaskbarContextMenu.PinAmpwise", L"On", L""},
    {L"MENUITEM_CLICK_AW_HIDE", L"Features.TaskbarContextMenu.PinAmpwise", L"Off", L""},
    {L"MENUITEM_CLICK_UNPIN", L"Features.TaskBar.ContextMenu.UnpinFromTaskbar", L"", kContextMenuPage},
};

const FeatureEventItem* FindFeatureEventItem(const std::wstring& strItem) {
    for (const auto& item : kFeatureEventItems) {
        if (strItem == item.pszItem) {
            return &item;
        }
    }
    return nullptr;
}

// Runs a one-shot item; true when the run waits 200 ms after it.
bool RunOneShotItem(const std::wstring& strItem, const std::wstring& strValue) {
    bool bWait = true;
    if (strItem == L"MENUITEM_SECOND_CLICK_TO_EXIT") {
        bWait = false;
    } else if (strItem == L"MENUITEM_QUIT_AMPWISE") {
        SendPageEvent(L"Pages.Taskbar", L"", strValue.c_str());
    } else if (strItem == L"MENUITEM_CONTEXT_MENU") {
        SendPageEvent(kContextMenuPage, L"Pages.Taskbar", strValue.c_str());
    } else if (strItem == L"MENUITEM_DETECT_EYECAREMODE") {
        if (g_pContractInterface) {
            try {
                g_pContractInterface->GetEyeCareModeStatusEx(1);
            } catch (...) {
                bWait = false;
            }
        }
    } else if (const FeatureEventItem* pItem = FindFeatureEventItem(strItem)) {
        SendFeatureEvent(pItem->pszEvent, pItem->pszValue, pItem->pszPage);
        if (strItem == L"MENUITEM_CLICK_AW_SHOW") {
            UpdatePluginInvokeIndex();
        }
    } else {
        // An unknown item exits at once; an empty item (a blank before the comma) still waits.
        bWait = strItem.empty();
    }
    return bWait;
}

std::wstring JoinCommandLine() {
    int nArgs = 0;
    LPWSTR* ppArgs = CommandLineToArgvW(GetCommandLineW(), &nArgs);
    std::wstring strLine;
    if (!ppArgs) {
        return strLine;
    }
    for (int i = 0; i < nArgs; ++i) {
        if (i > 0) {
            strLine += L' ';
        }
        strLine += ppArgs[i];
    }
    LocalFree(ppArgs);
    return strLine;
}

} // namespace

CString g_strToolbarName = L"Corvex Solvane Toolbar";

CFlipdeckExApp::CFlipdeckExApp() = default;

bool SplitLaunchArguments(const std::wstring& strLine, std::wstring& strItem, std::wstring& strValue) {
    const size_t nBlank = strLine.find(L' ');
    const size_t nComma = strLine.find(L',');
    const size_t nBar = strLine.find(L'|');
    if (nComma == std::wstring::npos || nBar == std::wstring::npos) {
        return false;
    }
    const size_t nItemStart = nBlank == std::wstring::npos ? 0 : nBlank + 1;
    strItem = nItemStart <= nComma ? strLine.substr(nItemStart, nComma - nItemStart) : std::wstring();
    strValue = nBar > nComma ? strLine.substr(nComma + 1, nBar - nComma - 1) : strLine.substr(nComma + 1);
    g_strLaunchContext = strLine.substr(nBar + 1);
    return true;
}

int ParseCommandLine(std::wstring strLine, int* pNoBattery) {
    std::wstring strItem;
    std::wstring strValue;
    if (strLine.empty() || !SplitLaunchArguments(strLine, strItem, strValue)) {
        return 0;
    }
    if (strItem == L"MENUITEM_LAUNCH_TOOLBAR") {
        return 0;
    }
    if (strItem == L"MENUITEM_LAUNCH_TOOLBAR_NOBATTERY") {
        *pNoBattery = 1;
        return 0;
    }
    if (RunOneShotItem(strItem, strValue)) {
        Sleep(200);
    }
    return 1;
}

bool DetectNarrator() {
    HKEY hKey = nullptr;
    g_bNarrator =
        RegOpenKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Accessibility\\ATConfig\\narrator",
                      0, KEY_READ | KEY_WRITE, &hKey) == ERROR_SUCCESS;
    if (hKey) {
        RegCloseKey(hKey);
    }
    return g_bNarrator;
}

int CFlipdeckExApp::CheckSingleInstance() {
    m_hMutex = CreateMutexW(nullptr, FALSE, L"FlipdeckAppInstance");
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        return 0;
    }
    if (IsWindowsBuild21OrLater()) {
        BringRunningInstanceForward();
    }
    return 1;
}

// The running instance's window carries a property named after the executable.
void CFlipdeckExApp::BringRunningInstanceForward() {
    for (HWND hWnd = GetWindow(GetDesktopWindow(), GW_CHILD); hWnd; hWnd = GetWindow(hWnd, GW_HWNDNEXT)) {
        if (GetPropW(hWnd, m_pszExeName)) {
            if (IsIconic(hWnd)) {
                ShowWindow(hWnd, SW_RESTORE);
            }
            SetForegroundWindow(hWnd);
            SetForegroundWindow(GetLastActivePopup(hWnd));
            return;
        }
    }
}

BOOL CFlipdeckExApp::InitInstance() {
    InstallCrashHandlers();
    ApplyUiLanguage();
    InitLogFolder();
    InitLog();
    const std::wstring strLine = JoinCommandLine();
    if (FAILED(CoInitialize(nullptr))) {
        return FALSE;
    }
    CreateContractInterfaceInstance();

    int nNoBattery = 0;
    if (ParseCommandLine(strLine, &nNoBattery) == 1) {
        ReleaseContractInterface();
        KillInstancesFromPluginFolder(kExeName);
        return FALSE;
    }
    if (CheckSingleInstance() == 1) {
        if (IsWindowsBuild21OrLater()) {
            return FALSE;
        }
        KillInstancesFromPluginFolder(kExeName);
    }
    DetectNarrator();
    LoadMachineInfo();
    // Without a known notebook enclosure the flyout shows no battery panel.
    if (g_nAioDesktop != 0) {
        nNoBattery = 1;
    }

    AfxOleInit();
    COleMessageFilter* pFilter = AfxOleGetMessageFilter();
    if (pFilter) {
        pFilter->EnableBusyDialog(FALSE);
        pFilter->SetBusyReply(SERVERCALL_RETRYLATER);
        pFilter->EnableNotRespondingDialog(TRUE);
        pFilter->SetMessagePendingDelay(0xFFFFFFFFu);
    }
    const Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &gdiplusInput, nullptr);
    SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE);
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    CShellManager* pShellManager = new CShellManager;
    CMFCVisualManager::SetDefaultManager(RUNTIME_CLASS(CMFCVisualManagerWindows));
    SetRegistryKey(L"Local AppWizard-Generated Applications");

    UpdatePluginInvokeIndexByPath();

    RunFlyout(nNoBattery);
    delete pShellManager;
    return TRUE;
}

void CFlipdeckExApp::RunFlyout(int nNoBattery) {
    CFlipdeckExDlg dlg;
    m_pMainWnd = &dlg;
    dlg.m_bNoBattery = nNoBattery;
    dlg.DoModal();
    // The dialog ends with this function: the framework must not reach it afterwards.
    m_pMainWnd = nullptr;
}

int CFlipdeckExApp::ExitInstance() {
    if (m_gdiplusToken) {
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
        m_gdiplusToken = 0;
    }
    ReleaseContractInterface();
    CoUninitialize();
    if (m_hMutex) {
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    return CWinApp::ExitInstance();
}

BOOL CFlipdeckExApp::PreTranslateMessage(MSG* pMsg) {
    if ((pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_F1) || pMsg->message == WM_KEYF1) {
        return TRUE;
    }
    return CWinApp::PreTranslateMessage(pMsg);
}
