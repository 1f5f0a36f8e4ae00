// Active accessibility (oleacc): the accessible object a client such as the narrator asks a window for
// with WM_GETOBJECT, and the system's standard object that answers for a window that does not answer
// itself. An object answers a window's role (from its class and style) and name (its window text).
#pragma once

#include "platform/com.h"
#include "platform/window.h"

FLIPDECK_DECLARE_UUID(IAccessible, "{618736E0-3C3D-11CF-810C-00AA00389B71}")
struct IAccessible : IDispatch {
    STDMETHOD(get_accParent)(IDispatch** ppdispParent) PURE;
    STDMETHOD(get_accChildCount)(LONG* pcountChildren) PURE;
    STDMETHOD(get_accChild)(VARIANT varChild, IDispatch** ppdispChild) PURE;
    STDMETHOD(get_accName)(VARIANT varChild, BSTR* pszName) PURE;
    STDMETHOD(get_accValue)(VARIANT varChild, BSTR* pszValue) PURE;
    STDMETHOD(get_accDescription)(VARIANT varChild, BSTR* pszDescription) PURE;
    STDMETHOD(get_accRole)(VARIANT varChild, VARIANT* pvarRole) PURE;
    STDMETHOD(get_accState)(VARIANT varChild, VARIANT* pvarState) PURE;
    STDMETHOD(get_accHelp)(VARIANT varChild, BSTR* pszHelp) PURE;
    STDMETHOD(get_accHelpTopic)(BSTR* pszHelpFile, VARIANT varChild, LONG* pidTopic) PURE;
    STDMETHOD(get_accKeyboardShortcut)(VARIANT varChild, BSTR* pszKeyboardShortcut) PURE;
    STDMETHOD(get_accFocus)(VARIANT* pvarChild) PURE;
    STDMETHOD(get_accSelection)(VARIANT* pvarChildren) PURE;
    STDMETHOD(get_accDefaultAction)(VARIANT varChild, BSTR* pszDefaultAction) PURE;
    STDMETHOD(accSelect)(LONG flagsSelect, VARIANT varChild) PURE;
    STDMETHOD(accLocation)(LONG* pxLeft, LONG* pyTop, LONG* pcxWidth, LONG* pcyHeight, VARIANT varChild) PURE;
    STDMETHOD(accNavigate)(LONG navDir, VARIANT varStart, VARIANT* pvarEndUpAt) PURE;
    STDMETHOD(accHitTest)(LONG xLeft, LONG yTop, VARIANT* pvarChild) PURE;
    STDMETHOD(accDoDefaultAction)(VARIANT varChild) PURE;
    STDMETHOD(put_accName)(VARIANT varChild, BSTR szName) PURE;
    STDMETHOD(put_accValue)(VARIANT varChild, BSTR szValue) PURE;
};
using LPACCESSIBLE = IAccessible*;
constexpr IID IID_IAccessible = __uuidof(IAccessible);

// The objects of a window (WM_GETOBJECT's lParam); only the client object is answered here.
#define OBJID_WINDOW (static_cast<LONG>(0x00000000))
#define OBJID_CLIENT (static_cast<LONG>(0xFFFFFFFC))
// The object itself rather than one of its children.
#define CHILDID_SELF 0

#define ROLE_SYSTEM_SCROLLBAR 0x03
#define ROLE_SYSTEM_CLIENT 0x0A
#define ROLE_SYSTEM_TOOLTIP 0x0D
#define ROLE_SYSTEM_DIALOG 0x12
#define ROLE_SYSTEM_GROUPING 0x14
#define ROLE_SYSTEM_LINK 0x1E
#define ROLE_SYSTEM_STATICTEXT 0x29
#define ROLE_SYSTEM_PUSHBUTTON 0x2B
#define ROLE_SYSTEM_CHECKBUTTON 0x2C

// A reference to the object for the client of a WM_GETOBJECT: a positive value the window procedure
// answers, redeemed once by ObjectFromLresult; a failing HRESULT (negative) otherwise.
LRESULT LresultFromObject(REFIID riid, WPARAM wParam, LPUNKNOWN punk);
// The object of a value LresultFromObject made; E_INVALIDARG for any other value or one redeemed already.
HRESULT ObjectFromLresult(LRESULT lResult, REFIID riid, WPARAM wParam, void** ppvObject);
// The window's object: its own answer to WM_GETOBJECT (sent to the window, so another thread's window
// answers inside its message calls), else the standard object.
HRESULT AccessibleObjectFromWindow(HWND hwnd, DWORD dwId, REFIID riid, void** ppvObject);
// The standard object of a window's client area: the role of the window's class (push button, check
// box, group box, static text, link, scroll bar, dialog, tooltip; a client area for any other class)
// and the window text as the name. Its other properties are not implemented (E_NOTIMPL).
HRESULT CreateStdAccessibleObject(HWND hwnd, LONG idObject, REFIID riid, void** ppvObject);
