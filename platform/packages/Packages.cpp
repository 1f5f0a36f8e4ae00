// The store packages of the machine's user, from the machine's facts.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/packages.h"

namespace {

struct SPackageIdentity {
    std::wstring name;
    PACKAGE_VERSION version{};
    UINT32 architecture = 0;
    std::wstring resourceId;
    std::wstring publisherId;

    std::wstring Family() const { return name + L"_" + publisherId; }
};

std::vector<std::wstring> SplitAt(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::wstring_view::npos; start = end + 1) {
        parts.emplace_back(text.substr(start, end - start));
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

std::optional<USHORT> ParseVersionPart(const std::wstring& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return std::nullopt;
    }
    const unsigned long value = std::wcstoul(text.c_str(), nullptr, 10);
    return value <= 0xFFFF ? std::optional<USHORT>(static_cast<USHORT>(value)) : std::nullopt;
}

std::optional<PACKAGE_VERSION> ParseVersion(const std::wstring& text) {
    const std::vector<std::wstring> parts = SplitAt(text, L'.');
    if (parts.size() != 4) {
        return std::nullopt;
    }
    PACKAGE_VERSION version{};
    USHORT* const fields[] = {&version.Major, &version.Minor, &version.Build, &version.Revision};
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::optional<USHORT> part = ParseVersionPart(parts[i]);
        if (!part) {
            return std::nullopt;
        }
        *fields[i] = *part;
    }
    return version;
}

std::optional<UINT32> ParseArchitecture(const std::wstring& text) {
    struct SArchitecture {
        const wchar_t* name;
        UINT32 value;
    };
    static const SArchitecture kArchitectures[] = {
        {L"x86", 0}, {L"arm", 5}, {L"x64", 9}, {L"neutral", 11}, {L"arm64", 12}};
    for (const auto& architecture : kArchitectures) {
        if (platform::EqualsNoCase(text, architecture.name)) {
            return architecture.value;
        }
    }
    return std::nullopt;
}

// "Name_Version_Architecture_ResourceId_PublisherId"; nullopt for anything else.
std::optional<SPackageIdentity> ParseFullName(std::wstring_view fullName) {
    const std::vector<std::wstring> parts = SplitAt(fullName, L'_');
    if (parts.size() != 5 || parts[0].empty() || parts[4].empty()) {
        return std::nullopt;
    }
    const std::optional<PACKAGE_VERSION> version = ParseVersion(parts[1]);
    const std::optional<UINT32> architecture = ParseArchitecture(parts[2]);
    if (!version || !architecture) {
        return std::nullopt;
    }
    return SPackageIdentity{parts[0], *version, *architecture, parts[3], parts[4]};
}

// The full names of the installed packages that are well formed.
std::vector<std::wstring> InstalledPackages() {
    std::vector<std::wstring> packages;
    const nlohmann::json installed = platform::MachineFact("/packages");
    if (installed.is_object()) {
        for (const auto& entry : installed.items()) {
            std::wstring fullName = platform::FromUtf8(entry.key());
            if (ParseFullName(fullName)) {
                packages.push_back(std::move(fullName));
            }
        }
    }
    return packages;
}

bool IsInstalled(std::wstring_view fullName) {
    for (const std::wstring& package : InstalledPackages()) {
        if (platform::EqualsNoCase(package, fullName)) {
            return true;
        }
    }
    return false;
}

} // namespace

LONG FindPackagesByPackageFamily(PCWSTR packageFamilyName, UINT32 packageFilters, UINT32* count,
                                 PWSTR* packageFullNames, UINT32* bufferLength, WCHAR* buffer,
                                 UINT32* packageProperties) {
    if (packageFamilyName == nullptr || count == nullptr || bufferLength == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<std::wstring> found;
    if ((packageFilters & PACKAGE_FILTER_HEAD) != 0) {
        for (std::wstring& package : InstalledPackages()) {
            if (platform::EqualsNoCase(ParseFullName(package)->Family(), packageFamilyName)) {
                found.push_back(std::move(package));
            }
        }
    }
    UINT32 characters = 0;
    for (const std::wstring& package : found) {
        characters += static_cast<UINT32>(package.size() + 1);
    }
    const UINT32 packages = static_cast<UINT32>(found.size());
    if (packages == 0) {
        *count = 0;
        *bufferLength = 0;
        return ERROR_SUCCESS;
    }
    if (*count < packages || *bufferLength < characters || packageFullNames == nullptr || buffer == nullptr) {
        *count = packages;
        *bufferLength = characters;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    WCHAR* next = buffer;
    for (UINT32 i = 0; i < packages; ++i) {
        std::wmemcpy(next, found[i].c_str(), found[i].size() + 1);
        packageFullNames[i] = next;
        next += found[i].size() + 1;
        if (packageProperties != nullptr) {
            packageProperties[i] = 0;
        }
    }
    *count = packages;
    *bufferLength = characters;
    return ERROR_SUCCESS;
}

LONG PackageIdFromFullName(PCWSTR packageFullName, UINT32 flags, UINT32* bufferLength, BYTE* buffer) {
    const std::optional<SPackageIdentity> identity =
        packageFullName ? ParseFullName(packageFullName) : std::nullopt;
    if (!identity || bufferLength == nullptr || (flags & ~PACKAGE_INFORMATION_FULL) != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!IsInstalled(packageFullName)) {
        return ERROR_NOT_FOUND;
    }
    // The strings follow the identity in the caller's buffer; the publisher's name is not known here.
    const std::wstring* const strings[] = {&identity->name, nullptr, &identity->resourceId,
                                           &identity->publisherId};
    size_t needed = sizeof(PACKAGE_ID);
    for (const std::wstring* text : strings) {
        needed += ((text ? text->size() : 0) + 1) * sizeof(WCHAR);
    }
    if (buffer == nullptr || *bufferLength < needed) {
        *bufferLength = static_cast<UINT32>(needed);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    PACKAGE_ID id{};
    id.processorArchitecture = identity->architecture;
    id.version = identity->version;
    PWSTR* const fields[] = {&id.name, &id.publisher, &id.resourceId, &id.publisherId};
    BYTE* next = buffer + sizeof(PACKAGE_ID);
    for (size_t i = 0; i < std::size(strings); ++i) {
        const std::wstring text = strings[i] ? *strings[i] : std::wstring();
        std::memcpy(next, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        *fields[i] = reinterpret_cast<PWSTR>(next);
        next += (text.size() + 1) * sizeof(WCHAR);
    }
    std::memcpy(buffer, &id, sizeof(id));
    *bufferLength = static_cast<UINT32>(needed);
    return ERROR_SUCCESS;
}
