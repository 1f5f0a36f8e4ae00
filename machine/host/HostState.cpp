#include "machine/host/HostState.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <limits>
#include <vector>

#include "platform/internal.h"
#include "platform/registry.h"

namespace host {

namespace {

constexpr const char* kModeNames[] = {"normal", "failing", "absent", "slow", "malformed"};
constexpr const char* kFormNames[] = {"direct", "data"};

// The index of the name in the list, as the enumeration whose names they are.
template <typename Enum, size_t N>
std::optional<Enum> EnumFromName(const char* const (&names)[N], std::string_view name) {
    const auto found = std::find(std::begin(names), std::end(names), name);
    return found == std::end(names) ? std::nullopt
                                    : std::optional(static_cast<Enum>(found - std::begin(names)));
}

std::string TextOr(const nlohmann::json& data, const char* key, const std::string& fallback) {
    const auto found = data.find(key);
    return found != data.end() && found->is_string() ? found->get<std::string>() : fallback;
}

HostMode ModeOf(const nlohmann::json& data) {
    const auto found = data.find(kModeKey);
    if (found == data.end()) {
        return HostMode::Normal;
    }
    const auto mode = found->is_string() ? ModeFromName(found->get<std::string>()) : std::nullopt;
    return mode.value_or(HostMode::Failing);
}

int DelayOf(const nlohmann::json& data) {
    const auto found = data.find(kDelayKey);
    if (found == data.end() || !found->is_number_integer()) {
        return 0;
    }
    return static_cast<int>(std::clamp<long long>(found->get<long long>(), 0, kMaxAnswerDelayMs));
}

bool FlagOf(const nlohmann::json& entry, const char* key) {
    const auto found = entry.find(key);
    return found != entry.end() && found->is_boolean() && found->get<bool>();
}

int StateOf(const nlohmann::json& entry) {
    const auto found = entry.find(kStateKey);
    if (found == entry.end() || !found->is_number_integer()) {
        return 0;
    }
    return static_cast<int>(std::clamp<long long>(found->get<long long>(), std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

AnswerForm FormOf(const nlohmann::json& entry) {
    const auto found = entry.find(kFormKey);
    const auto form =
        found != entry.end() && found->is_string() ? FormFromName(found->get<std::string>()) : std::nullopt;
    return form.value_or(AnswerForm::Direct);
}

// The answer's texts; entries that are not texts are left out.
std::map<std::string, std::string> AnswerOf(const nlohmann::json& entry) {
    std::map<std::string, std::string> answer;
    const auto found = entry.find(kAnswerKey);
    if (found == entry.end() || !found->is_object()) {
        return answer;
    }
    for (const auto& [key, text] : found->items()) {
        if (text.is_string()) {
            answer[key] = text.get<std::string>();
        }
    }
    return answer;
}

std::map<std::string, HostFeature> FeaturesOf(const nlohmann::json& data) {
    std::map<std::string, HostFeature> features;
    const auto found = data.find(kFeaturesKey);
    if (found == data.end() || !found->is_object()) {
        return features;
    }
    for (const auto& [name, entry] : found->items()) {
        if (entry.is_object()) {
            features[name] = {FlagOf(entry, kSupportedKey), StateOf(entry), FlagOf(entry, kDisabledKey),
                              FormOf(entry), AnswerOf(entry)};
        }
    }
    return features;
}

} // namespace

std::optional<HostMode> ModeFromName(std::string_view name) {
    return EnumFromName<HostMode>(kModeNames, name);
}

std::optional<AnswerForm> FormFromName(std::string_view name) {
    return EnumFromName<AnswerForm>(kFormNames, name);
}

HostFeature HostState::Feature(const std::string& name) const {
    const auto found = features.find(name);
    return found == features.end() ? HostFeature{} : found->second;
}

std::filesystem::path HostStateFile() {
    return platform::MachineFolder() / "host.json";
}

HostState ParseHostState(const nlohmann::json& data) {
    HostState state;
    if (!data.is_object()) {
        return state;
    }
    state.mode = ModeOf(data);
    state.brand = TextOr(data, kBrandKey, state.brand);
    state.mtm = TextOr(data, kMtmKey, state.mtm);
    state.pluginInvokeError = TextOr(data, kPluginInvokeKey, kPluginInvokeSuccess) == kPluginInvokeError;
    state.answerDelayMs = DelayOf(data);
    state.features = FeaturesOf(data);
    state.privacyMonitor = ParsePrivacyMonitor(data);
    return state;
}

std::optional<std::wstring> ReadRegistryText(std::wstring_view keyPath, const wchar_t* name) {
    HKEY root = nullptr;
    std::wstring subKey;
    HKEY key = nullptr;
    if (!platform::SplitRegistryPath(keyPath, root, subKey) ||
        RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::optional<std::wstring> text;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS) {
            text = std::wstring(data.data(), wcsnlen(data.data(), size / sizeof(wchar_t)));
        }
    }
    RegCloseKey(key);
    return text;
}

bool UpdateHostState(const std::function<void(nlohmann::json&)>& edit, std::string& error) {
    const std::filesystem::path file = HostStateFile();
    const platform::CFileLock lock(platform::MachineFolder() / "locks" / "host.lock");
    if (!lock.IsHeld()) {
        error = "cannot lock the host's state";
        return false;
    }
    nlohmann::json data = nlohmann::json::object();
    if (const auto text = platform::ReadWholeFile(file)) {
        data = nlohmann::json::parse(*text, nullptr, false);
        if (!data.is_object()) {
            error = "the host's state " + file.string() + " is not a JSON object; it was left as it is";
            return false;
        }
    }
    edit(data);
    if (!platform::ReplaceFileAtomically(file, data.dump(2) + "\n")) {
        error = "cannot write the host's state " + file.string();
        return false;
    }
    return true;
}

} // namespace host
