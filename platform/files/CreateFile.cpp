// CreateFileW: handles to the machine's files.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/files/Devices.h"
#include "platform/files/FileHandles.h"
#include "platform/files/FileSystem.h"

namespace {

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

struct CFileRequest {
    bool read = false;
    bool write = false;
    DWORD disposition = 0;
};

// The host's open flags for a request.
int OpenFlags(const CFileRequest& request) {
    int flags = O_CLOEXEC;
    flags |= request.read && request.write ? O_RDWR : request.write ? O_WRONLY : O_RDONLY;
    switch (request.disposition) {
    case CREATE_NEW:
        return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS:
        return flags | O_CREAT | O_TRUNC;
    case OPEN_ALWAYS:
        return flags | O_CREAT;
    case TRUNCATE_EXISTING:
        return flags | O_TRUNC;
    default:
        return flags;
    }
}

// ERROR_SUCCESS when the request may go to the host for this entry.
DWORD CheckEntry(const CFileRequest& request, const std::filesystem::path& host) {
    switch (platform::KindOf(host)) {
    case platform::EntryKind::Directory:
        return ERROR_ACCESS_DENIED;
    case platform::EntryKind::File:
        if (request.disposition == CREATE_NEW) {
            return ERROR_FILE_EXISTS;
        }
        return request.write && platform::IsReadOnly(host) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    case platform::EntryKind::Missing:
        break;
    }
    if (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING) {
        return platform::MissingEntryError(host);
    }
    return platform::CheckFolderWritable(host);
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

} // namespace

platform::CFileObject::~CFileObject() {
    close(m_descriptor);
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   SECURITY_ATTRIBUTES* lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    if (!lpFileName || dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!platform::CheckSecurityAttributes(lpSecurityAttributes)) {
        return INVALID_HANDLE_VALUE;
    }
    const DWORD access = dwDesiredAccess == GENERIC_ALL ? kReadWrite : dwDesiredAccess;
    if (hTemplateFile || (access & ~kReadWrite)) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    const CFileRequest request{(access & GENERIC_READ) != 0, (access & GENERIC_WRITE) != 0,
                               dwCreationDisposition};
    if (request.disposition == TRUNCATE_EXISTING && !request.write) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (platform::IsDevicePath(lpFileName)) {
        return platform::OpenMachineDevice(lpFileName);
    }
    platform::CMappedPath mapped;
    if (const DWORD error = platform::MapMachinePath(lpFileName, mapped); error != ERROR_SUCCESS) {
        return Fail(error);
    }
    const bool existed = platform::KindOf(mapped.hostPath) == platform::EntryKind::File;
    if (const DWORD error = CheckEntry(request, mapped.hostPath); error != ERROR_SUCCESS) {
        return Fail(error);
    }
    const int descriptor = open(mapped.hostPath.c_str(), OpenFlags(request), 0666);
    if (descriptor < 0) {
        return Fail(errno == EEXIST ? ERROR_FILE_EXISTS : platform::Win32ErrorFromErrno(errno));
    }
    HANDLE handle = platform::InsertHandle(std::make_shared<platform::CFileObject>(
        descriptor, std::move(mapped.windowsPath), request.read, request.write));
    const bool reportsExisting =
        existed && (request.disposition == CREATE_ALWAYS || request.disposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}
