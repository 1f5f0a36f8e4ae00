// The application object and the framework's WinMain.
#include "platform/framework.h"
#include "platform/framework_window.h"
#include "platform/window/WindowSystem.h"
#include "platform/framework/FrameworkState.h"
#include "platform/internal.h"
#include "platform/resources/ModuleResources.h"

namespace platform {

CFrameworkState& FrameworkState() {
    static CFrameworkState state;
    return state;
}

namespace {

// "C:\...\FlipdeckEx.exe" gives "FlipdeckEx".
std::wstring ImageBaseName(const std::wstring& imagePath) {
    const size_t slash = imagePath.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? imagePath : imagePath.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) {
        name.resize(dot);
    }
    return name;
}

} // namespace

} // namespace platform

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)
IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

int CWinThread::ExitInstance() {
    return static_cast<int>(m_msgCur.wParam);
}

int CWinThread::Run() {
    // Without a main window or any window of the thread nothing could ever end the loop.
    if (!m_pMainWnd && !platform::window::CurrentThreadHasWindows()) {
        return ExitInstance();
    }
    while (::GetMessageW(&m_msgCur, nullptr, 0, 0)) {
        if (!PreTranslateMessage(&m_msgCur)) {
            ::TranslateMessage(&m_msgCur);
            ::DispatchMessageW(&m_msgCur);
        }
    }
    return ExitInstance();
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg) {
    if (!pMsg->hwnd) {
        return FALSE;
    }
    CWnd* pMainWnd = AfxGetMainWnd();
    const HWND hMainWnd = pMainWnd ? pMainWnd->m_hWnd : nullptr;
    if (CWnd::WalkPreTranslateTree(hMainWnd, pMsg)) {
        return TRUE;
    }
    // A window outside the main window (a modeless popup) gets the main window's look as well.
    if (hMainWnd && ::GetAncestor(pMsg->hwnd, GA_ROOT) != hMainWnd) {
        return pMainWnd->PreTranslateMessage(pMsg);
    }
    return FALSE;
}

void CWinApp::OnHelp() {}

CWinApp::CWinApp(LPCTSTR lpszAppName) {
    if (lpszAppName) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName.c_str();
    }
    platform::FrameworkState().app = this;
}

CWinApp::~CWinApp() {
    auto& state = platform::FrameworkState();
    if (state.app == this) {
        state.app = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey) {
    m_strRegistryKey = lpszRegistryKey ? lpszRegistryKey : L"";
    m_pszRegistryKey = m_strRegistryKey.c_str();
    m_strProfileName = m_pszAppName ? m_pszAppName : L"";
    m_pszProfileName = m_strProfileName.c_str();
}

void CWinApp::SetCurrentHandles() {
    m_strExeName = platform::ImageBaseName(platform::ProcessImagePath());
    m_pszExeName = m_strExeName.c_str();
    if (!m_pszAppName) {
        m_strAppName = m_strExeName;
        m_pszAppName = m_strAppName.c_str();
    }
}

CWinApp* AfxGetApp() {
    return platform::FrameworkState().app;
}

HINSTANCE AfxGetResourceHandle() {
    return platform::ProgramInstanceHandle();
}

CWnd* AfxGetMainWnd() {
    CWinApp* pApp = AfxGetApp();
    return pApp ? pApp->m_pMainWnd : nullptr;
}

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow) {
    CWinApp* pApp = AfxGetApp();
    if (pApp) {
        pApp->m_hInstance = hInstance;
        pApp->m_lpCmdLine = lpCmdLine;
        pApp->m_nCmdShow = nCmdShow;
        pApp->SetCurrentHandles();
    }
    return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow) {
    int nReturnCode = -1;
    CWinApp* pApp = AfxGetApp();
    if (pApp && AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow)) {
        nReturnCode = pApp->InitInstance() ? pApp->Run() : pApp->ExitInstance();
    }
    AfxWinTerm();
    return nReturnCode;
}

void AfxWinTerm() {
    AfxOleTerm();
}
