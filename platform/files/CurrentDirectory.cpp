// The process's current directory: the folder of the process's image path until the program sets
// another. It belongs to the machine it was set on, so a process that moves to another machine starts
// over in that machine's program folder.
#include <mutex>

#include "platform/files.h"
#include "platform/files/FileSystem.h"
#include "platform/internal.h"

namespace platform {

namespace {

struct CCurrentDirectoryState {
    std::mutex lock;
    std::filesystem::path machine;
    std::wstring path;
};

CCurrentDirectoryState& State() {
    static CCurrentDirectoryState state;
    return state;
}

std::wstring StartDirectory() {
    const std::wstring image = ProcessImagePath();
    const std::wstring path = IsDriveAbsolute(image) ? FullWindowsPath(image) : std::wstring();
    if (path.empty()) {
        return L"C:\\";
    }
    const size_t slash = path.rfind(L'\\');
    return slash <= 2 ? path.substr(0, 3) : path.substr(0, slash);
}

} // namespace

std::wstring CurrentDirectory() {
    const auto machine = MachineFolderPath();
    {
        auto& state = State();
        std::lock_guard guard(state.lock);
        if (!state.path.empty() && state.machine == machine) {
            return state.path;
        }
    }
    return StartDirectory();
}

void SetCurrentDirectoryText(std::wstring fullPath) {
    auto& state = State();
    std::lock_guard guard(state.lock);
    state.machine = MachineFolderPath();
    state.path = std::move(fullPath);
}

} // namespace platform

DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
    const std::wstring current = platform::CurrentDirectory();
    const auto length = static_cast<DWORD>(current.size());
    if (!lpBuffer || nBufferLength <= length) {
        return length + 1;
    }
    current.copy(lpBuffer, current.size());
    lpBuffer[length] = L'\0';
    return length;
}

BOOL SetCurrentDirectoryW(LPCWSTR lpPathName) {
    if (!lpPathName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    platform::CMappedPath mapped;
    if (const DWORD error = platform::MapMachinePath(lpPathName, mapped); error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    switch (platform::KindOf(mapped.hostPath)) {
    case platform::EntryKind::Missing:
        SetLastError(platform::MissingEntryError(mapped.hostPath));
        return FALSE;
    case platform::EntryKind::File:
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    case platform::EntryKind::Directory:
        break;
    }
    std::wstring path = mapped.windowsPath;
    if (path.size() > 3 && path.back() == L'\\') {
        path.pop_back();
    }
    platform::SetCurrentDirectoryText(std::move(path));
    return TRUE;
}
