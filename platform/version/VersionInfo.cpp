// Version blocks made from the machine's version data (fact "/fileVersions": the lower-cased Windows
// path of a file to "a.b.c.d").
#include <cstring>
#include <optional>
#include <string>

#include "platform/files/FileSystem.h"
#include "platform/internal.h"
#include "platform/version.h"

namespace platform {

namespace {

constexpr wchar_t kVersionKey[] = L"VS_VERSION_INFO";

// The block's layout: the VS_VERSIONINFO header, its key, then the fixed part.
struct CVersionBlock {
    WORD wLength;
    WORD wValueLength;
    WORD wType;
    WCHAR szKey[sizeof(kVersionKey) / sizeof(WCHAR)];
    VS_FIXEDFILEINFO Value;
};

struct CFileVersion {
    WORD parts[4];
};

// "a.b.c.d" with each part 0 to 65535; anything else counts as no version.
std::optional<CFileVersion> ParseVersion(const std::string& text) {
    CFileVersion version{};
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        size_t end = at;
        unsigned long value = 0;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9' && value <= 0xFFFF) {
            value = value * 10 + static_cast<unsigned long>(text[end] - '0');
            ++end;
        }
        const char expected = part < 3 ? '.' : '\0';
        const char found = end < text.size() ? text[end] : '\0';
        if (end == at || value > 0xFFFF || found != expected) {
            return std::nullopt;
        }
        version.parts[part] = static_cast<WORD>(value);
        at = end + 1;
    }
    return version;
}

DWORD FileTypeOf(std::wstring_view path) {
    const size_t dot = path.rfind(L'.');
    const std::wstring extension =
        dot == std::wstring_view::npos ? std::wstring() : FoldCase(path.substr(dot));
    if (extension == L".exe") {
        return VFT_APP;
    }
    if (extension == L".dll") {
        return VFT_DLL;
    }
    return extension == L".sys" ? VFT_DRV : VFT_UNKNOWN;
}

CVersionBlock MakeBlock(const CFileVersion& version, std::wstring_view path) {
    CVersionBlock block{};
    block.wLength = sizeof(CVersionBlock);
    block.wValueLength = sizeof(VS_FIXEDFILEINFO);
    std::memcpy(block.szKey, kVersionKey, sizeof(kVersionKey));
    VS_FIXEDFILEINFO& fixed = block.Value;
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = static_cast<DWORD>(version.parts[0]) << 16 | version.parts[1];
    fixed.dwFileVersionLS = static_cast<DWORD>(version.parts[2]) << 16 | version.parts[3];
    fixed.dwProductVersionMS = fixed.dwFileVersionMS;
    fixed.dwProductVersionLS = fixed.dwFileVersionLS;
    fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = FileTypeOf(path);
    return block;
}

// The version block of an existing file, or nullopt with the Win32 error.
std::optional<CVersionBlock> VersionBlockOf(LPCWSTR path, DWORD& error) {
    CMappedPath mapped;
    error = path ? MapMachinePath(path, mapped) : ERROR_INVALID_PARAMETER;
    if (error != ERROR_SUCCESS) {
        return std::nullopt;
    }
    switch (KindOf(mapped.hostPath)) {
    case EntryKind::Missing:
        error = MissingEntryError(mapped.hostPath);
        return std::nullopt;
    case EntryKind::Directory:
        error = ERROR_ACCESS_DENIED;
        return std::nullopt;
    case EntryKind::File:
        break;
    }
    const nlohmann::json versions = MachineFact("/fileVersions");
    const auto found =
        versions.is_object() ? versions.find(ToUtf8(FoldCase(mapped.windowsPath))) : versions.end();
    const auto version = found != versions.end() && found->is_string()
                             ? ParseVersion(found->get<std::string>())
                             : std::nullopt;
    if (!version) {
        error = ERROR_RESOURCE_TYPE_NOT_FOUND;
        return std::nullopt;
    }
    return MakeBlock(*version, mapped.windowsPath);
}

bool IsVersionBlock(const CVersionBlock& block) {
    return block.wValueLength == sizeof(VS_FIXEDFILEINFO) && block.Value.dwSignature == VS_FFI_SIGNATURE &&
           std::wmemcmp(block.szKey, kVersionKey, sizeof(kVersionKey) / sizeof(WCHAR)) == 0;
}

} // namespace

} // namespace platform

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) {
        *lpdwHandle = 0;
    }
    DWORD error = ERROR_SUCCESS;
    if (!platform::VersionBlockOf(lptstrFilename, error)) {
        SetLastError(error);
        return 0;
    }
    return sizeof(platform::CVersionBlock);
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
    if (!lpData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD error = ERROR_SUCCESS;
    const auto block = platform::VersionBlockOf(lptstrFilename, error);
    if (!block || dwLen < sizeof(*block)) {
        SetLastError(block ? ERROR_INSUFFICIENT_BUFFER : error);
        return FALSE;
    }
    std::memcpy(lpData, &*block, sizeof(*block));
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    if (!pBlock || !lpSubBlock || !lplpBuffer || !puLen) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto* block = static_cast<const platform::CVersionBlock*>(pBlock);
    if (!platform::IsVersionBlock(*block)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (std::wcscmp(lpSubBlock, L"\\") != 0) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *lplpBuffer = const_cast<VS_FIXEDFILEINFO*>(&block->Value);
    *puLen = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
