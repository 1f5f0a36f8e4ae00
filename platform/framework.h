// The dialog framework's application side: run-time classes, the application object and its run, OLE
// support with its message filter, common controls, the control container, the shell manager and the
// visual manager.
#pragma once

#include <string>

#include "platform/base.h"
#include "platform/gdi.h"
#include "platform/window.h"

// ---- Run-time classes ----
class CObject;

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;
    CObject* (*m_pfnCreateObject)();
    CRuntimeClass* (*m_pfnGetBaseClass)();

    // A new object of the class; NULL for a class that cannot be created dynamically.
    CObject* CreateObject() const;
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

class CObject {
public:
    virtual ~CObject();
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

    static CRuntimeClass* GetThisClass();
    virtual CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;
};

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name)                                                                          \
public:                                                                                                      \
    static CRuntimeClass* GetThisClass();                                                                    \
    CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                                                        \
    DECLARE_DYNAMIC(class_name)                                                                              \
    static CObject* CreateObject();

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, pfnNew)                                          \
    CRuntimeClass* class_name::GetThisClass() {                                                              \
        static CRuntimeClass runtimeClass = {#class_name, static_cast<int>(sizeof(class_name)), 0xFFFF,      \
                                             pfnNew, &base_class_name::GetThisClass};                        \
        return &runtimeClass;                                                                                \
    }                                                                                                        \
    CRuntimeClass* class_name::GetRuntimeClass() const {                                                     \
        return class_name::GetThisClass();                                                                   \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                                       \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                                     \
    CObject* class_name::CreateObject() {                                                                    \
        return new class_name;                                                                               \
    }                                                                                                        \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, &class_name::CreateObject)

// ---- Exceptions ----
// The framework's exception: thrown as a pointer to a heap object (throw new ...), caught as
// CException* and ended with Delete.
class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    // Frees the object when it was made for its catcher to free.
    void Delete();

protected:
    BOOL m_bAutoDelete;
};

// ---- Message maps ----
class CCmdTarget;
// One entry's handler: unpacks the message for the class's member function; TRUE when it handled it.
// For WM_COMMAND and WM_NOTIFY entries the second argument is the control id.
using AFX_PMSG_THUNK = BOOL (*)(CCmdTarget* pTarget, UINT nMessageOrId, WPARAM wParam, LPARAM lParam,
                                LRESULT* pResult);
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AFX_PMSG_THUNK pfn;
};
struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                                                                \
protected:                                                                                                   \
    static const AFX_MSGMAP* GetThisMessageMap();                                                            \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                               \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                                      \
        return GetThisMessageMap();                                                                          \
    }                                                                                                        \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                                        \
        using ThisClass [[maybe_unused]] = theClass;                                                         \
        using TheBaseClass = baseClass;                                                                      \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                                    \
    {0, 0, 0, 0, nullptr}                                                                                    \
    }                                                                                                        \
    ;                                                                                                        \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};           \
    return &messageMap;                                                                                      \
    }

// A command (WM_COMMAND with code 0) to the member function.
#define ON_COMMAND(id, memberFxn)                                                                            \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(id),                                             \
     [](CCmdTarget* p, UINT, WPARAM, LPARAM, LRESULT*) -> BOOL {                                             \
         (static_cast<ThisClass*>(p)->*(memberFxn))();                                                       \
         return TRUE;                                                                                        \
     }},

// The base of the classes that receive commands and messages.
class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    // The WM_COMMAND entries of the class's map (and its bases') for the id and notification code.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);
    // The class's message map; each map names its base's.
    virtual const AFX_MSGMAP* GetMessageMap() const;
    static const AFX_MSGMAP* GetThisMessageMap();
    // The first entry of the map chain that takes the message, code and id; null for none.
    static const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* pMap, UINT nMessage, UINT nCode, UINT nID);
};

class CWnd;

// ---- The application object ----
class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
public:
    // The default result is the wParam of the last WM_QUIT.
    virtual int ExitInstance();
    // Runs the message loop until WM_QUIT, then ExitInstance.
    virtual int Run();
    // The application's look at a message before it is dispatched: the target window and each of its
    // parents up to the main window (each dialog among them runs its keyboard navigation), then the main
    // window for windows outside it. TRUE when the message was handled and is not to be dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    CWnd* m_pMainWnd = nullptr;
    MSG m_msgCur = {};
};

// The one application object of the process: the latest constructed one is AfxGetApp().
class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    // The framework's help command: the program has no help file, so it does nothing.
    void OnHelp();
    // The profile settings then live under HKEY_CURRENT_USER\Software\<key>\<application name>.
    void SetRegistryKey(LPCTSTR lpszRegistryKey);

    HINSTANCE m_hInstance = nullptr;
    LPTSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = 0;
    LPCTSTR m_pszAppName = nullptr;
    // The image file name without its extension.
    LPCTSTR m_pszExeName = nullptr;
    LPCTSTR m_pszRegistryKey = nullptr;
    LPCTSTR m_pszProfileName = nullptr;

private:
    friend BOOL AfxWinInit(HINSTANCE, HINSTANCE, LPTSTR, int);
    void SetCurrentHandles();

    std::wstring m_strAppName;
    std::wstring m_strExeName;
    std::wstring m_strRegistryKey;
    std::wstring m_strProfileName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// The module that holds the program's resources.
HINSTANCE AfxGetResourceHandle();

// Sets the application object's handles, command line and names.
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
// The framework's WinMain: InitInstance, then Run when it returns TRUE, else ExitInstance; the result is
// the process's exit code (-1 without an application object).
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
// Ends what the framework started for the run (its OLE support).
void AfxWinTerm();

// ---- OLE support ----
enum tagSERVERCALL { SERVERCALL_ISHANDLED = 0, SERVERCALL_REJECTED = 1, SERVERCALL_RETRYLATER = 2 };
using SERVERCALL = tagSERVERCALL;

// How the application answers calls that arrive while it is busy and waits on calls it made. Every COM
// server here is in-process, so calls never wait on another application and the settings take effect
// only once out-of-process calls exist.
class COleMessageFilter : public CCmdTarget {
    DECLARE_DYNAMIC(COleMessageFilter)
public:
    BOOL Register();
    void Revoke();
    void EnableBusyDialog(BOOL bEnableBusy = TRUE);
    void EnableNotRespondingDialog(BOOL bEnableNotResponding = TRUE);
    void SetBusyReply(SERVERCALL nBusyReply);
    void SetMessagePendingDelay(DWORD nTimeout = 5000);

    BOOL m_bRegistered = FALSE;
    BOOL m_bEnableBusy = TRUE;
    BOOL m_bEnableNotResponding = TRUE;
    SERVERCALL m_nBusyReply = SERVERCALL_RETRYLATER;
    DWORD m_nTimeout = 8000;
};

// OleInitialize for the thread and the application's message filter; FALSE when OLE cannot start.
BOOL AfxOleInit();
// Revokes the message filter and, unless just revoking, ends OLE for the thread.
void AfxOleTerm(BOOL bJustRevoke = FALSE);
// The filter AfxOleInit registered; NULL before.
COleMessageFilter* AfxOleGetMessageFilter();
// Lets dialogs hold OLE controls.
void AfxEnableControlContainer();

// ---- Common controls ----
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
using LPINITCOMMONCONTROLSEX = INITCOMMONCONTROLSEX*;

#define ICC_LISTVIEW_CLASSES 0x00000001u
#define ICC_TREEVIEW_CLASSES 0x00000002u
#define ICC_BAR_CLASSES 0x00000004u
#define ICC_TAB_CLASSES 0x00000008u
#define ICC_UPDOWN_CLASS 0x00000010u
#define ICC_PROGRESS_CLASS 0x00000020u
#define ICC_HOTKEY_CLASS 0x00000040u
#define ICC_ANIMATE_CLASS 0x00000080u
#define ICC_WIN95_CLASSES 0x000000FFu
#define ICC_DATE_CLASSES 0x00000100u
#define ICC_USEREX_CLASSES 0x00000200u
#define ICC_COOL_CLASSES 0x00000400u
#define ICC_INTERNET_CLASSES 0x00000800u
#define ICC_PAGESCROLLER_CLASS 0x00001000u
#define ICC_NATIVEFNTCTL_CLASS 0x00002000u
#define ICC_STANDARD_CLASSES 0x00004000u
#define ICC_LINK_CLASS 0x00008000u

// Records the control classes the process may create; FALSE for a wrong dwSize or an unknown class bit.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

// ---- Shell and visual managers ----
// The shell manager of the application, for the shell's item lists; the latest constructed one serves.
class CShellManager : public CObject {
public:
    CShellManager();
    ~CShellManager() override;
};

// Draws the framework's controls; the default manager is made from the class SetDefaultManager names.
class CMFCVisualManager : public CObject {
    DECLARE_DYNCREATE(CMFCVisualManager)
public:
    // Ignored for a class that is not a visual manager that can be created.
    static void SetDefaultManager(CRuntimeClass* pRTI);
    static CMFCVisualManager* GetInstance();
};

class CMFCVisualManagerWindows : public CMFCVisualManager {
    DECLARE_DYNCREATE(CMFCVisualManagerWindows)
};
