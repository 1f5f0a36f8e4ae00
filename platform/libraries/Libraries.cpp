#include "platform/libraries.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/internal.h"
#include "platform/libraries/LoadedModules.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                               LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                               LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
constexpr DWORD kKnownFlags = LOAD_WITH_ALTERED_SEARCH_PATH | kSearchFlags;

// One loaded module: one dlopen reference, released with the entry.
class CLoadedModule {
public:
    CLoadedModule(void* library, std::wstring windowsPath)
        : m_library(library), m_windowsPath(std::move(windowsPath)) {}
    ~CLoadedModule() { dlclose(m_library); }
    CLoadedModule(const CLoadedModule&) = delete;
    CLoadedModule& operator=(const CLoadedModule&) = delete;

    void* Library() const { return m_library; }
    const std::wstring& WindowsPath() const { return m_windowsPath; }
    unsigned references = 1;

private:
    void* m_library;
    std::wstring m_windowsPath;
};

// The process's modules. HMODULE is the address of an entry. The table is never destroyed, so that
// objects of loaded modules can still be released while the process exits.
class CModuleTable {
public:
    static CModuleTable& Instance() {
        static auto* table = new CModuleTable;
        return *table;
    }

    // Adds a reference for a dlopen'ed library: the entry it already has, or a new one.
    HMODULE Add(void* library, const std::wstring& windowsPath) {
        std::unique_lock guard(m_lock);
        for (const auto& module : m_modules) {
            if (module->Library() == library) {
                ++module->references;
                guard.unlock();
                dlclose(library); // the entry holds its own dlopen reference
                return module.get();
            }
        }
        m_modules.push_back(std::make_unique<CLoadedModule>(library, windowsPath));
        return m_modules.back().get();
    }

    // A loaded module whose file name (with extension) is the given one, with another reference.
    HMODULE AddReferenceByFileName(std::wstring_view fileName) {
        std::lock_guard guard(m_lock);
        for (const auto& module : m_modules) {
            if (platform::EqualsNoCase(FileNameOf(module->WindowsPath()), fileName)) {
                ++module->references;
                return module.get();
            }
        }
        return nullptr;
    }

    void* LibraryOf(HMODULE handle) {
        std::lock_guard guard(m_lock);
        const auto found = Find(handle);
        return found == m_modules.end() ? nullptr : (*found)->Library();
    }

    std::optional<std::wstring> WindowsPathOf(HMODULE handle) {
        std::lock_guard guard(m_lock);
        const auto found = Find(handle);
        return found == m_modules.end() ? std::nullopt : std::optional((*found)->WindowsPath());
    }

    bool Release(HMODULE handle) {
        std::unique_ptr<CLoadedModule> unloaded;
        {
            std::lock_guard guard(m_lock);
            const auto found = Find(handle);
            if (found == m_modules.end()) {
                return false;
            }
            if (--(*found)->references == 0) {
                unloaded = std::move(*found);
                m_modules.erase(found);
            }
        }
        // Unloaded outside the lock: the module's own clean-up may load or free libraries.
        return true;
    }

    static std::wstring_view FileNameOf(std::wstring_view path) {
        const size_t separator = path.find_last_of(L"\\/");
        return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
    }

private:
    std::vector<std::unique_ptr<CLoadedModule>>::iterator Find(HMODULE handle) {
        return std::find_if(m_modules.begin(), m_modules.end(),
                            [handle](const auto& module) { return module.get() == handle; });
    }

    std::mutex m_lock;
    std::vector<std::unique_ptr<CLoadedModule>> m_modules;
};

bool IsPath(std::wstring_view name) {
    return name.find_first_of(L"\\/") != std::wstring_view::npos;
}

bool IsFullPath(std::wstring_view name) {
    const bool drive = name.size() >= 3 && name[1] == L':' && (name[2] == L'\\' || name[2] == L'/');
    return drive || name.starts_with(L"\\\\");
}

// ".dll" for a file name without extension; a trailing dot stands for "no extension".
std::wstring WithDefaultExtension(std::wstring_view name) {
    const std::wstring_view fileName = CModuleTable::FileNameOf(name);
    if (fileName.ends_with(L'.')) {
        return std::wstring(name.substr(0, name.size() - 1));
    }
    if (fileName.find(L'.') == std::wstring_view::npos) {
        return std::wstring(name) + L".dll";
    }
    return std::wstring(name);
}

std::wstring FactText(std::string_view pointer, std::wstring_view fallback) {
    const nlohmann::json fact = platform::MachineFact(pointer);
    return fact.is_string() ? platform::FromUtf8(fact.get<std::string>()) : std::wstring(fallback);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// The folders a bare name is looked for in, in order; the current directory is an empty folder.
std::vector<std::wstring> SearchFolders(DWORD flags) {
    const std::wstring program = FolderOf(platform::ProcessImagePath());
    const std::wstring system = FactText("/folders/system", L"C:\\Windows\\System32");
    const std::wstring windows = FactText("/folders/windows", L"C:\\Windows");
    std::vector<std::wstring> folders;
    if (!(flags & kSearchFlags)) {
        folders = {program, system, windows + L"\\System", windows, L""};
        if (program.empty()) {
            folders.erase(folders.begin());
        }
        return folders;
    }
    const bool defaults = flags & LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if ((defaults || (flags & LOAD_LIBRARY_SEARCH_APPLICATION_DIR)) && !program.empty()) {
        folders.push_back(program);
    }
    if (defaults || (flags & LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        folders.push_back(system);
    }
    return folders;
}

enum class Lookup { Found, Missing, Denied };

// The module's file; `mapped` holds its full Windows path, as the module keeps it.
Lookup Locate(const std::wstring& windowsPath, platform::CMappedPath& mapped) {
    std::error_code ec;
    if (platform::MapMachinePath(windowsPath, mapped) != ERROR_SUCCESS || !fs::exists(mapped.hostPath, ec)) {
        return Lookup::Missing;
    }
    return fs::is_directory(mapped.hostPath, ec) ? Lookup::Denied : Lookup::Found;
}

DWORD ErrorOfFailedLoad(const char* reason) {
    const std::string_view text = reason ? reason : "";
    if (text.find("undefined symbol") != std::string_view::npos) {
        return ERROR_PROC_NOT_FOUND;
    }
    if (text.find("cannot open shared object file") != std::string_view::npos) {
        return ERROR_MOD_NOT_FOUND; // a library it needs is missing
    }
    return ERROR_BAD_EXE_FORMAT;
}

HMODULE Open(const fs::path& hostPath, const std::wstring& windowsPath) {
    void* library = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        SetLastError(ErrorOfFailedLoad(dlerror()));
        return nullptr;
    }
    return CModuleTable::Instance().Add(library, windowsPath);
}

HMODULE LoadFromPath(const std::wstring& windowsPath) {
    platform::CMappedPath mapped;
    switch (Locate(windowsPath, mapped)) {
    case Lookup::Found:
        return Open(mapped.hostPath, mapped.windowsPath);
    case Lookup::Denied:
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    case Lookup::Missing:
        break;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HMODULE LoadByName(const std::wstring& fileName, DWORD flags) {
    if (HMODULE loaded = CModuleTable::Instance().AddReferenceByFileName(fileName)) {
        return loaded;
    }
    for (const std::wstring& folder : SearchFolders(flags)) {
        const std::wstring candidate = folder.empty() ? fileName : folder + L"\\" + fileName;
        platform::CMappedPath mapped;
        if (Locate(candidate, mapped) == Lookup::Found) {
            return Open(mapped.hostPath, mapped.windowsPath);
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

bool FlagsAreValid(std::wstring_view name, DWORD flags) {
    if (flags & ~kKnownFlags) {
        return false;
    }
    if ((flags & LOAD_WITH_ALTERED_SEARCH_PATH) && (flags & kSearchFlags)) {
        return false;
    }
    return !(flags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) || IsFullPath(name);
}

} // namespace

std::optional<std::wstring> platform::LoadedModulePath(HMODULE module) {
    return CModuleTable::Instance().WindowsPathOf(module);
}

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
    return LoadLibraryExW(lpLibFileName, nullptr, 0);
}

HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
    if (!lpLibFileName || !*lpLibFileName || hFile || !FlagsAreValid(lpLibFileName, dwFlags)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::wstring name = WithDefaultExtension(lpLibFileName);
    return IsPath(name) ? LoadFromPath(name) : LoadByName(name, dwFlags);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    // An ordinal (a "name" below 0x10000): the modules here export none. The process image exports nothing.
    if (!hModule || reinterpret_cast<ULONG_PTR>(lpProcName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* library = CModuleTable::Instance().LibraryOf(hModule);
    if (!library) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // dlsym also finds what the module's own libraries define; only the module's own symbols are exports.
    void* symbol = dlsym(library, lpProcName);
    Dl_info info{};
    link_map* owner = nullptr;
    link_map* self = nullptr;
    if (!symbol || !dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) ||
        dlinfo(library, RTLD_DI_LINKMAP, &self) != 0 || owner != self) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE hLibModule) {
    if (!CModuleTable::Instance().Release(hLibModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}
