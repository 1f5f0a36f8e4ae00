// The compiler's COM support classes: _com_error, _bstr_t and the smart pointer _com_ptr_t with
// _COM_SMARTPTR_TYPEDEF.
#pragma once

#include <string>
#include <utility>

#include "platform/com.h"

// ---- _com_error ----
class _com_error {
public:
    explicit _com_error(HRESULT hr) noexcept : m_hresult(hr) {}
    virtual ~_com_error() = default;
    _com_error(const _com_error&) = default;
    _com_error& operator=(const _com_error&) = default;

    HRESULT Error() const noexcept { return m_hresult; }
    // The dispatch error code of an HRESULT in the range 0x80040200-0x8004FFFF, else 0.
    WORD WCode() const noexcept {
        const auto code = static_cast<DWORD>(m_hresult);
        return code >= 0x80040200u && code <= 0x8004FFFFu ? static_cast<WORD>(code - 0x80040200u) : 0;
    }
    // The system's text for the HRESULT; "IDispatch error #n" for a dispatch error code, else
    // "Unknown error 0x...".
    const TCHAR* ErrorMessage() const;

private:
    HRESULT m_hresult;
    mutable std::wstring m_message;
};

[[noreturn]] void _com_issue_error(HRESULT hr);
// What the wrappers of an interface call on a failed HRESULT; no error object is kept.
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid);

// ---- _bstr_t: a shared, reference-counted BSTR ----
class _bstr_t {
public:
    _bstr_t() noexcept = default;
    _bstr_t(const _bstr_t& other) noexcept;
    _bstr_t(_bstr_t&& other) noexcept : m_data(std::exchange(other.m_data, nullptr)) {}
    _bstr_t(const char* s);    // from the ANSI code page
    _bstr_t(const wchar_t* s); // a copy
    // fCopy false takes ownership of the BSTR; true copies it (embedded nulls included).
    _bstr_t(BSTR bstr, bool fCopy);
    ~_bstr_t() { Free(); }

    _bstr_t& operator=(const _bstr_t& other) noexcept;
    _bstr_t& operator=(_bstr_t&& other) noexcept;
    _bstr_t& operator=(const char* s);
    _bstr_t& operator=(const wchar_t* s);

    _bstr_t& operator+=(const _bstr_t& s);
    _bstr_t operator+(const _bstr_t& s) const;
    friend _bstr_t operator+(const char* s1, const _bstr_t& s2);
    friend _bstr_t operator+(const wchar_t* s1, const _bstr_t& s2);

    // A null string gives NULL: callers test for a missing answer.
    operator const wchar_t*() const noexcept;
    operator wchar_t*() const noexcept;
    operator const char*() const; // ANSI, made once and kept with the string
    operator char*() const;
    bool operator!() const noexcept;

    // Content comparison; a null string equals the empty one.
    bool operator==(const _bstr_t& s) const noexcept { return Compare(s) == 0; }
    bool operator==(const wchar_t* s) const { return *this == _bstr_t(s); }
    bool operator==(const char* s) const { return *this == _bstr_t(s); }

    unsigned int length() const noexcept;
    // A new BSTR with the same content (the caller frees it), or the held one when fCopy is false.
    BSTR copy(bool fCopy = true) const;
    // The held BSTR (made null when there was none), for passing in.
    BSTR& GetBSTR();
    // Frees the held string and gives the address of a null BSTR, for an out parameter.
    BSTR* GetAddress();
    void Attach(BSTR s);
    // Gives up the BSTR to the caller; E_POINTER when none is held or it is shared.
    BSTR Detach();

private:
    class CData;
    int Compare(const _bstr_t& other) const noexcept;
    void Free() noexcept;

    CData* m_data = nullptr;
};

// ---- _com_ptr_t ----
// Binds an interface to its IID, as _COM_SMARTPTR_TYPEDEF makes it. The IID is a value: a static
// object here would be a unique symbol and keep modules that use the pointer from being unloaded.
template <typename InterfaceType, IID iid> class _com_IIID {
public:
    using Interface = InterfaceType;
    static constexpr IID GetIID() noexcept { return iid; }
};

template <typename IIDTraits> class _com_ptr_t {
public:
    using ThisIIID = IIDTraits;
    using Interface = typename IIDTraits::Interface;
    static constexpr IID GetIID() noexcept { return IIDTraits::GetIID(); }

    _com_ptr_t() noexcept = default;
    // Null (also from NULL, 0 and nullptr), or holds a reference of its own.
    _com_ptr_t(Interface* pInterface) noexcept : m_p(pInterface) { AddRefIfSet(); }
    _com_ptr_t(Interface* pInterface, bool fAddRef) noexcept : m_p(pInterface) {
        if (fAddRef) {
            AddRefIfSet();
        }
    }
    _com_ptr_t(const _com_ptr_t& other) noexcept : m_p(other.m_p) { AddRefIfSet(); }
    _com_ptr_t(_com_ptr_t&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    // From another interface: QueryInterface; null when the object lacks it, _com_error on another failure.
    template <typename OtherIID> _com_ptr_t(const _com_ptr_t<OtherIID>& other) {
        QueryFromOrThrow(other.GetInterfacePtr());
    }
    template <typename OtherInterface> _com_ptr_t(OtherInterface* other) { QueryFromOrThrow(other); }
    // Creates an instance of the class; _com_error on failure.
    explicit _com_ptr_t(REFCLSID rclsid, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) {
        const HRESULT hr = CreateInstance(rclsid, pOuter, dwClsContext);
        if (FAILED(hr) && hr != E_NOINTERFACE) {
            _com_issue_error(hr);
        }
    }
    ~_com_ptr_t() { ReleaseIfSet(); }

    _com_ptr_t& operator=(Interface* pInterface) noexcept {
        if (m_p != pInterface) {
            Interface* old = std::exchange(m_p, pInterface);
            AddRefIfSet();
            if (old) {
                old->Release();
            }
        }
        return *this;
    }
    _com_ptr_t& operator=(const _com_ptr_t& other) noexcept { return operator=(other.m_p); }
    _com_ptr_t& operator=(_com_ptr_t&& other) noexcept {
        if (this != &other) {
            ReleaseIfSet();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    template <typename OtherIID> _com_ptr_t& operator=(const _com_ptr_t<OtherIID>& other) {
        QueryFromOrThrow(other.GetInterfacePtr());
        return *this;
    }
    template <typename OtherInterface> _com_ptr_t& operator=(OtherInterface* other) {
        QueryFromOrThrow(other);
        return *this;
    }

    // Releases a held pointer, then CoCreateInstance. For a context that allows a server out of
    // process, the object is made as IUnknown, run (OleRun) and then asked for the interface.
    HRESULT CreateInstance(REFCLSID rclsid, IUnknown* pOuter = nullptr,
                           DWORD dwClsContext = CLSCTX_ALL) noexcept {
        ReleaseIfSet();
        HRESULT hr;
        if (dwClsContext & (CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)) {
            IUnknown* unknown = nullptr;
            hr = CoCreateInstance(rclsid, pOuter, dwClsContext, IID_IUnknown,
                                  reinterpret_cast<void**>(&unknown));
            if (SUCCEEDED(hr)) {
                hr = OleRun(unknown);
                if (SUCCEEDED(hr)) {
                    hr = unknown->QueryInterface(GetIID(), reinterpret_cast<void**>(&m_p));
                }
                unknown->Release();
            }
        } else {
            hr = CoCreateInstance(rclsid, pOuter, dwClsContext, GetIID(), reinterpret_cast<void**>(&m_p));
        }
        if (FAILED(hr)) {
            m_p = nullptr;
        }
        return hr;
    }

    // Takes over a reference without adding one (or adds one when fAddRef is true).
    void Attach(Interface* pInterface) noexcept {
        ReleaseIfSet();
        m_p = pInterface;
    }
    void Attach(Interface* pInterface, bool fAddRef) {
        Attach(pInterface);
        if (fAddRef) {
            AddRef();
        }
    }
    Interface* Detach() noexcept { return std::exchange(m_p, nullptr); }

    // Reference counting by hand; _com_error E_POINTER on a null pointer.
    void AddRef() { NotNull()->AddRef(); }
    void Release() {
        NotNull()->Release();
        m_p = nullptr;
    }

    Interface* GetInterfacePtr() const noexcept { return m_p; }
    Interface*& GetInterfacePtr() noexcept { return m_p; }
    operator Interface*() const noexcept { return m_p; }
    operator bool() const noexcept { return m_p != nullptr; }
    bool operator!() const noexcept { return m_p == nullptr; }
    Interface* operator->() const { return NotNull(); }
    Interface& operator*() const { return *NotNull(); }
    // Releases the held pointer and gives its address, for an out parameter.
    Interface** operator&() noexcept {
        ReleaseIfSet();
        m_p = nullptr;
        return &m_p;
    }

    // Identity comparison: two pointers are equal when they reach the same object.
    bool operator==(Interface* other) const { return SameObject(m_p, other); }
    bool operator==(const _com_ptr_t& other) const { return SameObject(m_p, other.m_p); }
    template <typename OtherIID> bool operator==(const _com_ptr_t<OtherIID>& other) const {
        return SameObject(m_p, other.GetInterfacePtr());
    }

    template <typename OtherInterface>
    HRESULT QueryInterface(REFIID riid, OtherInterface*& p) const noexcept {
        return m_p ? m_p->QueryInterface(riid, reinterpret_cast<void**>(&p)) : E_POINTER;
    }
    template <typename OtherInterface>
    HRESULT QueryInterface(REFIID riid, OtherInterface** p) const noexcept {
        return QueryInterface(riid, *p);
    }

private:
    void AddRefIfSet() const noexcept {
        if (m_p) {
            m_p->AddRef();
        }
    }
    void ReleaseIfSet() noexcept {
        if (m_p) {
            std::exchange(m_p, nullptr)->Release();
        }
    }
    Interface* NotNull() const {
        if (!m_p) {
            _com_issue_error(E_POINTER);
        }
        return m_p;
    }
    template <typename Source> void QueryFromOrThrow(Source* source) {
        Interface* found = nullptr;
        HRESULT hr = E_NOINTERFACE;
        if (source) {
            hr = source->QueryInterface(GetIID(), reinterpret_cast<void**>(&found));
        }
        Attach(SUCCEEDED(hr) ? found : nullptr);
        if (FAILED(hr) && hr != E_NOINTERFACE) {
            _com_issue_error(hr);
        }
    }
    template <typename Other> static bool SameObject(Interface* mine, Other* other) {
        if (static_cast<void*>(mine) == static_cast<void*>(other)) {
            return true;
        }
        if (!mine || !other) {
            return false;
        }
        IUnknown* first = nullptr;
        IUnknown* second = nullptr;
        const bool same = SUCCEEDED(mine->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&first))) &&
                          SUCCEEDED(other->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&second))) &&
                          first == second;
        if (first) {
            first->Release();
        }
        if (second) {
            second->Release();
        }
        return same;
    }

    Interface* m_p = nullptr;
};

// IFooPtr for an interface IFoo: _COM_SMARTPTR_TYPEDEF(IFoo, __uuidof(IFoo)).
#define _COM_SMARTPTR_TYPEDEF(Interface, iid) using Interface##Ptr = _com_ptr_t<_com_IIID<Interface, (iid)>>
