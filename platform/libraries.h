// Libraries: loading a module the machine installs at a Windows path (a shared library, loaded with
// dlopen), finding its exports, and unloading it when the last reference goes.
#pragma once

#include "platform/base.h"

#define ERROR_BAD_EXE_FORMAT 193L

// The flags of LoadLibraryExW that have a meaning here; any other flag is refused.
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100u
#define LOAD_LIBRARY_SEARCH_APPLICATION_DIR 0x00000200u
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400u
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800u
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000u

// An export's address; callers cast it to the export's own type. (A function type without parameters
// and result, so that the cast draws no function-type warning.)
using FARPROC = void (*)();

// A path (with a backslash or slash) is loaded from there; a bare name is first matched with the
// modules already loaded, then searched in the program's folder, the system folder, the 16-bit system
// folder, the Windows folder and the current directory. ".dll" is added to a name without extension
// (a trailing dot means none). Loading the same module again gives the same handle and another
// reference. NULL with ERROR_MOD_NOT_FOUND when there is no such file, ERROR_BAD_EXE_FORMAT when the
// file is no loadable module, ERROR_PROC_NOT_FOUND when one of its imports is missing.
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
// As LoadLibraryW; hFile must be NULL. LOAD_LIBRARY_SEARCH_* flags restrict the search of a bare name
// to the folders they name; LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR needs a full path and
// LOAD_WITH_ALTERED_SEARCH_PATH does not combine with them (ERROR_INVALID_PARAMETER).
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
// An export of the module itself (not of the libraries it uses); NULL with ERROR_PROC_NOT_FOUND.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Drops one reference; the module is unloaded with the last.
BOOL FreeLibrary(HMODULE hLibModule);
