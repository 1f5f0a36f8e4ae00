#include "platform/registry/RegistryPath.h"

#include "platform/internal.h"

namespace platform::registry {

namespace {

constexpr wchar_t kMachineRoot[] = L"HKEY_LOCAL_MACHINE";
constexpr wchar_t kUsersRoot[] = L"HKEY_USERS";
constexpr wchar_t kSoftware[] = L"SOFTWARE";
constexpr wchar_t kWow64Node[] = L"Wow6432Node";
// The user's key under HKEY_USERS when the machine's facts give no SID.
constexpr char kDefaultUserSid[] = "S-1-5-21-2127521184-1604012920-1887927527-1001";

std::wstring CurrentUserSid() {
    const nlohmann::json sid = MachineFact("/user/sid");
    return FromUtf8(sid.is_string() && !sid.get<std::string>().empty() ? sid.get<std::string>()
                                                                       : std::string(kDefaultUserSid));
}

} // namespace

std::optional<EView> RequestedView(REGSAM samDesired, bool& valid) {
    const bool wants64 = (samDesired & KEY_WOW64_64KEY) != 0;
    const bool wants32 = (samDesired & KEY_WOW64_32KEY) != 0;
    valid = !(wants64 && wants32);
    if (wants64) {
        return EView::Native64;
    }
    if (wants32) {
        return EView::Default32;
    }
    return std::nullopt;
}

KeyPath StoragePath(const KeyPath& logical, EView view) {
    if (view != EView::Default32 || logical.size() < 2 || !EqualsNoCase(logical[0], kMachineRoot) ||
        !EqualsNoCase(logical[1], kSoftware)) {
        return logical;
    }
    if (logical.size() > 2 && EqualsNoCase(logical[2], kWow64Node)) {
        return logical;
    }
    KeyPath redirected = logical;
    redirected.insert(redirected.begin() + 2, kWow64Node);
    return redirected;
}

KeyPath JoinSubKey(const KeyPath& base, LPCWSTR subKey) {
    KeyPath path = base;
    std::wstring_view rest = subKey ? std::wstring_view(subKey) : std::wstring_view();
    while (!rest.empty()) {
        const size_t slash = rest.find(L'\\');
        const std::wstring_view name = rest.substr(0, slash);
        if (!name.empty()) {
            path.emplace_back(name);
        }
        rest = slash == std::wstring_view::npos ? std::wstring_view() : rest.substr(slash + 1);
    }
    return path;
}

bool IsPredefinedKey(HKEY key) {
    return key == HKEY_LOCAL_MACHINE || key == HKEY_USERS || key == HKEY_CURRENT_USER ||
           key == HKEY_CLASSES_ROOT;
}

std::optional<KeyPath> PredefinedKeyPath(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) {
        return KeyPath{kMachineRoot};
    }
    if (key == HKEY_USERS) {
        return KeyPath{kUsersRoot};
    }
    if (key == HKEY_CURRENT_USER) {
        return KeyPath{kUsersRoot, CurrentUserSid()};
    }
    if (key == HKEY_CLASSES_ROOT) {
        return KeyPath{kMachineRoot, kSoftware, L"Classes"};
    }
    return std::nullopt;
}

} // namespace platform::registry

namespace platform {

bool SplitRegistryPath(std::wstring_view path, HKEY& root, std::wstring& subKey) {
    struct SRootName {
        const wchar_t* longName;
        const wchar_t* shortName;
        HKEY key;
    };
    const SRootName roots[] = {{L"HKEY_LOCAL_MACHINE", L"HKLM", HKEY_LOCAL_MACHINE},
                               {L"HKEY_CURRENT_USER", L"HKCU", HKEY_CURRENT_USER},
                               {L"HKEY_USERS", L"HKU", HKEY_USERS},
                               {L"HKEY_CLASSES_ROOT", L"HKCR", HKEY_CLASSES_ROOT}};
    const size_t slash = path.find(L'\\');
    const std::wstring_view rootName = path.substr(0, slash);
    for (const auto& candidate : roots) {
        if (EqualsNoCase(rootName, candidate.longName) || EqualsNoCase(rootName, candidate.shortName)) {
            root = candidate.key;
            subKey = slash == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(slash + 1));
            return true;
        }
    }
    return false;
}

} // namespace platform
