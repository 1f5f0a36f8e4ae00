// The dialog framework's window side: CRect, CPoint and CSize; the window object CWnd with its message
// map macros and its active accessibility; dialogs (CDialog, CDialogEx) with data exchange; the window
// device contexts (CPaintDC, CClientDC, CWindowDC).
#pragma once

#include "platform/accessibility.h"
#include "platform/framework.h"
#include "platform/framework_gdi.h"
#include "platform/strings.h"
#include "platform/window.h"

// ---- Geometry ----
class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int cx, int cy) : SIZE{cx, cy} {}
    CSize(SIZE size) : SIZE(size) {}
    bool operator==(const SIZE& other) const { return cx == other.cx && cy == other.cy; }
};

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int x, int y) : POINT{x, y} {}
    CPoint(POINT point) : POINT(point) {}
    // The x and y of a mouse message's lParam.
    explicit CPoint(LPARAM lParam) : POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)} {}
    void Offset(int dx, int dy) {
        x += dx;
        y += dy;
    }
    bool operator==(const POINT& other) const { return x == other.x && y == other.y; }
    CPoint operator+(SIZE size) const { return CPoint(x + size.cx, y + size.cy); }
    CPoint operator-(SIZE size) const { return CPoint(x - size.cx, y - size.cy); }
    CSize operator-(POINT other) const { return CSize(x - other.x, y - other.y); }
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& rect) : RECT(rect) {}
    CRect(POINT point, SIZE size) : RECT{point.x, point.y, point.x + size.cx, point.y + size.cy} {}
    CRect(POINT topLeft, POINT bottomRight) : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    BOOL IsRectEmpty() const { return ::IsRectEmpty(this); }
    BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    BOOL PtInRect(POINT point) const { return ::PtInRect(this, point); }
    void SetRect(int l, int t, int r, int b) { ::SetRect(this, l, t, r, b); }
    void SetRectEmpty() { ::SetRectEmpty(this); }
    void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
    void OffsetRect(POINT point) { ::OffsetRect(this, point.x, point.y); }
    void InflateRect(int dx, int dy) { ::InflateRect(this, dx, dy); }
    void InflateRect(int l, int t, int r, int b) {
        left -= l;
        top -= t;
        right += r;
        bottom += b;
    }
    void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
    void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
    void NormalizeRect();
    void MoveToXY(int x, int y) { OffsetRect(x - left, y - top); }
    BOOL IntersectRect(LPCRECT a, LPCRECT b) { return ::IntersectRect(this, a, b); }
    BOOL UnionRect(LPCRECT a, LPCRECT b) { return ::UnionRect(this, a, b); }
    bool operator==(const RECT& other) const { return ::EqualRect(this, &other) != FALSE; }
    bool operator!=(const RECT& other) const { return !(*this == other); }
};

// ---- Windows ----
class CWnd;
class CScrollBar;
class CDataExchange;
struct CCreateContext;

// The framework's window messages: each ON_ entry calls the class's handler of the message.
#define AFX_WINDOW_ENTRY(message, call)                                                                      \
    {message, 0, 0, 0,                                                                                       \
     [](CCmdTarget* p, UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult) -> BOOL {              \
         [[maybe_unused]] ThisClass* pThis = static_cast<ThisClass*>(p);                                     \
         [[maybe_unused]] UINT msg = nMessage;                                                               \
         [[maybe_unused]] WPARAM wp = wParam;                                                                \
         [[maybe_unused]] LPARAM lp = lParam;                                                                \
         call;                                                                                               \
         return TRUE;                                                                                        \
     }},
#define AFX_POINT_OF(lp) CPoint(static_cast<LPARAM>(lp))

#define ON_WM_CREATE()                                                                                       \
    AFX_WINDOW_ENTRY(WM_CREATE, *pResult = pThis->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lp)))
#define ON_WM_PAINT() AFX_WINDOW_ENTRY(WM_PAINT, pThis->OnPaint())
#define ON_WM_TIMER() AFX_WINDOW_ENTRY(WM_TIMER, pThis->OnTimer(static_cast<UINT_PTR>(wp)))
#define ON_WM_SIZE() AFX_WINDOW_ENTRY(WM_SIZE, pThis->OnSize(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp)))
#define ON_WM_MOVE() AFX_WINDOW_ENTRY(WM_MOVE, pThis->OnMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)))
#define ON_WM_DESTROY() AFX_WINDOW_ENTRY(WM_DESTROY, pThis->OnDestroy())
#define ON_WM_CLOSE() AFX_WINDOW_ENTRY(WM_CLOSE, pThis->OnClose())
#define ON_WM_ERASEBKGND()                                                                                   \
    AFX_WINDOW_ENTRY(WM_ERASEBKGND,                                                                          \
                     *pResult = pThis->OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(wp))))
#define ON_WM_CTLCOLOR()                                                                                     \
    AFX_WINDOW_ENTRY(WM_CTLCOLOR,                                                                            \
                     *pResult = reinterpret_cast<LRESULT>(pThis->OnCtlColor(                                 \
                         CDC::FromHandle(reinterpret_cast<HDC>(wp)),                                         \
                         CWnd::FromHandle(reinterpret_cast<HWND>(lp)), msg - WM_CTLCOLORMSGBOX)))
#define ON_WM_QUERYDRAGICON()                                                                                \
    AFX_WINDOW_ENTRY(WM_QUERYDRAGICON, *pResult = reinterpret_cast<LRESULT>(pThis->OnQueryDragIcon()))
#define ON_WM_ACTIVATE()                                                                                     \
    AFX_WINDOW_ENTRY(WM_ACTIVATE, pThis->OnActivate(                                                         \
                                      LOWORD(wp), CWnd::FromHandle(reinterpret_cast<HWND>(lp)), HIWORD(wp)))
#define ON_WM_ACTIVATEAPP()                                                                                  \
    AFX_WINDOW_ENTRY(WM_ACTIVATEAPP, pThis->OnActivateApp(static_cast<BOOL>(wp), static_cast<DWORD>(lp)))
#define ON_WM_VSCROLL()                                                                                      \
    AFX_WINDOW_ENTRY(WM_VSCROLL, pThis->OnVScroll(LOWORD(wp), HIWORD(wp),                                    \
                                                  reinterpret_cast<CScrollBar*>(                             \
                                                      CWnd::FromHandle(reinterpret_cast<HWND>(lp)))))
#define ON_WM_HSCROLL()                                                                                      \
    AFX_WINDOW_ENTRY(WM_HSCROLL, pThis->OnHScroll(LOWORD(wp), HIWORD(wp),                                    \
                                                  reinterpret_cast<CScrollBar*>(                             \
                                                      CWnd::FromHandle(reinterpret_cast<HWND>(lp)))))
#define ON_WM_MOUSEWHEEL()                                                                                   \
    AFX_WINDOW_ENTRY(WM_MOUSEWHEEL,                                                                          \
                     *pResult = pThis->OnMouseWheel(GET_KEYSTATE_WPARAM(wp), GET_WHEEL_DELTA_WPARAM(wp),     \
                                                    AFX_POINT_OF(lp)))
#define AFX_MOUSE_ENTRY(message, handler)                                                                    \
    AFX_WINDOW_ENTRY(message, pThis->handler(static_cast<UINT>(wp), AFX_POINT_OF(lp)))
#define ON_WM_MOUSEMOVE() AFX_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_MOUSE_ENTRY(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_MOUSE_ENTRY(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_MOUSEHOVER() AFX_MOUSE_ENTRY(WM_MOUSEHOVER, OnMouseHover)
#define ON_WM_MOUSELEAVE() AFX_WINDOW_ENTRY(WM_MOUSELEAVE, pThis->OnMouseLeave())
#define ON_WM_SETFOCUS()                                                                                     \
    AFX_WINDOW_ENTRY(WM_SETFOCUS, pThis->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wp))))
#define ON_WM_KILLFOCUS()                                                                                    \
    AFX_WINDOW_ENTRY(WM_KILLFOCUS, pThis->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wp))))
#define ON_WM_SETCURSOR()                                                                                    \
    AFX_WINDOW_ENTRY(                                                                                        \
        WM_SETCURSOR,                                                                                        \
        *pResult = pThis->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wp)), LOWORD(lp), HIWORD(lp)))
#define AFX_KEY_ENTRY(message, handler)                                                                      \
    AFX_WINDOW_ENTRY(message, pThis->handler(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp)))
#define ON_WM_KEYDOWN() AFX_KEY_ENTRY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() AFX_KEY_ENTRY(WM_KEYUP, OnKeyUp)
#define ON_WM_SYSKEYDOWN() AFX_KEY_ENTRY(WM_SYSKEYDOWN, OnSysKeyDown)
#define ON_WM_CHAR() AFX_KEY_ENTRY(WM_CHAR, OnChar)
#define ON_WM_GETDLGCODE() AFX_WINDOW_ENTRY(WM_GETDLGCODE, *pResult = pThis->OnGetDlgCode())
#define ON_WM_DRAWITEM()                                                                                     \
    AFX_WINDOW_ENTRY(WM_DRAWITEM,                                                                            \
                     pThis->OnDrawItem(static_cast<int>(wp), reinterpret_cast<LPDRAWITEMSTRUCT>(lp)))
#define ON_WM_SHOWWINDOW()                                                                                   \
    AFX_WINDOW_ENTRY(WM_SHOWWINDOW, pThis->OnShowWindow(static_cast<BOOL>(wp), static_cast<UINT>(lp)))
#define ON_WM_POWERBROADCAST()                                                                               \
    AFX_WINDOW_ENTRY(WM_POWERBROADCAST, *pResult = pThis->OnPowerBroadcast(static_cast<UINT>(wp), lp))
#define ON_WM_NCHITTEST() AFX_WINDOW_ENTRY(WM_NCHITTEST, *pResult = pThis->OnNcHitTest(AFX_POINT_OF(lp)))
// LRESULT memberFxn(WPARAM, LPARAM) for any message.
#define ON_MESSAGE(message, memberFxn) AFX_WINDOW_ENTRY(message, *pResult = (pThis->*(memberFxn))(wp, lp))

// Notifications from controls: WM_COMMAND with the code and id, WM_NOTIFY with the code and id.
#define ON_CONTROL(code, id, memberFxn)                                                                      \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id),                      \
     [](CCmdTarget* p, UINT, WPARAM, LPARAM, LRESULT*) -> BOOL {                                             \
         (static_cast<ThisClass*>(p)->*(memberFxn))();                                                       \
         return TRUE;                                                                                        \
     }},
#define ON_CONTROL_RANGE(code, idFirst, idLast, memberFxn)                                                   \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(idFirst), static_cast<UINT>(idLast),             \
     [](CCmdTarget* p, UINT nID, WPARAM, LPARAM, LRESULT*) -> BOOL {                                         \
         (static_cast<ThisClass*>(p)->*(memberFxn))(nID);                                                    \
         return TRUE;                                                                                        \
     }},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)
#define ON_NOTIFY(code, id, memberFxn)                                                                       \
    {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id),                       \
     [](CCmdTarget* p, UINT, WPARAM, LPARAM lParam, LRESULT* pResult) -> BOOL {                              \
         (static_cast<ThisClass*>(p)->*(memberFxn))(reinterpret_cast<NMHDR*>(lParam), pResult);              \
         return TRUE;                                                                                        \
     }},
#define ON_NOTIFY_RANGE(code, idFirst, idLast, memberFxn)                                                    \
    {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(idFirst), static_cast<UINT>(idLast),              \
     [](CCmdTarget* p, UINT nID, WPARAM, LPARAM lParam, LRESULT* pResult) -> BOOL {                          \
         (static_cast<ThisClass*>(p)->*(memberFxn))(nID, reinterpret_cast<NMHDR*>(lParam), pResult);         \
         return TRUE;                                                                                        \
     }},
// BOOL memberFxn(UINT id, NMHDR*, LRESULT*): FALSE lets the search go on.
#define ON_NOTIFY_EX_RANGE(code, idFirst, idLast, memberFxn)                                                 \
    {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(idFirst), static_cast<UINT>(idLast),              \
     [](CCmdTarget* p, UINT nID, WPARAM, LPARAM lParam, LRESULT* pResult) -> BOOL {                          \
         return (static_cast<ThisClass*>(p)->*(memberFxn))(nID, reinterpret_cast<NMHDR*>(lParam), pResult);  \
     }},
#define ON_NOTIFY_EX(code, id, memberFxn) ON_NOTIFY_EX_RANGE(code, id, id, memberFxn)

#define WF_TOOLTIPS 0x0001u
#define WF_MODALLOOP 0x0002u
#define WF_CONTINUEMODAL 0x0004u

class CWnd : public CCmdTarget {
    DECLARE_DYNCREATE(CWnd)
    DECLARE_MESSAGE_MAP()
public:
    CWnd();
    // Destroys a window the object still holds.
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object of a window: its own (attached) one, else a temporary one of the thread.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Routes the window's messages through the object (its procedure becomes the framework's).
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();
    virtual void PreSubclassWindow();

    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr);
    virtual BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                          const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();
    virtual void PostNcDestroy();

    // ---- Messages ----
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default handling of the message being handled now.
    LRESULT Default();
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // A parent's message about this control, offered to the control first (reflection).
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);
    BOOL PreTranslateInput(LPMSG lpMsg);
    BOOL IsDialogMessage(LPMSG lpMsg);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // ---- Data exchange and modal runs ----
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    int RunModalLoop(DWORD dwFlags = 0);
    virtual BOOL ContinueModal();
    virtual void EndModalLoop(int nResult);

    // ---- The tree ----
    CWnd* GetParent() const;
    CWnd* GetOwner() const;
    CWnd* GetTopLevelParent() const;
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    CWnd* GetWindow(UINT nCmd) const;
    CWnd* GetNextDlgTabItem(CWnd* pWndCtl, BOOL bPrevious = FALSE) const;
    CWnd* GetLastActivePopup() const;
    BOOL IsChild(const CWnd* pWnd) const;
    static CWnd* GetDesktopWindow();
    static CWnd* FindWindow(LPCTSTR lpszClassName, LPCTSTR lpszWindowName);

    // ---- Showing, placing, styles ----
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL IsWindowEnabled() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsIconic() const;
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    void BringWindowToTop();
    BOOL SetForegroundWindow();
    static CWnd* GetForegroundWindow();
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    void MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const;
    void MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const;

    // ---- Text, font, icon ----
    void SetWindowText(LPCTSTR lpszString);
    int GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    CFont* GetFont() const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);

    // ---- Painting ----
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    void ValidateRect(LPCRECT lpRect);
    void UpdateWindow();
    BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, CRgn* prgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    CDC* GetDC();
    CDC* GetWindowDC();
    int ReleaseDC(CDC* pDC);
    void ScrollWindow(int xAmount, int yAmount, LPCRECT lpRect = nullptr, LPCRECT lpClipRect = nullptr);

    // ---- Input, timers ----
    CWnd* SetFocus();
    static CWnd* GetFocus();
    CWnd* SetCapture();
    static CWnd* GetCapture();
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // ---- Tooltips and accessibility ----
    // Tooltips for the child windows: TTN_NEEDTEXTW asks this window for each child's text.
    BOOL EnableToolTips(BOOL bEnable = TRUE);
    // The tool at the point (client coordinates): the child window there, as TTF_IDISHWND; -1 for none.
    virtual INT_PTR OnToolHitTest(CPoint point, TOOLINFO* pTI) const;
    // With the flag set the window answers WM_GETOBJECT itself: its object answers get_accRole and
    // get_accName below. Without it the system's standard object answers for the window's class.
    void EnableActiveAccessibility();
    BOOL m_bEnableActiveAccessibility = FALSE;
    // The window's own object for WM_GETOBJECT's client object (OBJID_CLIENT), as the value the window
    // procedure answers; E_FAIL for another object, which the default procedure answers.
    virtual HRESULT CreateAccessibleProxy(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // The window object's answers; by default those of the standard object. Called on the window's thread.
    virtual HRESULT get_accRole(VARIANT varChild, VARIANT* pvarRole);
    virtual HRESULT get_accName(VARIANT varChild, BSTR* pszName);

    UINT m_nFlags = 0;
    int m_nModalResult = -1;
    WNDPROC m_pfnSuper = nullptr;

    // ---- Handlers: the default handling of each message ----
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);
    void OnSize(UINT nType, int cx, int cy);
    void OnMove(int x, int y);
    void OnDestroy();
    void OnNcDestroy();
    void OnClose();
    BOOL OnEraseBkgnd(CDC* pDC);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    HCURSOR OnQueryDragIcon();
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnActivateApp(BOOL bActive, DWORD dwThreadID);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnRButtonUp(UINT nFlags, CPoint point);
    void OnMouseHover(UINT nFlags, CPoint point);
    void OnMouseLeave();
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    UINT OnGetDlgCode();
    void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    void OnShowWindow(BOOL bShow, UINT nStatus);
    UINT OnPowerBroadcast(UINT nPowerEvent, LPARAM nEventData);
    LRESULT OnNcHitTest(CPoint point);
    // The window's own object when the active-accessibility flag is set, else the default handling.
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);

private:
    void FilterToolTipMessage(MSG* pMsg);
};

// The framework's window procedure: the message goes to the window's object.
LRESULT AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
// The application's PreTranslateMessage (or the walk of the window tree without an application).
BOOL AfxPreTranslateMessage(MSG* pMsg);
void AfxPostQuitMessage(int nExitCode);

// ---- Dialogs ----
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Binds the dialog's control of that id to the object (subclassing it) the first time; a template
// without the control leaves the object unbound.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
    DECLARE_MESSAGE_MAP()
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Modeless: the window from the template (FALSE when it cannot be made).
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // Modal: made, shown and run (the owner disabled) until EndDialog; the EndDialog result, -1 when the
    // dialog cannot be made or WM_QUIT ends the run.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnPaint();

    UINT m_nIDHelp = 0;
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;

protected:
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    BOOL CreateDlg(UINT nIDTemplate, CWnd* pParentWnd);
};

class CDialogEx : public CDialog {
    DECLARE_DYNAMIC(CDialogEx)
    DECLARE_MESSAGE_MAP()
public:
    CDialogEx() = default;
    explicit CDialogEx(UINT nIDTemplate, CWnd* pParentWnd = nullptr) : CDialog(nIDTemplate, pParentWnd) {}
    void SetBackgroundColor(COLORREF color, BOOL bRepaint = TRUE);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    BOOL OnEraseBkgnd(CDC* pDC);

protected:
    CBrush m_brBkgr;
};

// ---- Window device contexts ----
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};

class CWindowDC : public CClientDC {
public:
    explicit CWindowDC(CWnd* pWnd) : CClientDC(pWnd) {}
};
