// COM: HRESULT helpers, GUIDs, IUnknown and IDispatch, BSTR and VARIANT, the compiler's COM support
// classes, task memory, apartment initialisation and class creation through the machine's registry.
#pragma once

#include <string_view>

#include "platform/base.h"

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPCLSID = CLSID*;

constexpr bool IsEqualGUID(REFGUID a, REFGUID b) {
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) {
            return false;
        }
    }
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3;
}
constexpr bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

constexpr GUID GUID_NULL = {};
#define CLSID_NULL GUID_NULL
#define IID_NULL GUID_NULL

// ---- Strings and calling conventions ----
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using DISPID = LONG;

#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define PURE = 0
#define STDAPI extern "C" HRESULT STDAPICALLTYPE
#define STDAPI_(type) extern "C" type STDAPICALLTYPE

// More HRESULTs of COM.
#define CO_E_CLASSSTRING (static_cast<HRESULT>(0x800401F3u))

// ---- Interface identifiers ----
namespace platform {

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (hexadecimal digits in either case, no braces).
template <typename Char> constexpr bool ParseGuidDigits(std::basic_string_view<Char> text, GUID& guid) {
    constexpr int kGroupEnds[] = {8, 13, 18, 23};
    if (text.size() != 36) {
        return false;
    }
    BYTE bytes[16] = {};
    int nibble = 0;
    for (int i = 0; i < 36; ++i) {
        const Char c = text[static_cast<size_t>(i)];
        if (i == kGroupEnds[0] || i == kGroupEnds[1] || i == kGroupEnds[2] || i == kGroupEnds[3]) {
            if (c != '-') {
                return false;
            }
            continue;
        }
        int value = -1;
        if (c >= '0' && c <= '9') {
            value = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            value = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            value = c - 'A' + 10;
        } else {
            return false;
        }
        bytes[nibble / 2] = static_cast<BYTE>(bytes[nibble / 2] | (value << (nibble % 2 == 0 ? 4 : 0)));
        ++nibble;
    }
    guid.Data1 = static_cast<DWORD>(bytes[0]) << 24 | static_cast<DWORD>(bytes[1]) << 16 |
                 static_cast<DWORD>(bytes[2]) << 8 | bytes[3];
    guid.Data2 = static_cast<WORD>(bytes[4] << 8 | bytes[5]);
    guid.Data3 = static_cast<WORD>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = bytes[8 + i];
    }
    return true;
}

// A GUID from a literal, with or without braces; a malformed literal does not compile.
consteval GUID GuidFromLiteral(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    }
    GUID guid{};
    if (!ParseGuidDigits(text, guid)) {
        throw "malformed GUID literal";
    }
    return guid;
}

template <typename T> struct UuidTag {};

} // namespace platform

// Declares a struct (an interface or a class) and gives it a uuid, as __declspec(uuid) does:
//   FLIPDECK_DECLARE_UUID(IFoo, "{...}")  struct IFoo : IUnknown { ... };
// Works in any namespace; __uuidof(IFoo), also named FlipdeckUuid_IFoo, is then that GUID, a constant.
// (The constant has internal linkage: an inline variable would be a unique symbol, which keeps a loaded
// module from ever being unloaded.)
#define FLIPDECK_DECLARE_UUID(Name, text)                                                                    \
    struct Name;                                                                                             \
    constexpr GUID FlipdeckUuid_##Name = ::platform::GuidFromLiteral(text);                                  \
    constexpr GUID FlipdeckUuidOf(::platform::UuidTag<Name>) {                                               \
        return FlipdeckUuid_##Name;                                                                          \
    }

// The uuid of a type declared with FLIPDECK_DECLARE_UUID (a type, not an expression).
#define __uuidof(Type) FlipdeckUuidOf(::platform::UuidTag<Type>{})

// ---- The base interfaces (their methods in the system's vtable order) ----
struct ITypeInfo;
struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;

FLIPDECK_DECLARE_UUID(IUnknown, "{00000000-0000-0000-C000-000000000046}")
struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;
};
using LPUNKNOWN = IUnknown*;

FLIPDECK_DECLARE_UUID(IDispatch, "{00020400-0000-0000-C000-000000000046}")
struct IDispatch : IUnknown {
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) PURE;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) PURE;
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) PURE;
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) PURE;
};

FLIPDECK_DECLARE_UUID(IClassFactory, "{00000001-0000-0000-C000-000000000046}")
struct IClassFactory : IUnknown {
    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) PURE;
    STDMETHOD(LockServer)(BOOL fLock) PURE;
};

constexpr IID IID_IUnknown = __uuidof(IUnknown);
constexpr IID IID_IDispatch = __uuidof(IDispatch);
constexpr IID IID_IClassFactory = __uuidof(IClassFactory);

// The entry points of an in-process server.
using LPFNGETCLASSOBJECT = HRESULT(STDAPICALLTYPE*)(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
using LPFNCANUNLOADNOW = HRESULT(STDAPICALLTYPE*)();

// ---- GUID text ----
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" to a CLSID; CO_E_CLASSSTRING for any other text. A null text
// gives CLSID_NULL.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
// Writes the braced upper-case form (39 characters with the terminator); the characters written
// including the terminator, 0 when the buffer is too small.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

// ---- BSTR ----
// A BSTR points at its characters; the 32-bit length in bytes stands before them and a null character
// follows them. Allocated with malloc, so the program and the modules it loads share them.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);
UINT SysStringByteLen(BSTR bstr);

// ---- VARIANT ----
using VARTYPE = unsigned short;
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_UNKNOWN = 13,
};
// A value of the type vt names; the types above are the ones the layer knows.
struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
    };
};
using VARIANTARG = VARIANT;
void VariantInit(VARIANT* pvarg);
// Frees what the variant holds (the string, the interface's reference) and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* pvarg);

// ---- Task memory ----
LPVOID CoTaskMemAlloc(SIZE_T cb);
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void CoTaskMemFree(LPVOID pv);

// ---- Apartments ----
enum tagCOINIT : DWORD {
    COINIT_MULTITHREADED = 0x0,
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8,
};

HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();
HRESULT OleInitialize(LPVOID pvReserved);
void OleUninitialize();
// An in-process object is running once it exists.
HRESULT OleRun(LPUNKNOWN pUnknown);

// ---- Class creation ----
enum tagCLSCTX : DWORD {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
};
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

// Finds the in-process server of the class under HKLM\SOFTWARE\Classes\CLSID\{clsid}\InprocServer32
// (the process's registry view), loads it and asks its class factory for the object. Servers stay
// loaded until the last apartment of the process ends and the server agrees to be unloaded.
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
