#include "machine/thermal/ThermalService.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>

#include "platform/registry.h"

namespace thermal {

namespace {

std::optional<DWORD> QueryDword(const wchar_t* pszKey, const wchar_t* pszValue) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegQueryValueExW(key, pszValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) ? std::optional(value)
                                                                                 : std::nullopt;
}

LSTATUS SetDword(HKEY key, const wchar_t* pszValue, DWORD value) {
    return RegSetValueExW(key, pszValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

nlohmann::json JsonOf(const std::optional<DWORD>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json();
}

// The mode the service is in: the automatic one, or the fixed mode its current setting names.
const ModeInfo* ModeOfValues(const std::optional<DWORD>& automatic, const std::optional<DWORD>& current) {
    const auto found = std::find_if(std::begin(kModes), std::end(kModes), [&](const ModeInfo& mode) {
        return automatic == mode.automatic && (mode.automatic == kAutomaticMode || current == mode.current);
    });
    return found == std::end(kModes) ? nullptr : &*found;
}

} // namespace

const ModeInfo* FindModeByCode(DWORD code) {
    const auto found = std::find_if(std::begin(kModes), std::end(kModes),
                                    [code](const ModeInfo& mode) { return mode.code == code; });
    return found == std::end(kModes) ? nullptr : &*found;
}

const ModeInfo* FindModeByName(std::string_view name) {
    DWORD code = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), code);
    if (error == std::errc() && end == name.data() + name.size()) {
        return FindModeByCode(code);
    }
    const auto found = std::find_if(std::begin(kModes), std::end(kModes), [name](const ModeInfo& mode) {
        return name == mode.name || name == mode.newerName;
    });
    return found == std::end(kModes) ? nullptr : &*found;
}

DWORD ApplyControl(DWORD code) {
    const ModeInfo* mode = FindModeByCode(code);
    if (!mode) {
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMmcKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    if (mode->current) {
        status = SetDword(key, L"CurrentSetting", *mode->current);
    }
    if (status == ERROR_SUCCESS) {
        status = SetDword(key, L"AutomaticModeSetting", mode->automatic);
    }
    RegCloseKey(key);
    return static_cast<DWORD>(status);
}

nlohmann::json ReadStatus() {
    const std::optional<DWORD> automatic = QueryDword(kMmcKey, L"AutomaticModeSetting");
    const std::optional<DWORD> current = QueryDword(kMmcKey, L"CurrentSetting");
    const ModeInfo* mode = ModeOfValues(automatic, current);
    return {{"version", JsonOf(QueryDword(kIcKey, L"Version"))},
            {"capability", JsonOf(QueryDword(kMmcKey, L"Capability"))},
            {"currentSetting", JsonOf(current)},
            {"automaticModeSetting", JsonOf(automatic)},
            {"mode", mode ? nlohmann::json(mode->name) : nlohmann::json()}};
}

} // namespace thermal
