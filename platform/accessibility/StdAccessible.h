// The standard accessible object of a window's client area. The framework's window objects derive from
// it to answer with their own role and name.
#pragma once

#include <atomic>

#include "platform/accessibility.h"

namespace platform::accessibility {

// The standard answers for the window itself (CHILDID_SELF): E_INVALIDARG for another child and for a
// missing out pointer, E_FAIL once the window is gone. A window without text has no name (S_FALSE).
HRESULT StandardRole(HWND hwnd, const VARIANT& varChild, VARIANT* pvarRole);
HRESULT StandardName(HWND hwnd, const VARIANT& varChild, BSTR* pszName);

// Made with one reference. Its methods run on the caller's thread: clients call it on the window's
// thread, as COM would marshal the calls there.
class CStdAccessible : public IAccessible {
public:
    explicit CStdAccessible(HWND hwnd) : m_hWnd(hwnd) {}
    virtual ~CStdAccessible() = default;
    CStdAccessible(const CStdAccessible&) = delete;
    CStdAccessible& operator=(const CStdAccessible&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                               DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    STDMETHODIMP get_accName(VARIANT varChild, BSTR* pszName) override;
    STDMETHODIMP get_accRole(VARIANT varChild, VARIANT* pvarRole) override;

    STDMETHODIMP get_accParent(IDispatch** ppdispParent) override;
    STDMETHODIMP get_accChildCount(LONG* pcountChildren) override;
    STDMETHODIMP get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
    STDMETHODIMP get_accValue(VARIANT varChild, BSTR* pszValue) override;
    STDMETHODIMP get_accDescription(VARIANT varChild, BSTR* pszDescription) override;
    STDMETHODIMP get_accState(VARIANT varChild, VARIANT* pvarState) override;
    STDMETHODIMP get_accHelp(VARIANT varChild, BSTR* pszHelp) override;
    STDMETHODIMP get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild, LONG* pidTopic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* pvarChild) override;
    STDMETHODIMP get_accSelection(VARIANT* pvarChildren) override;
    STDMETHODIMP get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) override;
    STDMETHODIMP accSelect(LONG flagsSelect, VARIANT varChild) override;
    STDMETHODIMP accLocation(LONG* pxLeft, LONG* pyTop, LONG* pcxWidth, LONG* pcyHeight,
                             VARIANT varChild) override;
    STDMETHODIMP accNavigate(LONG navDir, VARIANT varStart, VARIANT* pvarEndUpAt) override;
    STDMETHODIMP accHitTest(LONG xLeft, LONG yTop, VARIANT* pvarChild) override;
    STDMETHODIMP accDoDefaultAction(VARIANT varChild) override;
    STDMETHODIMP put_accName(VARIANT varChild, BSTR szName) override;
    STDMETHODIMP put_accValue(VARIANT varChild, BSTR szValue) override;

protected:
    const HWND m_hWnd;

private:
    std::atomic<ULONG> m_nReferences{1};
};

} // namespace platform::accessibility
