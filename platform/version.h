// File version information: the version block of a file the machine installs with a version (its
// profile's "version"), and the fixed part of that block.
#pragma once

#include "platform/base.h"

using PUINT = UINT*;

#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VS_FFI_FILEFLAGSMASK 0x0000003Fu
#define VOS_NT_WINDOWS32 0x00040004u
#define VFT_UNKNOWN 0x00000000u
#define VFT_APP 0x00000001u
#define VFT_DLL 0x00000002u
#define VFT_DRV 0x00000003u

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// The size of the file's version block; 0 with ERROR_FILE_NOT_FOUND (or ERROR_PATH_NOT_FOUND) for a
// missing file, ERROR_RESOURCE_TYPE_NOT_FOUND for a file without version data. *lpdwHandle is set to 0.
DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle);
// Copies the version block; dwHandle is ignored. ERROR_INSUFFICIENT_BUFFER when dwLen is too small.
BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
// "\" gives the block's VS_FIXEDFILEINFO; the block holds no string or translation tables, so any other
// sub-block fails with ERROR_RESOURCE_TYPE_NOT_FOUND.
BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);

// ---- The Windows version test ----
// VerifyVersionInfoW compares with the machine's Windows version (facts "/windows/major", "/minor",
// "/build", "/servicePackMajor", "/servicePackMinor"; a missing part counts as 0).
#define VER_MINORVERSION 0x00000001u
#define VER_MAJORVERSION 0x00000002u
#define VER_BUILDNUMBER 0x00000004u
#define VER_PLATFORMID 0x00000008u
#define VER_SERVICEPACKMINOR 0x00000010u
#define VER_SERVICEPACKMAJOR 0x00000020u
#define VER_SUITENAME 0x00000040u
#define VER_PRODUCT_TYPE 0x00000080u

#define VER_EQUAL 1
#define VER_GREATER 2
#define VER_GREATER_EQUAL 3
#define VER_LESS 4
#define VER_LESS_EQUAL 5
#define VER_AND 6
#define VER_OR 7

#define VER_PLATFORM_WIN32_NT 2

#ifndef ERROR_OLD_WIN_VERSION
#define ERROR_OLD_WIN_VERSION 1150L
#endif

using DWORDLONG = ULONGLONG;

struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
using LPOSVERSIONINFOEXW = OSVERSIONINFOEXW*;

// Sets the condition of each type bit of TypeMask in the mask (three bits a type).
ULONGLONG VerSetConditionMask(ULONGLONG ConditionMask, DWORD TypeMask, BYTE Condition);
// TRUE when the machine's version meets every condition of dwTypeMask. Major, minor and service-pack
// versions are compared together, highest first, with the condition of the highest one given (so 10.0
// is greater than 6.2); the build number and the platform on their own. FALSE with
// ERROR_OLD_WIN_VERSION when a condition is not met; ERROR_INVALID_PARAMETER for a wrong structure
// size, an empty type mask, a type without a condition; ERROR_NOT_SUPPORTED for the suite and product
// type, which the machine does not describe.
BOOL VerifyVersionInfoW(LPOSVERSIONINFOEXW lpVersionInformation, DWORD dwTypeMask,
                        DWORDLONG dwlConditionMask);
