// WinVerifyTrust: the signature a file got when the machine installed it (fact "/fileSignatures").
#include <memory>
#include <string>

#include "platform/files/FileSystem.h"
#include "platform/internal.h"
#include "platform/security.h"
#include "platform/threads.h"

namespace platform {

namespace {

constexpr GUID kGenericVerifyV2 = WINTRUST_ACTION_GENERIC_VERIFY_V2;

// What a verification leaves for WTD_STATEACTION_CLOSE to release.
class CTrustState : public CKernelObject {};

struct CChainResult {
    const char* state;
    LONG result;
};

constexpr CChainResult kChainResults[] = {
    {"trusted", ERROR_SUCCESS},  {"incomplete", CERT_E_CHAINING}, {"untrustedRoot", CERT_E_UNTRUSTEDROOT},
    {"expired", CERT_E_EXPIRED}, {"revoked", CERT_E_REVOKED},     {"distrusted", TRUST_E_EXPLICIT_DISTRUST},
};

bool ChecksRevocation(const WINTRUST_DATA& data) {
    return data.fdwRevocationChecks != WTD_REVOKE_NONE && !(data.dwProvFlags & WTD_REVOCATION_CHECK_NONE);
}

// The result for a signature record; a record this layer does not know counts as no signature.
LONG ResultOfSignature(const nlohmann::json& signature, const WINTRUST_DATA& data) {
    const nlohmann::json chain =
        signature.is_object() ? signature.value("chain", nlohmann::json()) : nlohmann::json();
    for (const CChainResult& known : kChainResults) {
        if (chain == known.state) {
            const bool ignored = known.result == CERT_E_REVOKED && !ChecksRevocation(data);
            return ignored ? ERROR_SUCCESS : known.result;
        }
    }
    return TRUST_E_NOSIGNATURE;
}

LONG NotSigned(DWORD reason) {
    SetLastError(reason);
    return TRUST_E_NOSIGNATURE;
}

LONG VerifyFile(const WINTRUST_FILE_INFO& file, const WINTRUST_DATA& data) {
    CMappedPath mapped;
    if (const DWORD error = MapMachinePath(file.pcwszFilePath, mapped); error != ERROR_SUCCESS) {
        return NotSigned(error);
    }
    switch (KindOf(mapped.hostPath)) {
    case EntryKind::Missing:
        return NotSigned(MissingEntryError(mapped.hostPath));
    case EntryKind::Directory:
        return NotSigned(ERROR_ACCESS_DENIED);
    case EntryKind::File:
        break;
    }
    const nlohmann::json signatures = MachineFact("/fileSignatures");
    const auto found =
        signatures.is_object() ? signatures.find(ToUtf8(FoldCase(mapped.windowsPath))) : signatures.end();
    const LONG result = found == signatures.end() ? TRUST_E_NOSIGNATURE : ResultOfSignature(*found, data);
    SetLastError(static_cast<DWORD>(result));
    return result;
}

bool IsWellFormed(const WINTRUST_DATA* data) {
    return data && data->cbStruct >= sizeof(WINTRUST_DATA) && data->dwUIChoice >= WTD_UI_ALL &&
           data->dwUIChoice <= WTD_UI_NOGOOD && data->dwStateAction <= WTD_STATEACTION_CLOSE;
}

bool IsFileByPath(const WINTRUST_DATA& data) {
    return data.dwUnionChoice == WTD_CHOICE_FILE && data.pFile &&
           data.pFile->cbStruct >= sizeof(WINTRUST_FILE_INFO) && data.pFile->pcwszFilePath &&
           !data.pFile->hFile && !data.pFile->pgKnownSubject;
}

LONG CloseState(WINTRUST_DATA& data) {
    if (data.hWVTStateData && !LookupHandle<CTrustState>(data.hWVTStateData)) {
        return static_cast<LONG>(E_INVALIDARG);
    }
    if (data.hWVTStateData) {
        CloseHandle(data.hWVTStateData);
    }
    data.hWVTStateData = nullptr;
    return ERROR_SUCCESS;
}

} // namespace

} // namespace platform

LONG WinVerifyTrust(HWND hwnd, GUID* pgActionID, LPVOID pWVTData) {
    if (!pgActionID || *pgActionID != platform::kGenericVerifyV2) {
        return TRUST_E_PROVIDER_UNKNOWN;
    }
    auto* data = static_cast<WINTRUST_DATA*>(pWVTData);
    if (!platform::IsWellFormed(data)) {
        return static_cast<LONG>(E_INVALIDARG);
    }
    if (data->dwStateAction == WTD_STATEACTION_CLOSE) {
        return platform::CloseState(*data);
    }
    if (!platform::IsFileByPath(*data)) {
        return TRUST_E_SUBJECT_FORM_UNKNOWN;
    }
    const LONG result = platform::VerifyFile(*data->pFile, *data);
    if (data->dwStateAction == WTD_STATEACTION_VERIFY) {
        data->hWVTStateData = platform::InsertHandle(std::make_shared<platform::CTrustState>());
    }
    return result;
}
