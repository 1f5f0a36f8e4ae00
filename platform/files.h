// Files and paths: the module path, the current directory, full paths, attributes, folders, deletion, file
// handles and the run-time's wide file functions. Paths are Windows paths on the machine's C: drive.
#pragma once

#include <cstdio>

#include "platform/base.h"
#include "platform/time.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define ERROR_DIRECTORY 267L

// CreateFileW's share modes and dispositions.
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
// A hint of CreateFileW's flags; like the attributes of a new file it changes nothing here.
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u

// SetFilePointerEx's starting points.
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define ERROR_NEGATIVE_SEEK 131L

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

struct SECURITY_ATTRIBUTES;
// A handle to a file of the machine (closed with CloseHandle). Access is GENERIC_READ, GENERIC_WRITE, both
// (GENERIC_ALL) or 0; other rights, a template file and security descriptors fail with
// ERROR_NOT_SUPPORTED. The dispositions and their last errors are Windows' (ERROR_ALREADY_EXISTS after
// CREATE_ALWAYS or OPEN_ALWAYS of an existing file, ERROR_FILE_EXISTS for CREATE_NEW); a folder or a
// read-only file opened for writing gives ERROR_ACCESS_DENIED. Share modes are accepted and not enforced:
// the host has no mandatory sharing. INVALID_HANDLE_VALUE on failure. A device path ("\\.\Name") opens
// one of the machine's driver devices (fact "/devices") whatever the disposition, else fails with
// ERROR_FILE_NOT_FOUND.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   SECURITY_ATTRIBUTES* lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

struct OVERLAPPED;
// Reads at the handle's file position and moves it on; at the end of the file it succeeds with 0 bytes.
// Synchronous only (lpOverlapped must be NULL, else ERROR_NOT_SUPPORTED); a handle opened without
// GENERIC_READ gives ERROR_ACCESS_DENIED, one that is no file ERROR_INVALID_HANDLE.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              OVERLAPPED* lpOverlapped);
// Moves the file position; a position beyond the end is allowed, one before the start fails with
// ERROR_NEGATIVE_SEEK.
BOOL SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                      DWORD dwMoveMethod);

// The run-time's functions: results and errno values as the Windows C run-time sets them.
errno_t _waccess_s(const wchar_t* path, int mode);
int _waccess(const wchar_t* path, int mode);
int _wmkdir(const wchar_t* dirname);
FILE* _wfopen(const wchar_t* filename, const wchar_t* mode);
errno_t _wfopen_s(FILE** pFile, const wchar_t* filename, const wchar_t* mode);
errno_t _wsplitpath_s(const wchar_t* path, wchar_t* drive, size_t driveNumberOfElements, wchar_t* dir,
                      size_t dirNumberOfElements, wchar_t* fname, size_t nameNumberOfElements, wchar_t* ext,
                      size_t extNumberOfElements);
