// The shell's path helpers.
#include "platform/files.h"
#include "platform/shell.h"

BOOL PathFileExistsW(LPCWSTR pszPath) {
    return pszPath && GetFileAttributesW(pszPath) != INVALID_FILE_ATTRIBUTES ? TRUE : FALSE;
}
