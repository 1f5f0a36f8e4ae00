// GetModuleFileNameW and -A: the process image's installed path on the machine, or the path a loaded module
// was loaded from.
#include "platform/files.h"
#include "platform/files/FileSystem.h"
#include "platform/internal.h"
#include "platform/libraries/LoadedModules.h"
#include "platform/strings.h"

namespace {

std::optional<std::wstring> ModuleWindowsPath(HMODULE module) {
    if (module) {
        return platform::LoadedModulePath(module);
    }
    std::wstring image = platform::ProcessImagePath();
    return image.empty() ? std::nullopt : std::optional<std::wstring>(std::move(image));
}

// Windows' rule for the module path: a path that does not fit is cut, terminated, and answers nSize.
template <typename Char> DWORD CopyModulePath(const std::basic_string<Char>& path, Char* buffer, DWORD size) {
    if (!buffer || !platform::CopyTruncated(path, buffer, size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return buffer ? size : 0;
    }
    return static_cast<DWORD>(path.size());
}

} // namespace

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    const auto path = ModuleWindowsPath(hModule);
    if (!path) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return CopyModulePath(*path, lpFilename, nSize);
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    const auto path = ModuleWindowsPath(hModule);
    if (!path) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::string narrow = platform::WideToCodePage(*path, CP_ACP);
    return CopyModulePath(narrow, lpFilename, nSize);
}
