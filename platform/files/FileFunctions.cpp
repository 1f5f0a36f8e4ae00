// The Win32 file functions: attributes, folders, deletion and full paths.
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/files/FileSystem.h"

namespace {

// Sets the thread's last error and answers whether the call succeeded.
BOOL Succeeded(DWORD error) {
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

DWORD RemoveFile(std::wstring_view windowsPath) {
    platform::CMappedPath mapped;
    if (const DWORD error = platform::MapMachinePath(windowsPath, mapped); error != ERROR_SUCCESS) {
        return error;
    }
    switch (platform::KindOf(mapped.hostPath)) {
    case platform::EntryKind::Missing:
        return platform::MissingEntryError(mapped.hostPath);
    case platform::EntryKind::Directory:
        return ERROR_ACCESS_DENIED;
    case platform::EntryKind::File:
        break;
    }
    if (platform::IsReadOnly(mapped.hostPath)) {
        return ERROR_ACCESS_DENIED;
    }
    if (const DWORD error = platform::CheckFolderWritable(mapped.hostPath); error != ERROR_SUCCESS) {
        return error;
    }
    return unlink(mapped.hostPath.c_str()) == 0 ? ERROR_SUCCESS : platform::Win32ErrorFromErrno(errno);
}

} // namespace

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD error = ERROR_SUCCESS;
    const DWORD attributes = platform::AttributesOf(lpFileName, error);
    Succeeded(error);
    return attributes;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, void* lpSecurityAttributes) {
    return Succeeded(lpPathName ? platform::MakeFolder(lpPathName) : ERROR_INVALID_PARAMETER);
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
    return Succeeded(lpFileName ? RemoveFile(lpFileName) : ERROR_INVALID_PARAMETER);
}

DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer, LPWSTR* lpFilePart) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!*lpFileName) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    const std::wstring full = platform::FullWindowsPath(lpFileName);
    const auto length = static_cast<DWORD>(full.size());
    if (!lpBuffer || nBufferLength <= length) {
        return length + 1;
    }
    platform::CopyTruncated(full, lpBuffer, nBufferLength);
    if (lpFilePart) {
        const size_t slash = full.rfind(L'\\');
        *lpFilePart = slash == std::wstring::npos ? lpBuffer
                      : slash + 1 == full.size()  ? nullptr
                                                  : lpBuffer + slash + 1;
    }
    return length;
}
