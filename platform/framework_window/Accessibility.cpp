// The window object's active accessibility: WM_GETOBJECT answered with an object whose role and name come
// from the window object's get_accRole and get_accName.
#include "platform/accessibility/StdAccessible.h"
#include "platform/framework_window.h"

namespace {

using platform::accessibility::CStdAccessible;

// Asks the window's object while it is attached to the window, else answers as the standard object.
class CWndAccessible final : public CStdAccessible {
public:
    using CStdAccessible::CStdAccessible;

    STDMETHODIMP get_accRole(VARIANT varChild, VARIANT* pvarRole) override {
        CWnd* pWnd = CWnd::FromHandlePermanent(m_hWnd);
        return pWnd ? pWnd->get_accRole(varChild, pvarRole) : CStdAccessible::get_accRole(varChild, pvarRole);
    }
    STDMETHODIMP get_accName(VARIANT varChild, BSTR* pszName) override {
        CWnd* pWnd = CWnd::FromHandlePermanent(m_hWnd);
        return pWnd ? pWnd->get_accName(varChild, pszName) : CStdAccessible::get_accName(varChild, pszName);
    }
};

} // namespace

void CWnd::EnableActiveAccessibility() {
    m_bEnableActiveAccessibility = TRUE;
}

HRESULT CWnd::CreateAccessibleProxy(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (!pResult) {
        return E_POINTER;
    }
    *pResult = 0;
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !::IsWindow(m_hWnd)) {
        return E_FAIL;
    }
    auto* object = new CWndAccessible(m_hWnd);
    const LRESULT answer = LresultFromObject(IID_IAccessible, wParam, object);
    object->Release();
    if (answer <= 0) {
        return static_cast<HRESULT>(answer);
    }
    *pResult = answer;
    return S_OK;
}

HRESULT CWnd::get_accRole(VARIANT varChild, VARIANT* pvarRole) {
    return platform::accessibility::StandardRole(m_hWnd, varChild, pvarRole);
}

HRESULT CWnd::get_accName(VARIANT varChild, BSTR* pszName) {
    return platform::accessibility::StandardName(m_hWnd, varChild, pszName);
}

LRESULT CWnd::OnGetObject(WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (m_bEnableActiveAccessibility && SUCCEEDED(CreateAccessibleProxy(wParam, lParam, &result))) {
        return result;
    }
    return Default();
}
