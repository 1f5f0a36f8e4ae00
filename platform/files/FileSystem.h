// The files area's own plumbing, shared with the INI and shell areas: Windows path forms, the mapping
// onto the machine with Win32 error codes, and the checks the file functions make on the host.
#pragma once

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base.h"

namespace platform {

// The full Windows form of a path, as GetFullPathNameW makes it: relative paths taken from the current
// directory, slashes turned into backslashes, "." and ".." folded without leaving the root, trailing dots
// and spaces trimmed. "\\?\" paths stay as given. Empty for an empty path.
std::wstring FullWindowsPath(std::wstring_view path);
// "X:\..." (backslashes only).
bool IsDriveAbsolute(std::wstring_view path);
// A path the layer hands the program from the machine's facts: a drive-absolute one in its full form
// (backslashes only, no "." or ".."), any other as given.
std::wstring PathForProgram(std::wstring_view path);

// The process's current directory, in full Windows form.
std::wstring CurrentDirectory();
void SetCurrentDirectoryText(std::wstring fullPath);

struct CMappedPath {
    std::wstring windowsPath; // full Windows form
    std::filesystem::path hostPath;
};

// Maps a Windows path onto the machine. ERROR_SUCCESS; ERROR_INVALID_NAME for a name Windows refuses
// (also a file's name with a trailing backslash); ERROR_PATH_NOT_FOUND for a path that no drive of the
// machine holds.
DWORD MapMachinePath(std::wstring_view windowsPath, CMappedPath& mapped);

enum class EntryKind { Missing, File, Directory };
EntryKind KindOf(const std::filesystem::path& host);

// Read-only on the machine: an entry without its owner's write permission, whoever runs the process.
bool IsReadOnly(const std::filesystem::path& host);

// Why a missing entry is missing: ERROR_FILE_NOT_FOUND when its folder exists, else ERROR_PATH_NOT_FOUND.
DWORD MissingEntryError(const std::filesystem::path& host);

// Whether an entry may be made, replaced or removed in the folder of host: ERROR_SUCCESS,
// ERROR_PATH_NOT_FOUND (no such folder) or ERROR_ACCESS_DENIED (a read-only folder).
DWORD CheckFolderWritable(const std::filesystem::path& host);

// The Win32 error of a failed host call's errno.
DWORD Win32ErrorFromErrno(int error);
// The run-time's errno for a Win32 error.
int ErrnoFromWin32Error(DWORD error);

// Makes one folder (its parent must exist) or a folder with every missing level above it; ERROR_SUCCESS
// or CreateDirectoryW's error.
DWORD MakeFolder(std::wstring_view windowsPath);
DWORD MakeFolderTree(std::wstring_view windowsPath);

// FILE_ATTRIBUTE_* of an entry, or INVALID_FILE_ATTRIBUTES with the error in `error`.
DWORD AttributesOf(std::wstring_view windowsPath, DWORD& error);

// Copies text into a caller's buffer of `size` characters with Windows' truncation rule: a text that does
// not fit is cut to size - 1 characters and terminated. True when it fit.
template <typename Char> bool CopyTruncatedText(std::basic_string_view<Char> text, Char* buffer, DWORD size) {
    if (size == 0) {
        return false;
    }
    const size_t copied = std::min<size_t>(text.size(), size - 1);
    text.copy(buffer, copied);
    buffer[copied] = Char();
    return copied == text.size();
}
inline bool CopyTruncated(std::wstring_view text, LPWSTR buffer, DWORD size) {
    return CopyTruncatedText(text, buffer, size);
}
inline bool CopyTruncated(std::string_view text, LPSTR buffer, DWORD size) {
    return CopyTruncatedText(text, buffer, size);
}

} // namespace platform
