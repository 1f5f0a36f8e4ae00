// The cryptographic service provider's hashes: one verify-only provider hashing with SHA-256 (the host's
// libcrypto). Providers and hashes are objects of the handle table.
#include <openssl/evp.h>

#include <cstring>
#include <memory>
#include <mutex>

#include "platform/security.h"
#include "platform/threads.h"

namespace platform {

namespace {

constexpr DWORD kSha256Size = 32;

// The provider's errors are HRESULTs, set as the last error.
BOOL Fail(HRESULT error) {
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
}

class CCryptProvider : public CKernelObject {};

class CCryptHash : public CKernelObject {
public:
    CCryptHash() : m_context(EVP_MD_CTX_new()) {
        m_ready = m_context && EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) == 1;
    }
    bool IsReady() const { return m_ready; }

    BOOL Add(const BYTE* data, DWORD size) {
        std::lock_guard guard(m_lock);
        if (m_finished) {
            return Fail(NTE_BAD_HASH_STATE);
        }
        return EVP_DigestUpdate(m_context.get(), data, size) == 1 ? TRUE : Fail(NTE_BAD_HASH);
    }

    // The value, finishing the hash on the first read.
    BOOL Value(BYTE (&value)[kSha256Size]) {
        std::lock_guard guard(m_lock);
        if (!m_finished) {
            unsigned int size = 0;
            if (EVP_DigestFinal_ex(m_context.get(), m_value, &size) != 1 || size != kSha256Size) {
                return Fail(NTE_BAD_HASH);
            }
            m_finished = true;
        }
        std::memcpy(value, m_value, kSha256Size);
        return TRUE;
    }

private:
    struct CContextFree {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::mutex m_lock;
    std::unique_ptr<EVP_MD_CTX, CContextFree> m_context;
    bool m_ready = false;
    bool m_finished = false;
    BYTE m_value[kSha256Size] = {};
};

HANDLE AsHandle(ULONG_PTR value) {
    return reinterpret_cast<HANDLE>(value);
}

ULONG_PTR AsValue(HANDLE handle) {
    return reinterpret_cast<ULONG_PTR>(handle);
}

// The size rules of CryptGetHashParam: the size needed is always answered; a null buffer only asks
// for it, a smaller one fails. True when the value may be copied.
bool FitsParameter(DWORD size, BYTE* buffer, DWORD* bufferSize, BOOL& result) {
    const DWORD available = *bufferSize;
    *bufferSize = size;
    result = buffer ? FALSE : TRUE;
    if (buffer && available < size) {
        SetLastError(ERROR_MORE_DATA);
    }
    return buffer && available >= size;
}

BOOL CopyParameter(const void* value, DWORD size, BYTE* buffer, DWORD* bufferSize) {
    BOOL result = FALSE;
    if (!FitsParameter(size, buffer, bufferSize, result)) {
        return result;
    }
    std::memcpy(buffer, value, size);
    return TRUE;
}

} // namespace

} // namespace platform

BOOL CryptAcquireContextW(HCRYPTPROV* phProv, LPCWSTR szContainer, LPCWSTR szProvider, DWORD dwProvType,
                          DWORD dwFlags) {
    using platform::Fail;
    if (!phProv) {
        return Fail(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
    }
    *phProv = 0;
    if (dwFlags & ~CRYPT_VERIFYCONTEXT) {
        return Fail(NTE_BAD_FLAGS);
    }
    if (szProvider) {
        return Fail(NTE_KEYSET_NOT_DEF);
    }
    if (dwProvType != PROV_RSA_AES) {
        return Fail(NTE_BAD_PROV_TYPE);
    }
    if (szContainer || dwFlags != CRYPT_VERIFYCONTEXT) {
        return Fail(NTE_BAD_KEYSET);
    }
    *phProv = platform::AsValue(platform::InsertHandle(std::make_shared<platform::CCryptProvider>()));
    return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags) {
    using platform::Fail;
    if (!platform::LookupHandle<platform::CCryptProvider>(platform::AsHandle(hProv))) {
        return Fail(NTE_BAD_UID);
    }
    if (dwFlags) {
        return Fail(NTE_BAD_FLAGS);
    }
    return CloseHandle(platform::AsHandle(hProv));
}

BOOL CryptCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags, HCRYPTHASH* phHash) {
    using platform::Fail;
    if (!phHash) {
        return Fail(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
    }
    *phHash = 0;
    if (!platform::LookupHandle<platform::CCryptProvider>(platform::AsHandle(hProv))) {
        return Fail(NTE_BAD_UID);
    }
    if (Algid != CALG_SHA_256) {
        return Fail(NTE_BAD_ALGID);
    }
    if (hKey) {
        return Fail(NTE_BAD_KEY);
    }
    if (dwFlags) {
        return Fail(NTE_BAD_FLAGS);
    }
    auto hash = std::make_shared<platform::CCryptHash>();
    if (!hash->IsReady()) {
        return Fail(HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY));
    }
    *phHash = platform::AsValue(platform::InsertHandle(std::move(hash)));
    return TRUE;
}

BOOL CryptHashData(HCRYPTHASH hHash, const BYTE* pbData, DWORD dwDataLen, DWORD dwFlags) {
    using platform::Fail;
    const auto hash = platform::LookupHandle<platform::CCryptHash>(platform::AsHandle(hHash));
    if (!hash) {
        return Fail(NTE_BAD_HASH);
    }
    if (dwFlags) {
        return Fail(NTE_BAD_FLAGS);
    }
    if (!pbData && dwDataLen > 0) {
        return Fail(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
    }
    return hash->Add(pbData, dwDataLen);
}

BOOL CryptGetHashParam(HCRYPTHASH hHash, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen, DWORD dwFlags) {
    using platform::Fail;
    const auto hash = platform::LookupHandle<platform::CCryptHash>(platform::AsHandle(hHash));
    if (!hash) {
        return Fail(NTE_BAD_HASH);
    }
    if (dwFlags) {
        return Fail(NTE_BAD_FLAGS);
    }
    if (!pdwDataLen) {
        return Fail(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
    }
    switch (dwParam) {
    case HP_ALGID: {
        const ALG_ID algorithm = CALG_SHA_256;
        return platform::CopyParameter(&algorithm, sizeof(algorithm), pbData, pdwDataLen);
    }
    case HP_HASHSIZE: {
        const DWORD size = platform::kSha256Size;
        return platform::CopyParameter(&size, sizeof(size), pbData, pdwDataLen);
    }
    case HP_HASHVAL: {
        BOOL result = FALSE;
        BYTE value[platform::kSha256Size];
        if (!platform::FitsParameter(platform::kSha256Size, pbData, pdwDataLen, result)) {
            return result;
        }
        return hash->Value(value) && platform::CopyParameter(value, sizeof(value), pbData, pdwDataLen);
    }
    default:
        return Fail(NTE_BAD_TYPE);
    }
}

BOOL CryptDestroyHash(HCRYPTHASH hHash) {
    using platform::Fail;
    if (!platform::LookupHandle<platform::CCryptHash>(platform::AsHandle(hHash))) {
        return Fail(NTE_BAD_HASH);
    }
    return CloseHandle(platform::AsHandle(hHash));
}
