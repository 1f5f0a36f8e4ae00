// Dialogs from templates, modal and modeless, with data exchange; the window device contexts.
#include "platform/framework_window.h"
#include "platform/window/WindowSystem.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)
IMPLEMENT_DYNAMIC(CDialogEx, CDialog)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CDialogEx, CDialog)
ON_WM_CTLCOLOR()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (!rControl.m_hWnd && pDX && pDX->m_pDlgWnd) {
        rControl.SubclassWindow(::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC));
    }
}

CDialog::CDialog() = default;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

BOOL CDialog::CreateDlg(UINT nIDTemplate, CWnd* pParentWnd) {
    platform::window::SetCreationHook([this](HWND hWnd) {
        Attach(hWnd);
        m_pfnSuper = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    });
    const HWND hWnd = ::CreateDialogParamW(nullptr, MAKEINTRESOURCEW(nIDTemplate),
                                           pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr, 0);
    platform::window::SetCreationHook(nullptr);
    return hWnd != nullptr;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    return CreateDlg(nIDTemplate, pParentWnd);
}

INT_PTR CDialog::DoModal() {
    CWnd* pParent = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    const HWND hParent = pParent && pParent != this ? ::GetAncestor(pParent->m_hWnd, GA_ROOT) : nullptr;
    const bool enableParent = hParent && ::IsWindowEnabled(hParent);
    if (enableParent) {
        ::EnableWindow(hParent, FALSE);
    }
    m_nModalResult = -1;
    m_nFlags |= WF_CONTINUEMODAL;
    if (CreateDlg(m_nIDTemplate, CWnd::FromHandle(hParent))) {
        if (m_nFlags & WF_CONTINUEMODAL) {
            RunModalLoop();
        }
        if (m_hWnd) {
            ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        }
    }
    m_nFlags &= ~WF_CONTINUEMODAL;
    if (enableParent) {
        ::EnableWindow(hParent, TRUE);
        ::SetActiveWindow(hParent);
    }
    DestroyWindow();
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
    if (m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL)) {
        EndModalLoop(nResult);
    }
    ::EndDialog(m_hWnd, nResult);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    return CWnd::PreTranslateMessage(pMsg) || PreTranslateInput(pMsg);
}

void CDialog::OnPaint() {
    Default();
}

void CDialogEx::SetBackgroundColor(COLORREF color, BOOL bRepaint) {
    m_brBkgr.DeleteObject();
    m_brBkgr.CreateSolidBrush(color);
    if (bRepaint && m_hWnd) {
        Invalidate();
    }
}

HBRUSH CDialogEx::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    if (m_brBkgr.GetSafeHandle() && (nCtlColor == CTLCOLOR_DLG || nCtlColor == CTLCOLOR_STATIC)) {
        return static_cast<HBRUSH>(m_brBkgr);
    }
    return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}

BOOL CDialogEx::OnEraseBkgnd(CDC* pDC) {
    if (!m_brBkgr.GetSafeHandle()) {
        return CDialog::OnEraseBkgnd(pDC);
    }
    CRect client;
    GetClientRect(&client);
    pDC->FillRect(&client, &m_brBkgr);
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    const HDC hdc = Detach();
    if (hdc) {
        m_ps.hdc = hdc;
        ::EndPaint(m_hWnd, &m_ps);
    }
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() {
    if (const HDC hdc = Detach()) {
        ::ReleaseDC(m_hWnd, hdc);
    }
}
