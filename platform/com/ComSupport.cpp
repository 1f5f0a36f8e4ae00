#include "platform/comdef.h"
#include "platform/strings.h"

#include <atomic>
#include <cwchar>
#include <mutex>
#include <string>

#include "platform/internal.h"

namespace {

// The ANSI code page conversions of _bstr_t.
// _bstr_t's narrow text is in the machine's ANSI code page.
std::wstring AnsiToWide(const char* text) {
    return platform::CodePageToWide(text, CP_ACP);
}
std::string WideToAnsi(std::wstring_view text) {
    return platform::WideToCodePage(text, CP_ACP);
}

BSTR CopyOrThrow(BSTR source) {
    if (!source) {
        return nullptr;
    }
    BSTR copy = SysAllocStringByteLen(reinterpret_cast<const char*>(source), SysStringByteLen(source));
    if (!copy) {
        _com_issue_error(E_OUTOFMEMORY);
    }
    return copy;
}

BSTR AllocateOrThrow(const wchar_t* text, size_t length) {
    BSTR bstr = SysAllocStringLen(text, static_cast<UINT>(length));
    if (!bstr) {
        _com_issue_error(E_OUTOFMEMORY);
    }
    return bstr;
}

struct SystemMessage {
    HRESULT hr;
    const wchar_t* text;
};

// The system's texts of the HRESULTs that COM and the layer produce.
constexpr SystemMessage kSystemMessages[] = {
    {S_OK, L"The operation completed successfully."},
    {E_NOTIMPL, L"Not implemented"},
    {E_NOINTERFACE, L"No such interface supported"},
    {E_POINTER, L"Invalid pointer"},
    {E_ABORT, L"Operation aborted"},
    {E_FAIL, L"Unspecified error"},
    {E_UNEXPECTED, L"Catastrophic failure"},
    {E_ACCESSDENIED, L"Access is denied."},
    {E_HANDLE, L"The handle is invalid."},
    {E_OUTOFMEMORY, L"Not enough memory resources are available to complete this operation."},
    {E_INVALIDARG, L"The parameter is incorrect."},
    {CLASS_E_NOAGGREGATION, L"Class does not support aggregation (or class object is remote)"},
    {CLASS_E_CLASSNOTAVAILABLE, L"ClassFactory cannot supply requested class"},
    {REGDB_E_CLASSNOTREG, L"Class not registered"},
    {CO_E_NOTINITIALIZED, L"CoInitialize has not been called."},
    {CO_E_ERRORINDLL, L"Error in the DLL"},
    {RPC_E_CHANGED_MODE, L"Cannot change thread mode after it is set."},
    {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), L"The specified module could not be found."},
    {HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), L"The specified procedure could not be found."},
};

} // namespace

// ---- _com_error ----

const TCHAR* _com_error::ErrorMessage() const {
    if (!m_message.empty()) {
        return m_message.c_str();
    }
    for (const auto& message : kSystemMessages) {
        if (message.hr == m_hresult) {
            return (m_message = message.text).c_str();
        }
    }
    wchar_t text[32];
    if (const WORD code = WCode()) {
        std::swprintf(text, 32, L"IDispatch error #%d", static_cast<int>(code));
    } else {
        std::swprintf(text, 32, L"Unknown error 0x%0X", static_cast<unsigned>(m_hresult));
    }
    return (m_message = text).c_str();
}

void _com_issue_error(HRESULT hr) {
    throw _com_error(hr);
}

void _com_issue_errorex(HRESULT hr, IUnknown*, REFIID) {
    _com_issue_error(hr);
}

// ---- _bstr_t ----

// The shared string: a BSTR, its ANSI form made on first use, and the count of _bstr_t holding it.
class _bstr_t::CData {
public:
    explicit CData(BSTR owned) noexcept : m_wide(owned) {}
    ~CData() { SysFreeString(m_wide); }
    CData(const CData&) = delete;
    CData& operator=(const CData&) = delete;

    void AddRef() noexcept { m_references.fetch_add(1, std::memory_order_relaxed); }
    // True when this was the last reference.
    bool Release() noexcept { return m_references.fetch_sub(1, std::memory_order_acq_rel) == 1; }
    bool IsShared() const noexcept { return m_references.load(std::memory_order_acquire) > 1; }

    BSTR& Wide() noexcept { return m_wide; }
    char* Ansi() {
        std::call_once(m_ansiMade, [this] {
            if (m_wide) {
                m_ansi = WideToAnsi(std::wstring_view(m_wide, SysStringLen(m_wide)));
            }
        });
        return m_wide ? m_ansi.data() : nullptr;
    }

private:
    std::atomic<unsigned long> m_references{1};
    BSTR m_wide;
    std::once_flag m_ansiMade;
    std::string m_ansi;
};

_bstr_t::_bstr_t(const _bstr_t& other) noexcept : m_data(other.m_data) {
    if (m_data) {
        m_data->AddRef();
    }
}

_bstr_t::_bstr_t(const char* s) {
    if (s) {
        const std::wstring wide = AnsiToWide(s);
        m_data = new CData(AllocateOrThrow(wide.data(), wide.size()));
    }
}

_bstr_t::_bstr_t(const wchar_t* s) {
    if (s) {
        m_data = new CData(AllocateOrThrow(s, std::wcslen(s)));
    }
}

_bstr_t::_bstr_t(BSTR bstr, bool fCopy) {
    if (bstr) {
        m_data = new CData(fCopy ? CopyOrThrow(bstr) : bstr);
    }
}

_bstr_t& _bstr_t::operator=(const _bstr_t& other) noexcept {
    if (m_data != other.m_data) {
        _bstr_t copy(other);
        std::swap(m_data, copy.m_data);
    }
    return *this;
}

_bstr_t& _bstr_t::operator=(_bstr_t&& other) noexcept {
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
    }
    return *this;
}

_bstr_t& _bstr_t::operator=(const char* s) {
    return *this = _bstr_t(s);
}

_bstr_t& _bstr_t::operator=(const wchar_t* s) {
    return *this = _bstr_t(s);
}

_bstr_t& _bstr_t::operator+=(const _bstr_t& s) {
    return *this = *this + s;
}

_bstr_t _bstr_t::operator+(const _bstr_t& s) const {
    const UINT first = length();
    const UINT second = s.length();
    if (!m_data && !s.m_data) {
        return _bstr_t();
    }
    // Whole strings are joined, embedded null characters included.
    BSTR joined = AllocateOrThrow(nullptr, static_cast<size_t>(first) + second);
    if (first) {
        std::wmemcpy(joined, m_data->Wide(), first);
    }
    if (second) {
        std::wmemcpy(joined + first, s.m_data->Wide(), second);
    }
    return _bstr_t(joined, false);
}

_bstr_t operator+(const char* s1, const _bstr_t& s2) {
    return _bstr_t(s1) + s2;
}

_bstr_t operator+(const wchar_t* s1, const _bstr_t& s2) {
    return _bstr_t(s1) + s2;
}

_bstr_t::operator const wchar_t*() const noexcept {
    return m_data ? m_data->Wide() : nullptr;
}

_bstr_t::operator wchar_t*() const noexcept {
    return m_data ? m_data->Wide() : nullptr;
}

_bstr_t::operator const char*() const {
    return m_data ? m_data->Ansi() : nullptr;
}

_bstr_t::operator char*() const {
    return m_data ? m_data->Ansi() : nullptr;
}

bool _bstr_t::operator!() const noexcept {
    return !m_data || !m_data->Wide();
}

unsigned int _bstr_t::length() const noexcept {
    return m_data ? SysStringLen(m_data->Wide()) : 0;
}

BSTR _bstr_t::copy(bool fCopy) const {
    if (!m_data) {
        return nullptr;
    }
    return fCopy ? CopyOrThrow(m_data->Wide()) : m_data->Wide();
}

BSTR& _bstr_t::GetBSTR() {
    if (!m_data) {
        m_data = new CData(nullptr);
    }
    return m_data->Wide();
}

BSTR* _bstr_t::GetAddress() {
    Free();
    m_data = new CData(nullptr);
    return &m_data->Wide();
}

void _bstr_t::Attach(BSTR s) {
    Free();
    m_data = new CData(s);
}

BSTR _bstr_t::Detach() {
    if (!m_data || m_data->IsShared()) {
        _com_issue_error(E_POINTER);
    }
    BSTR detached = std::exchange(m_data->Wide(), nullptr);
    Free();
    return detached;
}

int _bstr_t::Compare(const _bstr_t& other) const noexcept {
    const UINT first = length();
    const UINT second = other.length();
    const UINT common = first < second ? first : second;
    for (UINT i = 0; i < common; ++i) {
        const wchar_t a = m_data->Wide()[i];
        const wchar_t b = other.m_data->Wide()[i];
        if (a != b) {
            return a < b ? -1 : 1;
        }
    }
    return first < second ? -1 : (first == second ? 0 : 1);
}

void _bstr_t::Free() noexcept {
    if (m_data && m_data->Release()) {
        delete m_data;
    }
    m_data = nullptr;
}
