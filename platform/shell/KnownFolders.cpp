// Known folders: the machine's facts name each folder's Windows path.
#include <string>

#include "platform/files/FileSystem.h"
#include "platform/internal.h"
#include "platform/shell.h"

const KNOWNFOLDERID FOLDERID_ProgramData = {
    0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}};
const KNOWNFOLDERID FOLDERID_LocalAppData = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
const KNOWNFOLDERID FOLDERID_LocalAppDataLow = {
    0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
const KNOWNFOLDERID FOLDERID_RoamingAppData = {
    0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
const KNOWNFOLDERID FOLDERID_System = {
    0x1AC14E77, 0x02E7, 0x4E5D, {0xB7, 0x44, 0x2E, 0xB1, 0xAE, 0x51, 0x98, 0xB7}};
const KNOWNFOLDERID FOLDERID_Windows = {
    0xF38BF404, 0x1D43, 0x42F2, {0x93, 0x05, 0x67, 0xDE, 0x0B, 0x28, 0xFC, 0x23}};
const KNOWNFOLDERID FOLDERID_Profile = {
    0x5E6C858F, 0x0E22, 0x4760, {0x9A, 0xFE, 0xEA, 0x33, 0x17, 0xB6, 0x71, 0x73}};

namespace {

constexpr int kNoCsidl = -1;

struct CKnownFolder {
    const KNOWNFOLDERID* id;
    int csidl;
    const char* fact;
};

const CKnownFolder kKnownFolders[] = {
    {&FOLDERID_ProgramData, CSIDL_COMMON_APPDATA, "/folders/programData"},
    {&FOLDERID_LocalAppData, CSIDL_LOCAL_APPDATA, "/user/localAppData"},
    {&FOLDERID_LocalAppDataLow, kNoCsidl, "/user/localAppDataLow"},
    {&FOLDERID_RoamingAppData, CSIDL_APPDATA, "/user/roamingAppData"},
    {&FOLDERID_System, CSIDL_SYSTEM, "/folders/system"},
    {&FOLDERID_Windows, CSIDL_WINDOWS, "/folders/windows"},
    {&FOLDERID_Profile, CSIDL_PROFILE, "/user/profile"},
};

const CKnownFolder* FolderById(REFKNOWNFOLDERID id) {
    for (const auto& folder : kKnownFolders) {
        if (IsEqualGUID(*folder.id, id)) {
            return &folder;
        }
    }
    return nullptr;
}

const CKnownFolder* FolderByCsidl(int csidl) {
    for (const auto& folder : kKnownFolders) {
        if (folder.csidl == csidl) {
            return &folder;
        }
    }
    return nullptr;
}

// The folder's path from the machine's facts, made when `create` and checked to exist when `verify`.
HRESULT FolderPath(const CKnownFolder& folder, bool create, bool verify, std::wstring& path) {
    const auto fact = platform::MachineFact(folder.fact);
    if (!fact.is_string()) {
        return E_FAIL;
    }
    platform::CMappedPath mapped;
    if (platform::MapMachinePath(platform::FromUtf8(fact.get<std::string>()), mapped) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    if (create) {
        if (const DWORD error = platform::MakeFolderTree(mapped.windowsPath); error != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(error);
        }
    } else if (verify && platform::KindOf(mapped.hostPath) != platform::EntryKind::Directory) {
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    path = mapped.windowsPath;
    return S_OK;
}

} // namespace

HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath) {
    if (!pszPath) {
        return E_INVALIDARG;
    }
    pszPath[0] = L'\0';
    const CKnownFolder* folder = FolderByCsidl(csidl & ~CSIDL_FLAG_MASK);
    if (!folder || hToken || (dwFlags != SHGFP_TYPE_CURRENT && dwFlags != SHGFP_TYPE_DEFAULT)) {
        return E_INVALIDARG;
    }
    std::wstring path;
    const HRESULT result =
        FolderPath(*folder, (csidl & CSIDL_FLAG_CREATE) != 0, (csidl & CSIDL_FLAG_DONT_VERIFY) == 0, path);
    if (FAILED(result)) {
        return result;
    }
    if (!platform::CopyTruncated(path, pszPath, MAX_PATH)) {
        pszPath[0] = L'\0';
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    return S_OK;
}

HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID rfid, DWORD dwFlags, HANDLE hToken, PWSTR* ppszPath) {
    if (!ppszPath) {
        return E_INVALIDARG;
    }
    *ppszPath = nullptr;
    const CKnownFolder* folder = FolderById(rfid);
    if (!folder || hToken || (dwFlags & ~(KF_FLAG_CREATE | KF_FLAG_DONT_VERIFY)) != 0) {
        return E_INVALIDARG;
    }
    std::wstring path;
    const HRESULT result =
        FolderPath(*folder, (dwFlags & KF_FLAG_CREATE) != 0, (dwFlags & KF_FLAG_DONT_VERIFY) == 0, path);
    if (FAILED(result)) {
        return result;
    }
    auto* copy = static_cast<PWSTR>(CoTaskMemAlloc((path.size() + 1) * sizeof(wchar_t)));
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    path.copy(copy, path.size());
    copy[path.size()] = L'\0';
    *ppszPath = copy;
    return S_OK;
}
