#include "services/PeImageHash.h"

#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/security.h"
#include "platform/strings.h"
#include "platform/threads.h"
#include "services/LibraryTrustCheck.h"

namespace {

constexpr DWORD kBlockSize = 65536;
constexpr DWORD kDosHeaderSize = 64;
constexpr DWORD kNtHeadersSize = 248;
constexpr DWORD kNtHeadersOffsetField = 60;
constexpr DWORD kChecksumOffset = 88;
constexpr DWORD kSecurityEntryOffset = 152;
constexpr DWORD kHashSize = 32;

// A part of the file left out of the digest.
struct SSkippedPart {
    ULONGLONG nOffset;
    ULONGLONG nSize;
    bool bSkipped;
};

DWORD DwordAt(const BYTE* pBytes, DWORD nOffset) {
    DWORD nValue = 0;
    std::memcpy(&nValue, pBytes + nOffset, sizeof(nValue));
    return nValue;
}

bool SeekTo(HANDLE hFile, ULONGLONG nOffset) {
    LARGE_INTEGER position = {};
    position.QuadPart = static_cast<LONGLONG>(nOffset);
    return SetFilePointerEx(hFile, position, nullptr, FILE_BEGIN) != FALSE;
}

// Exactly nSize bytes at the offset.
bool ReadExactly(HANDLE hFile, ULONGLONG nOffset, BYTE* pBuffer, DWORD nSize) {
    DWORD nRead = 0;
    return SeekTo(hFile, nOffset) && ReadFile(hFile, pBuffer, nSize, &nRead, nullptr) && nRead == nSize;
}

// The checksum, the security directory entry and the certificate table, in the order they are skipped.
bool ReadSkippedParts(HANDLE hFile, SSkippedPart (&parts)[3]) {
    BYTE dosHeader[kDosHeaderSize];
    BYTE ntHeaders[kNtHeadersSize];
    if (!ReadExactly(hFile, 0, dosHeader, kDosHeaderSize)) {
        return false;
    }
    const ULONGLONG nNtHeaders = DwordAt(dosHeader, kNtHeadersOffsetField);
    if (!ReadExactly(hFile, nNtHeaders, ntHeaders, kNtHeadersSize)) {
        return false;
    }
    const DWORD nCertificatesSize = DwordAt(ntHeaders, kSecurityEntryOffset + 4);
    parts[0] = {nNtHeaders + kChecksumOffset, 4, false};
    parts[1] = {nNtHeaders + kSecurityEntryOffset, 8, false};
    parts[2] = {DwordAt(ntHeaders, kSecurityEntryOffset), nCertificatesSize, nCertificatesSize == 0};
    return true;
}

// Hashes the file from its start in blocks; a block is cut at the first part still to skip once the
// reading has passed that part's offset, and the reading goes on behind the part.
bool HashWithoutSkippedParts(HANDLE hFile, HCRYPTHASH hHash, SSkippedPart (&parts)[3]) {
    if (!SeekTo(hFile, 0)) {
        return false;
    }
    std::vector<BYTE> block(kBlockSize);
    ULONGLONG nPosition = 0;
    for (;;) {
        DWORD nRead = 0;
        if (!ReadFile(hFile, block.data(), kBlockSize, &nRead, nullptr)) {
            return false;
        }
        if (nRead == 0) {
            return true;
        }
        const ULONGLONG nBlockStart = nPosition;
        nPosition += nRead;
        DWORD nKept = nRead;
        for (SSkippedPart& part : parts) {
            if (part.bSkipped) {
                continue;
            }
            if (nPosition > part.nOffset) {
                nKept = part.nOffset > nBlockStart ? static_cast<DWORD>(part.nOffset - nBlockStart) : 0;
                nPosition = part.nOffset + part.nSize;
                part.bSkipped = true;
                if (!SeekTo(hFile, nPosition)) {
                    return false;
                }
            }
            break;
        }
        if (nKept > 0 && !CryptHashData(hHash, block.data(), nKept, 0)) {
            return false;
        }
    }
}

std::wstring HashValueHex(HCRYPTHASH hHash) {
    BYTE value[kHashSize] = {};
    DWORD nSize = kHashSize;
    if (!CryptGetHashParam(hHash, HP_HASHVAL, value, &nSize, 0) || nSize != kHashSize) {
        return std::wstring();
    }
    std::wstring strHex;
    for (BYTE byte : value) {
        wchar_t szByte[3] = {};
        swprintf_s(szByte, 3, L"%02X", byte);
        strHex += szByte;
    }
    return strHex;
}

std::wstring HashOpenFile(HANDLE hFile) {
    std::wstring strDigest;
    HCRYPTPROV hProvider = 0;
    if (!CryptAcquireContextW(&hProvider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        return strDigest;
    }
    HCRYPTHASH hHash = 0;
    if (CryptCreateHash(hProvider, CALG_SHA_256, 0, 0, &hHash)) {
        SSkippedPart parts[3] = {};
        if (ReadSkippedParts(hFile, parts) && HashWithoutSkippedParts(hFile, hHash, parts)) {
            strDigest = HashValueHex(hHash);
        }
        CryptDestroyHash(hHash);
    }
    CryptReleaseContext(hProvider, 0);
    return strDigest;
}

} // namespace

std::wstring GetPeImageHashHex(const wchar_t* pszPath) {
    if (pszPath == nullptr || !VerifyFileSignature(pszPath)) {
        return std::wstring();
    }
    HANDLE hFile = CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    const std::wstring strDigest = HashOpenFile(hFile);
    CloseHandle(hFile);
    return strDigest;
}
