#include "services/AssemblyValidator.h"

#include <string>

#include "services/LibraryTrustCheck.h"
#include "services/PeImageHash.h"

CAssemblyValidator* CreateAssemblyValidator() {
    return new CAssemblyValidator;
}

bool LoadAssemblyValidator(CAssemblyValidator* pValidator) {
    if (pValidator == nullptr) {
        return false;
    }
    if (pValidator->m_hModule != nullptr) {
        return true;
    }
    // Without a known folder of its own the program has no validation library to look for.
    const std::wstring strFolder = GetModuleFolder();
    if (strFolder.empty()) {
        return false;
    }
    const std::wstring strPath = strFolder + kAssemblyValidatorFileName;
    const std::wstring strDigest = GetPeImageHashHex(strPath.c_str());
    if (strDigest.empty() || strDigest != kAssemblyValidatorDigest) {
        return false;
    }
    HMODULE hModule = LoadLibraryExW(strPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (hModule == nullptr) {
        return false;
    }
    pValidator->m_hModule = hModule;
    pValidator->m_pfnValidateAssembly = reinterpret_cast<CAssemblyValidator::PFN_VALIDATEASSEMBLY>(
        GetProcAddress(hModule, "ValidateAssembly"));
    pValidator->m_pfnValidateCertFile = GetProcAddress(hModule, "ValidateCertFile");
    return true;
}

CAssemblyValidator* GetAssemblyValidator() {
    static CAssemblyValidator* const s_pValidator = CreateAssemblyValidator();
    LoadAssemblyValidator(s_pValidator);
    return s_pValidator;
}
