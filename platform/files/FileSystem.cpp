// Host checks behind the file functions, with the Win32 and run-time errors they answer.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/files/FileSystem.h"

namespace platform {

namespace fs = std::filesystem;

EntryKind KindOf(const fs::path& host) {
    struct stat info {};
    if (stat(host.c_str(), &info) != 0) {
        return EntryKind::Missing;
    }
    return S_ISDIR(info.st_mode) ? EntryKind::Directory : EntryKind::File;
}

bool IsReadOnly(const fs::path& host) {
    struct stat info {};
    return stat(host.c_str(), &info) == 0 &&
           ((info.st_mode & S_IWUSR) == 0 || access(host.c_str(), W_OK) != 0);
}

DWORD MissingEntryError(const fs::path& host) {
    return KindOf(host.parent_path()) == EntryKind::Directory ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD CheckFolderWritable(const fs::path& host) {
    const fs::path folder = host.parent_path();
    if (KindOf(folder) != EntryKind::Directory) {
        return ERROR_PATH_NOT_FOUND;
    }
    return IsReadOnly(folder) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

DWORD Win32ErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

int ErrnoFromWin32Error(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return EEXIST;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_NOT_ENOUGH_MEMORY:
        return ENOMEM;
    default:
        return EINVAL;
    }
}

DWORD MakeFolder(std::wstring_view windowsPath) {
    CMappedPath mapped;
    if (const DWORD error = MapMachinePath(windowsPath, mapped); error != ERROR_SUCCESS) {
        return error;
    }
    if (KindOf(mapped.hostPath) != EntryKind::Missing) {
        return ERROR_ALREADY_EXISTS;
    }
    if (const DWORD error = CheckFolderWritable(mapped.hostPath); error != ERROR_SUCCESS) {
        return error;
    }
    return mkdir(mapped.hostPath.c_str(), 0755) == 0 ? ERROR_SUCCESS : Win32ErrorFromErrno(errno);
}

DWORD MakeFolderTree(std::wstring_view windowsPath) {
    const std::wstring full = FullWindowsPath(windowsPath);
    if (!IsDriveAbsolute(full)) {
        return ERROR_PATH_NOT_FOUND;
    }
    // Each level from the drive's root down, the folder itself last.
    for (size_t end = full.find(L'\\', 3);; end = full.find(L'\\', end + 1)) {
        const DWORD error = MakeFolder(std::wstring_view(full).substr(0, end));
        if (error != ERROR_SUCCESS && error != ERROR_ALREADY_EXISTS) {
            return error;
        }
        if (end == std::wstring::npos) {
            break;
        }
    }
    DWORD error = ERROR_SUCCESS;
    const DWORD attributes = AttributesOf(full, error);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
               ? ERROR_SUCCESS
               : ERROR_ALREADY_EXISTS;
}

DWORD AttributesOf(std::wstring_view windowsPath, DWORD& error) {
    CMappedPath mapped;
    error = MapMachinePath(windowsPath, mapped);
    if (error != ERROR_SUCCESS) {
        return INVALID_FILE_ATTRIBUTES;
    }
    const EntryKind kind = KindOf(mapped.hostPath);
    if (kind == EntryKind::Missing) {
        error = MissingEntryError(mapped.hostPath);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = kind == EntryKind::Directory ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (IsReadOnly(mapped.hostPath)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

} // namespace platform
