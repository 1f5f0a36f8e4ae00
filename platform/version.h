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
