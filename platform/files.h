// Files and paths: the module path, the current directory, full paths, attributes, folders, deletion and
// the run-time's wide file functions. Paths are Windows paths on the machine's C: drive.
#pragma once

#include <cstdio>

#include "platform/base.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define ERROR_DIRECTORY 267L

// Buffer sizes of _wsplitpath_s, in characters.
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

// The installed path of the process image (hModule null); a module the layer loaded answers its own path.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
// The same path in the machine's ANSI code page.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer);
BOOL SetCurrentDirectoryW(LPCWSTR lpPathName);
DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer, LPWSTR* lpFilePart);

DWORD GetFileAttributesW(LPCWSTR lpFileName);
BOOL CreateDirectoryW(LPCWSTR lpPathName, void* lpSecurityAttributes);
BOOL DeleteFileW(LPCWSTR lpFileName);

// The run-time's functions: results and errno values as the Windows C run-time sets them.
errno_t _waccess_s(const wchar_t* path, int mode);
int _waccess(const wchar_t* path, int mode);
int _wmkdir(const wchar_t* dirname);
FILE* _wfopen(const wchar_t* filename, const wchar_t* mode);
errno_t _wfopen_s(FILE** pFile, const wchar_t* filename, const wchar_t* mode);
errno_t _wsplitpath_s(const wchar_t* path, wchar_t* drive, size_t driveNumberOfElements, wchar_t* dir,
                      size_t dirNumberOfElements, wchar_t* fname, size_t nameNumberOfElements, wchar_t* ext,
                      size_t extNumberOfElements);
