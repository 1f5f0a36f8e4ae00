// The standard accessible object: the role of the window's class and the window text as its name.
#include "platform/accessibility/StdAccessible.h"

#include <string>

#include "platform/internal.h"

namespace platform::accessibility {

namespace {

struct CClassRole {
    LPCWSTR className;
    LONG role;
};

const CClassRole kClassRoles[] = {
    {L"Static", ROLE_SYSTEM_STATICTEXT},    {L"SysLink", ROLE_SYSTEM_LINK},
    {L"ScrollBar", ROLE_SYSTEM_SCROLLBAR},  {L"#32770", ROLE_SYSTEM_DIALOG},
    {TOOLTIPS_CLASSW, ROLE_SYSTEM_TOOLTIP},
};

LONG ButtonRole(DWORD style) {
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
        return ROLE_SYSTEM_CHECKBUTTON;
    case BS_GROUPBOX:
        return ROLE_SYSTEM_GROUPING;
    default:
        return ROLE_SYSTEM_PUSHBUTTON;
    }
}

LONG RoleOfWindow(HWND hwnd) {
    WCHAR className[64] = {};
    GetClassNameW(hwnd, className, 64);
    if (EqualsNoCase(className, L"Button")) {
        return ButtonRole(static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)));
    }
    for (const CClassRole& entry : kClassRoles) {
        if (EqualsNoCase(className, entry.className)) {
            return entry.role;
        }
    }
    return ROLE_SYSTEM_CLIENT;
}

bool IsSelf(const VARIANT& varChild) {
    return varChild.vt == VT_I4 && varChild.lVal == CHILDID_SELF;
}

} // namespace

HRESULT StandardRole(HWND hwnd, const VARIANT& varChild, VARIANT* pvarRole) {
    if (!pvarRole || !IsSelf(varChild)) {
        return E_INVALIDARG;
    }
    VariantInit(pvarRole);
    if (!IsWindow(hwnd)) {
        return E_FAIL;
    }
    pvarRole->vt = VT_I4;
    pvarRole->lVal = RoleOfWindow(hwnd);
    return S_OK;
}

HRESULT StandardName(HWND hwnd, const VARIANT& varChild, BSTR* pszName) {
    if (!pszName || !IsSelf(varChild)) {
        return E_INVALIDARG;
    }
    *pszName = nullptr;
    if (!IsWindow(hwnd)) {
        return E_FAIL;
    }
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    if (text.empty()) {
        return S_FALSE;
    }
    *pszName = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *pszName ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CStdAccessible::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
        *ppvObject = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CStdAccessible::AddRef() {
    return ++m_nReferences;
}

STDMETHODIMP_(ULONG) CStdAccessible::Release() {
    const ULONG remaining = --m_nReferences;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

STDMETHODIMP CStdAccessible::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) {
        return E_INVALIDARG;
    }
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CStdAccessible::get_accName(VARIANT varChild, BSTR* pszName) {
    return StandardName(m_hWnd, varChild, pszName);
}

STDMETHODIMP CStdAccessible::get_accRole(VARIANT varChild, VARIANT* pvarRole) {
    return StandardRole(m_hWnd, varChild, pvarRole);
}

// ---- Not implemented: no client of this program asks for them ----
STDMETHODIMP CStdAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accParent(IDispatch**) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accChildCount(LONG*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accChild(VARIANT, IDispatch**) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accValue(VARIANT, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accDescription(VARIANT, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accState(VARIANT, VARIANT*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accHelp(VARIANT, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accHelpTopic(BSTR*, VARIANT, LONG*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accKeyboardShortcut(VARIANT, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accFocus(VARIANT*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accSelection(VARIANT*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::get_accDefaultAction(VARIANT, BSTR*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::accSelect(LONG, VARIANT) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::accLocation(LONG*, LONG*, LONG*, LONG*, VARIANT) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::accNavigate(LONG, VARIANT, VARIANT*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::accHitTest(LONG, LONG, VARIANT*) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::accDoDefaultAction(VARIANT) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}
STDMETHODIMP CStdAccessible::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;
}

} // namespace platform::accessibility
