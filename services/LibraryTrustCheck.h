// The check made before a foreign library is loaded into the process: the maker's validation library
// when it can itself be trusted, else the system's signature verification; and the paths it needs.
#pragma once

#include <string>

// True when the file may be loaded: the validation library accepts it (not from an x64 image path), or
// its signature verifies.
bool IsTrustedModuleFile(const wchar_t* pszPath);
// The file's signature verifies, with revocation checked for the whole chain from the cache only. A chain
// that cannot be built to a root is accepted only before Windows 8.
bool VerifyFileSignature(const wchar_t* pszPath);
// The program's own image path holds "X64" or "x64" after its first character; also true when the own
// process cannot be opened for querying, false when its path cannot be read.
bool IsImagePathX64();
// The folder of the program's own module with its trailing backslash, made absolute; empty when the
// module's path cannot be read whole.
std::wstring GetModuleFolder();
// The full form of a path; empty when it has none.
std::wstring GetFullPathString(const std::wstring& strPath);
