// The maker's assembly-validation library, loaded from the program's folder only when its file's digest
// is the one fixed here; one process-wide instance.
#pragma once

#include "platform/libraries.h"

// The library's file name in the program's folder.
inline constexpr wchar_t kAssemblyValidatorFileName[] = L"Corvex.AssemblyValidation.Native.dll";
// The digest (GetPeImageHashHex) of the one validation library the program trusts.
inline constexpr wchar_t kAssemblyValidatorDigest[] =
    L"A1F4C7D2E5B8093C6F2A5D8E1B4C7F0A3D6E9B2C5F8A1D4E7B0C3F6A9D2E5B81";

class CAssemblyValidator {
public:
    // 0 when the file at the path is valid.
    using PFN_VALIDATEASSEMBLY = int (*)(const wchar_t* pszPath);

    PFN_VALIDATEASSEMBLY m_pfnValidateAssembly = nullptr;
    // Resolved with the library; never called.
    FARPROC m_pfnValidateCertFile = nullptr;
    HMODULE m_hModule = nullptr;
};

// A validator with nothing loaded.
CAssemblyValidator* CreateAssemblyValidator();
// True when the library is loaded, now or before; without the right file nothing is loaded and the
// next call tries again.
bool LoadAssemblyValidator(CAssemblyValidator* pValidator);
// The process's validator, made on the first call; each call tries to load its library.
CAssemblyValidator* GetAssemblyValidator();
