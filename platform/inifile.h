// Initialisation files (the private-profile functions). Names of sections and keys compare without regard
// to case; each call reads the file anew and each change replaces it atomically under the machine's lock.
// A file name without a folder lies in the Windows folder. New files are written as UTF-8; existing
// files keep their encoding (UTF-16LE, UTF-8 with or without BOM, or ANSI code page 1252), except that an
// ANSI file becomes UTF-8 when a value would not fit its code page.
#pragma once

#include "platform/base.h"

// lpAppName NULL lists the section names, lpKeyName NULL the keys of the section, as strings ended by a
// null each and one more null at the end.
DWORD GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                               LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName);
UINT GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName);
// lpString NULL deletes the key, lpKeyName NULL the section.
BOOL WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString, LPCWSTR lpFileName);
// The section's entries as "key=value" strings, each ended by a null, and one more null at the end.
DWORD GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName);
// Replaces the section's entries with the given "key=value" strings; lpString NULL deletes the section.
BOOL WritePrivateProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString, LPCWSTR lpFileName);
