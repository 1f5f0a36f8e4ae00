#include "platform/com.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/libraries.h"
#include "platform/registry.h"

namespace {

enum class ApartmentKind { None, Single, Multi };

// Threads inside an apartment, and those among them in the multithreaded one: while one is, every
// thread of the process may create objects (it belongs to the multithreaded apartment implicitly).
std::atomic<int> g_threadsInApartments{0};
std::atomic<int> g_threadsInMultithreaded{0};

// The calling thread's apartment: its kind and how often it was entered (CoInitializeEx and
// OleInitialize counts).
class CThreadApartment {
public:
    ~CThreadApartment() {
        // A thread that ends inside its apartment leaves it; servers are not unloaded from here.
        if (m_entries > 0) {
            Leave();
        }
    }

    HRESULT Enter(ApartmentKind kind) {
        if (m_entries > 0) {
            if (kind != m_kind) {
                return RPC_E_CHANGED_MODE;
            }
            ++m_entries;
            return S_FALSE;
        }
        m_kind = kind;
        m_entries = 1;
        g_threadsInApartments.fetch_add(1);
        if (kind == ApartmentKind::Multi) {
            g_threadsInMultithreaded.fetch_add(1);
        }
        return S_OK;
    }

    // True when the last entry was undone and the thread left the last apartment of the process.
    bool Exit() {
        if (m_entries == 0 || --m_entries > 0) {
            return false;
        }
        return Leave();
    }

    bool IsInside() const { return m_entries > 0; }
    unsigned oleEntries = 0;

private:
    bool Leave() {
        if (m_kind == ApartmentKind::Multi) {
            g_threadsInMultithreaded.fetch_sub(1);
        }
        m_kind = ApartmentKind::None;
        m_entries = 0;
        return g_threadsInApartments.fetch_sub(1) == 1;
    }

    ApartmentKind m_kind = ApartmentKind::None;
    unsigned m_entries = 0;
};

thread_local CThreadApartment t_apartment;

bool MayCreateObjects() {
    return t_apartment.IsInside() || g_threadsInMultithreaded.load() > 0;
}

// ---- In-process servers ----

// Holds one reference to each server loaded for a class. Never destroyed: objects of servers may be
// released while the process exits.
class CServerCache {
public:
    static CServerCache& Instance() {
        static auto* cache = new CServerCache;
        return *cache;
    }

    // Takes over a reference from LoadLibrary; a server already held gives it back.
    void Keep(HMODULE server) {
        std::lock_guard guard(m_lock);
        if (std::find(m_servers.begin(), m_servers.end(), server) != m_servers.end()) {
            FreeLibrary(server);
        } else {
            m_servers.push_back(server);
        }
    }

    // Unloads the servers that say they may be (DllCanUnloadNow answers S_OK); one that cannot say stays.
    void FreeUnused() {
        std::vector<HMODULE> unused;
        {
            std::lock_guard guard(m_lock);
            std::erase_if(m_servers, [&unused](HMODULE server) {
                const auto canUnloadNow =
                    reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(server, "DllCanUnloadNow"));
                if (!canUnloadNow || canUnloadNow() != S_OK) {
                    return false;
                }
                unused.push_back(server);
                return true;
            });
        }
        // Freed outside the lock: a server's clean-up may create objects itself.
        for (HMODULE server : unused) {
            FreeLibrary(server);
        }
    }

private:
    std::mutex m_lock;
    std::vector<HMODULE> m_servers;
};

void FreeUnusedServers() {
    CServerCache::Instance().FreeUnused();
}

class CRegistryKey {
public:
    CRegistryKey(HKEY parent, const std::wstring& path, REGSAM access) {
        if (RegOpenKeyExW(parent, path.c_str(), 0, access, &m_key) != ERROR_SUCCESS) {
            m_key = nullptr;
        }
    }
    ~CRegistryKey() {
        if (m_key) {
            RegCloseKey(m_key);
        }
    }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // The default value as text; nullopt when it is missing, not text or empty.
    std::optional<std::wstring> DefaultText() const {
        DWORD type = 0;
        DWORD size = 0;
        if (!m_key || RegQueryValueExW(m_key, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return std::nullopt;
        }
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(m_key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::wstring value(text.data(), wcsnlen(text.data(), size / sizeof(wchar_t)));
        if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
            value = value.substr(1, value.size() - 2);
        }
        return value.empty() ? std::nullopt : std::optional(value);
    }

private:
    HKEY m_key = nullptr;
};

std::optional<std::wstring> InprocServerPath(REFCLSID rclsid) {
    wchar_t clsid[39];
    StringFromGUID2(rclsid, clsid, 39);
    const std::wstring path = std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + clsid + L"\\InprocServer32";
    return CRegistryKey(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE).DefaultText();
}

HRESULT CreateFromServer(const std::wstring& serverPath, REFCLSID rclsid, LPUNKNOWN pUnkOuter, REFIID riid,
                         LPVOID* ppv) {
    HMODULE server = LoadLibraryExW(serverPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!server) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    const auto getClassObject =
        reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(server, "DllGetClassObject"));
    if (!getClassObject) {
        FreeLibrary(server);
        return CO_E_ERRORINDLL;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(rclsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr) && factory) {
        hr = factory->CreateInstance(pUnkOuter, riid, ppv);
        factory->Release();
    } else if (SUCCEEDED(hr)) {
        hr = E_UNEXPECTED; // a server that answers success without a factory
    }
    // Our reference kept the server loaded while the object was made; the cache keeps it from here on.
    CServerCache::Instance().Keep(server);
    return hr;
}

} // namespace

HRESULT CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    constexpr DWORD kKnownFlags =
        COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY | COINIT_MULTITHREADED;
    if (pvReserved || (dwCoInit & ~kKnownFlags)) {
        return E_INVALIDARG;
    }
    return t_apartment.Enter((dwCoInit & COINIT_APARTMENTTHREADED) ? ApartmentKind::Single
                                                                   : ApartmentKind::Multi);
}

void CoUninitialize() {
    if (t_apartment.Exit()) {
        FreeUnusedServers();
    }
}

HRESULT OleInitialize(LPVOID pvReserved) {
    const HRESULT hr = CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) {
        ++t_apartment.oleEntries;
    }
    return hr;
}

void OleUninitialize() {
    if (t_apartment.oleEntries > 0) {
        --t_apartment.oleEntries;
        CoUninitialize();
    }
}

HRESULT OleRun(LPUNKNOWN pUnknown) {
    return pUnknown ? S_OK : E_INVALIDARG;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) {
        return E_INVALIDARG;
    }
    *ppv = nullptr;
    if (!MayCreateObjects()) {
        return CO_E_NOTINITIALIZED;
    }
    // Only in-process servers exist here; a class asked for elsewhere has no registration.
    const std::optional<std::wstring> serverPath =
        (dwClsContext & CLSCTX_INPROC_SERVER) ? InprocServerPath(rclsid) : std::nullopt;
    if (!serverPath) {
        return REGDB_E_CLASSNOTREG;
    }
    const HRESULT hr = CreateFromServer(*serverPath, rclsid, pUnkOuter, riid, ppv);
    if (FAILED(hr)) {
        *ppv = nullptr;
    }
    return hr;
}
