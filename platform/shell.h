// The shell: known folders of the machine's user and system, the path helpers the program uses, and URIs
// opened with the application their scheme is registered to.
#pragma once

#include "platform/base.h"
#include "platform/com.h"

struct HWND__;
using HWND = HWND__*;

using KNOWNFOLDERID = GUID;
using REFKNOWNFOLDERID = const KNOWNFOLDERID&;

extern const KNOWNFOLDERID FOLDERID_ProgramData;
extern const KNOWNFOLDERID FOLDERID_LocalAppData;
extern const KNOWNFOLDERID FOLDERID_LocalAppDataLow;
extern const KNOWNFOLDERID FOLDERID_RoamingAppData;
extern const KNOWNFOLDERID FOLDERID_System;
extern const KNOWNFOLDERID FOLDERID_Windows;
extern const KNOWNFOLDERID FOLDERID_Profile;

#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_WINDOWS 0x0024
#define CSIDL_SYSTEM 0x0025
#define CSIDL_PROFILE 0x0028
#define CSIDL_FLAG_DONT_VERIFY 0x4000
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00

#define SHGFP_TYPE_CURRENT 0
#define SHGFP_TYPE_DEFAULT 1

#define KF_FLAG_DEFAULT 0x00000000u
#define KF_FLAG_DONT_VERIFY 0x00004000u
#define KF_FLAG_CREATE 0x00008000u

// pszPath holds MAX_PATH characters. Without CSIDL_FLAG_CREATE a missing folder fails with
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); hToken must be NULL (the logged-on user).
HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath);
// The path is allocated with CoTaskMemAlloc; *ppszPath is NULL on failure.
HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID rfid, DWORD dwFlags, HANDLE hToken, PWSTR* ppszPath);

BOOL PathFileExistsW(LPCWSTR pszPath);

// ShellExecuteW's failures, answered as its HINSTANCE; success answers a value greater than 32.
#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31
#define ERROR_NO_ASSOCIATION 1155L

// Opens a URI ("scheme:rest", the scheme two or more characters, so that "C:" stays a drive) with the
// open or default verb, when its scheme is registered for the shell (HKEY_CLASSES_ROOT\scheme with a
// "URL Protocol" value); the act is recorded as a "shell.execute" event with the URI and the show
// command. An unregistered scheme or another verb answers SE_ERR_NOASSOC; files and programs are not
// opened (SE_ERR_FNF). The owner window, parameters and folder are not used for a URI.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, INT nShowCmd);
