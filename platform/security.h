// Security: the process's access token and the logon session it belongs to; hashes of the cryptographic
// service provider; the signature verification of files. The session's logon time comes from the
// machine's fact "/session/logonSecondsBeforeStart" (the user logged on that many seconds before the
// process started; a negative number puts the logon after the start). Without the fact the session has no
// data; with "/session/token" "denied" the token cannot be opened.
#pragma once

#include "platform/base.h"
#include "platform/com.h"
#include "platform/time.h"

// ---- Access tokens ----
#define TOKEN_QUERY 0x0008u

struct LUID {
    DWORD LowPart;
    LONG HighPart;
};
using PLUID = LUID*;

enum TOKEN_INFORMATION_CLASS {
    TokenUser = 1,
    TokenGroups = 2,
    TokenPrivileges = 3,
    TokenOwner = 4,
    TokenPrimaryGroup = 5,
    TokenDefaultDacl = 6,
    TokenSource = 7,
    TokenType = 8,
    TokenImpersonationLevel = 9,
    TokenStatistics = 10
};

enum TOKEN_TYPE { TokenPrimary = 1, TokenImpersonation = 2 };

enum SECURITY_IMPERSONATION_LEVEL {
    SecurityAnonymous = 0,
    SecurityIdentification = 1,
    SecurityImpersonation = 2,
    SecurityDelegation = 3
};

struct TOKEN_STATISTICS {
    LUID TokenId;
    LUID AuthenticationId;
    LARGE_INTEGER ExpirationTime;
    TOKEN_TYPE TokenType;
    SECURITY_IMPERSONATION_LEVEL ImpersonationLevel;
    DWORD DynamicCharged;
    DWORD DynamicAvailable;
    DWORD GroupCount;
    DWORD PrivilegeCount;
    LUID ModifiedId;
};

// Only the calling process's token (GetCurrentProcess() or a handle to the calling process); the handle
// is closed with CloseHandle.
BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, HANDLE* TokenHandle);
// TokenStatistics only (other classes fail with ERROR_INVALID_PARAMETER). *ReturnLength is always the
// size needed; a smaller buffer fails with ERROR_INSUFFICIENT_BUFFER.
BOOL GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                         LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength);

// ---- Logon sessions ----
using NTSTATUS = LONG;
#define STATUS_SUCCESS static_cast<NTSTATUS>(0x00000000L)
#define STATUS_INVALID_PARAMETER static_cast<NTSTATUS>(0xC000000DL)
#define STATUS_NO_SUCH_LOGON_SESSION static_cast<NTSTATUS>(0xC000005FL)

struct LSA_UNICODE_STRING {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};

enum SECURITY_LOGON_TYPE { UndefinedLogonType = 0, Interactive = 2 };

struct SECURITY_LOGON_SESSION_DATA {
    ULONG Size;
    LUID LogonId;
    LSA_UNICODE_STRING UserName;
    LSA_UNICODE_STRING LogonDomain;
    LSA_UNICODE_STRING AuthenticationPackage;
    ULONG LogonType;
    ULONG Session;
    PVOID Sid;
    LARGE_INTEGER LogonTime; // UTC file time
    LSA_UNICODE_STRING LogonServer;
    LSA_UNICODE_STRING DnsDomainName;
    LSA_UNICODE_STRING Upn;
};
using PSECURITY_LOGON_SESSION_DATA = SECURITY_LOGON_SESSION_DATA*;

// The data of the calling process's logon session, freed with LsaFreeReturnBuffer;
// STATUS_NO_SUCH_LOGON_SESSION for any other id or when the machine gives no logon time.
NTSTATUS LsaGetLogonSessionData(PLUID LogonId, PSECURITY_LOGON_SESSION_DATA* ppLogonSessionData);
NTSTATUS LsaFreeReturnBuffer(PVOID Buffer);

// ---- Hashes of the cryptographic service provider ----
// One provider: PROV_RSA_AES in a verify-only context (no key containers), hashing with SHA-256.
using HCRYPTPROV = ULONG_PTR;
using HCRYPTHASH = ULONG_PTR;
using HCRYPTKEY = ULONG_PTR;
using ALG_ID = UINT;

#define PROV_RSA_AES 24u
#define CRYPT_VERIFYCONTEXT 0xF0000000u
#define CALG_SHA_256 0x0000800Cu
#define HP_ALGID 0x0001u
#define HP_HASHVAL 0x0002u
#define HP_HASHSIZE 0x0004u

#define NTE_BAD_UID static_cast<HRESULT>(0x80090001u)
#define NTE_BAD_HASH static_cast<HRESULT>(0x80090002u)
#define NTE_BAD_KEY static_cast<HRESULT>(0x80090003u)
#define NTE_BAD_ALGID static_cast<HRESULT>(0x80090008u)
#define NTE_BAD_FLAGS static_cast<HRESULT>(0x80090009u)
#define NTE_BAD_TYPE static_cast<HRESULT>(0x8009000Au)
#define NTE_BAD_HASH_STATE static_cast<HRESULT>(0x8009000Cu)
#define NTE_BAD_PROV_TYPE static_cast<HRESULT>(0x80090014u)
#define NTE_BAD_KEYSET static_cast<HRESULT>(0x80090016u)
#define NTE_KEYSET_NOT_DEF static_cast<HRESULT>(0x80090019u)

// Failures set the last error to one of the NTE_ codes (as a DWORD). A named container, a context that
// is not verify-only, a named provider or another provider type fail.
BOOL CryptAcquireContextW(HCRYPTPROV* phProv, LPCWSTR szContainer, LPCWSTR szProvider, DWORD dwProvType,
                          DWORD dwFlags);
BOOL CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags);
// CALG_SHA_256 only, without a key or flags.
BOOL CryptCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags, HCRYPTHASH* phHash);
// NTE_BAD_HASH_STATE once the hash value has been read.
BOOL CryptHashData(HCRYPTHASH hHash, const BYTE* pbData, DWORD dwDataLen, DWORD dwFlags);
// HP_ALGID, HP_HASHSIZE (4 bytes each) or HP_HASHVAL (the 32-byte value; reading it finishes the hash).
// A null pbData asks for the size; a smaller buffer fails with ERROR_MORE_DATA and the size needed.
BOOL CryptGetHashParam(HCRYPTHASH hHash, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen, DWORD dwFlags);
BOOL CryptDestroyHash(HCRYPTHASH hHash);

// ---- Signature verification of files (WinTrust) ----
// A file's signature is what the machine recorded when it installed the file: the fact
// "/fileSignatures/<full Windows path of the file, lower case>" = {"signer": NAME, "chain": STATE}, where
// STATE is "trusted", "incomplete" (no chain to a root can be built), "untrustedRoot", "expired",
// "revoked" or "distrusted", with "digest": the digest of the bytes signed (platform::SignedFileDigest).
// A file without a record is not signed. The profile gives a file or module its record with "signature".
struct HWND__;
using HWND = HWND__*;

struct WINTRUST_FILE_INFO {
    DWORD cbStruct;
    LPCWSTR pcwszFilePath;
    HANDLE hFile;
    GUID* pgKnownSubject;
};

struct WINTRUST_DATA {
    DWORD cbStruct;
    LPVOID pPolicyCallbackData;
    LPVOID pSIPClientData;
    DWORD dwUIChoice;
    DWORD fdwRevocationChecks;
    DWORD dwUnionChoice;
    union {
        WINTRUST_FILE_INFO* pFile;
        void* pCatalog;
        void* pBlob;
        void* pSgnr;
        void* pCert;
    };
    DWORD dwStateAction;
    HANDLE hWVTStateData;
    WCHAR* pwszURLReference;
    DWORD dwProvFlags;
    DWORD dwUIContext;
    void* pSignatureSettings;
};

#define WINTRUST_ACTION_GENERIC_VERIFY_V2                                                                    \
    {                                                                                                        \
        0x00AAC56Bu, 0xCD44, 0x11D0, {                                                                       \
            0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE                                                   \
        }                                                                                                    \
    }

#define WTD_UI_ALL 1u
#define WTD_UI_NONE 2u
#define WTD_UI_NOBAD 3u
#define WTD_UI_NOGOOD 4u
#define WTD_REVOKE_NONE 0u
#define WTD_REVOKE_WHOLECHAIN 1u
#define WTD_CHOICE_FILE 1u
#define WTD_STATEACTION_IGNORE 0u
#define WTD_STATEACTION_VERIFY 1u
#define WTD_STATEACTION_CLOSE 2u
#define WTD_REVOCATION_CHECK_NONE 0x00000010u
#define WTD_REVOCATION_CHECK_END_CERT 0x00000020u
#define WTD_REVOCATION_CHECK_CHAIN 0x00000040u
#define WTD_CACHE_ONLY_URL_RETRIEVAL 0x00001000u
#define WTD_UICONTEXT_EXECUTE 0u

#define TRUST_E_PROVIDER_UNKNOWN static_cast<LONG>(0x800B0001u)
#define TRUST_E_ACTION_UNKNOWN static_cast<LONG>(0x800B0002u)
#define TRUST_E_SUBJECT_FORM_UNKNOWN static_cast<LONG>(0x800B0003u)
#define TRUST_E_NOSIGNATURE static_cast<LONG>(0x800B0100u)
#define CERT_E_EXPIRED static_cast<LONG>(0x800B0101u)
#define CERT_E_UNTRUSTEDROOT static_cast<LONG>(0x800B0109u)
#define CERT_E_CHAINING static_cast<LONG>(0x800B010Au)
#define CERT_E_REVOKED static_cast<LONG>(0x800B010Cu)
#define TRUST_E_EXPLICIT_DISTRUST static_cast<LONG>(0x800B0111u)
#define TRUST_E_BAD_DIGEST static_cast<LONG>(0x80096010u)

// WINTRUST_ACTION_GENERIC_VERIFY_V2 on a file named by its path (WTD_CHOICE_FILE, no handle); any
// other action gives TRUST_E_PROVIDER_UNKNOWN, another subject TRUST_E_SUBJECT_FORM_UNKNOWN, a malformed
// structure E_INVALIDARG. 0 for a trusted signature; TRUST_E_NOSIGNATURE for an unsigned file and for
// one that cannot be opened (the last error tells which); TRUST_E_BAD_DIGEST for a signed file whose bytes
// changed since it was signed; otherwise the chain's error (a revoked certificate only when revocation is
// checked). WTD_STATEACTION_VERIFY leaves a state in hWVTStateData
// that WTD_STATEACTION_CLOSE releases (and sets to NULL).
LONG WinVerifyTrust(HWND hwnd, GUID* pgActionID, LPVOID pWVTData);
