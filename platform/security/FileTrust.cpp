// WinVerifyTrust: the signature a file got when the machine installed it (fact "/fileSignatures"), and the
// digest of the signed bytes that it holds.
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// The parts of a PE image that its signature leaves out, in the PE headers.
constexpr size_t kPeHeaderOffsetField = 60;
constexpr size_t kChecksumOffset = 88;
constexpr size_t kOptionalMagicOffset = 24;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kSecurityEntryOffset = 152;
constexpr size_t kSecurityEntryOffsetPlus = 168;
constexpr size_t kSecurityEntrySize = 8;

std::uint32_t ReadU32(std::string_view bytes, size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof(value));
    return value;
}

// The byte ranges a signature does not cover, in file order; none for a file that is no PE image.
std::vector<std::pair<size_t, size_t>> UnsignedRanges(std::string_view bytes) {
    if (bytes.size() < kPeHeaderOffsetField + 4 || !bytes.starts_with("MZ")) {
        return {};
    }
    const size_t headers = ReadU32(bytes, kPeHeaderOffsetField);
    if (headers > bytes.size() || bytes.size() - headers < kSecurityEntryOffsetPlus + kSecurityEntrySize ||
        bytes.substr(headers, 4) != std::string_view("PE\0\0", 4)) {
        return {};
    }
    std::uint16_t magic = 0;
    std::memcpy(&magic, bytes.data() + headers + kOptionalMagicOffset, sizeof(magic));
    const size_t entry =
        headers + (magic == kPe32PlusMagic ? kSecurityEntryOffsetPlus : kSecurityEntryOffset);
    std::vector<std::pair<size_t, size_t>> ranges = {{headers + kChecksumOffset, 4},
                                                     {entry, kSecurityEntrySize}};
    const size_t certificates = ReadU32(bytes, entry);
    const size_t certificatesSize = ReadU32(bytes, entry + 4);
    if (certificatesSize > 0 && certificates >= entry + kSecurityEntrySize && certificates <= bytes.size() &&
        certificatesSize <= bytes.size() - certificates) {
        ranges.emplace_back(certificates, certificatesSize);
    }
    return ranges;
}

std::string HexOf(const BYTE* data, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += kDigits[data[i] >> 4];
        hex += kDigits[data[i] & 0xF];
    }
    return hex;
}

// SHA-256 through the layer's own cryptographic provider.
std::optional<std::string> DigestOfSignedBytes(std::string_view bytes) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        return std::nullopt;
    }
    HCRYPTHASH hash = 0;
    bool hashed = CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) != FALSE;
    size_t at = 0;
    const auto hashUpTo = [&](size_t end) {
        hashed = hashed && CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()) + at,
                                         static_cast<DWORD>(end - at), 0);
    };
    for (const auto& [begin, size] : UnsignedRanges(bytes)) {
        hashUpTo(begin);
        at = begin + size;
    }
    hashUpTo(bytes.size());
    BYTE value[32] = {};
    DWORD length = sizeof(value);
    hashed = hashed && CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0);
    if (hash) {
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return hashed ? std::optional(HexOf(value, length)) : std::nullopt;
}

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

bool HoldsTheSignedBytes(const nlohmann::json& signature, const std::filesystem::path& host) {
    const auto digest = SignedFileDigest(host);
    return digest && signature.value("digest", nlohmann::json()) == *digest;
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
    const bool hasRecord = found != signatures.end() && found->is_object();
    const LONG result = !hasRecord                                      ? TRUST_E_NOSIGNATURE
                        : !HoldsTheSignedBytes(*found, mapped.hostPath) ? TRUST_E_BAD_DIGEST
                                                                        : ResultOfSignature(*found, data);
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

std::optional<std::string> SignedFileDigest(const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::is_symlink(file, ec)) {
        const std::filesystem::path target = std::filesystem::canonical(file, ec);
        if (!ec && target.parent_path() == PlatformLibraryDirectory()) {
            return "module:" + target.filename().string();
        }
    }
    const auto bytes = ReadWholeFile(file);
    return bytes ? DigestOfSignedBytes(*bytes) : std::nullopt;
}

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
