// ReadFile and SetFilePointerEx on the handles of CreateFileW.
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "platform/files.h"
#include "platform/files/FileHandles.h"
#include "platform/files/FileSystem.h"

namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

int WhenceOf(DWORD moveMethod) {
    switch (moveMethod) {
    case FILE_BEGIN:
        return SEEK_SET;
    case FILE_CURRENT:
        return SEEK_CUR;
    case FILE_END:
        return SEEK_END;
    default:
        return -1;
    }
}

} // namespace

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              OVERLAPPED* lpOverlapped) {
    if (lpNumberOfBytesRead) {
        *lpNumberOfBytesRead = 0;
    }
    if (lpOverlapped) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    const auto file = platform::LookupHandle<platform::CFileObject>(hFile);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (!lpNumberOfBytesRead || (!lpBuffer && nNumberOfBytesToRead > 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!file->IsReadable()) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    DWORD total = 0;
    auto* const bytes = static_cast<char*>(lpBuffer);
    // A regular file gives all it has up to the request; only an interruption makes a read short.
    while (total < nNumberOfBytesToRead) {
        const ssize_t got = read(file->Descriptor(), bytes + total, nNumberOfBytesToRead - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Fail(platform::Win32ErrorFromErrno(errno));
        }
        if (got == 0) {
            break;
        }
        total += static_cast<DWORD>(got);
    }
    *lpNumberOfBytesRead = total;
    return TRUE;
}

BOOL SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                      DWORD dwMoveMethod) {
    const auto file = platform::LookupHandle<platform::CFileObject>(hFile);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const int whence = WhenceOf(dwMoveMethod);
    if (whence < 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const off_t base = whence == SEEK_SET ? 0 : lseek(file->Descriptor(), 0, whence);
    if (base < 0) {
        return Fail(platform::Win32ErrorFromErrno(errno));
    }
    const LONGLONG distance = liDistanceToMove.QuadPart;
    if ((distance < 0 && base + distance < 0) ||
        (distance > 0 && base > std::numeric_limits<off_t>::max() - distance)) {
        return Fail(distance < 0 ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER);
    }
    const off_t position = lseek(file->Descriptor(), base + distance, SEEK_SET);
    if (position < 0) {
        return Fail(platform::Win32ErrorFromErrno(errno));
    }
    if (lpNewFilePointer) {
        lpNewFilePointer->QuadPart = position;
    }
    return TRUE;
}
